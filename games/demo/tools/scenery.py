"""Shared pieces of the demo's scenery: skies, the house, wood, stone, wallpaper, doors."""
import math

import numpy as np

import art
from art import rgb

W, H = 1024, 768


def night_sky(w=W, h=H, seed=1, dawn=0.0):
    """A night sky with stars and soft clouds; dawn 0..1 warms the horizon."""
    t = art.linear(w, h, (0, 0), (0, h * 0.85))
    c = art.canvas(w, h)
    night = art.ramp(t, [(0, "#0a0f2c"), (0.45, "#1b2350"), (0.8, "#3a2f63"), (1, "#5b3e6e")])
    day = art.ramp(t, [(0, "#1d3566"), (0.45, "#4c5f9a"), (0.8, "#d98a6a"), (1, "#f6c17a")])
    c[..., :3] = night * (1 - dawn) + day * dawn
    c[..., 3] = 1
    rng = np.random.default_rng(seed)
    stars = np.zeros((h, w))
    big = np.zeros((h, w))
    for _ in range(420):
        x, y = rng.random() * w, (rng.random() ** 1.6) * h * 0.75
        b = rng.random() ** 3
        xi, yi = int(x), int(y)
        stars[yi, xi] = max(stars[yi, xi], 0.35 + 0.65 * b)
        if b > 0.55:
            big[yi, xi] = b
    stars = np.maximum(stars, art.blur(stars, 0.7) * 2.2)
    art.paint(c, np.clip(stars, 0, 1), "#fff6e0", 1 - dawn * 0.9)
    art.paint(c, np.clip(art.blur(big, 3) * 40, 0, 1), "#c8d4ff", 0.35 * (1 - dawn))
    # clouds: bands of noise, brighter on their upper edges
    n = art.noise(w, h, 180, seed + 7, octaves=5, stretch=(3.0, 0.8))
    band = np.exp(-((art.coords(w, h)[1] - h * 0.42) / (h * 0.16)) ** 2)
    cl = np.clip((n - 0.52) * 3.0, 0, 1) * band
    art.paint(c, cl, "#2a2d5a" if dawn < 0.5 else "#b98aa0", 0.75)
    rim = np.clip(cl - art.shift(cl, 0, 4), 0, 1)
    art.paint(c, rim, "#9aa6e0" if dawn < 0.5 else "#ffd6a0", 0.6)
    return c


def moon(c, cx, cy, r, seed=3):
    h, w = c.shape[:2]
    m = art.circle(w, h, cx, cy, r)
    art.glow(c, m, r * 0.9, "#8fa0e8", 0.55)
    art.glow(c, m, r * 0.25, "#e8ecff", 0.5)
    body = art.ramp(art.linear(w, h, (cx - r, cy - r), (cx + r, cy + r)), [(0, "#fffbea"), (1, "#d9d2b8")])
    art.paint(c, m, body)
    n = art.noise(w, h, r * 0.5, seed, octaves=3)
    art.shade(c, m * np.clip((n - 0.5) * 1.4, 0, 1), -0.35)
    rng = np.random.default_rng(seed)
    for _ in range(7):
        a, d = rng.random() * 6.28, rng.random() * r * 0.7
        cr = r * (0.08 + rng.random() * 0.12)
        x, y = cx + math.cos(a) * d, cy + math.sin(a) * d
        crater = art.circle(w, h, x, y, cr) * m
        art.shade(c, crater, -0.18)
        art.shade(c, art.shift(crater, 1, 1) - crater > 0, 0.0)
    return c


def hills(c, base, amp, colour, seed, haze=None, rough=0.35):
    """A layer of hills whose top runs around y = base."""
    h, w = c.shape[:2]
    rng = np.random.default_rng(seed)
    xs = np.arange(w + 1)
    phase = rng.random(4) * 6.28
    top = base + amp * (0.55 * np.sin(xs / 170 + phase[0]) + 0.3 * np.sin(xs / 63 + phase[1]) +
                        rough * 0.25 * np.sin(xs / 23 + phase[2]))
    pts = [(0, h)] + [(float(x), float(y)) for x, y in zip(xs[::4], top[::4])] + [(w, top[-1]), (w, h)]
    m = art.polygon(w, h, pts)
    col = art.ramp(art.linear(w, h, (0, base - amp), (0, h)), [(0, colour), (1, haze or colour)])
    art.paint(c, m, col)
    return m


def window_glow(c, box, colour="#ffb347", bars=True, curtain=None):
    """A lit window: warm gradient, cross bars, a halo around it."""
    h, w = c.shape[:2]
    x0, y0, x1, y1 = box
    m = art.rect(w, h, box, radius=2)
    art.glow(c, m, (x1 - x0) * 0.9, colour, 0.35)
    fill = art.ramp(art.linear(w, h, (0, y0), (0, y1)), [(0, "#ffe6a8"), (1, colour)])
    art.paint(c, m, fill)
    if bars:
        mx, my = (x0 + x1) / 2, (y0 + y1) * 0.5
        bar = art.union(art.rect(w, h, (mx - 1.2, y0, mx + 1.2, y1)), art.rect(w, h, (x0, my - 1.2, x1, my + 1.2)))
        art.paint(c, bar, "#3a2414", 0.9)
    art.paint(c, art.outline(m, 2), "#1a1020", 0.9)
    return m


def wood(w, h, base="#7a4a2a", dark="#4a2a16", seed=5, vertical=False, plank=0, grain=1.0):
    """A wood texture (grain along x, or along y when vertical)."""
    stretch = (0.12, 4.0) if vertical else (4.0, 0.12)
    n = art.noise(w, h, 60, seed, octaves=5, stretch=stretch)
    n2 = art.noise(w, h, 14, seed + 1, octaves=2, stretch=stretch)
    x, y = art.coords(w, h)
    along = y if not vertical else x
    rings = 0.5 + 0.5 * np.sin((along / 7.0 + n * 9.0) * grain)
    t = np.clip(0.55 * rings + 0.3 * n2 + 0.15 * n, 0, 1)
    c = art.canvas(w, h)
    c[..., :3] = rgb(dark) * (1 - t[..., None]) + rgb(base) * t[..., None]
    c[..., 3] = 1
    if plank:
        pos = x if vertical else y
        seam = (np.mod(pos, plank) < 1.6).astype(float)
        art.shade(c, seam, -0.55)
        art.shade(c, (np.mod(pos - 2, plank) < 1.2).astype(float), 0.12)
    return c


def stone(w, h, seed=9, base="#8a8378", mortar="#4c463f", bw=70, bh=34):
    """Blocks of stone in courses, each block shaded on its own."""
    rng = np.random.default_rng(seed)
    c = art.canvas(w, h, mortar)
    n = art.noise(w, h, 20, seed, octaves=4)
    for row in range(int(h / bh) + 2):
        off = (row % 2) * bw / 2 - bw / 2
        for col in range(int(w / bw) + 3):
            x0 = off + col * bw + 2
            y0 = row * bh + 2
            box = (x0, y0, x0 + bw - 4 + rng.integers(-3, 4), y0 + bh - 4)
            m = art.rect(w, h, box, radius=4)
            if m.max() == 0:
                continue
            tint = rgb(base) * (0.82 + 0.3 * rng.random())
            art.lit(c, m, tint, depth=4, soft=2.0, strength=0.35)
    art.multiply(c, 0.85 + 0.3 * n)
    return c


def wallpaper(w, h, base="#3d2b4a", motif="#5a4068", seed=4):
    """Striped wallpaper with a small damask-like motif."""
    c = art.canvas(w, h, base)
    x, y = art.coords(w, h)
    stripe = (np.mod(x, 64) < 30).astype(float)
    art.shade(c, stripe * 0.5, 0.06)
    pts = []
    m = np.zeros((h, w))
    for row in range(0, h + 64, 64):
        for col in range(0, w + 64, 64):
            cx, cy = col + 47 + ((row // 64) % 2) * 0, row + 32
            m = np.maximum(m, art.polygon(w, h, [(cx, cy - 12), (cx + 7, cy), (cx, cy + 12), (cx - 7, cy)]))
    art.paint(c, m, motif, 0.8)
    art.multiply(c, 0.9 + 0.2 * art.noise(w, h, 90, seed, octaves=3))
    return c


def door(w, h, seed=11, colour="#6b3f22", open_=False):
    """A panelled wooden door in an arched frame, as a picture of size w x h."""
    c = art.canvas(w, h)
    frame = art.union(art.rect(w, h, (0, w / 2, w, h)), art.circle(w, h, w / 2, w / 2, w / 2))
    inner = art.union(art.rect(w, h, (10, w / 2, w - 10, h)), art.circle(w, h, w / 2, w / 2, w / 2 - 10))
    art.lit(c, frame, "#5a5048", depth=5, strength=0.4)
    if open_:
        glow = art.ramp(art.linear(w, h, (0, 0), (0, h)), [(0, "#ffe9b0"), (1, "#c9883a")])
        art.paint(c, inner, glow)
        return c
    woodtex = wood(w, h, colour, "#3a200e", seed, vertical=True, plank=w / 4)
    art.paint(c, inner, woodtex[..., :3])
    art.shade(c, inner * art.lighting(inner, 6, soft=4).clip(-1, 0) * -1, -0.5)
    for (y0, y1) in ((w * 0.55, h * 0.5), (h * 0.56, h - 20)):
        p = art.rect(w, h, (24, y0, w - 24, y1), radius=6)
        art.shade(c, art.outline(p, 3), -0.45)
        art.shade(c, art.shift(art.outline(p, 2), 2, 2) * p, 0.18)
    knob = art.circle(w, h, w - 30, h * 0.55, 7)
    art.lit(c, knob, "#d8b45a", depth=3, soft=1.5, strength=0.6, gloss=0.6)
    return c
