"""Plays the glyph belts in a model of MagicLev6InLog and writes the clicks of a solution."""
import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')

import ast, sys
ROWS = ast.literal_eval(open(os.path.join(DATA, 'slide_rows.txt')).read())
SHOW = 38            # the room is shown at this tick; the native first runs at SHOW + 1
BX, BY = 60, 118     # the container on screen
rows = [{'vis': True, 'x': 0, 'y': 81 * r, 'c': list(row)} for r, row in enumerate(ROWS)]

def step():
    bottom, d = 0, 1
    for row in rows:
        if not row['vis']:
            continue
        d = -d
        if row['y'] > bottom: row['y'] -= 2
        if row['y'] < bottom: row['y'] = bottom
        bottom = row['y'] + 81
        if bottom > 410: break
        row['x'] += d
        if row['x'] < -42:
            row['c'] = row['c'][1:] + row['c'][:1]; row['x'] += 82
        elif row['x'] > 42:
            row['c'] = row['c'][-1:] + row['c'][:-1]; row['x'] -= 82
    return bottom == 0

def clickable(r, k):
    row = rows[r]
    if not row['vis'] or row['y'] > 324 or row['c'][k] == 0:
        return None
    # far from a turn of the belt (it moves a pixel a tick), inside the window between the housings
    if abs(row['x']) > 36:
        return None
    cx = BX + row['x'] + 10 + 85 * k + 40
    if not 140 <= cx <= 450:
        return None
    return cx, BY + row['y'] + 38

t = SHOW
for _ in range(40):      # the plates are dealt in first
    t += 1; step()
lines = ['# The glyph belts solved: pairs of equal glyphs clicked as the belts carry them past',
         '# (the clicks follow a model of the belts; a click lands mid-plate, away from a turn).',
         '20 down 512 384', '21 up 512 384', f'{t} shot start.png']
pairs = 0
while pairs < 15:
    found = None
    cands = [(r, k) for r in range(6) for k in range(5) if clickable(r, k)]
    for i, (r1, k1) in enumerate(cands):
        for r2, k2 in cands[i + 1:]:
            if rows[r1]['c'][k1] == rows[r2]['c'][k2]:
                found = (r1, k1, r2, k2); break
        if found: break
    if not found:
        t += 1; step(); continue
    r1, k1, r2, k2 = found
    (x1, y1) = clickable(r1, k1)
    lines += [f'{t} down {x1} {y1}', f'{t + 1} up {x1} {y1}']
    t += 1; step()
    t += 1; step()
    p2 = clickable(r2, k2)
    if p2 is None or rows[r2]['c'][k2] != rows[r1]['c'][k1]:
        # the second plate moved out of reach: forget the choice by clicking the first again
        p1 = clickable(r1, k1)
        lines += [f'{t} down {p1[0]} {p1[1]}', f'{t + 1} up {p1[0]} {p1[1]}']
        t += 2; step(); step()
        continue
    x2, y2 = p2
    lines += [f'{t} down {x2} {y2}', f'{t + 1} up {x2} {y2}']
    rune = rows[r1]['c'][k1]
    rows[r1]['c'][k1] = 0; rows[r2]['c'][k2] = 0
    for row in rows:
        if row['vis'] and not any(row['c']):
            row['vis'] = False
    pairs += 1
    t += 1; step()
    t += 1; step()
won = None
for _ in range(10):
    t += 1
    if step() and won is None: won = t
t += 36
lines += [f'{t} shot solved.png', '# back to the hall', f'{t + 1} move 859 705', f'{t + 2} down 859 705', f'{t + 3} up 859 705', f'{t + 8} quit']
open(os.path.join(REPO, 'tests/data/demo/puzzles/slide.replay'), 'w').write('\n'.join(lines) + '\n')
print('end', t, 'won', won)
