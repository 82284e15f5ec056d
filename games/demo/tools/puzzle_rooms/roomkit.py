"""Shared YAML pieces of the puzzle rooms (scratch generator; its output is committed)."""
import textwrap

class Keys:
    def __init__(self, first):
        self.n = first
    def __call__(self):
        k = self.n
        self.n += 1
        return k

def block(script, indent):
    """A script as a YAML block scalar at the given indent."""
    pad = ' ' * indent
    body = textwrap.dedent(script).strip('\n')
    return '|\n' + '\n'.join(pad + line if line else '' for line in body.split('\n'))

def title(k, room, ind=6, top=0xA8ECFF, bottom=0x3A9CE8):
    p = ' ' * ind
    return f"""{p}- class: TQXText       # the room's name, across the top
{p}  Key: {k()}
{p}  Id: TITLE
{p}  rX: 0
{p}  rY: 28
{p}  SizeX: 1024
{p}  SizeY: 56
{p}  PosHor: phCenter
{p}  Font: Title.fnt
{p}  TextId: {room}.Title
{p}  hxColor1: 0x{top:06X}
{p}  hxColor2: 0x{bottom:06X}
{p}  hxTrans2: 255
{p}  MousedVis: false
"""

def text(k, ident, x, y, w, h, font, textid='', colour1=0xF2ECE4, colour2=0xD8CCBC, wrap=True, ind=6, comment='', extra=''):
    p = ' ' * ind
    s = f"{p}- class: TQXText{('       # ' + comment) if comment else ''}\n{p}  Key: {k()}\n{p}  Id: {ident}\n{p}  rX: {x}\n{p}  rY: {y}\n{p}  SizeX: {w}\n{p}  SizeY: {h}\n{p}  Font: {font}\n"
    if textid:
        s += f"{p}  TextId: {textid}\n"
    s += f"{p}  hxColor1: 0x{colour1:06X}\n{p}  hxColor2: 0x{colour2:06X}\n{p}  hxTrans2: 255\n"
    if wrap:
        s += f"{p}  AutoEnter: true\n{p}  EnEnter: true\n{p}  Interval: 3\n"
    s += f"{p}  MousedVis: false\n" + extra
    return s

HOVER_IN = 'hxColor := 14745599;'
HOVER_OUT = 'hxColor := 16777215;'

def button(k, ident, x, y, textid, action, picture='pz_button_blue.png', ind=6, comment=''):
    p = ' ' * ind
    return f"""{p}- class: TQXImage{('       # ' + comment) if comment else ''}
{p}  Key: {k()}
{p}  Id: {ident}
{p}  imImage: pictures\\puzzles\\{picture}
{p}  rX: {x}
{p}  rY: {y}
{p}  exMouseIn: {HOVER_IN}
{p}  exMouseOut: {HOVER_OUT}
{p}  exMouseDown: {block(action, ind + 4)}
{p}  children:
{p}    - class: TQXText
{p}      Key: {k()}
{p}      Id: LABEL
{p}      rX: 0
{p}      rY: 0
{p}      SizeX: 220
{p}      SizeY: 52
{p}      PosHor: phCenter
{p}      PosVert: pvCenter
{p}      Font: Button.fnt
{p}      TextId: {textid}
{p}      hxColor1: 0xFFFFFF
{p}      hxColor2: 0xE8E0D0
{p}      hxTrans2: 255
{p}      MousedVis: false
"""

def back_button(k, ind=6):
    return button(k, 'BACK', 749, 676, 'Puzzles.Back', "PlaySnd('click');\nSetScreen(QXDB.HUB);", ind=ind,
                  comment='the way back to the hall')

def banner(k, screen, on_solved='', ind=6):
    """The gold "Solved!" ribbon: Update(WON) marks the room solved, plays the chime and drops
    the ribbon over the title, where it bounces and stays."""
    p = ' ' * ind
    stars = ''
    for n, (x, y, a) in enumerate(((28, 26, 0), (532, 26, 40), (70, 104, 80), (490, 104, 120))):
        stars += f"""{p}    - class: TQXImage
{p}      Key: {k()}
{p}      imImage: pictures\\puzzles\\pz_star.png
{p}      PosHor: phCenter
{p}      PosVert: pvCenter
{p}      rX: {x}
{p}      rY: {y}
{p}      Angle: {a}
{p}      hxDrawFx: 260
{p}      MousedVis: false
{p}      exProcess: {block('''Angle := Angle + 4;
Scale := 0.75 + 0.35 * Sin(Angle / 25);''', ind + 8)}
"""
    upd = f"""{{ the moment of solving: the flag the hall reads, the chime, the ribbon falls in }}
QXDB.{screen}.SOLVED := 1;
PlaySnd('Puzzles.pz_solved');
rY := -90;
VY := 0;
SETTLED := 0;
Vis := TRUE;
QXDB.{screen}.TITLE.Vis := FALSE;
{{ sparks fly from both ends of the ribbon }}
MoveTo(QXDB.{screen}.SPARKL, 262, 56);
AnimStart(QXDB.{screen}.SPARKL);
MoveTo(QXDB.{screen}.SPARKR, 762, 56);
AnimStart(QXDB.{screen}.SPARKR);
""" + on_solved
    proc = """IF SETTLED = 0 THEN
BEGIN
  VY := VY + 2.5;
  rY := rY + VY;
  IF rY >= 56 THEN
  BEGIN
    rY := 56;
    VY := -VY * 0.45;
    IF Abs(VY) < 3 THEN SETTLED := 1;
  END;
END;"""
    return f"""{p}- class: TQXImage       # the "Solved!" ribbon (Update(WON) is the moment of solving)
{p}  Key: {k()}
{p}  Id: WON
{p}  imImage: pictures\\puzzles\\pz_banner.png
{p}  PosHor: phCenter
{p}  PosVert: pvCenter
{p}  rX: 512
{p}  rY: 56
{p}  Vis: false
{p}  MousedVis: false
{p}  exInit: |
{p}    VY := 0;
{p}    SETTLED := 1;
{p}  exUpdate: {block(upd, ind + 4)}
{p}  exProcess: {block(proc, ind + 4)}
{p}  children:
{p}    - class: TQXText
{p}      Key: {k()}
{p}      rX: 50
{p}      rY: 12
{p}      SizeX: 460
{p}      SizeY: 78
{p}      PosHor: phCenter
{p}      PosVert: pvCenter
{p}      Font: Title.fnt
{p}      TextId: Puzzles.Solved
{p}      hxColor1: 0x1A3F6B
{p}      hxColor2: 0x0A2440
{p}      hxTrans2: 255
{p}      MousedVis: false
""" + stars + f"""{p}- class: TQXEffect      # the sparks of the solved moment (the game's sparkle effect)
{p}  Key: {k()}
{p}  Id: SPARKL
{p}  EffectFN: effects\\sparkle.eff
{p}  DAnim: 1
{p}- class: TQXEffect
{p}  Key: {k()}
{p}  Id: SPARKR
{p}  EffectFN: effects\\sparkle.eff
{p}  DAnim: 1
"""

def again_button(k, action, ind=6, x=749, y=600):
    return button(k, 'AGAIN', x, y, 'Puzzles.Again', action, picture='pz_button.png', ind=ind,
                  comment='puts the puzzle back as it was at the start')

def relabel(*ids):
    """exShow lines that look every text up again, so a language change shows."""
    return ''.join(f'{i}.TextId := {i}.TextId;\n' for i in ids)

def plain_paths(yaml):
    """Picture names in plain (unquoted) YAML values take single backslashes; the doubled form
    is only for double-quoted values, where the backslash is an escape."""
    out = []
    for line in yaml.split('\n'):
        key, sep, value = line.partition(': ')
        if sep and value.startswith('pictures\\\\'):
            value = value.replace('\\\\', '\\')
        out.append(key + sep + value)
    return '\n'.join(out)
