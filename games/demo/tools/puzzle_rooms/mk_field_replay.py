import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')
FIELD_SOCKETS = [(-105, -55), (-30, -112), (62, -68), (112, 34), (18, 104)]
BEAD_SOCKETS = [(x, round(20 - 50 * (1 - (x / 150.0) ** 2))) for x in range(-150, 151, 50)]
PLANET_START = [(52, 0), (0, 52), (-52, 0), (0, -52), (0, 0)]
BEAD_START = [(x, 70) for x in (-40, 80, -120, 120, 0, -80, 40)]
lines = ['# The star chart solved: every planet and bead dragged onto its socket (three moves on the',
         '# way, so the pieces meet one another and the dish edge), and left there.',
         '20 down 512 384', '21 up 512 384', '44 shot start.png']
t = 46
for (ox, oy), starts, sockets, name in (((30 + 220, 112 + 220), PLANET_START, FIELD_SOCKETS, 'planet'),
                                         ((556 + 220, 112 + 140), BEAD_START, BEAD_SOCKETS, 'bead')):
    for n, ((x, y), (sx, sy)) in enumerate(zip(starts, sockets)):
        x0, y0, x1, y1 = ox + x, oy + y, ox + sx, oy + sy
        lines.append(f'# {name} {n + 1}')
        lines += [f'{t} move {x0} {y0}', f'{t + 1} down {x0} {y0}']
        for s in (1, 2, 3):
            lines.append(f'{t + 1 + s} move {x0 + (x1 - x0) * s // 3} {y0 + (y1 - y0) * s // 3}')
        lines.append(f'{t + 6} up {x1} {y1}')
        t += 8
t += 36
lines += [f'{t} shot solved.png', '# back to the hall', f'{t + 1} move 859 705', f'{t + 2} down 859 705', f'{t + 3} up 859 705', f'{t + 8} quit']
open(os.path.join(REPO, 'tests/data/demo/puzzles/field.replay'), 'w').write('\n'.join(lines) + '\n')
print(t)
