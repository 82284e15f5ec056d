import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')
import ast
path = ast.literal_eval(open(os.path.join(DATA, 'labels_path.txt')).read())
lines = ['# The crystal tray solved: groups taken in an order found by a small search, which leaves',
         '# fewer than ten crystals (the goal is ten or fewer). Each group is pointed at, then clicked.',
         '20 down 512 384', '21 up 512 384', '44 move 300 650', '46 shot start.png']
t = 48
for n, (r, c) in enumerate(path):
    x, y = 46 + 52 * c + 26, 122 + 52 * r + 26
    lines += [f'# group {n + 1}: the crystal in row {r + 1}, column {c + 1}', f'{t} move {x} {y}', f'{t + 1} down {x} {y}', f'{t + 2} up {x} {y}']
    t += 5
t += 40
lines += [f'{t} shot solved.png', '# back to the hall', f'{t + 1} move 859 705', f'{t + 2} down 859 705', f'{t + 3} up 859 705', f'{t + 8} quit']
open(os.path.join(REPO, 'tests/data/demo/puzzles/labels.replay'), 'w').write('\n'.join(lines) + '\n')
print(t)
