import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')
import ast, sys
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roomkit import *
k = Keys(1301)
kr = Keys(1950)
P = 'pictures\\\\puzzles\\\\'
BOARD = ast.literal_eval(open(os.path.join(DATA, 'labels_board.txt')).read())
GOAL = 10

def loop_cells(body, ind=0):
    return textwrap.indent(f"""I := 0;
J := 0;
FOR I := 1 TO 9 DO
BEGIN
  ROW := RW[I];
  FOR J := 1 TO 9 DO
  BEGIN
    CELL := ROW.CHILD[J];
{textwrap.indent(body, '    ')}
  END;
END;""", ' ' * ind)

move = """{ the cell under the pointer, and the label of its group ('x': in no group) }
C := Floor((MSX - 46) / 52);
R := Floor((MSY - 122) / 52) + 1;
LB := 'x';
IF C >= 0 THEN IF C <= 8 THEN IF R >= 1 THEN IF R <= 9 THEN
BEGIN
  ROW := RW[R];
  CELL := ROW.CHILD[C + 1];
  IF CELL.Vis THEN LB := CELL.Tag;
END;
{ the native sets MMX to -1 when it has labelled the board again: light anew }
IF MMX = -1 THEN LAST := '?';
IF LB <> LAST THEN
BEGIN
""" + loop_cells("""IF CELL.Anim > 5 THEN IF CELL.Anim < 12 THEN CELL.Anim := CELL.Anim - 6;
IF LB <> 'x' THEN IF CELL.Tag = LB THEN CELL.Anim := CELL.Anim + 6;""", 2) + """
  LAST := LB;
END;
MMX := 0;"""

down = f"""{{ the lit group goes; the crystals above it fall into the gaps }}
IF QXDB.PZLABELS.SOLVED = 0 THEN IF LAST <> 'x' THEN IF LAST <> '?' THEN
BEGIN
""" + loop_cells("IF CELL.Tag = LAST THEN CELL.Vis := FALSE;", 2) + """
  FOR J := 1 TO 9 DO
  BEGIN
    DST := 9;
    FOR I := 9 DOWNTO 1 DO
    BEGIN
      ROW := RW[I];
      CELL := ROW.CHILD[J];
      IF CELL.Vis THEN
      BEGIN
        IF DST <> I THEN
        BEGIN
          ROW := RW[DST];
          LOW := ROW.CHILD[J];
          LOW.Anim := CELL.Anim;
          LOW.Vis := TRUE;
          LOW.rY := CELL.rY - (DST - I) * 52;
          CELL.Vis := FALSE;
        END;
        DST := DST - 1;
      END;
    END;
  END;
  { an empty cell gets a colour of its own, so the native never groups it }
  LEFT := 0;
  GROUPS := 0;
""" + loop_cells("IF CELL.Vis THEN LEFT := LEFT + 1 ELSE CELL.Anim := 20 + I * 9 + J;", 2) + """
  PlaySnd('Puzzles.pz_pop');
  MagicLev6_2(SELF);
""" + loop_cells("IF CELL.Vis THEN IF CELL.Tag <> 'x' THEN GROUPS := GROUPS + 1;", 2) + f"""
  QXDB.PZLABELS.LEFT := LEFT;
  QXDB.PZLABELS.STUCK := 0;
  IF GROUPS = 0 THEN QXDB.PZLABELS.STUCK := 1;
  Update(QXDB.PZLABELS.STATUS);
  IF LEFT <= {GOAL} THEN Update(QXDB.PZLABELS.WON);
END;"""

reset = """PlaySnd('click');
RW := BOARD.RW[1];
I := 0;
J := 0;
FOR I := 1 TO 9 DO
BEGIN
  ROW := BOARD.CHILD[1];
END;
""" 
reset = """PlaySnd('click');
I := 0;
J := 0;
FOR I := 1 TO 9 DO
BEGIN
  ROW := BOARD.RW[I];
  FOR J := 1 TO 9 DO
  BEGIN
    CELL := ROW.CHILD[J];
    CELL.Anim := CELL.A0;
    CELL.Vis := TRUE;
    CELL.rY := 0;
  END;
END;
MagicLev6_2(BOARD);
LEFT := 81;
STUCK := 0;
Update(STATUS);"""

head = f"""# Group labelling: a 9 x 9 tray of crystals. MagicLev6_2 looks at the rows L1..L9 beside the
# board (cell Anim = colour 0..5, 6..11 the same colour lit) and gives every crystal of a group
# of three or more touching crystals of one colour the same label in its Tag ("x": in no group);
# then it sets the board's MMX to -1 and runs the board's mouse-move script, which lights the
# group under the pointer. A click takes the lit group away, the crystals above fall down, and
# the board is labelled again. The goal: {GOAL} crystals or fewer left. The cells take no mouse
# (MousedVis false), so the board under them gets the pointer.
class: TQXScreen
Key: 1300
Id: PZLABELS
ImBack: pictures\\puzzles\\pz_labels_back.jpg
exInit: |
  SOLVED := 0;       {{ 1 once solved: the hall reads it }}
  LEFT := 81;
  STUCK := 0;
exShow: |
{textwrap.indent(relabel('TITLE', 'HELP', 'BACK.LABEL', 'AGAIN.LABEL'), '  ')}  MagicLev6_2(BOARD);
  Update(STATUS);
children:
  - class: TQXImage       # the tray: it takes the pointer, and runs the labelling
    Key: {k()}
    Id: BOARD
    imImage: {P}pz_labels_board.png
    rX: 30
    rY: 106
    exInit: |
      MMX := -1;         {{ set to -1 by the native when the labels change }}
      LAST := '?';       {{ the label of the group lit now }}
{''.join(f'      RW[{r}] := .L{r};{chr(10)}' for r in range(1, 10))}    exMouseMove: {block(move, 6)}
    exMouseOut: |
      MsMove(SELF);
    exMouseDown: {block(down, 6)}
"""
rows = ''
for r in range(9):
    rows += f"  - {{class: TQXImage, Key: {kr()}, Id: L{r + 1}, rX: 46, rY: {122 + 52 * r}, MousedVis: false, children: [\n"
    cells = []
    for c in range(9):
        first = r == 0 and c == 0
        tag = lambda nm, scr: f'&{nm} "{scr}"' if first else f'*{nm}'
        cells.append(f"      {{class: TQXImage, Key: {k()}, imImage: \"{P}pz_labels_gems.png\", rX: {52 * c}, Anim: {BOARD[r][c]}, MousedVis: false, "
                     f"exInit: {tag('cinit', 'A0 := Anim')}, exProcess: {tag('cfall', 'IF rY < 0 THEN BEGIN rY := rY + 13; IF rY > 0 THEN rY := 0 END')}}}")
    rows += ',\n'.join(cells) + ']}\n'
ui = title(k, 'PzLabels', 2)
ui += text(k, 'HELP', 592, 124, 392, 300, 'Body.fnt', 'PzLabels.Help', ind=2, comment='how to play')
ui += text(k, 'STATUS', 592, 440, 392, 70, 'Button.fnt', '', 0x7CE0FF, 0x40A8E8, ind=2, comment='crystals left, or that no group is left',
           extra=f"""    exUpdate: |
      Text := GetText('PzLabels.Left') + ': ' + IntToStr(QXDB.PZLABELS.LEFT) + ' (' + GetText('PzLabels.Goal') + ')';
      IF QXDB.PZLABELS.STUCK = 1 THEN Text := GetText('PzLabels.Stuck');
      IF QXDB.PZLABELS.SOLVED = 1 THEN Text := GetText('PzLabels.Done') + ' ' + GetText('PzLabels.Left') + ': ' + IntToStr(QXDB.PZLABELS.LEFT);
""")
ui += again_button(k, reset, 2)
ui += back_button(k, 2)
ui += banner(k, 'PZLABELS', 'Update(QXDB.PZLABELS.STATUS);\n', 2)
open(os.path.join(REPO, 'games/demo/rooms/puzzle_labels.yaml'), 'w').write(plain_paths(head + rows + ui))
print('keys up to', k.n - 1, kr.n - 1, file=sys.stderr)
