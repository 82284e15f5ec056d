import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')
import math, random, sys
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roomkit import *
k = Keys(1501)
P = 'pictures\\\\puzzles\\\\'

def edges(big):
    e = [(i, (i + 1) % 8) for i in range(8)]
    if big:
        e += [(j, 8) for j in range(4)] + [(j, 9) for j in range(4, 8)] + [(8, 9)]
    else:
        e += [(j, 8) for j in range(8)]
    return e

def cross(p, q):
    (x1, y1), (x2, y2) = p
    (a1, b1), (a2, b2) = q
    if (x1, y1) in (q[0], q[1]) or (x2, y2) in (q[0], q[1]):
        return False
    if max(x1, x2) < min(a1, a2) or max(a1, a2) < min(x1, x2) or max(y1, y2) < min(b1, b2) or max(b1, b2) < min(y1, y2):
        return False
    dx, dy, ex, ey = x2 - x1, y2 - y1, a2 - a1, b2 - b1
    d = ey * dx - dy * ex
    if d == 0:
        return False
    s = (y1 - b1) * ex - (x1 - a1) * ey
    t = (y1 - b1) * dx - (x1 - a1) * dy
    w = (lambda v: 0 <= v <= d) if d > 0 else (lambda v: d <= v <= 0)
    return w(s) and w(t)

def crossings(pos, big, c):
    e = edges(big)
    seg = [((pos[a][0] + c, pos[a][1] + c), (pos[b][0] + c, pos[b][1] + c)) for a, b in e]
    return sum(1 for i in range(len(seg)) for j in range(len(seg)) if i != j and cross(seg[i], seg[j])) // 2

def layout(big):
    n, c = (10, 25) if big else (9, 13)
    cx, cy = (270, 232) if big else (212, 150)
    R, r = (185, 78) if big else (118, 0)
    target = []
    for i in range(8):
        a = math.radians(-90 + 45 * i)
        target.append((round(cx + R * math.cos(a)) - c, round(cy + R * math.sin(a) * (0.92 if big else 1.0)) - c))
    if big:
        for a in (-22.5 + 0, 157.5):
            target.append((round(cx + r * math.cos(math.radians(a))) - c, round(cy + r * math.sin(math.radians(a))) - c))
    else:
        target.append((cx - c, cy - c))
    assert crossings(target, big, c) == 0, crossings(target, big, c)
    rng = random.Random(5 if big else 7)
    R0 = (150 if big else 95)
    while True:
        perm = list(range(n))
        rng.shuffle(perm)
        start = [None] * n
        for slot, node in enumerate(perm):
            a = math.radians(-70 + 360 * slot / n)
            start[node] = (round(cx + R0 * math.cos(a)) - c, round(cy + R0 * math.sin(a) * (0.9 if big else 1.0)) - c)
        if crossings(start, big, c) >= (9 if big else 7):
            break
    return start, target

def graph(name, x, y, big):
    start, target = layout(big)
    n, c = (10, 25) if big else (9, 13)
    maxx, maxy = (480, 406) if big else (390, 272)
    pic = 'pz_knot_big.png' if big else 'pz_knot_small.png'
    upd = 'MagicLev6Log_Upd' if big else 'MagicLev4InLog_Upd'
    drag = (f"IF ..DONE = 0 THEN IF MOUSEINDOWN THEN BEGIN rX := MSX - .ABSX - {c}; rY := MSY - .ABSY - {c}; "
            f"IF rX < 8 THEN rX := 8; IF rX > {maxx} THEN rX := {maxx}; IF rY < 8 THEN rY := 8; IF rY > {maxy} THEN rY := {maxy} END")
    s = f"""  - class: TQXImage       # the {'larger' if big else 'smaller'} graph ({'10 knots, 17 bands' if big else '9 knots, 16 bands'}); its first child holds the knots
    Key: {k()}
    Id: {name}
    rX: {x}
    rY: {y}
    exInit: |
      WIN := 0;        {{ set by {upd}: 1 while no band crosses another }}
      DT := 0;         {{ the bands' grey pulse follows it }}
      DONE := 0;
    exProcess: |
      DT := DT + 1;
      {upd}(SELF);
      {{ untangled, and the knot let go of: this graph is done }}
      IF DONE = 0 THEN IF WIN = 1 THEN IF NOT MOUSEDOWN THEN
      BEGIN
        DONE := 1;
        PlaySnd('Puzzles.pz_clear');
        Update(QXDB.PZUNTANGLE);
      END;
    children:
      - class: TQXImage
        Key: {k()}
        Id: KNOTS
        children:
"""
    for i in range(n):
        first = i == 0
        tag = lambda nm, scr: f'&{nm}{name} "{scr}"' if first else f'*{nm}{name}'
        s += (f"          - {{class: TQXImage, Key: {k()}, Id: N{i}, imImage: \"{P}{pic}\", rX: {start[i][0]}, rY: {start[i][1]}, MsKeep: true, "
              f"exProcess: {tag('drag', drag)}, exMouseIn: {tag('in', 'hxColor := 13697023')}, exMouseOut: {tag('out', 'hxColor := 16777215')}, "
              f"exMouseDown: {tag('down', 'IF ..DONE = 0 THEN PlaySnd(' + chr(39) + 'Puzzles.pz_pick' + chr(39) + ')')}}}\n")
    return s, start, target

ga, sa, ta = graph('GRAPHA', 20, 104, True)
gb, sb, tb = graph('GRAPHB', 580, 104, False)
head = f"""# Untangling: drag the knots until no band crosses another. The screen's render script draws
# the bands of both graphs (MagicLev6Log_Rend for the larger, MagicLev4InLog_Rend for the
# smaller: red where a band crosses another, green where it is free, with a grey pulse that
# follows each graph's DT); each graph's process script asks its win test (MagicLev6Log_Upd,
# MagicLev4InLog_Upd) every step, which sets the graph's WIN. A graph is done when WIN is 1 and
# no knot is held. The boards are part of the background, since the render script runs between
# the background and the elements.
class: TQXScreen
Key: 1500
Id: PZUNTANGLE
ImBack: {P.replace(chr(92) * 2, chr(92))}pz_untangle_back.jpg
exInit: |
  SOLVED := 0;       {{ 1 once solved: the hall reads it }}
exShow: |
{textwrap.indent(relabel('TITLE', 'HELP', 'BACK.LABEL'), '  ')}  Update(STATUS);
exRender: |
  MagicLev6Log_Rend(GRAPHA);
  MagicLev4InLog_Rend(GRAPHB);
exUpdate: |
  {{ a graph is done }}
  Update(STATUS);
  IF SOLVED = 0 THEN IF GRAPHA.DONE = 1 THEN IF GRAPHB.DONE = 1 THEN Update(WON);
children:
"""
ui = title(k, 'PzUntangle', 2)
ui += text(k, 'HELP', 596, 440, 392, 160, 'Body.fnt', 'PzUntangle.Help', ind=2, comment='how to play')
ui += text(k, 'STATUS', 596, 606, 392, 34, 'Button.fnt', '', 0x7CE0FF, 0x40A8E8, ind=2, wrap=False, comment='graphs done so far',
           extra="""    exUpdate: |
      Text := GetText('PzUntangle.Done') + ': ' + IntToStr(QXDB.PZUNTANGLE.GRAPHA.DONE + QXDB.PZUNTANGLE.GRAPHB.DONE) + ' / 2';
""")
ui += back_button(k, 2)
ui += banner(k, 'PZUNTANGLE', '', 2)
open(os.path.join(REPO, 'games/demo/rooms/puzzle_untangle.yaml'), 'w').write(plain_paths(head + ga + gb + ui))
open(os.path.join(DATA, 'untangle_moves.txt'), 'w').write(repr({'A': (sa, ta), 'B': (sb, tb)}))
print('keys up to', k.n - 1, file=sys.stderr)
