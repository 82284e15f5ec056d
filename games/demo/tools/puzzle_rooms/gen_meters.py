import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')
import sys
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roomkit import *
k = Keys(1101)
P = 'pictures\\\\puzzles\\\\'
PLACES = [(40, 'Level1', 1001, 'Beach'), (362, 'Level2', 1002, 'Forest'), (684, 'Level3', 1003, 'Cave')]

def place(n, x, level, key, name):
    s = f"""  - class: TQXExScreen    # place {n + 1}: the screen {level}, shown in its window
    Key: {k()}
    Id: EX{n + 1}
    obScreen: {key}
    X: {x}
    Y: 112
  - class: TQXText        # the place's name, in a corner of its window
    Key: {k()}
    Id: NAME{n + 1}
    rX: {x + 8}
    rY: 116
    SizeX: 200
    SizeY: 24
    Font: Small.fnt
    TextId: PzMeters.{name}
    hxColor1: 0xFFFFFF
    hxColor2: 0xE0E8F0
    hxTrans2: 255
    MousedVis: false
  - class: TQXImage       # the place's meter: MagicGIProg on BAR; SCR is the place's screen
    Key: {k()}
    Id: MET{n + 1}
    rX: {x + 34}
    rY: 336
    exInit: |
      SCR := QXDB.{level.upper()};
    children:
      - {{class: TQXImage, Key: {k()}, Id: PRB, imImage: "{P}pz_meter_trough.png", MousedVis: false}}
      - class: TQXImage
        Key: {k()}
        Id: BAR
        imImage: {P}pz_meter_fill.png
        rX: 4
        rY: 4
        ScaleX: 0
        MousedVis: false
        exProcess: |
          MagicGIProg(SELF);
      - {{class: TQXImage, Key: {k()}, Id: PRF, imImage: "{P}pz_meter_glass.png", MousedVis: false}}
      - class: TQXAnim        # PRAN: started by the native when the place is done
        Key: {k()}
        Id: PRAN
        X: 84
        Y: -19
        ShowAn: true
        Vis: false
        exStart: |
          PlaySnd('Puzzles.pz_clear');
        children:
          - class: TQXAnKey
            Key: {k()}
            Count: 8
            children:
              - {{class: TQXImage, Key: {k()}, Id: B, imImage: "{P}pz_meter_badge.png", PosHor: phCenter, PosVert: pvCenter, rX: 32, rY: 32, Scale: 0.3, hxTrans: 0, Angle: -90}}
          - class: TQXAnKey
            Key: {k()}
            Count: 5
            children:
              - {{class: TQXImage, Key: {k()}, Id: B, imImage: "{P}pz_meter_badge.png", PosHor: phCenter, PosVert: pvCenter, rX: 32, rY: 32, Scale: 1.25}}
          - class: TQXAnKey
            Key: {k()}
            children:
              - {{class: TQXImage, Key: {k()}, Id: B, imImage: "{P}pz_meter_badge.png", PosHor: phCenter, PosVert: pvCenter, rX: 32, rY: 32}}
"""
    return s

head = f"""# Task meters and map progress: three places, each a top-level screen named Level1..Level3 and
# shown here through an embedded screen. When the room first opens, MagicLevProg counts each
# place's tasks (ENDCN, the task variables A[n] and LG[n]); each place's meter bar calls
# MagicGIProg every step, which stretches the bar (ScaleX) by the done share and, when the place
# is done, hides the bar (PRB, PRF, its own opacity) and starts the badge animation PRAN once.
# The map bar calls MagicMapProg, which adds up every "Level" screen of the game; the ship sails
# with it, and a full map is the solved moment.
class: TQXScreen
Key: 1100
Id: PZMETERS
ImBack: pictures\\puzzles\\pz_meters_back.jpg
exInit: |
  SOLVED := 0;       {{ 1 once solved: the hall reads it }}
  STARTED := 0;
exShow: |
  {{ the task counts are taken once, before anything is found }}
  IF STARTED = 0 THEN
  BEGIN
    MagicLevProg(QXDB.LEVEL1);
    MagicLevProg(QXDB.LEVEL2);
    MagicLevProg(QXDB.LEVEL3);
    STARTED := 1;
  END;
{textwrap.indent(relabel('TITLE', 'HELP', 'BACK.LABEL', 'NAME1', 'NAME2', 'NAME3'), '  ')}children:
"""
body = ''.join(place(n, *p) for n, p in enumerate(PLACES))
body += f"""  - {{class: TQXImage, Key: {k()}, imImage: "{P}pz_meter_trough.png", rX: 200, rY: 503, ScaleX: 2.66, MousedVis: false}}
  - class: TQXImage       # the map's meter: MagicMapProg counts all three places
    Key: {k()}
    Id: MAPBAR
    imImage: {P}pz_map_fill.png
    rX: 212
    rY: 505
    ScaleX: 0
    MousedVis: false
    exProcess: |
      MagicMapProg(SELF);
      .SHIP.rX := 212 + 600 * ScaleX;
      IF QXDB.PZMETERS.SOLVED = 0 THEN IF ScaleX >= 1 THEN Update(QXDB.PZMETERS.WON);
  - class: TQXImage       # the ship sails along the map as the places are explored
    Key: {k()}
    Id: SHIP
    imImage: {P}pz_map_ship.png
    PosHor: phCenter
    PosVert: pvBottom
    rX: 212
    rY: 500
    MousedVis: false
    exInit: T := 0;
    exProcess: |
      T := T + 1;
      Angle := 4 * Sin(T / 9);
"""
ui = title(k, 'PzMeters', 2, 0x2A5A8A, 0x0C2440)  # dark ink on the parchment
ui += text(k, 'HELP', 36, 576, 656, 170, 'Body.fnt', 'PzMeters.Help', ind=2, comment='how to play')
ui += back_button(k, 2)
ui += banner(k, 'PZMETERS', '', 2)
open(os.path.join(REPO, 'games/demo/rooms/puzzle_meters.yaml'), 'w').write(plain_paths(head + body + ui))
print('keys up to', k.n - 1, file=sys.stderr)
