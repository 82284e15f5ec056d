import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')
import sys, random
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roomkit import *
k = Keys(1701)
P = 'pictures\\\\puzzles\\\\'
rng = random.Random(21)
runes = [r for r in range(1, 8) for _ in range(4)] + [8, 8]
rng.shuffle(runes)
ROWS = [runes[i * 5:(i + 1) * 5] for i in range(6)]
open(os.path.join(DATA, 'slide_rows.txt'), 'w').write(repr(ROWS))

def belts():
    s = ''
    for r, row in enumerate(ROWS):
        s += f"""      - class: TQXImage       # belt {r + 1}
        Key: {k()}
        Id: R{r + 1}
        rY: {81 * r}
        children:
"""
        for t, rune in enumerate(row):
            first = r == 0 and t == 0
            tag = lambda nm, scr: f'&{nm} "{scr}"' if first else f'*{nm}'
            s += (f"          - {{class: TQXImage, Key: {k()}, Id: T{t + 1}, imImage: \"{P}pz_slide_tiles.png\", rX: {10 + 85 * t + 330 + 40 * r}, Anim: {rune}, hxTrans: 5,\n"
                  f"             exInit: {tag('tinit', 'S := GLOW;')}, exProcess: {tag('tproc', 'MagicLev6InLogO(SELF);')},\n"
                  f"             exMouseDown: {tag('tdown', 'IF Anim > 0 THEN BEGIN QXDB.PZSLIDE.PICKED := SELF; Update(QXDB.PZSLIDE) END')},\n"
                  f"             children: [{{class: TQXImage, Key: {k()}, Id: GLOW, imImage: \"{P}pz_slide_glow.png\", Anim: {rune}, hxDrawFx: 260, hxTrans: 1, MousedVis: false}}]}}\n")
    return s

update = """{ a glyph was clicked (PICKED): choose it, or pair it with the one chosen before }
T := PICKED;
HAVE := 0;
I := 0;
J := 0;
FOR I := 1 TO BELTS.CHILDCOUNT DO
BEGIN
  R := BELTS.CHILD[I];
  FOR J := 1 TO R.CHILDCOUNT DO
  BEGIN
    U := R.CHILD[J];
    IF U.Anim > 8 THEN
    BEGIN
      SEL := U;       { the chosen glyph, wherever its belt has carried it }
      HAVE := 1;
    END;
  END;
END;
IF HAVE = 0 THEN
BEGIN
  T.Anim := T.Anim + 8;
  PlaySnd('Puzzles.pz_pick');
  EXIT;
END;
IF T.Anim > 8 THEN
BEGIN
  T.Anim := T.Anim - 8;
  EXIT;
END;
IF SEL.Anim - 8 <> T.Anim THEN
BEGIN
  SEL.Anim := SEL.Anim - 8;
  PlaySnd('Puzzles.pz_wrong');
  EXIT;
END;
{ a pair: both glyphs go; a belt with none left goes too, and the belts below move up }
SEL.Anim := 0;
SEL.GLOW.Vis := FALSE;
T.Anim := 0;
T.GLOW.Vis := FALSE;
PlaySnd('Puzzles.pz_pop');
PAIRS := PAIRS + 1;
FOR I := 1 TO BELTS.CHILDCOUNT DO
BEGIN
  R := BELTS.CHILD[I];
  IF R.Vis THEN
  BEGIN
    LEFT := 0;
    FOR J := 1 TO R.CHILDCOUNT DO
    BEGIN
      U := R.CHILD[J];
      IF U.Anim > 0 THEN LEFT := LEFT + 1;
    END;
    IF LEFT = 0 THEN
    BEGIN
      R.Vis := FALSE;
      PlaySnd('Puzzles.pz_clear');
      PUFF.rY := BELTS.Y + R.Y + 38;
      PUFF.T := 0;
      PUFF.Vis := TRUE;
    END;
  END;
END;
Update(STATUS);"""

head = f"""# Sliding rows: six belts of glyph plates run left and right by turns; clicking two equal glyphs
# clears them, and a belt without glyphs goes, so the belts below move up. The container BELTS
# calls MagicLev6InLog every step: it stacks the visible belts 81 px apart from the top, moves
# each by one pixel (every other one the other way) and, once a belt has moved 42 px, turns its
# faces one place round (the plates' Anim, their companions' Anim and visibility) and moves it
# back. Only five belts fit (the sixth waits under the grate). With every belt gone the native
# sets QXDB.LOGINTERFACE.WIN. Each plate's process script calls MagicLev6InLogO, which fades it
# in (its companion "S", the glyph's glow, at a quarter of its opacity) and slides it into its
# place after the plate before it; the plates start far right and so are dealt in.
# A plate's Anim is its glyph (0 none, 1..8, 9..16 the same glyph chosen), so a choice rides
# along with its glyph when the native turns the belt.
class: TQXScreen
Key: 1700
Id: PZSLIDE
ImBack: pictures\\puzzles\\pz_slide_back.jpg
exInit: |
  SOLVED := 0;       {{ 1 once solved: the hall reads it }}
  PAIRS := 0;
  PICKED := 0;
exShow: |
  QXDB.LOGINTERFACE.WIN := 0;
{textwrap.indent(relabel('TITLE', 'HELP', 'BACK.LABEL'), '  ')}  Update(STATUS);
exProcess: |
  {{ the native raises the common win flag once every belt is gone }}
  IF SOLVED = 0 THEN IF QXDB.LOGINTERFACE.WIN = 1 THEN Update(WON);
exUpdate: {block(update, 2)}
children:
  - class: TQXImage       # the belts' container (no picture): MagicLev6InLog runs them
    Key: {k()}
    Id: BELTS
    rX: 60
    rY: 118
    exProcess: |
      MagicLev6InLog(SELF);
    children:
{belts()}  - class: TQXImage       # the housings at the belts' ends hide where the faces come round
    Key: {k()}
    imImage: {P}pz_slide_side.png
    rX: 22
    rY: 110
  - class: TQXImage
    Key: {k()}
    imImage: {P}pz_slide_side.png
    rX: 478
    rY: 110
  - class: TQXImage       # the grate over the belt that waits
    Key: {k()}
    imImage: {P}pz_slide_grate.png
    rX: 56
    rY: 522
  - class: TQXImage       # the flash where a belt goes
    Key: {k()}
    Id: PUFF
    imImage: {P}pz_slide_puff.png
    PosHor: phCenter
    PosVert: pvCenter
    rX: 296
    hxDrawFx: 260
    Vis: false
    MousedVis: false
    exInit: T := 0;
    exProcess: |
      T := T + 1;
      ScaleX := 1.2 + T * 0.08;
      hxTrans := 255 - T * 12;
      IF T >= 20 THEN Vis := FALSE;
"""
ui = title(k, 'PzSlide', 2)
ui += text(k, 'HELP', 606, 128, 380, 320, 'Body.fnt', 'PzSlide.Help', ind=2, comment='how to play')
ui += text(k, 'STATUS', 606, 470, 380, 34, 'Button.fnt', '', 0x7CE0FF, 0x40A8E8, ind=2, wrap=False, comment='pairs found so far',
           extra="""    exUpdate: |
      Text := GetText('PzSlide.Pairs') + ': ' + IntToStr(QXDB.PZSLIDE.PAIRS) + ' / 15';
""")
ui += back_button(k, 2)
ui += banner(k, 'PZSLIDE', '', 2)
open(os.path.join(REPO, 'games/demo/rooms/puzzle_slide.yaml'), 'w').write(plain_paths(head + ui))
print('keys up to', k.n - 1, file=sys.stderr)
