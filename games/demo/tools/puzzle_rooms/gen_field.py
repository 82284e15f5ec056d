import os
HERE = os.path.dirname(os.path.abspath(__file__))
REPO = os.path.abspath(os.path.join(HERE, '..', '..', '..', '..'))
DATA = os.path.join(HERE, 'data')
import sys, random
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from roomkit import *
k = Keys(1401)
P = 'pictures\\\\puzzles\\\\'
FIELD_SOCKETS = [(-105, -55), (-30, -112), (62, -68), (112, 34), (18, 104)]
BEAD_SOCKETS = [(x, round(20 - 50 * (1 - (x / 150.0) ** 2))) for x in range(-150, 151, 50)]
# planets start in a cross in the middle of the chart, beads in a row at the front of the tray
PLANET_START = [(52, 0), (0, 52), (-52, 0), (0, -52), (0, 0)]
BEAD_START = [(x, 70) for x in (-40, 80, -120, 120, 0, -80, 40)]

def pieces(kind):
    out = []
    planet = kind == 'planet'
    native = 'MagicLev6_3' if planet else 'MagicLev4In_3'
    cx, cy = (220, 220) if planet else (220, 140)
    sockets = FIELD_SOCKETS if planet else BEAD_SOCKETS
    starts = PLANET_START if planet else BEAD_START
    for n in range(len(sockets)):
        sx, sy = sockets[n]
        x, y = starts[n]
        first = n == 0
        a = lambda name, script: f'&{name}{kind} "{script}"' if first else f'*{name}{kind}'
        drag = f"IF PLACED = 0 THEN {native}(SELF)"
        drop = ("IF PLACED = 0 THEN IF Sqr(rX - SX) + Sqr(rY - SY) < 256 THEN BEGIN "
                "rX := SX; rY := SY; PLACED := 1; Scale := 1; PlaySnd('Puzzles.pz_pop'); "
                "FLASH.T := 0; FLASH.hxTrans := 255; FLASH.Vis := TRUE; "
                "QXDB.PZFIELD.PLACED := QXDB.PZFIELD.PLACED + 1; Update(QXDB.PZFIELD) END")
        flashp = "T := T + 1; Scale := 0.4 + T * 0.12; hxTrans := 255 - T * 17; Angle := Angle + 6; IF T >= 15 THEN Vis := FALSE"
        out.append(f"""      - {{class: TQXImage, Key: {k()}, Id: {kind.upper()[0]}{n + 1}, imImage: "{P}pz_field_{kind}{n + 1}.png", PosHor: phCenter, PosVert: pvCenter,
         rX: {cx + x}, rY: {cy + y}, MsKeep: true, exInit: "SX := {cx + sx}; SY := {cy + sy}; PLACED := 0;",
         exProcess: {a('drag', drag)}, exMouseIn: {a('in', 'IF PLACED = 0 THEN Scale := 1.12')}, exMouseOut: {a('out', 'Scale := 1')},
         exMouseDown: {a('down', "IF PLACED = 0 THEN PlaySnd('Puzzles.pz_pick')")}, exMouseUp: {a('up', drop)},
         children: [{{class: TQXImage, Key: {k()}, Id: FLASH, imImage: "{P}pz_star.png", PosHor: phCenter, PosVert: pvCenter,
           rX: {23 if planet else 13}, rY: {23 if planet else 13}, hxDrawFx: 260, Vis: false, MousedVis: false, exInit: "T := 0", exProcess: {a('flash', flashp)}}}]}}""")
    return '\n'.join(out) + '\n'

head = f"""# Field dragging: the planets of the star chart and the beads of the tray are dragged with the
# mouse into their sockets. While a piece is held (MsKeep keeps it under the pointer), its
# process script calls the native every step: MagicLev6_3 for the round chart (the piece stays
# inside a circle 50 px within the rim and 50 px from every other piece), MagicLev4In_3 for
# the oval tray (inside the ellipse, 28 px from the others). Dropped near its socket, a piece
# snaps in and stays.
class: TQXScreen
Key: 1400
Id: PZFIELD
ImBack: pictures\\puzzles\\pz_field_back.jpg
exInit: |
  SOLVED := 0;       {{ 1 once solved: the hall reads it }}
  PLACED := 0;
exShow: |
{textwrap.indent(relabel('TITLE', 'HELP', 'BACK.LABEL'), '  ')}  Update(STATUS);
exUpdate: |
  {{ a piece went home }}
  Update(STATUS);
  IF SOLVED = 0 THEN IF PLACED = 12 THEN Update(WON);
children:
  - class: TQXImage       # the round star chart: its planets are its children
    Key: {k()}
    Id: CHART
    imImage: {P}pz_field_round.png
    rX: 30
    rY: 112
    children:
{pieces('planet')}  - class: TQXImage       # the oval tray: its beads are its children
    Key: {k()}
    Id: TRAY
    imImage: {P}pz_field_oval.png
    rX: 556
    rY: 112
    children:
{pieces('bead')}"""
ui = title(k, 'PzField', 2)
ui += text(k, 'HELP', 566, 432, 410, 180, 'Body.fnt', 'PzField.Help', ind=2, comment='how to play')
ui += text(k, 'STATUS', 566, 612, 410, 34, 'Button.fnt', '', 0x7CE0FF, 0x40A8E8, ind=2, wrap=False, comment='pieces home so far',
           extra="""    exUpdate: |
      Text := GetText('PzField.Placed') + ': ' + IntToStr(QXDB.PZFIELD.PLACED) + ' / 12';
""")
ui += back_button(k, 2)
ui += banner(k, 'PZFIELD', '', 2)
open(os.path.join(REPO, 'games/demo/rooms/puzzle_field.yaml'), 'w').write(plain_paths(head + ui))
print('keys up to', k.n - 1, file=sys.stderr)
