import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')
import sys
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roomkit import *
k = Keys(1601)
P = 'pictures\\\\puzzles\\\\'

def station(name, x, y, kind):
    """One stand: the pile (the native's controller and the discs' parent), the click zones."""
    hanoi = kind == 'hanoi'
    native = 'MagicLev7Log' if hanoi else 'MagicLev15Log'
    cols = (180, 340, 500) if hanoi else (130, 290, 450)
    win_x = 500 if hanoi else 450
    if hanoi:
        pieces = [('D1', 'pz_tower_disc1.png', 180, 254), ('D2', 'pz_tower_disc2.png', 180, 218), ('D3', 'pz_tower_disc3.png', 180, 182)]
        anchor = 'pvTop'
        pick_rule = 'the top disc of the column: the one highest up'
        better = 'D.Y < BEST'
        bestinit = '10000'
        score = 'D.Y'
    else:
        pieces = [('C1', 'pz_tower_cup1.png', 130, 227), ('C2', 'pz_tower_cup2.png', 130, 227), ('C3', 'pz_tower_cup3.png', 130, 227)]
        anchor = 'pvBottom'
        pick_rule = 'the outer cup of the column: the widest'
        better = 'D.SZX > BEST'
        bestinit = '-1'
        score = 'D.SZX'
    s = f"""  - class: TQXImage       # {'the disc tower (MagicLev7Log): smaller on larger' if hanoi else 'the glass cups (MagicLev15Log): a cup goes over smaller ones'}
    Key: {k()}
    Id: {name}
    rX: {x}
    rY: {y}
    children:
"""
    if hanoi:
        s += f"""      - class: TQXImage       # S1: the stand; discs land on it (the native reads its Y and size)
        Key: {k()}
        Id: S1
        imImage: {P}pz_tower_stand.png
        rX: 100
        rY: 100
        MousedVis: false
"""
    s += f"""      - class: TQXImage       # LL: the glow once the tower is rebuilt
        Key: {k()}
        Id: LL
        imImage: {P}pz_tower_glow.png
        PosHor: phCenter
        PosVert: pvCenter
        rX: {win_x}
        rY: {290 if hanoi else 215}
        Scale: {1.3 if hanoi else 1.1}
        hxDrawFx: 260
        Vis: false
        MousedVis: false
      - class: TQXImage       # the pile: the native's controller, the pieces are its children
        Key: {k()}
        Id: PILE
        exInit: |
          L := SELF;       {{ the native finds the pile as the variable L of the element in L }}
{"          S1 := .S1;       { the stand the discs land on }" + chr(10) + "          LL := .LL;       { made visible by the native when the tower is done }" + chr(10) if hanoi else ""}          OBJ := 0;        {{ the piece being carried, 0 for none }}
          V := 0;          {{ its hovering state }}
          CX := 0;         {{ the X of the column it goes to }}
          T := 0;          {{ its drop state: 1 drop wanted .. 4 falling }}
          TY := 0;         {{ where it lands }}
          CLICKX := 0;     {{ the column last clicked }}
          DONE := 0;
        exProcess: |
          WAS := OBJ;
          WT := T;
          {native}(SELF);
          {{ the native sent the piece up again: it may not go there }}
          IF WAS <> 0 THEN IF OBJ <> 0 THEN IF WT >= 2 THEN IF T = 0 THEN
          BEGIN
            PlaySnd('Puzzles.pz_wrong');
            .HINT.Vis := TRUE;
            .HINT.LEFT := 75;
          END;
          IF WAS <> 0 THEN IF OBJ = 0 THEN
          BEGIN
{"" if hanoi else "            PlaySnd('Puzzles.pz_drop');" + chr(10)}            QXDB.PZTOWER.MOVES := QXDB.PZTOWER.MOVES + 1;
            Update(QXDB.PZTOWER.STATUS);
          END;
          {{ the native's win flag: this stand is done }}
          IF QXDB.LOGINTERFACE.WIN = 1 THEN
          BEGIN
            QXDB.LOGINTERFACE.WIN := 0;
            DONE := 1;
            .LL.Vis := TRUE;
            PlaySnd('Puzzles.pz_clear');
            Update(QXDB.PZTOWER);
          END;
        exUpdate: |
          {{ a column was clicked (CLICKX): lift its piece, or send the carried one there }}
          IF DONE = 0 THEN
          BEGIN
            IF OBJ = 0 THEN
            BEGIN
              {{ {pick_rule} }}
              TOP := 0;
              BEST := {bestinit};
              I := 0;
              FOR I := 1 TO CHILDCOUNT DO
              BEGIN
                D := CHILD[I];
                IF D.X = CLICKX THEN IF {better} THEN
                BEGIN
                  TOP := D;
                  BEST := {score};
                END;
              END;
              IF TOP <> 0 THEN
              BEGIN
                ToFront(TOP);
                OBJ := TOP;
                V := 1;
                CX := CLICKX;
                T := 0;
                PlaySnd('Puzzles.pz_pick');
              END;
            END
            ELSE IF T = 0 THEN
            BEGIN
              CX := CLICKX;
              T := 1;
            END;
          END;
        exAfterLoad: |
          {{ a saved game may have been saved while a piece was in the air }}
          BEGIN END;
        children:
"""
    for ident, pic, px, py in pieces:
        s += f"""          - {{class: TQXImage, Key: {k()}, Id: {ident}, imImage: "{P}{pic}", PosHor: phCenter, PosVert: {anchor}, rX: {px}, rY: {py}, MousedVis: false, exInit: "X0 := rX; Y0 := rY;"}}
"""
    zy, zh = (60, 250) if hanoi else (-180, 407)
    ay = 44 if hanoi else -196
    hy = 10 if hanoi else -64
    for n, cx in enumerate(cols):
        s += f"""      - class: TQXShape       # the click zone of column {n + 1}
        Key: {k()}
        Id: Z{n + 1}
        rX: {cx - 75}
        rY: {zy}
        SizeX: 150
        SizeY: {zh}
        hxTrans: 0
        exMouseIn: |
          .ARROW.rX := {cx};
          .ARROW.Vis := TRUE;
        exMouseOut: |
          .ARROW.Vis := FALSE;
        exMouseDown: |
          .PILE.CLICKX := {cx};
          Update(.PILE);
"""
    s += f"""      - class: TQXImage       # the marker over the column under the pointer
        Key: {k()}
        Id: ARROW
        imImage: {P}pz_tower_arrow.png
        PosHor: phCenter
        rX: {cols[0]}
        rY: {ay}
        Vis: false
        MousedVis: false
        exProcess: |
          rY := {ay} + 4 * Sin(DT / 4);
          DT := DT + 1;
        exInit: DT := 0;
      - class: TQXText        # the rule, shown for a moment when a move is refused
        Key: {k()}
        Id: HINT
        rX: {(cols[0] + cols[2]) // 2 - 240}
        rY: {hy}
        SizeX: 480
        SizeY: 30
        PosHor: phCenter
        Font: Button.fnt
        TextId: PzTower.{'RuleDiscs' if hanoi else 'RuleCups'}
        hxColor1: 0x8080FF
        hxColor2: 0x3030D0
        hxTrans2: 255
        Vis: false
        MousedVis: false
        exInit: LEFT := 0;
        exProcess: |
          LEFT := LEFT - 1;
          IF LEFT <= 0 THEN Vis := FALSE;
"""
    return s

reset = """IF TOWERA.PILE.OBJ = 0 THEN IF TOWERB.PILE.OBJ = 0 THEN
BEGIN
  PlaySnd('click');
  P := TOWERA.PILE;
  P.D1.rX := P.D1.X0; P.D1.rY := P.D1.Y0; ToFront(P.D1);
  P.D2.rX := P.D2.X0; P.D2.rY := P.D2.Y0; ToFront(P.D2);
  P.D3.rX := P.D3.X0; P.D3.rY := P.D3.Y0; ToFront(P.D3);
  P.DONE := 0;
  TOWERA.LL.Vis := FALSE;
  P := TOWERB.PILE;
  P.C1.rX := P.C1.X0; P.C1.rY := P.C1.Y0; ToFront(P.C1);
  P.C2.rX := P.C2.X0; P.C2.rY := P.C2.Y0; ToFront(P.C2);
  P.C3.rX := P.C3.X0; P.C3.rY := P.C3.Y0; ToFront(P.C3);
  P.DONE := 0;
  TOWERB.LL.Vis := FALSE;
  QXDB.LOGINTERFACE.WIN := 0;
  MOVES := 0;
  Update(STATUS);
END;"""

head = f"""# Tower stacking: two stands side by side, each run by its native from its pile's process
# script. Left, the disc tower (MagicLev7Log): a disc may only rest on a larger one, and the
# discs land on the stand S1. Right, glass cups (MagicLev15Log): a cup may only go over smaller
# cups, and every cup stands on the shelf. Both are won when every piece stands at the right-
# hand column; the natives then set QXDB.LOGINTERFACE.WIN.
#
# A click on a column (the zones Z1..Z3) stores its X in the pile's CLICKX and raises the
# pile's Update: with nothing carried it lifts the column's accessible piece (OBJ, V := 1), else
# it sends the carried piece there (CX, T := 1). The native moves it, and refuses a wrong drop
# by sending it up again (T := 0, V := 1), which the pile's script turns into the rule's hint.
class: TQXScreen
Key: 1600
Id: PZTOWER
ImBack: pictures\\puzzles\\pz_tower_back.jpg
exInit: |
  SOLVED := 0;       {{ 1 once solved: the hall reads it }}
  MOVES := 0;
exShow: |
  QXDB.LOGINTERFACE.WIN := 0;
{textwrap.indent(relabel('TITLE', 'HELP', 'BACK.LABEL', 'AGAIN.LABEL', 'TOWERA.HINT', 'TOWERB.HINT'), '  ')}  Update(STATUS);
exUpdate: |
  {{ a stand reports it is done; both done is the solved moment }}
  IF SOLVED = 0 THEN IF TOWERA.PILE.DONE = 1 THEN IF TOWERB.PILE.DONE = 1 THEN Update(WON);
children:
"""
body = station('TOWERA', -90, 239, 'hanoi') + station('TOWERB', 470, 313, 'cups')
ui = title(k, 'PzTower', 2)
ui += text(k, 'HELP', 40, 606, 640, 130, 'Body.fnt', 'PzTower.Help', ind=2, comment='how to play')
ui += text(k, 'STATUS', 749, 548, 240, 40, 'Button.fnt', '', 0x7CE0FF, 0x40A8E8, ind=2, wrap=False, comment='moves so far',
           extra="""    exUpdate: |
      Text := GetText('PzTower.Moves') + ': ' + IntToStr(QXDB.PZTOWER.MOVES);
""")
ui += again_button(k, reset, 2)
ui += back_button(k, 2)
ui += banner(k, 'PZTOWER', '', 2)
open(os.path.join(REPO, 'games/demo/rooms/puzzle_tower.yaml'), 'w').write(plain_paths(head + body + ui))
print('keys up to', k.n - 1, file=sys.stderr)
