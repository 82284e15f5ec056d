import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')
import sys
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
exec(open(os.path.join(HERE, 'column_design.py')).read().split('R, G, B, Y, V = range(5)')[0])
R, G, B, Y, V = range(5)
COLUMNS = [
    [(R, 0), (G, 0), (R, 0), (B, 0), (R, 0)],
    [(Y, 0), (B, 1), (Y, 0), (G, 0), (Y, 0)],
    [(V, 0), (R, 0), (V, 0), (G, 1), (V, 0), (R, 0)],
]
TUBE_X = [80, 230, 380]
plans = [[mv for mv, _ in best(c)] for c in COLUMNS]
lines = ['# The key tubes solved in the fewest moves (12): every round takes one run in each tube,',
         '# middle runs first so that the runs below and above them join.',
         '20 down 512 384', '21 up 512 384', '44 shot start.png']
t = 46
for rnd in range(max(map(len, plans))):
    lines.append(f'# round {rnd + 1}')
    for n, plan in enumerate(plans):
        if rnd < len(plan):
            i, j = plan[rnd]
            x, y = TUBE_X[n] + 32, 104 + 400 - 50 * i + 24
            lines += [f'{t} move {x} {y}', f'{t + 1} down {x} {y}', f'{t + 2} up {x} {y}']
            t += 3
    t += 34
t += 40
lines += [f'{t} shot solved.png', '# back to the hall', f'{t + 1} move 859 705', f'{t + 2} down 859 705', f'{t + 3} up 859 705', f'{t + 8} quit']
open(os.path.join(REPO, 'tests/data/demo/puzzles/column.replay'), 'w').write('\n'.join(lines) + '\n')
print(t, plans)
