import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')
import random, sys, time
N = 9
def groups(b):
    seen = set(); out = []
    for r in range(N):
        for c in range(N):
            if b[r][c] < 0 or (r, c) in seen: continue
            col = b[r][c]; st = [(r, c)]; g = []; seen.add((r, c))
            while st:
                y, x = st.pop(); g.append((y, x))
                for dy, dx in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                    yy, xx = y + dy, x + dx
                    if 0 <= yy < N and 0 <= xx < N and (yy, xx) not in seen and b[yy][xx] == col:
                        seen.add((yy, xx)); st.append((yy, xx))
            if len(g) >= 3: out.append(g)
    return out
def remove(b, g):
    b = [row[:] for row in b]
    for y, x in g: b[y][x] = -1
    for x in range(N):
        col = [b[y][x] for y in range(N) if b[y][x] >= 0]
        col = [-1] * (N - len(col)) + col
        for y in range(N): b[y][x] = col[y]
    return b
def left(b): return sum(1 for row in b for v in row if v >= 0)
def solve(b, budget):
    best = [left(b), []]
    t0 = time.time()
    def rec(b, path):
        if time.time() - t0 > budget: return
        gs = groups(b)
        l = left(b)
        if l < best[0]: best[0], best[1] = l, path[:]
        if not gs or best[0] == 0: return
        gs.sort(key=lambda g: -len(g))
        random.shuffle(gs) if random.random() < 0.3 else None
        for g in gs[:4]:
            path.append(g[0]); rec(remove(b, g), path); path.pop()
            if best[0] == 0: return
    rec(b, [])
    return best
if __name__ == '__main__':
    # the order of groups the crystal tray's replay takes (data/labels_path.txt): a short
    # search from the board labels_gen.py built; the tray is won with ten or fewer left
    import ast
    random.seed(1)
    board = ast.literal_eval(open(os.path.join(DATA, 'labels_board.txt')).read())
    left_over, path = solve(board, 10.0)
    print('leaves', left_over, 'after', len(path), 'groups')
    open(os.path.join(DATA, 'labels_path.txt'), 'w').write(repr(path))
