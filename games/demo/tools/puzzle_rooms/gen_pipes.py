import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')
import random, sys
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roomkit import *
random.seed(8)
OPEN = {0: '1010', 1: '1100', 2: '1110', 3: '1111', 4: '1000', 5: '0000'}
def rot(code, k):
    for _ in range(k % 4): code = code[3] + code[:3]
    return code
path = [(0,0),(1,0),(1,1),(1,2),(2,2),(2,1),(3,1),(4,1),(4,2),(4,3),(3,3),(2,3),(2,4),(1,4),(1,5),(2,5),(3,5),(3,4),(4,4),(5,4),(5,5)]
def dirto(a, b):
    (i, j), (k, l) = a, b
    return {(0, 1): 1, (1, 0): 2, (0, -1): 3, (-1, 0): 4}[(k - i, l - j)]
need = {}
for n, c in enumerate(path):
    prev = path[n - 1] if n else (-1, 0)
    nxt = path[n + 1] if n + 1 < len(path) else (6, 5)
    need[c] = {dirto(c, prev), dirto(c, nxt)}
cells, clicks = {}, []
for i in range(6):
    for j in range(6):
        if (i, j) in need:
            want = ''.join('1' if d in need[(i, j)] else '0' for d in (1, 2, 3, 4))
            kind = 0 if want in ('1010', '0101') else 1
            good = [k for k in range(4) if rot(OPEN[kind], k) == want]
            r = random.choice([k for k in range(4) if k not in good])
            clicks.append((i, j, min((g - r) % 4 for g in good)))
        else:
            kind = random.choice([0, 0, 1, 1, 1, 3, 5])  # even openings only: a board without leaks then reaches the spout
            r = random.randrange(4)
        cells[(i, j)] = (kind, r)
PIC = 'pictures\\\\puzzles\\\\pz_pipes.png'
k = Keys(1801)
ko = Keys(1900)
TURN = ("IF QXDB.PZPIPES.SOLVED = 0 THEN IF Mod(Round(Angle), 90) = 0 THEN BEGIN "
        "Angle := Angle + 10; PlaySnd('Puzzles.pz_turn'); "
        "QXDB.PZPIPES.TURNS := QXDB.PZPIPES.TURNS + 1; Update(QXDB.PZPIPES.STATUS) END")
def board(overlay):
    out = []
    for i in range(6):
        kk = ko if overlay else k
        out.append(f"          - {{class: TQXImage, Key: {kk()}, Id: R{i}, rX: {141 + 75 * i}{', MousedVis: false' if overlay else ''}, children: [")
        rows = []
        for j in range(6):
            kind, r = cells[(i, j)]
            first = (i, j) == (0, 0)
            if overlay:
                rows.append(f"              {{class: TQXImage, Key: {kk()}, Id: C{j}, imImage: \"{PIC}\", PosHor: phCenter, PosVert: pvCenter, rY: {506 - 75 * j}, hxTrans: 0, MousedVis: false}}")
            else:
                scripts = (f"exMouseIn: &hover \"{HOVER_IN}\", exMouseOut: &unhover \"{HOVER_OUT}\", exMouseDown: &turn \"{TURN}\"" if first
                           else "exMouseIn: *hover, exMouseOut: *unhover, exMouseDown: *turn")
                rows.append(f"              {{class: TQXImage, Key: {kk()}, Id: C{j}, imImage: \"{PIC}\", PosHor: phCenter, PosVert: pvCenter, rY: {506 - 75 * j}, "
                            f"Anim: {kind}, Angle: {90 * r}, Tag: '{rot(OPEN[kind], r)}', {scripts}}}")
        out.append(',\n'.join(rows) + ']}')
    return '\n'.join(out)

head = f"""# The pipe board (MagicLev12Log). Click a pipe to turn it; the water runs from the tank at the
# bottom left to the spout at the top right once every pipe on its way joins the next.
#
# BOARD's children R0..R5 are the board's columns i = 0..5, their children C0..C5 the cells
# j = 0..5 from the bottom up: the native's leak marker goes to (141 + 75 i, 506 - 75 j), so
# the cells are placed there. A cell's Tag is its four openings (up, right, down, left as 1/0)
# and Anim its pipe picture; a click adds 10 to Angle and the native finishes the quarter turn
# and turns the Tag with it. LL is the water layer over the board (the native shows its cell
# where water runs), END the water leaving the spout, PROT the leak spray.
class: TQXScreen
Key: 1800
Id: PZPIPES
ImBack: pictures\\puzzles\\pz_pipes_back.jpg
exInit: |
  SOLVED := 0;       {{ 1 once solved: the hall reads it }}
  TURNS := 0;
exShow: |
  QXDB.LOGINTERFACE.WIN := 0;
  TITLE.TextId := TITLE.TextId;
  HELP.TextId := HELP.TextId;
  BACK.LABEL.TextId := BACK.LABEL.TextId;
  Update(STATUS);
exProcess: |
  {{ the native raises the logic puzzles' common win flag once no pipe leaks }}
  IF SOLVED = 0 THEN IF QXDB.LOGINTERFACE.WIN = 1 THEN Update(WON);
children:
  - class: TQXImage       # the board and what the native draws over it; no picture of its own
    Key: {k()}
    Id: PIPEAREA
    rX: 40
    rY: 100
    children:
      - class: TQXImage
        Key: {k()}
        Id: BOARD
        exProcess: |
          MagicLev12Log(SELF);
        children:
{board(False)}
      - class: TQXImage
        Key: {ko()}
        Id: LL
        MousedVis: false
        children:
{board(True)}
      - class: TQXImage       # water pouring from the spout once it flows out
        Key: {k()}
        Id: END
        imImage: pictures\\puzzles\\pz_pipes_out.png
        rX: 601
        rY: 146
        hxTrans: 0
        MousedVis: false
      - class: TQXImage       # the leak: placed and turned by the native
        Key: {k()}
        Id: PROT
        imImage: pictures\\puzzles\\pz_pipes_leak.png
        PosHor: phCenter
        PosVert: pvCenter
        hxDrawFx: 260
        Vis: false
        MousedVis: false
"""
ui = title(k, 'PzPipes', 2)
ui += text(k, 'HELP', 728, 134, 262, 300, 'Body.fnt', 'PzPipes.Help', ind=2, comment='how to play')
ui += text(k, 'STATUS', 728, 452, 262, 64, 'Button.fnt', '', 0x7CE0FF, 0x40A8E8, ind=2, comment='turns so far, then the praise',
           extra="""    exUpdate: |
      IF QXDB.PZPIPES.SOLVED = 1 THEN Text := GetText('PzPipes.Done')
      ELSE Text := GetText('PzPipes.Turns') + ': ' + IntToStr(QXDB.PZPIPES.TURNS);
""")
ui += back_button(k, 2)
ui += banner(k, 'PZPIPES', 'Update(QXDB.PZPIPES.STATUS);\n', 2)
open(os.path.join(REPO, 'games/demo/rooms/puzzle_pipes.yaml'), 'w').write(plain_paths(head + ui))
print('keys', k.n, ko.n, file=sys.stderr)
with open(os.path.join(DATA, 'pipes_clicks.txt'), 'w') as f:
    f.write(repr(clicks))
