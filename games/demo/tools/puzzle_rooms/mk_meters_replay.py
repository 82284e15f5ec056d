import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')
clicks = [
    ('beach: three shells, the crystal, the chest', 40, [(108, 176), (236, 192), (276, 132), (30, 188), (178, 142)]),
    ('forest: three mushrooms, two crystals', 362, [(44, 172), (162, 190), (268, 148), (112, 150), (226, 178)]),
    ('forest: the lantern that has appeared', 362, [(204, 104)]),
    ('cave: three gems, the crystal', 684, [(40, 186), (236, 116), (262, 190), (70, 150)]),
    ('cave: the lock rings to sun, moon, star', 684, [(133, 135), (133, 135), (155, 135), (155, 135), (177, 135)]),
]
lines = ['# The explorer\'s map solved: everything found and done in the three places, so that every',
         '# place\'s meter and then the map\'s meter fill up.',
         '20 down 512 384', '21 up 512 384', '44 shot start.png']
t = 46
for what, ox, pts in clicks:
    lines.append('# ' + what)
    for x, y in pts:
        lines += [f'{t} move {ox + x} {112 + y}', f'{t + 1} down {ox + x} {112 + y}', f'{t + 2} up {ox + x} {112 + y}']
        t += 4
    t += 6
t += 40
lines += [f'{t} shot solved.png', '# back to the hall', f'{t + 1} move 859 705', f'{t + 2} down 859 705', f'{t + 3} up 859 705', f'{t + 8} quit']
open(os.path.join(REPO, 'tests/data/demo/puzzles/meters.replay'), 'w').write('\n'.join(lines) + '\n')
print(t)
