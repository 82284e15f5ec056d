"""Drawing helpers for the demo's pictures: anti-aliased shapes, gradients, noise, lighting.

Pictures are numpy arrays of shape (H, W, 4), floats 0..1, straight (not premultiplied)
alpha. Shapes are drawn as coverage masks (H, W) at 4x resolution and reduced, so every
edge is smooth. Everything is seeded, so a run makes the same pictures every time.
"""
import math

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

SS = 4  # supersampling of shape masks
FONTS = "/usr/share/fonts/truetype/dejavu/"


def rgb(hexcode):
    """'#rrggbb' -> array of three floats."""
    h = hexcode.lstrip("#")
    return np.array([int(h[i:i + 2], 16) / 255.0 for i in (0, 2, 4)])


def canvas(w, h, colour=None, alpha=1.0):
    c = np.zeros((h, w, 4))
    if colour is not None:
        c[..., :3] = rgb(colour) if isinstance(colour, str) else colour
        c[..., 3] = alpha
    return c


# --- masks --------------------------------------------------------------------------------

def _mask(w, h, draw_fn):
    img = Image.new("L", (w * SS, h * SS), 0)
    draw_fn(ImageDraw.Draw(img), SS)
    img = img.resize((w, h), Image.BOX)
    return np.asarray(img, dtype=np.float64) / 255.0


def polygon(w, h, pts):
    return _mask(w, h, lambda d, s: d.polygon([(x * s, y * s) for x, y in pts], fill=255))


def ellipse(w, h, box):
    x0, y0, x1, y1 = box
    return _mask(w, h, lambda d, s: d.ellipse([x0 * s, y0 * s, x1 * s, y1 * s], fill=255))


def circle(w, h, cx, cy, r):
    return ellipse(w, h, (cx - r, cy - r, cx + r, cy + r))


def rect(w, h, box, radius=0):
    x0, y0, x1, y1 = box
    if radius <= 0:
        return _mask(w, h, lambda d, s: d.rectangle([x0 * s, y0 * s, x1 * s - 1, y1 * s - 1], fill=255))
    return _mask(w, h, lambda d, s: d.rounded_rectangle([x0 * s, y0 * s, x1 * s - 1, y1 * s - 1],
                                                        radius=radius * s, fill=255))


def line(w, h, pts, width):
    def fn(d, s):
        p = [(x * s, y * s) for x, y in pts]
        d.line(p, fill=255, width=max(1, int(width * s)), joint="curve")
        r = width * s / 2
        for x, y in (p[0], p[-1]):
            d.ellipse([x - r, y - r, x + r, y + r], fill=255)
    return _mask(w, h, fn)


def text_mask(w, h, text, font, size, anchor_xy, anchor="mm"):
    f = ImageFont.truetype(FONTS + font, size * SS)
    x, y = anchor_xy
    return _mask(w, h, lambda d, s: d.text((x * s, y * s), text, font=f, fill=255, anchor=anchor))


def union(*masks):
    out = masks[0].copy()
    for m in masks[1:]:
        out = np.maximum(out, m)
    return out


def cut(a, b):
    return np.clip(a - b, 0, 1)


def _box(a, r, axis):
    """Box blur of width 2r+1 along an axis, edges clamped."""
    if r <= 0:
        return a
    pad = [(0, 0)] * a.ndim
    pad[axis] = (r + 1, r)
    p = np.pad(a, pad, mode="edge")
    cs = np.cumsum(p, axis=axis)
    n = a.shape[axis]
    hi = np.take(cs, np.arange(2 * r + 1, 2 * r + 1 + n), axis=axis)
    lo = np.take(cs, np.arange(0, n), axis=axis)
    return (hi - lo) / (2 * r + 1)


def blur(a, radius):
    """About a Gaussian blur of a mask or of a picture's channels (three box passes)."""
    if radius <= 0:
        return a
    # three boxes of width w have the variance of a Gaussian with sigma = radius
    r = max(1, int(round((math.sqrt(4 * radius * radius + 1) - 1) / 2)))
    out = np.asarray(a, dtype=np.float64)
    for axis in (0, 1):
        for _ in range(3):
            out = _box(out, r, axis)
    return out


def grow(mask, px):
    """Dilates (px > 0) or erodes (px < 0) a mask by about px pixels, softly."""
    b = blur(mask, abs(px) * 0.6 + 0.5)
    return np.clip((b - 0.5) * 3 + 0.5 + (0.45 if px > 0 else -0.45), 0, 1) if px else mask


def outline(mask, px):
    return np.clip(grow(mask, px) - mask, 0, 1)


def shift(a, dx, dy):
    out = np.zeros_like(a)
    h, w = a.shape[:2]
    xs0, xs1 = max(0, -dx), min(w, w - dx)
    ys0, ys1 = max(0, -dy), min(h, h - dy)
    out[ys0 + dy:ys1 + dy, xs0 + dx:xs1 + dx] = a[ys0:ys1, xs0:xs1]
    return out


# --- fields: gradients and noise ----------------------------------------------------------

def coords(w, h):
    y, x = np.mgrid[0:h, 0:w].astype(np.float64)
    return x, y


def linear(w, h, p0, p1):
    """0 at p0, 1 at p1, along the line between them."""
    x, y = coords(w, h)
    dx, dy = p1[0] - p0[0], p1[1] - p0[1]
    t = ((x - p0[0]) * dx + (y - p0[1]) * dy) / max(1e-9, dx * dx + dy * dy)
    return np.clip(t, 0, 1)


def radial(w, h, cx, cy, r, ry=None):
    x, y = coords(w, h)
    ry = r if ry is None else ry
    return np.clip(np.sqrt(((x - cx) / r) ** 2 + ((y - cy) / ry) ** 2), 0, 1)


def ramp(t, stops):
    """Colour field from t (0..1) and [(position, '#hex'), ...]."""
    pos = np.array([p for p, _ in stops])
    cols = np.array([rgb(c) for _, c in stops])
    out = np.empty(t.shape + (3,))
    for i in range(3):
        out[..., i] = np.interp(t, pos, cols[:, i])
    return out


def noise(w, h, scale, seed, octaves=4, stretch=(1.0, 1.0)):
    """Fractal value noise, about 0..1."""
    rng = np.random.default_rng(seed)
    total = np.zeros((h, w))
    amp, norm = 1.0, 0.0
    for o in range(octaves):
        cell = max(1.0, scale / (2 ** o))
        gw = int(w / (cell * stretch[0])) + 3
        gh = int(h / (cell * stretch[1])) + 3
        grid = rng.random((gh, gw)).astype(np.float32)
        img = Image.fromarray(grid, "F").resize((int(gw * cell * stretch[0]), int(gh * cell * stretch[1])),
                                                Image.BICUBIC)
        a = np.asarray(img, dtype=np.float64)[:h, :w]
        if a.shape != (h, w):
            a = np.pad(a, ((0, h - a.shape[0]), (0, w - a.shape[1])), mode="edge")
        total += a * amp
        norm += amp
        amp *= 0.5
    return np.clip(total / norm, 0, 1)


# --- painting -----------------------------------------------------------------------------

def paint(c, mask, colour, opacity=1.0):
    """Alpha-over of a colour (hex, rgb array or (H, W, 3) field) through a mask."""
    col = rgb(colour) if isinstance(colour, str) else np.asarray(colour, dtype=np.float64)
    a = np.clip(mask * opacity, 0, 1)
    if a.ndim == 2:
        a = a[..., None]
    src_a = a[..., 0]
    dst_a = c[..., 3]
    out_a = src_a + dst_a * (1 - src_a)
    safe = np.where(out_a > 1e-9, out_a, 1)
    c[..., :3] = (col * a + c[..., :3] * (dst_a * (1 - src_a))[..., None]) / safe[..., None]
    c[..., 3] = out_a
    return c


def shade(c, mask, amount):
    """Darkens (amount < 0) or lightens (amount > 0) the picture where mask is."""
    m = np.clip(mask, 0, 1)[..., None] * abs(amount)
    target = 1.0 if amount > 0 else 0.0
    c[..., :3] = c[..., :3] * (1 - m) + target * m
    return c


def multiply(c, field):
    c[..., :3] *= field[..., None] if field.ndim == 2 else field
    return c


def lighting(mask, depth=6.0, light=(-0.6, -0.7), soft=3.0):
    """Lambert light on the soft height field of a mask: -1 (shadow) .. +1 (lit).

    Gives a shape a rounded, bevelled look: the edge facing the light brightens and the
    opposite edge darkens.
    """
    hgt = blur(mask, soft) * depth
    gy, gx = np.gradient(hgt)
    lx, ly = light
    ll = math.hypot(lx, ly)
    lx, ly = lx / ll, ly / ll
    nz = 1.0
    n = np.sqrt(gx * gx + gy * gy + nz * nz)
    # light comes from (lx, ly) in the picture plane and from the viewer
    d = (-gx * lx - gy * ly) / n
    return np.clip(d * 2.0, -1, 1) * mask


def lit(c, mask, colour, depth=6.0, soft=3.0, strength=0.55, light=(-0.6, -0.7), gloss=0.0):
    """Paints a shape in a colour with bevel lighting and an optional glossy highlight."""
    paint(c, mask, colour)
    l = lighting(mask, depth, light, soft)
    shade(c, np.clip(l, 0, 1) * mask, strength)
    shade(c, np.clip(-l, 0, 1) * mask, -strength)
    if gloss:
        hi = np.clip(l - 0.55, 0, 1) / 0.45
        shade(c, hi * mask, gloss)
    return c


def drop_shadow(c, mask, dx=6, dy=8, radius=6, opacity=0.55, colour="#000000"):
    paint(c, blur(shift(mask, dx, dy), radius), colour, opacity)
    return c


def glow(c, mask, radius, colour, opacity=0.8):
    g = blur(mask, radius)
    g = g / max(1e-6, g.max())
    paint(c, g, colour, opacity)
    return c


def vignette(c, strength=0.45, power=2.2):
    h, w = c.shape[:2]
    r = radial(w, h, w / 2, h / 2, w * 0.72, h * 0.78)
    shade(c, (r ** power) * strength, -1.0)
    return c


def save_png(c, path):
    a = (np.clip(c, 0, 1) * 255 + 0.5).astype(np.uint8)
    Image.fromarray(a, "RGBA").save(path, optimize=True)


def save_jpg(c, path, quality=88):
    a = (np.clip(c[..., :3], 0, 1) * 255 + 0.5).astype(np.uint8)
    Image.fromarray(a, "RGB").save(path, quality=quality, optimize=True, subsampling=0 if quality >= 92 else 2)


def crop_alpha(c, pad=2):
    """The picture cut to its visible part (plus padding)."""
    ys, xs = np.nonzero(c[..., 3] > 0.004)
    if len(xs) == 0:
        return c
    x0, x1 = max(0, xs.min() - pad), min(c.shape[1], xs.max() + 1 + pad)
    y0, y1 = max(0, ys.min() - pad), min(c.shape[0], ys.max() + 1 + pad)
    return c[y0:y1, x0:x1]


def over(dst, src, x, y):
    """Composites picture src onto dst with its top-left at (x, y)."""
    h, w = src.shape[:2]
    H, W = dst.shape[:2]
    x0, y0 = max(0, x), max(0, y)
    x1, y1 = min(W, x + w), min(H, y + h)
    if x1 <= x0 or y1 <= y0:
        return dst
    s = src[y0 - y:y1 - y, x0 - x:x1 - x]
    d = dst[y0:y1, x0:x1]
    sa = s[..., 3:4]
    da = d[..., 3:4]
    oa = sa + da * (1 - sa)
    safe = np.where(oa > 1e-9, oa, 1)
    d[..., :3] = (s[..., :3] * sa + d[..., :3] * da * (1 - sa)) / safe
    d[..., 3:4] = oa
    return dst


def rotate(c, degrees):
    """Rotates a picture about its centre (clockwise on screen), keeping its size."""
    a = (np.clip(c, 0, 1) * 65535).astype(np.float32)
    chans = []
    for i in range(4):
        img = Image.fromarray(a[..., i], "F").rotate(-degrees, resample=Image.BICUBIC)
        chans.append(np.asarray(img, dtype=np.float64) / 65535.0)
    return np.clip(np.stack(chans, axis=-1), 0, 1)


def scaled(c, w, h):
    a = (np.clip(c, 0, 1) * 65535).astype(np.float32)
    chans = [np.asarray(Image.fromarray(a[..., i], "F").resize((w, h), Image.LANCZOS), dtype=np.float64) / 65535.0
             for i in range(4)]
    return np.clip(np.stack(chans, axis=-1), 0, 1)
