import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')
import sys
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roomkit import *
k = Keys(1201)
P = 'pictures\\\\puzzles\\\\'
R, G, B, Y, V = range(5)
KEY = 12
# bottom first: (Anim, stone)
COLUMNS = [
    [(R, 0), (G, 0), (R, 0), (B, 0), (R, 0), (KEY, 0), (Y, 0), (V, 0)],
    [(Y, 0), (B, 1), (Y, 0), (G, 0), (Y, 0), (KEY, 0), (G, 0), (R, 0)],
    [(V, 0), (R, 0), (V, 0), (G, 1), (V, 0), (R, 0), (KEY, 0), (B, 0)],
]
PAR = 12
LIMIT = PAR + 2
TUBE_X = [80, 230, 380]

run = """{ the run of the piece CLICKED: it and the touching pieces above and below of its colour }
{ (pieces under a stone take no part); ACTION 1 lights it, 0 puts the lights out, 2 takes it }
P := CLICKED;
I := 0;
IF ACTION = 0 THEN
BEGIN
  FOR I := 1 TO CHILDCOUNT DO
  BEGIN
    Q := CHILD[I];
    Q.MARKER.Tag := '';
  END;
  EXIT;
END;
IF MOVING = 1 THEN EXIT;
IF QXDB.PZCOLUMN.SOLVED = 1 THEN EXIT;
IF P.Anim >= 12 THEN EXIT;
IF P.COVER.Vis THEN
BEGIN
  IF ACTION = 2 THEN PlaySnd('Puzzles.pz_wrong');
  EXIT;
END;
IF ACTION = 2 THEN IF QXDB.PZCOLUMN.MOVES >= QXDB.PZCOLUMN.LIMIT THEN
BEGIN
  PlaySnd('Puzzles.pz_wrong');
  EXIT;
END;
TOPY := P.Y;
LOWY := P.Y;
GOING := 1;
WHILE GOING = 1 DO
BEGIN
  GOING := 0;
  FOR I := 1 TO CHILDCOUNT DO
  BEGIN
    Q := CHILD[I];
    IF Q.Anim = P.Anim THEN IF Q.COVER.Vis = 0 THEN
    BEGIN
      IF Q.Y = TOPY - 50 THEN
      BEGIN
        TOPY := Q.Y;
        GOING := 1;
      END;
      IF Q.Y = LOWY + 50 THEN
      BEGIN
        LOWY := Q.Y;
        GOING := 1;
      END;
    END;
  END;
END;
FOR I := 1 TO CHILDCOUNT DO
BEGIN
  Q := CHILD[I];
  IN := 0;
  IF Q.Y >= TOPY THEN IF Q.Y <= LOWY THEN IN := 1;
  IF ACTION = 1 THEN
  BEGIN
    Q.MARKER.Tag := '';
    IF IN = 1 THEN Q.MARKER.Tag := '*';
  END;
  IF ACTION = 2 THEN
  BEGIN
    Q.MARKER.Tag := '';
    { taken: the native brings it back at the top with a new colour }
    IF IN = 1 THEN Q.hxTrans := 0;
    { a stone touching the run breaks }
    IF Q.Y = TOPY - 50 THEN Q.COVER.Vis := FALSE;
    IF Q.Y = LOWY + 50 THEN Q.COVER.Vis := FALSE;
  END;
END;
IF ACTION = 2 THEN
BEGIN
  MOVING := 1;
  PlaySnd('Puzzles.pz_pop');
  QXDB.PZCOLUMN.MOVES := QXDB.PZCOLUMN.MOVES + 1;
  Update(QXDB.PZCOLUMN.STATUS);
END;"""

def column(n, pieces):
    x = TUBE_X[n]
    s = f"""  - class: TQXImage       # column {n + 1}: the glass tube, its pieces are its children (MagicLev6_1)
    Key: {k()}
    Id: COL{n + 1}
    Tag: '{n + 1}'
    imImage: {P}pz_column_tube.png
    rX: {x}
    rY: 104
    exInit: |
      MOVING := 1;       {{ the native works while it is 1, and sets it to 0 when all is still }}
      CLICKED := 0;
      ACTION := 0;
      OPENED := 0;
      LOCK := .B{n + 1};  {{ the native shows it when the key falls out of the tube }}
    exProcess: |
      MagicLev6_1(SELF);
      IF OPENED = 0 THEN IF LOCK.Vis THEN
      BEGIN
        OPENED := 1;
        PlaySnd('Puzzles.pz_clear');
        Update(QXDB.PZCOLUMN);
      END;
    exUpdate: {block(run, 6)}
    children:
"""
    for i, (anim, stone) in enumerate(pieces):
        first = n == 0 and i == 0
        tag = lambda nm, scr: f'&{nm} "{scr}"' if first else f'*{nm}'
        reset = ("rY := Y0; Anim := A0; hxTrans := 255; COVER.Vis := S0; MARKER.Anim := A0 + 6; "
                 "MARKER.Tag := ''; MARKER.hxTrans := 0; ToFront(SELF)")
        s += (f"      - {{class: TQXImage, Key: {k()}, Id: P{i + 1}, imImage: \"{P}pz_column_pieces.png\", rX: 8, rY: {400 - 50 * i}, Anim: {anim}, MousedVis: true,\n"
              f"         exInit: {tag('pinit', 'Y0 := rY; A0 := Anim; S0 := COVER.Vis')}, exUpdate: {tag('preset', reset)},\n"
              f"         exMouseIn: {tag('pin', '.CLICKED := SELF; .ACTION := 1; Update(PARENT)')}, exMouseOut: {tag('pout', '.ACTION := 0; Update(PARENT)')},\n"
              f"         exMouseDown: {tag('pdown', '.CLICKED := SELF; .ACTION := 2; Update(PARENT)')},\n"
              f"         children: [{{class: TQXImage, Key: {k()}, Id: COVER, imImage: \"{P}pz_column_stone.png\", Vis: {'true' if stone else 'false'}, MousedVis: false}},\n"
              f"                    {{class: TQXImage, Key: {k()}, Id: MARKER, imImage: \"{P}pz_column_pieces.png\", Anim: {anim + 6}, hxTrans: 0, MousedVis: false}}]}}\n")
    s += f"""  - class: TQXImage       # the tube's shine, over the pieces
    Key: {k()}
    imImage: {P}pz_column_shine.png
    rX: {x}
    rY: 104
    MousedVis: false
  - class: TQXImage       # the lock the key falls into
    Key: {k()}
    imImage: {P}pz_column_lock.png
    rX: {x - 13}
    rY: 560
    MousedVis: false
  - class: TQXImage       # B{n + 1}: the lock opened, made visible by the native
    Key: {k()}
    Id: B{n + 1}
    imImage: {P}pz_column_open.png
    rX: {x - 13}
    rY: 554
    Vis: false
    MousedVis: false
"""
    return s

reset = """PlaySnd('click');
""" + ''.join(f"""I := 0;
FOR I := 1 TO 8 DO
BEGIN
  Q := COL{n}.CHILD[I];
END;
""" for n in ()) + ''.join(''.join(f"Update(COL{n + 1}.P{i + 1});\n" for i in range(8)) + f"COL{n + 1}.MOVING := 1;\nCOL{n + 1}.OPENED := 0;\nB{n + 1}.Vis := FALSE;\n" for n in range(3)) + """MOVES := 0;
Update(STATUS);"""

head = f"""# Falling pieces: three glass tubes of gems, each with a key inside. Click a gem to take it
# with the gems of its colour that touch it above and below; the gems above fall, and new ones
# drop in at the top. A key that reaches the bottom falls into the lock under its tube.
# Each tube calls MagicLev6_1 every step. A piece's first child is its cover (a stone: the
# piece cannot be taken until a taken run next to it breaks the stone), its second the marker
# (the native fades it in while its Tag is "*": the pointer's run is lit that way). A piece whose
# hxTrans is 0 is brought back at the top with a random colour (0 .. COLS - 1); a piece whose
# Anim is 12 or more (the key) falls past the bottom and shows the sibling "B" + the tube's Tag.
# Par: {PAR} moves in all; {LIMIT} are allowed.
class: TQXScreen
Key: 1200
Id: PZCOLUMN
ImBack: pictures\\puzzles\\pz_column_back.jpg
exInit: |
  SOLVED := 0;       {{ 1 once solved: the hall reads it }}
  COLS := 5;         {{ the colours new gems can have }}
  MOVES := 0;
  LIMIT := {LIMIT};
exShow: |
{textwrap.indent(relabel('TITLE', 'HELP', 'BACK.LABEL', 'AGAIN.LABEL'), '  ')}  Update(STATUS);
exUpdate: |
  {{ a lock opened: all three is the solved moment }}
  IF SOLVED = 0 THEN IF B1.Vis THEN IF B2.Vis THEN IF B3.Vis THEN Update(WON);
  Update(STATUS);
children:
"""
body = ''.join(column(n, c) for n, c in enumerate(COLUMNS))
ui = title(k, 'PzColumn', 2)
ui += text(k, 'HELP', 580, 124, 404, 320, 'Body.fnt', 'PzColumn.Help', ind=2, comment='how to play')
ui += text(k, 'STATUS', 580, 456, 404, 70, 'Button.fnt', '', 0x7CE0FF, 0x40A8E8, ind=2, comment='moves, or none left',
           extra="""    exUpdate: |
      Text := GetText('PzColumn.Moves') + ': ' + IntToStr(QXDB.PZCOLUMN.MOVES) + ' / ' + IntToStr(QXDB.PZCOLUMN.LIMIT);
      IF QXDB.PZCOLUMN.MOVES >= QXDB.PZCOLUMN.LIMIT THEN Text := GetText('PzColumn.NoMoves');
      IF QXDB.PZCOLUMN.SOLVED = 1 THEN Text := GetText('PzColumn.Done');
""")
ui += again_button(k, reset, 2)
ui += back_button(k, 2)
ui += banner(k, 'PZCOLUMN', 'Update(QXDB.PZCOLUMN.STATUS);\n', 2)
open(os.path.join(REPO, 'games/demo/rooms/puzzle_column.yaml'), 'w').write(plain_paths(head + body + ui))
print('keys up to', k.n - 1, file=sys.stderr)
