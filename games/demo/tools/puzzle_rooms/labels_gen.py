"""Builds a 9 x 9 board that can be cleared: groups are inserted one by one (the reverse of
removing them), each in a colour none of its neighbours has, so removing the groups in the
opposite order clears the board."""
import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')

import random
N = 9
def build(seed, colours=5):
    rng = random.Random(seed)
    cols = [[] for _ in range(N)]   # bottom first
    order = []
    tries = 0
    while sum(map(len, cols)) < N * N and tries < 20000:
        tries += 1
        kind = rng.choice(['v', 'h', 'h', 'l'])
        c = rng.randrange(N)
        if kind == 'v':
            if len(cols[c]) + 3 > N: continue
            y = rng.randrange(len(cols[c]) + 1)
            cells = [(c, y), (c, y + 1), (c, y + 2)]
            ins = {c: [y, y + 1, y + 2]}
        elif kind == 'h':
            if c + 2 >= N: continue
            y = rng.randrange(min(len(cols[c + i]) for i in range(3)) + 1)
            if any(len(cols[c + i]) + 1 > N for i in range(3)): continue
            cells = [(c + i, y) for i in range(3)]
            ins = {c + i: [y] for i in range(3)}
        else:
            if c + 1 >= N: continue
            y = rng.randrange(min(len(cols[c]), len(cols[c + 1])) + 1)
            if len(cols[c]) + 2 > N or len(cols[c + 1]) + 1 > N: continue
            cells = [(c, y), (c, y + 1), (c + 1, y)]
            ins = {c: [y, y + 1], c + 1: [y]}
        new = [col[:] for col in cols]
        for x, ys in ins.items():
            for yy in ys:
                new[x].insert(yy, None)
        # neighbours of the group after insertion
        near = set()
        for x, y in cells:
            for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)):
                xx, yy = x + dx, y + dy
                if 0 <= xx < N and 0 <= yy < len(new[xx]) and (xx, yy) not in cells and new[xx][yy] is not None:
                    near.add(new[xx][yy])
        choice = [k for k in range(colours) if k not in near]
        if not choice: continue
        col = rng.choice(choice)
        for x, y in cells:
            new[x][y] = col
        cols = new
        order.append(cells)
    if sum(map(len, cols)) < N * N: return None
    # board[r][c], r = 0 the top row
    board = [[cols[c][N - 1 - r] for c in range(N)] for r in range(N)]
    return board, order
for seed in range(1, 500):
    res = build(seed)
    if res:
        board, order = res
        print('seed', seed, 'groups', len(order))
        open(os.path.join(DATA, 'labels_board.txt'), 'w').write(repr(board))
        break
