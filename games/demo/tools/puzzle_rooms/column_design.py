"""Finds the fewest moves that clear the pieces under a key: a move takes a run of touching
pieces of one colour (stones take no part and break when a taken run touches them)."""
import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')

from functools import lru_cache
def moves(stack):
    # stack: bottom first; each (colour, stone)
    out = []
    n = len(stack)
    i = 0
    while i < n:
        c, s = stack[i]
        if s:
            i += 1; continue
        j = i
        while j + 1 < n and stack[j + 1] == (c, False):
            j += 1
        rest = list(stack[:i]) + list(stack[j + 1:])
        # stones right below and above the run break
        k = i - 1
        if k >= 0 and stack[k][1]:
            rest[k] = (stack[k][0], False)
        if j + 1 < n and stack[j + 1][1]:
            rest[i] = (stack[j + 1][0], False)
        out.append(((i, j), tuple(rest)))
        i = j + 1
    return out
def best(stack):
    from collections import deque
    start = tuple(stack)
    seen = {start: None}
    q = deque([start])
    while q:
        s = q.popleft()
        if not s:
            path = []
            while seen[s] is not None:
                prev, mv = seen[s]; path.append((mv, prev)); s = prev
            return list(reversed(path))
        for mv, nxt in moves(s):
            if nxt not in seen:
                seen[nxt] = (s, mv); q.append(nxt)
R, G, B, Y, V = range(5)
designs = {
    1: [(R, 0), (G, 0), (R, 0), (B, 0), (R, 0)],
    2: [(Y, 0), (B, 1), (Y, 0), (G, 0), (Y, 0)],
    3: [(V, 0), (R, 0), (V, 0), (G, 1), (V, 0), (R, 0)],
}
for k, d in designs.items():
    p = best(d)
    print(k, len(d), 'pieces under the key, best', len(p), 'moves:', [mv for mv, _ in p])
