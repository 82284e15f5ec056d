import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')
import ast
clicks = ast.literal_eval(open(os.path.join(DATA, 'pipes_clicks.txt')).read())
lines = ['# The pipe board solved: every pipe on the way turned until the water reaches the spout.',
         '# A click during the intro skips it; the room shows at tick 38.',
         '20 down 512 384', '21 up 512 384', '42 shot start.png']
t = 44
for i, j, k in clicks:
    x, y = 181 + 75 * i, 606 - 75 * j
    lines.append(f'# cell {i},{j}: {k} turn(s)')
    for _ in range(k):
        lines += [f'{t} down {x} {y}', f'{t + 1} up {x} {y}']
        t += 10
t += 40
lines += [f'{t} shot solved.png', '# back to the hall', f'{t + 1} move 859 705', f'{t + 2} down 859 705', f'{t + 3} up 859 705', f'{t + 8} quit']
open(os.path.join(REPO, 'tests/data/demo/puzzles/pipes.replay'), 'w').write('\n'.join(lines) + '\n')
print(t)
