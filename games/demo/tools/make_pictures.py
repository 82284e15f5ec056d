#!/usr/bin/python3
"""Draws every picture of the demo game (backgrounds, sprites, interface, particles).

Run from games/demo/tools/make_assets.sh; writes into games/demo/. Seeded: the same
pictures every run.
"""
import math
import os
import sys

import numpy as np

sys.path.insert(0, os.path.dirname(__file__))
import art  # noqa: E402
import scenery  # noqa: E402
from art import rgb  # noqa: E402

W, H = 1024, 768
OUT = os.path.join(os.path.dirname(__file__), "..")


def out(*parts):
    path = os.path.join(OUT, *parts)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    return path


def write_an(path, cols, rows):
    with open(path, "w") as f:
        f.write(f"{cols}\n{rows}\n")


# --- small objects --------------------------------------------------------------------------

def brass(w, h, mask, depth=5, soft=2.0, gloss=0.5, base="#c9973a"):
    c = art.canvas(w, h)
    grad = art.ramp(art.linear(w, h, (0, 0), (w, h)), [(0, "#f3d27a"), (0.5, base), (1, "#7a5418")])
    art.lit(c, mask, grad, depth=depth, soft=soft, strength=0.5, gloss=gloss)
    art.paint(c, art.outline(mask, 1.5), "#3a2508", 0.9)
    return c


def gear_mask(w, h, cx, cy, r, teeth, hole=0.3, tooth=0.18, spokes=0):
    pts = []
    n = teeth * 4
    for i in range(n):
        a = 2 * math.pi * i / n
        rr = r if (i % 4) in (1, 2) else r * (1 - tooth)
        pts.append((cx + math.cos(a) * rr, cy + math.sin(a) * rr))
    m = art.polygon(w, h, pts)
    if spokes:
        ring = art.cut(art.circle(w, h, cx, cy, r * (1 - tooth) - r * 0.12), art.circle(w, h, cx, cy, r * 0.32))
        sp = np.zeros((h, w))
        for k in range(spokes):
            a = 2 * math.pi * k / spokes
            sp = np.maximum(sp, art.line(w, h, [(cx, cy), (cx + math.cos(a) * r * 0.7, cy + math.sin(a) * r * 0.7)],
                                         r * 0.16))
        m = art.cut(m, art.cut(ring, sp))
    return art.cut(m, art.circle(w, h, cx, cy, r * hole * 0.5))


def item_key(size=96):
    w = h = size
    s = size / 96
    bow = art.cut(art.circle(w, h, 28 * s, 48 * s, 20 * s), art.circle(w, h, 28 * s, 48 * s, 9 * s))
    shaft = art.rect(w, h, (44 * s, 44 * s, 86 * s, 53 * s), radius=2 * s)
    bit = art.union(art.rect(w, h, (70 * s, 53 * s, 78 * s, 68 * s)), art.rect(w, h, (80 * s, 53 * s, 86 * s, 63 * s)))
    m = art.union(bow, shaft, bit)
    c = art.canvas(w, h)
    art.drop_shadow(c, m, 3, 4, 3, 0.45)
    art.over(c, brass(w, h, m, gloss=0.7), 0, 0)
    return c


def item_gear(size=96):
    w = h = size
    m = gear_mask(w, h, w / 2, h / 2, size * 0.44, 12, hole=0.35, spokes=5)
    c = art.canvas(w, h)
    art.drop_shadow(c, m, 3, 4, 3, 0.45)
    art.over(c, brass(w, h, m, base="#b88a3a"), 0, 0)
    return c


def item_lens(size=96):
    w = h = size
    ring = art.cut(art.circle(w, h, 48, 44, 34), art.circle(w, h, 48, 44, 27))
    handle = art.rect(w, h, (43, 76, 53, 94), radius=3)
    c = art.canvas(w, h)
    art.drop_shadow(c, art.union(ring, handle, art.circle(w, h, 48, 44, 30)), 3, 4, 3, 0.4)
    glass = art.circle(w, h, 48, 44, 28)
    tint = art.ramp(art.radial(w, h, 38, 32, 44), [(0, "#e8fbff"), (0.6, "#7fc4e8"), (1, "#2f6f9a")])
    art.paint(c, glass, tint, 0.85)
    art.paint(c, art.ellipse(w, h, (30, 24, 50, 38)) * glass, "#ffffff", 0.7)
    art.over(c, brass(w, h, ring, depth=4, gloss=0.6), 0, 0)
    wood = scenery.wood(w, h, "#6a3a1c", "#3a1e0c", 3, vertical=True)
    art.lit(c, handle, wood[..., :3], depth=4, strength=0.4)
    art.paint(c, art.outline(handle, 1.2), "#2a1408", 0.9)
    return c


def sparkle_star(size=64):
    w = h = size
    c = art.canvas(w, h)
    pts = []
    for i in range(16):
        a = 2 * math.pi * i / 16 - math.pi / 2
        r = size * (0.46 if i % 4 == 0 else 0.12 if i % 2 else 0.2)
        pts.append((w / 2 + math.cos(a) * r, h / 2 + math.sin(a) * r))
    m = art.polygon(w, h, pts)
    art.glow(c, m, 6, "#fff2b0", 0.7)
    art.paint(c, m, "#fffbe0")
    return c


# --- the clockwork mouse: 16 direction pictures and a sitting one ---------------------------

def mouse_picture(angle_deg, size=64, sitting=False):
    """A top-down clockwork mouse heading along angle_deg (0 = right, clockwise), lit from the
    upper left whatever way it faces: this is why direction pictures exist."""
    w = h = size
    S = 3  # drawn large, then reduced
    big = size * S
    a = math.radians(angle_deg)
    ca, sa = math.cos(a), math.sin(a)

    def P(x, y):  # body space (x forward, y right) -> picture
        return (big / 2 + (x * ca - y * sa) * S, big / 2 + (x * sa + y * ca) * S)

    def ell(cx, cy, rx, ry, n=40):
        return [P(cx + rx * math.cos(t * 2 * math.pi / n), cy + ry * math.sin(t * 2 * math.pi / n)) for t in range(n)]

    c = art.canvas(big, big)
    body = art.polygon(big, big, ell(-2, 0, 17, 12) if not sitting else ell(-4, 0, 14, 13))
    head = art.polygon(big, big, [P(8, -9), P(22, -2), P(25, 0), P(22, 2), P(8, 9)] if not sitting else
                       [P(6, -9), P(19, -2), P(21, 0), P(19, 2), P(6, 9)])
    ears = art.union(art.polygon(big, big, ell(6, -9, 4.5, 5)), art.polygon(big, big, ell(6, 9, 4.5, 5)))
    tail_pts = [P(-19 - i * 1.6, 5 * math.sin(i * 0.5)) for i in range(12)] if not sitting else \
        [P(-16 + 10 * math.cos(t), 10 + 10 * math.sin(t)) for t in np.linspace(-1.2, 1.6, 12)]
    tail = art.line(big, big, tail_pts, 2.2 * S)
    winder = art.union(art.line(big, big, [P(-6, 0), P(-6, 0)], 2 * S),
                       art.polygon(big, big, ell(-6, -5, 2.5, 4)), art.polygon(big, big, ell(-6, 5, 2.5, 4)))
    shape = art.union(body, head, ears, tail)
    art.drop_shadow(c, shape, 2 * S, 3 * S, 3 * S, 0.5)
    grey = art.ramp(art.linear(big, big, (0, 0), (big, big)), [(0, "#d8d8e0"), (1, "#6c6c7a")])
    art.paint(c, tail, "#8a6a5a")
    art.lit(c, art.union(body, head), grey, depth=10 * S, soft=4 * S, strength=0.55, gloss=0.4)
    art.lit(c, ears, "#e8a0a8", depth=4 * S, soft=1.5 * S, strength=0.4)
    eye = art.union(art.polygon(big, big, ell(15, -4, 1.6, 1.6)), art.polygon(big, big, ell(15, 4, 1.6, 1.6)))
    art.paint(c, eye, "#101018")
    nose = art.polygon(big, big, ell(24 if not sitting else 20.5, 0, 1.8, 1.8))
    art.paint(c, nose, "#f06080")
    art.lit(c, winder, "#d8b45a", depth=3 * S, soft=1.5 * S, strength=0.6, gloss=0.5)
    art.paint(c, art.outline(art.union(body, head, ears), 1.2 * S), "#202028", 0.85)
    return art.scaled(c, w, h)


# --- interface ------------------------------------------------------------------------------

def plaque(w, h, radius=14, base="#5a3418"):
    c = art.canvas(w, h)
    outer = art.rect(w, h, (3, 3, w - 3, h - 5), radius=radius)
    inner = art.rect(w, h, (9, 9, w - 9, h - 11), radius=radius - 5)
    art.drop_shadow(c, outer, 0, 3, 3, 0.55)
    art.over(c, brass(w, h, outer, depth=4, gloss=0.5), 0, 0)
    wood = scenery.wood(w, h, "#7a4424", "#3c1c0c", 21, plank=0)
    art.paint(c, inner, wood[..., :3])
    art.shade(c, inner * art.linear(w, h, (0, 9), (0, h - 11)), -0.35)
    art.shade(c, art.shift(art.outline(inner, 2), 0, 2) * inner, -0.5)
    for x in (16, w - 16):
        rivet = art.circle(w, h, x, h / 2 - 1, 3)
        art.lit(c, rivet, "#e0c070", depth=2, soft=1, strength=0.6, gloss=0.6)
    return c


def panel(w, h, title_band=True):
    c = art.canvas(w, h)
    outer = art.rect(w, h, (6, 6, w - 6, h - 6), radius=22)
    inner = art.rect(w, h, (20, 20, w - 20, h - 20), radius=14)
    art.drop_shadow(c, outer, 0, 8, 10, 0.6)
    art.over(c, brass(w, h, outer, depth=6, gloss=0.4), 0, 0)
    t = art.linear(w, h, (0, 20), (0, h - 20))
    glass = art.ramp(t, [(0, "#2c2440"), (1, "#151226")])
    art.paint(c, inner, glass, 0.96)
    art.paint(c, inner * np.clip(1 - art.linear(w, h, (0, 20), (0, 140)), 0, 1), "#ffffff", 0.06)
    art.shade(c, art.shift(art.outline(inner, 3), 0, 3) * inner, -0.5)
    if title_band:
        band = art.rect(w, h, (40, 78, w - 40, 81))
        art.paint(c, band, "#c9973a", 0.7)
    return c


def parchment(w, h, seed=31):
    c = art.canvas(w, h)
    n = art.noise(w, h, 40, seed, octaves=5)
    edge = art.noise(w, h, 12, seed + 1, octaves=3)
    r = art.rect(w, h, (14, 14, w - 14, h - 14), radius=10)
    m = np.clip((art.blur(r, 8) - 0.35 - (edge - 0.5) * 0.5) * 6, 0, 1)
    art.drop_shadow(c, m, 4, 8, 8, 0.5)
    col = art.ramp(n, [(0, "#c9a66b"), (0.5, "#ead3a0"), (1, "#f6e6c0")])
    art.paint(c, m, col)
    burn = np.clip(1 - art.blur(m, 10) * 1.25, 0, 1) * m
    art.shade(c, burn, -0.6)
    return c


def checkbox(size=44):
    w = size * 2
    c = art.canvas(w, size)
    for i in range(2):
        box = art.rect(w, size, (i * size + 4, 4, i * size + size - 4, size - 4), radius=8)
        art.over(c, brass(w, size, box, depth=3, gloss=0.4), 0, 0)
        hole = art.rect(w, size, (i * size + 10, 10, i * size + size - 10, size - 10), radius=4)
        art.paint(c, hole, "#1a1426")
        art.shade(c, art.shift(art.outline(hole, 2), 1, 2) * hole, -0.5)
        if i == 1:
            tick = art.line(w, size, [(i * size + 14, 22), (i * size + 20, 29), (i * size + 31, 14)], 4.5)
            art.glow(c, tick, 4, "#ffd070", 0.6)
            art.paint(c, tick, "#ffe7a0")
    return c


def knob(size=40):
    c = art.canvas(size, size)
    m = art.circle(size, size, size / 2, size / 2 - 1, size / 2 - 4)
    art.drop_shadow(c, m, 1, 3, 2, 0.6)
    art.over(c, brass(size, size, m, depth=6, soft=3, gloss=0.7), 0, 0)
    art.paint(c, art.circle(size, size, size / 2, size / 2 - 1, 4), "#5a3a10", 0.8)
    return c


def track(w=300, h=40):
    """A slider's rail inside a faint groove; the groove is never fully transparent, so the
    whole rectangle takes the mouse (pictures are hit-tested on their alpha)."""
    c = art.canvas(w, h)
    groove = art.rect(w, h, (1, 1, w - 1, h - 1), radius=14)
    art.paint(c, groove, "#0a0814", 0.28)
    m = art.rect(w, h, (10, 12, w - 10, h - 12), radius=6)
    art.paint(c, m, "#120e1c")
    art.shade(c, art.shift(art.outline(m, 2), 0, 2) * m, -0.4)
    art.paint(c, art.outline(m, 1.5), "#b08a40", 0.9)
    return c


def bar_fill(w=400, h=16):
    c = art.canvas(w, h)
    m = art.rect(w, h, (0, 0, w, h), radius=0)
    art.paint(c, m, art.ramp(art.linear(w, h, (0, 0), (0, h)), [(0, "#ffe9a0"), (0.5, "#e8a83a"), (1, "#9a5a10")]))
    return c


def field(w=340, h=56):
    c = art.canvas(w, h)
    outer = art.rect(w, h, (2, 2, w - 2, h - 2), radius=10)
    inner = art.rect(w, h, (7, 7, w - 7, h - 7), radius=7)
    art.over(c, brass(w, h, outer, depth=3), 0, 0)
    art.paint(c, inner, art.ramp(art.linear(w, h, (0, 7), (0, h)), [(0, "#f8ecd0"), (1, "#e4cfa0")]))
    art.shade(c, art.shift(art.outline(inner, 2), 0, 2) * inner, -0.35)
    return c


def menu_icon(size=60):
    c = art.canvas(size, size)
    disc = art.circle(size, size, size / 2, size / 2, size / 2 - 3)
    art.drop_shadow(c, disc, 1, 3, 3, 0.6)
    art.paint(c, disc, "#241c34")
    art.paint(c, art.outline(disc, 2) , "#c9973a")
    g = gear_mask(size, size, size / 2, size / 2, size * 0.34, 8, hole=0.45)
    art.over(c, brass(size, size, g, depth=3, gloss=0.5), 0, 0)
    return c


def tray(w=600, h=100):
    c = art.canvas(w, h)
    outer = art.rect(w, h, (4, 4, w - 4, h - 4), radius=18)
    inner = art.rect(w, h, (14, 14, w - 14, h - 14), radius=10)
    art.drop_shadow(c, outer, 0, 5, 8, 0.6)
    wood = scenery.wood(w, h, "#6a3a1c", "#2e160a", 41)
    art.lit(c, outer, wood[..., :3], depth=6, strength=0.45)
    art.paint(c, art.outline(outer, 1.5), "#1a0c04")
    art.paint(c, inner, "#1a1222", 0.85)
    art.shade(c, art.shift(art.outline(inner, 3), 0, 3) * inner, -0.6)
    art.paint(c, art.outline(inner, 1.5), "#c9973a", 0.8)
    return c


def arrow(w=96, h=60):
    c = art.canvas(w, h)
    m = art.polygon(w, h, [(6, h / 2), (40, 6), (40, 20), (90, 20), (90, 40), (40, 40), (40, h - 6)])
    art.drop_shadow(c, m, 2, 4, 3, 0.6)
    art.over(c, brass(w, h, m, depth=4, gloss=0.5), 0, 0)
    return c


def letter_small(w=84, h=60):
    c = art.canvas(w, h)
    m = art.polygon(w, h, [(8, 14), (70, 4), (78, 44), (14, 56)])
    art.drop_shadow(c, m, 2, 3, 2, 0.5)
    art.paint(c, m, art.ramp(art.linear(w, h, (0, 0), (w, h)), [(0, "#fbf0d0"), (1, "#d8c090")]))
    for k in range(4):
        y = 18 + k * 8
        art.paint(c, art.line(w, h, [(20, y + 2), (62, y - 5)], 1.3) * m, "#6a5030", 0.7)
    seal = art.circle(w, h, 60, 40, 6)
    art.lit(c, seal, "#a01818", depth=3, soft=1, strength=0.5, gloss=0.4)
    return c


def hint_band(w=1024, h=56):
    c = art.canvas(w, h)
    t = art.linear(w, h, (0, 0), (0, h))
    m = np.ones((h, w)) * np.clip(np.minimum(t * 4, (1 - t) * 4), 0, 1)
    x = art.linear(w, h, (0, 0), (w, 0))
    m *= np.clip(np.minimum(x * 5, (1 - x) * 5), 0, 1)
    art.paint(c, m, "#0c0a16", 0.72)
    return c


# --- particles ------------------------------------------------------------------------------

def particles():
    """Four 64 x 64 particle shapes, white, as an 8-bit mask (particles.bmp) with its colour
    picture beside it (particles_.jpg): soft glow, sparkle, smoke puff, flame tongue. They lie
    loose in the game folder: the root asks for them before the archive is open."""
    from PIL import Image
    s = 64
    w = s * 4
    m = np.zeros((s, w))
    # 0: soft round glow
    r = art.radial(s, s, s / 2, s / 2, s / 2)
    m[:, 0:s] = np.clip(1 - r, 0, 1) ** 2
    # 1: four-pointed sparkle with a glowing centre
    x, y = art.coords(s, s)
    dx, dy = np.abs(x - s / 2 + 0.5), np.abs(y - s / 2 + 0.5)
    star = np.clip(1 - (dx * dy) / 18.0 - (dx + dy) / 40, 0, 1) ** 2
    m[:, s:2 * s] = np.clip(star + (1 - r) ** 4, 0, 1)
    # 2: smoke puff: noisy soft disc
    n = art.noise(s, s, 12, 77, octaves=3)
    m[:, 2 * s:3 * s] = np.clip((1 - r) * 1.4 - 0.2, 0, 1) ** 1.5 * (0.5 + 0.7 * n)
    # 3: flame tongue: a teardrop pointing up
    fx = (x - s / 2) / (s * 0.28)
    fy = (y - s * 0.62) / (s * 0.34)
    drop = np.clip(1 - np.sqrt(fx ** 2 * (1 + np.clip(-fy, 0, 3) * 1.2) ** 2 + np.clip(fy, 0, None) ** 2 * 1.6
                                + np.clip(-fy, 0, None) ** 2 * 0.45), 0, 1)
    m[:, 3 * s:4 * s] = drop ** 0.9
    m = np.clip(m, 0, 1)
    # an 8-bit picture whose palette indices are the alpha (its palette a plain grey ramp)
    grey = Image.fromarray((m * 255 + 0.5).astype(np.uint8), "P")
    grey.putpalette(sum(([i, i, i] for i in range(256)), []))
    grey.save(out("particles.bmp"))
    Image.new("RGB", (w, s), (255, 255, 255)).save(out("particles_.jpg"), quality=95)
    write_an(out("particles.an"), 4, 1)


# --- main -----------------------------------------------------------------------------------

def main(only=None):
    """Every picture, or only the groups named (small, logos, title, ending, hall, library,
    workshop, gallery, sprites): python3 make_pictures.py hall sprites"""
    import backgrounds  # noqa: E402  (the big pictures, in their own file)
    if only is None or "small" in only:
        art.save_png(item_key(), out("pictures", "items", "key.png"))
        art.save_png(item_gear(), out("pictures", "items", "gear.png"))
        art.save_png(item_lens(), out("pictures", "items", "lens.png"))
        sheet = art.canvas(64 * 4, 64 * 4)
        for i in range(16):
            art.over(sheet, mouse_picture(i * 22.5), (i % 4) * 64, (i // 4) * 64)
        art.save_png(sheet, out("pictures", "mouse", "mouse.png"))
        write_an(out("pictures", "mouse", "mouse.an"), 4, 4)
        art.save_png(mouse_picture(180, sitting=True), out("pictures", "mouse", "mouse_sit.png"))
        art.save_png(plaque(300, 62), out("pictures", "ui", "button.png"))
        art.save_png(plaque(190, 52, radius=12), out("pictures", "ui", "button_small.png"))
        art.save_png(panel(600, 520), out("pictures", "ui", "panel.png"))
        art.save_png(panel(420, 440), out("pictures", "ui", "panel_small.png"))
        art.save_png(parchment(560, 620), out("pictures", "ui", "letter.png"))
        art.save_png(checkbox(), out("pictures", "ui", "check.png"))
        write_an(out("pictures", "ui", "check.an"), 2, 1)
        art.save_png(knob(), out("pictures", "ui", "knob.png"))
        art.save_png(track(), out("pictures", "ui", "track.png"))
        art.save_png(bar_fill(), out("pictures", "ui", "bar.png"))
        art.save_png(field(), out("pictures", "ui", "field.png"))
        art.save_png(menu_icon(), out("pictures", "ui", "menu.png"))
        art.save_png(tray(), out("pictures", "ui", "tray.png"))
        art.save_png(hint_band(), out("pictures", "ui", "hint.png"))
        art.save_png(arrow(), out("pictures", "ui", "arrow.png"))
        art.save_png(letter_small(), out("pictures", "letter_small.png"))
        particles()
    backgrounds.main(out, write_an, only)


if __name__ == "__main__":
    main(set(sys.argv[1:]) or None)
