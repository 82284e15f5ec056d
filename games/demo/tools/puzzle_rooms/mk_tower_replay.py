import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')
moves = [(0, 2), (0, 1), (2, 1), (0, 2), (1, 0), (1, 2), (0, 2)]
# ticks from lifting a piece to its landing, per move (the longer slides take longer)
dur = {'h': [51, 48, 49, 59, 48, 49, 51], 'c': [61, 56, 56, 61, 56, 56, 61]}
cols = {'h': ((90, 470), (250, 470), (410, 470)), 'c': ((600, 450), (760, 450), (920, 450))}
ev = []
for st, start in (('h', 46), ('c', 48)):
    t = start
    for n, (a, b) in enumerate(moves):
        for col, dt in ((a, 0), (b, 2)):
            x, y = cols[st][col]
            ev.append((t + dt, f'down {x} {y}'))
            ev.append((t + dt + 1, f'up {x} {y}'))
        t += dur[st][n] + 5
end = t + 36
ev.sort(key=lambda e: e[0])
lines = ['# Tower stacking solved: both stands are played at once, seven moves each in the classic',
         '# order (each click pair lifts a piece and names its column; the next lift waits for the landing).',
         '20 down 512 384', '21 up 512 384', '44 shot start.png']
lines += [f'{t} {what}' for t, what in ev]
lines += [f'{end} shot solved.png', '# back to the hall', f'{end + 1} move 859 705', f'{end + 2} down 859 705', f'{end + 3} up 859 705', f'{end + 8} quit']
open(os.path.join(REPO, 'tests/data/demo/puzzles/tower.replay'), 'w').write('\n'.join(lines) + '\n')
print(end)
