import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')
import ast, math, itertools
mv = ast.literal_eval(open(os.path.join(DATA, 'untangle_moves.txt')).read())
def plan(start, target, size, box):
    """Moves (node, from, to) that bring every knot to its target without ever clicking where
    two knots overlap; a knot in the way is parked on a free spot first."""
    n = len(start)
    pos = list(start)
    moves = []
    left = set(range(n))
    free = lambda p, skip: all(math.dist(p, pos[j]) >= size + 4 for j in range(n) if j != skip)
    while left:
        for i in sorted(left):
            if free(pos[i], i) and all(math.dist(target[i], pos[j]) >= size + 4 for j in left if j != i):
                moves.append((i, pos[i], target[i])); pos[i] = target[i]; left.discard(i); break
        else:
            i = min(left)
            spot = next(p for p in ((x, y) for y in range(box[1], box[3], 20) for x in range(box[0], box[2], 20))
                        if free(p, i) and all(math.dist(p, t) >= size + 4 for t in target))
            moves.append((i, pos[i], spot)); pos[i] = spot
    return moves
lines = ['# The tangled knots solved: every knot of both nets dragged to a place of a planar drawing.',
         '20 down 512 384', '21 up 512 384', '44 shot start.png']
t = 46
for g, (ox, oy), size, c, box in (('A', (20, 104), 50, 25, (10, 10, 480, 406)), ('B', (580, 104), 26, 13, (8, 8, 390, 272))):
    start, target = mv[g]
    for i, a, b in plan(start, target, size, box):
        x0, y0 = ox + a[0] + c, oy + a[1] + c
        x1, y1 = ox + b[0] + c, oy + b[1] + c
        lines += [f'# net {g}, knot {i}', f'{t} move {x0} {y0}', f'{t + 1} down {x0} {y0}']
        for s in (1, 2, 3):
            lines.append(f'{t + 1 + s} move {x0 + (x1 - x0) * s // 3} {y0 + (y1 - y0) * s // 3}')
        lines.append(f'{t + 6} up {x1} {y1}')
        t += 8
    t += 4
t += 36
lines += [f'{t} shot solved.png', '# back to the hall', f'{t + 1} move 859 705', f'{t + 2} down 859 705', f'{t + 3} up 859 705', f'{t + 8} quit']
open(os.path.join(REPO, 'tests/data/demo/puzzles/untangle.replay'), 'w').write('\n'.join(lines) + '\n')
print(t)
