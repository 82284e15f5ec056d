#!/usr/bin/python3
"""Draws the pictures of the demo's puzzle rooms (games/demo/pictures/puzzles/).

Run by make_puzzle_assets.sh with Debian's python3 and its python3-pil and python3-numpy
packages. Everything is drawn at four times the size and scaled down, so edges are smooth;
shading comes from gradients, soft shadows and a light from the top left. A picture with
several frames gets a ".an" file beside it (columns, then rows), as the runtime expects.
"""
import math
import os
import random
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFilter, ImageFont

OUT = sys.argv[1] if len(sys.argv) > 1 else 'pictures/puzzles'
FONT_DIR = '/usr/share/fonts/truetype/dejavu/'
SS = 4  # supersampling factor

os.makedirs(OUT, exist_ok=True)
random.seed(15)


# --- small helpers -----------------------------------------------------------------------

def rgb(hexstr, a=255):
    h = hexstr.lstrip('#')
    return (int(h[0:2], 16), int(h[2:4], 16), int(h[4:6], 16), a)


def mix(c1, c2, t):
    return tuple(int(round(a + (b - a) * t)) for a, b in zip(c1, c2))


def lighter(c, t):
    return mix(c, (255, 255, 255, c[3]), t)


def darker(c, t):
    return mix(c, (0, 0, 0, c[3]), t)


def canvas(w, h, colour=(0, 0, 0, 0)):
    return Image.new('RGBA', (w * SS, h * SS), colour)


def down(img, w=None, h=None):
    """The supersampled picture at its final size."""
    if w is None:
        w, h = img.width // SS, img.height // SS
    return img.resize((w, h), Image.LANCZOS)


def save(img, name, frames=None, quality=88, palette=False):
    """Writes a picture; `palette` first reduces it to 256 colours (with alpha), which packs
    several times smaller, for pictures that show no banding. The file stays an RGBA PNG: the
    runtime takes alpha from grey-alpha and RGBA PNGs only."""
    path = os.path.join(OUT, name)
    if name.endswith('.jpg'):
        img.convert('RGB').save(path, quality=quality, optimize=True, progressive=True)
    elif palette:
        img.convert('RGBA').quantize(colors=256, method=Image.FASTOCTREE, dither=Image.FLOYDSTEINBERG).convert('RGBA').save(path, optimize=True)
    else:
        img.save(path, optimize=True)
    an = path[:-4] + '.an'
    if frames:
        with open(an, 'w') as f:
            f.write('%d\n%d\n' % frames)
    elif os.path.exists(an):
        os.remove(an)


def font(size, bold=True, serif=False):
    name = ('DejaVuSerif' if serif else 'DejaVuSans') + ('-Bold' if bold else '') + '.ttf'
    return ImageFont.truetype(FONT_DIR + name, size)


def vgradient(w, h, stops):
    """A vertical gradient through (position 0..1, colour) stops, as an RGBA image."""
    ys = np.linspace(0, 1, h)[:, None]
    out = np.zeros((h, w, 4), np.float64)
    pos = [p for p, _ in stops]
    for ch in range(4):
        vals = [c[ch] for _, c in stops]
        out[:, :, ch] = np.interp(ys, pos, vals)
    return Image.fromarray(out.clip(0, 255).astype(np.uint8), 'RGBA')


def radial(w, h, cx, cy, r, inner, outer, power=1.0):
    yy, xx = np.mgrid[0:h, 0:w]
    d = np.sqrt((xx - cx) ** 2 + (yy - cy) ** 2) / max(r, 1e-6)
    t = np.clip(d, 0, 1) ** power
    out = np.zeros((h, w, 4))
    for ch in range(4):
        out[:, :, ch] = inner[ch] + (outer[ch] - inner[ch]) * t
    return Image.fromarray(out.clip(0, 255).astype(np.uint8), 'RGBA')


def noise(w, h, scale, amount, seed=1):
    """Soft value noise in -amount..amount, for stone and wood grain."""
    rng = np.random.RandomState(seed)
    small = rng.rand(max(2, h // scale + 2), max(2, w // scale + 2))
    img = Image.fromarray((small * 255).astype(np.uint8), 'L').resize((w, h), Image.BICUBIC)
    return (np.asarray(img, np.float64) / 255 - 0.5) * 2 * amount


def add_noise(img, layers, seed=1):
    a = np.asarray(img, np.float64).copy()
    n = np.zeros(a.shape[:2])
    for i, (scale, amount) in enumerate(layers):
        n += noise(img.width, img.height, scale, amount, seed + i)
    a[:, :, :3] += n[:, :, None]
    return Image.fromarray(a.clip(0, 255).astype(np.uint8), 'RGBA')


def mask_of(size, draw_fn):
    m = Image.new('L', size, 0)
    draw_fn(ImageDraw.Draw(m))
    return m


def fill_mask(img, mask, fill):
    """Paints `fill` (a colour or an image of img's size) through `mask`."""
    if isinstance(fill, tuple):
        layer = Image.new('RGBA', img.size, fill)
    else:
        layer = fill
    img.alpha_composite(Image.composite(layer, Image.new('RGBA', img.size, (0, 0, 0, 0)), mask))


def shadow(img, mask, offset, blur, alpha=140, colour=(0, 0, 0)):
    m = mask.filter(ImageFilter.GaussianBlur(blur))
    m = m.point(lambda v: v * alpha // 255)
    sh = Image.new('RGBA', img.size, colour + (0,))
    sh.putalpha(m)
    shifted = Image.new('RGBA', img.size, (0, 0, 0, 0))
    shifted.paste(sh, offset)
    img.alpha_composite(shifted)


def glow(img, mask, blur, colour, alpha=200):
    m = mask.filter(ImageFilter.GaussianBlur(blur)).point(lambda v: min(255, v * alpha // 255))
    g = Image.new('RGBA', img.size, colour[:3] + (0,))
    g.putalpha(m)
    img.alpha_composite(g)


def bevel(img, mask, depth, strength=0.55, light=(-1, -1)):
    """Light and shade along a shape's edges, as if it were raised (light from the top left)."""
    h = np.asarray(mask.filter(ImageFilter.GaussianBlur(depth)), np.float64) / 255
    gy, gx = np.gradient(h)
    lx, ly = light
    n = math.hypot(lx, ly)
    shade = -(gx * lx + gy * ly) / n * depth * 2.2
    shade = np.clip(shade, -1, 1) * strength
    m = np.asarray(mask, np.float64) / 255
    a = np.asarray(img, np.float64).copy()
    hi = np.clip(shade, 0, 1)[:, :, None]
    lo = np.clip(-shade, 0, 1)[:, :, None]
    a[:, :, :3] = a[:, :, :3] + (255 - a[:, :, :3]) * hi * m[:, :, None] - a[:, :, :3] * lo * m[:, :, None]
    return Image.fromarray(a.clip(0, 255).astype(np.uint8), 'RGBA')


def gloss(img, box, alpha=90, clip=None):
    """A soft white highlight ellipse in the upper part of a box (inside `clip` when given)."""
    x0, y0, x1, y1 = box
    m = mask_of(img.size, lambda d: d.ellipse(box, fill=255))
    m = m.filter(ImageFilter.GaussianBlur((x1 - x0) / 10))
    if clip is not None:
        m = Image.fromarray((np.asarray(m, np.float64) * np.asarray(clip, np.float64) / 255).astype(np.uint8), 'L')
    grad = vgradient(img.width, img.height, [(0, (255, 255, 255, alpha)), (y1 / img.height, (255, 255, 255, 0)), (1, (255, 255, 255, 0))])
    fill_mask(img, m, grad)


def outline(img, mask, width, colour):
    grown = mask.filter(ImageFilter.MaxFilter(width * 2 + 1))
    ring = Image.fromarray(np.clip(np.asarray(grown, np.int32) - np.asarray(mask, np.int32), 0, 255).astype(np.uint8), 'L')
    fill_mask(img, ring, colour)


def text_centered(img, xy, text, fnt, fill, stroke=0, stroke_fill=None):
    d = ImageDraw.Draw(img)
    d.text(xy, text, font=fnt, fill=fill, anchor='mm', stroke_width=stroke, stroke_fill=stroke_fill)


def sheet(frames, cols):
    """Frames of equal size laid out left to right, top to bottom."""
    w, h = frames[0].size
    rows = (len(frames) + cols - 1) // cols
    out = Image.new('RGBA', (w * cols, h * rows), (0, 0, 0, 0))
    for i, f in enumerate(frames):
        out.paste(f, ((i % cols) * w, (i // cols) * h))
    return out, (cols, rows)


def gem(size, colour, shape='round', glow_ring=False):
    """A cut gem seen from the front: body gradient, facets, bevel, gloss and outline."""
    s = size * SS
    img = canvas(size, size)
    pad = s * 0.08
    box = (pad, pad, s - pad, s - pad)
    cx = cy = s / 2
    r = s / 2 - pad

    def poly(n, rot, rr):
        return [(cx + rr * math.cos(rot + 2 * math.pi * k / n), cy + rr * math.sin(rot + 2 * math.pi * k / n)) for k in range(n)]

    if shape == 'round':
        m = mask_of(img.size, lambda d: d.ellipse(box, fill=255))
    elif shape == 'square':
        m = mask_of(img.size, lambda d: d.rounded_rectangle(box, radius=s * 0.16, fill=255))
    elif shape == 'diamond':
        m = mask_of(img.size, lambda d: d.polygon(poly(4, -math.pi / 2, r * 1.05), fill=255))
    elif shape == 'hex':
        m = mask_of(img.size, lambda d: d.polygon(poly(6, 0, r), fill=255))
    elif shape == 'tri':
        m = mask_of(img.size, lambda d: d.polygon([(cx, pad), (s - pad, s - pad * 1.6), (pad, s - pad * 1.6)], fill=255))
    else:  # heart-ish drop
        m = mask_of(img.size, lambda d: (d.ellipse((pad, pad + s * 0.05, s - pad, s - pad), fill=255),
                                         d.polygon([(cx, pad - s * 0.02), (s - pad * 1.5, cy), (pad * 1.5, cy)], fill=255)))
    shadow(img, m, (int(s * 0.03), int(s * 0.05)), s * 0.04, 150)
    body = radial(img.width, img.height, cx * 0.8, cy * 0.7, r * 1.5, lighter(colour, 0.45), darker(colour, 0.45))
    fill_mask(img, m, body)
    # facets: a lighter inner table and darker lower crown
    inner = mask_of(img.size, lambda d: d.polygon(poly(8, math.pi / 8, r * 0.55), fill=255))
    inner = Image.fromarray((np.asarray(inner, np.float64) * np.asarray(m, np.float64) / 255).astype(np.uint8), 'L')
    fill_mask(img, inner, lighter(colour, 0.25)[:3] + (120,))
    img = bevel(img, m, s * 0.05, 0.6)
    gloss(img, (cx - r * 0.6, cy - r * 0.85, cx + r * 0.35, cy - r * 0.05), 150, m)
    outline(img, m, max(2, int(s * 0.018)), darker(colour, 0.65))
    if glow_ring:
        ring = canvas(size, size)
        rm = mask_of(img.size, lambda d: d.ellipse((s * 0.02, s * 0.02, s * 0.98, s * 0.98), outline=255, width=int(s * 0.07)))
        glow(ring, rm, s * 0.03, (255, 250, 200), 255)
        fill_mask(ring, rm, (255, 255, 235, 230))
        return down(ring)
    return down(img)


def star(size, colour=(255, 230, 120, 255), points=4, inner=0.28):
    s = size * SS
    img = canvas(size, size)
    c = s / 2
    pts = []
    for k in range(points * 2):
        rr = c * (0.95 if k % 2 == 0 else inner)
        a = -math.pi / 2 + math.pi * k / points
        pts.append((c + rr * math.cos(a), c + rr * math.sin(a)))
    m = mask_of(img.size, lambda d: d.polygon(pts, fill=255))
    glow(img, m, s * 0.08, colour, 200)
    fill_mask(img, m, radial(img.width, img.height, c, c, c * 0.7, (255, 255, 255, 255), colour))
    return down(img)


def button(w, h, base):
    """A rounded plate with a gradient body, bevel, gloss and a dark outline (text comes from
    a text element on top of it)."""
    img = canvas(w, h)
    s = SS
    box = (3 * s, 3 * s, (w - 3) * s, (h - 5) * s)
    m = mask_of(img.size, lambda d: d.rounded_rectangle(box, radius=(h - 8) * s / 2.4, fill=255))
    shadow(img, m, (0, 3 * s), 3 * s, 150)
    fill_mask(img, m, vgradient(img.width, img.height, [(0, lighter(base, 0.35)), (0.55, base), (1, darker(base, 0.35))]))
    img = bevel(img, m, 2.5 * s, 0.5)
    gloss(img, (box[0] + 10 * s, box[1] - 6 * s, box[2] - 10 * s, box[1] + (h * 0.45) * s), 110, m)
    outline(img, m, 2 * s, darker(base, 0.6))
    return down(img)


def panel(w, h, top, bottom, radius=18, border=(255, 255, 255, 60), alpha=215):
    """A translucent card for instructions."""
    img = canvas(w, h)
    s = SS
    box = (6 * s, 6 * s, (w - 6) * s, (h - 8) * s)
    m = mask_of(img.size, lambda d: d.rounded_rectangle(box, radius=radius * s, fill=255))
    shadow(img, m, (0, 4 * s), 6 * s, 160)
    fill_mask(img, m, vgradient(img.width, img.height, [(0, top[:3] + (alpha,)), (1, bottom[:3] + (alpha,))]))
    edge = mask_of(img.size, lambda d: d.rounded_rectangle(box, radius=radius * s, outline=255, width=2 * s))
    fill_mask(img, edge, border)
    return down(img)


def paste_card(back, card, xy):
    back.alpha_composite(card, xy)


def backdrop(w, h, top, bottom, seed, vignette=0.55, grain=((90, 10), (14, 5))):
    img = vgradient(w, h, [(0, top), (1, bottom)])
    img = add_noise(img, grain, seed)
    # vignette
    yy, xx = np.mgrid[0:h, 0:w]
    d = np.sqrt(((xx - w / 2) / (w / 2)) ** 2 + ((yy - h / 2) / (h / 2)) ** 2) / 1.42
    a = np.asarray(img, np.float64).copy()
    a[:, :, :3] *= (1 - vignette * d ** 2.2)[:, :, None]
    return Image.fromarray(a.clip(0, 255).astype(np.uint8), 'RGBA')


def title_bar(img, w, colour=(255, 255, 255, 38)):
    """A soft band behind the room title."""
    band = Image.new('RGBA', (w, 90), (0, 0, 0, 0))
    band.alpha_composite(vgradient(w, 90, [(0, (0, 0, 0, 0)), (0.5, colour), (1, (0, 0, 0, 0))]))
    img.alpha_composite(band, (0, 14))


ROOMS = []


def room(fn):
    ROOMS.append(fn)
    return fn


# --- shared pieces of every room ---------------------------------------------------------

@room
def common():
    save(button(220, 58, rgb('#c9822e')), 'pz_button.png')
    save(button(220, 58, rgb('#3d7fb8')), 'pz_button_blue.png')
    # the "solved" ribbon: gold band with folded ends
    w, h = 560, 120
    img = canvas(w, h)
    s = SS
    ends = mask_of(img.size, lambda d: (d.polygon([(0, 30 * s), (90 * s, 30 * s), (90 * s, 104 * s), (0, 104 * s), (26 * s, 67 * s)], fill=255),
                                        d.polygon([(w * s, 30 * s), ((w - 90) * s, 30 * s), ((w - 90) * s, 104 * s), (w * s, 104 * s), ((w - 26) * s, 67 * s)], fill=255)))
    shadow(img, ends, (0, 4 * s), 5 * s, 140)
    fill_mask(img, ends, vgradient(img.width, img.height, [(0, rgb('#b8861e')), (1, rgb('#6e4a0c'))]))
    img = bevel(img, ends, 2 * s, 0.4)
    band = mask_of(img.size, lambda d: d.rounded_rectangle((50 * s, 12 * s, (w - 50) * s, 92 * s), radius=10 * s, fill=255))
    shadow(img, band, (0, 5 * s), 6 * s, 170)
    fill_mask(img, band, vgradient(img.width, img.height, [(0, rgb('#fff1a8')), (0.45, rgb('#f2c443')), (1, rgb('#b5801a'))]))
    img = bevel(img, band, 3 * s, 0.55)
    gloss(img, (90 * s, 6 * s, (w - 90) * s, 48 * s), 120, band)
    outline(img, band, 2 * s, rgb('#6b4708'))
    save(down(img), 'pz_banner.png')
    save(star(64), 'pz_star.png')
    save(star(40, (150, 220, 255, 255)), 'pz_star_blue.png')



# --- the pipe board ----------------------------------------------------------------------

def seg_dist(xx, yy, a, b):
    ax, ay = a
    bx, by = b
    vx, vy = bx - ax, by - ay
    t = np.clip(((xx - ax) * vx + (yy - ay) * vy) / max(vx * vx + vy * vy, 1e-9), 0, 1)
    return np.hypot(xx - (ax + t * vx), yy - (ay + t * vy))


def tube(w, h, segments, radius, colour, light=(-0.6, -0.8)):
    """A shaded tube (height field of a half cylinder) along segments; returns the image and its mask."""
    yy, xx = np.mgrid[0:h, 0:w].astype(np.float64)
    d = np.full((h, w), 1e9)
    for a, b in segments:
        d = np.minimum(d, seg_dist(xx, yy, a, b))
    inside = np.clip((radius - d) / 1.5 + 0.5, 0, 1)
    z = np.sqrt(np.clip(1 - (d / radius) ** 2, 0, 1))
    gy, gx = np.gradient(z * radius)
    nx, ny, nz = -gx, -gy, np.ones_like(z)
    n = np.sqrt(nx ** 2 + ny ** 2 + nz ** 2)
    lx, ly = light
    lz = 0.9
    ln = math.sqrt(lx * lx + ly * ly + lz * lz)
    diff = np.clip((nx * lx + ny * ly + nz * lz) / n / ln, 0, 1)
    spec = np.clip(diff, 0, 1) ** 18
    base = np.array(colour[:3], np.float64)
    rgbv = base[None, None, :] * (0.25 + 0.85 * diff[:, :, None]) + 255 * 0.55 * spec[:, :, None]
    out = np.zeros((h, w, 4))
    out[:, :, :3] = rgbv
    out[:, :, 3] = inside * colour[3]
    img = Image.fromarray(out.clip(0, 255).astype(np.uint8), 'RGBA')
    return img, Image.fromarray((inside * 255).astype(np.uint8), 'L')


PIPE_OPEN = {0: '1010', 1: '1100', 2: '1110', 3: '1111', 4: '1000', 5: '0000'}


def pipe_arms(code, c, e):
    # directions: 1 up, 2 right, 3 down, 4 left (clockwise on screen)
    ends = {0: (c, 0), 1: (e, c), 2: (c, e), 3: (0, c)}
    return [((c, c), ends[k]) for k in range(4) if code[k] == '1']


def pipe_tile(kind, wet):
    T = 75
    s = T * SS
    c = s / 2
    img = canvas(T, T)
    code = PIPE_OPEN[kind]
    arms = pipe_arms(code, c, s)
    if not wet:
        tile = mask_of(img.size, lambda d: d.rounded_rectangle((2 * SS, 2 * SS, s - 2 * SS, s - 2 * SS), radius=7 * SS, fill=255))
        slab = vgradient(img.width, img.height, [(0, rgb('#4b5a66')), (1, rgb('#2b343d'))])
        slab = add_noise(slab, ((40, 10), (8, 6)), 7 + kind)
        fill_mask(img, tile, slab)
        img = bevel(img, tile, 3 * SS, 0.5)
        outline(img, tile, SS, rgb('#161c22'))
        d = ImageDraw.Draw(img)
        for rx, ry in ((9, 9), (66, 9), (9, 66), (66, 66)):
            d.ellipse(((rx - 3) * SS, (ry - 3) * SS, (rx + 3) * SS, (ry + 3) * SS), fill=rgb('#7d8a96'))
            d.ellipse(((rx - 2) * SS, (ry - 3) * SS, (rx + 1) * SS, (ry) * SS), fill=rgb('#c2ccd4'))
        if arms:
            # a groove under the pipe, then the copper tube, flanges where it meets the edge
            _, m = tube(img.width, img.height, arms, 15 * SS, rgb('#000000'))
            shadow(img, m, (2 * SS, 4 * SS), 3 * SS, 170)
            t, m = tube(img.width, img.height, arms, 13 * SS, rgb('#c77b3a'))
            img.alpha_composite(t)
            for (a, b) in arms:
                bx, by = b
                fx = (bx - c) / c
                fy = (by - c) / c
                cx0, cy0 = c + fx * (c - 5 * SS), c + fy * (c - 5 * SS)
                if fx == 0:
                    seg = [((cx0 - 14 * SS, cy0), (cx0 + 14 * SS, cy0))]
                else:
                    seg = [((cx0, cy0 - 14 * SS), (cx0, cy0 + 14 * SS))]
                f, fm = tube(img.width, img.height, seg, 4.5 * SS, rgb('#e0a060'))
                img.alpha_composite(f)
            if code.count('1') >= 3 or kind == 4:
                hub, hm = tube(img.width, img.height, [((c, c), (c, c))], 17 * SS, rgb('#b06a30'))
                img.alpha_composite(hub)
                if kind == 4:
                    cap, _ = tube(img.width, img.height, [((c - 9 * SS, c), (c + 9 * SS, c))], 5 * SS, rgb('#d8d2c8'))
                    img.alpha_composite(cap)
    else:
        if not arms:
            return down(img)
        glow_m = tube(img.width, img.height, arms, 9 * SS, (0, 0, 0, 255))[1]
        glow(img, glow_m, 3 * SS, (90, 190, 255), 160)
        t, m = tube(img.width, img.height, arms, 7.5 * SS, (60, 150, 235, 235))
        img.alpha_composite(t)
        shine, _ = tube(img.width, img.height, arms, 2.5 * SS, (200, 240, 255, 190))
        img.alpha_composite(shine)
        if code.count('1') >= 3 or kind == 4:
            hub, _ = tube(img.width, img.height, [((c, c), (c, c))], 11 * SS, (70, 160, 240, 235))
            img.alpha_composite(hub)
    return down(img)


@room
def pipes():
    frames = [pipe_tile(k, False) for k in range(6)] + [pipe_tile(k, True) for k in range(6)]
    img, layout = sheet(frames, 6)
    save(img, 'pz_pipes.png', layout, palette=True)
    # the leak: a spray of drops out of the cell's upper edge (turned by the native)
    T = 150
    s = T * SS
    sp = canvas(T, T)
    rnd = random.Random(4)
    e = 40 * SS  # the cell's upper edge, above the centre
    fan = mask_of(sp.size, lambda d: d.polygon([(s / 2 - 7 * SS, s / 2 - e + 6 * SS), (s / 2 + 7 * SS, s / 2 - e + 6 * SS), (s * 0.78, 4 * SS), (s * 0.22, 4 * SS)], fill=255))
    fan = fan.filter(ImageFilter.GaussianBlur(6 * SS))
    fill_mask(sp, fan, (160, 215, 255, 170))
    d = ImageDraw.Draw(sp)
    for k in range(60):
        a = rnd.uniform(-0.5, 0.5)
        r = rnd.uniform(0.0, 1.0) ** 0.7 * (s / 2 - e - 4 * SS)
        x, y = s / 2 + math.sin(a) * r, s / 2 - e - math.cos(a) * r + 4 * SS
        rr = rnd.uniform(1.5, 3.5) * SS
        d.ellipse((x - rr, y - rr, x + rr, y + rr), fill=(235, 250, 255, 240), outline=(90, 150, 220, 200))
    save(down(sp), 'pz_pipes_leak.png')
    # the water leaving the outlet: a falling stream with foam
    w, h = 70, 170
    wf = canvas(w, h)
    m = mask_of(wf.size, lambda d: d.polygon([(0, 8 * SS), (10 * SS, 0), (28 * SS, 2 * SS), (40 * SS, 14 * SS), (46 * SS, h * SS), (18 * SS, h * SS), (16 * SS, 40 * SS)], fill=255))
    m = m.filter(ImageFilter.GaussianBlur(2 * SS))
    fill_mask(wf, m, vgradient(wf.width, wf.height, [(0, (120, 200, 255, 240)), (1, (60, 140, 230, 120))]))
    d = ImageDraw.Draw(wf)
    for k in range(40):
        y = rnd.uniform(0.05, 1) * h * SS
        x = (18 + 24 * (y / (h * SS))) * SS + rnd.uniform(-6, 14) * SS
        d.line((x, y, x + rnd.uniform(-1, 1) * SS, y + rnd.uniform(8, 20) * SS), fill=(230, 248, 255, 170), width=SS)
    save(down(wf), 'pz_pipes_out.png')
    back = pipes_backdrop()
    save(back, 'pz_pipes_back.jpg', quality=86)


def layer_lines(img, lines, colour, width=1):
    """Lines blended over the picture (ImageDraw alone would replace the pixels)."""
    lay = Image.new('RGBA', img.size, (0, 0, 0, 0))
    d = ImageDraw.Draw(lay)
    for ln in lines:
        d.line(ln, fill=colour, width=width)
    img.alpha_composite(lay)


def wall_bricks(img, bw=120, bh=48, top=0):
    W, H = img.size
    mortar, light = [], []
    for y in range(top, H, bh):
        off = 0 if ((y - top) // bh) % 2 == 0 else bw // 2
        mortar.append((0, y, W, y))
        light.append((0, y + 1, W, y + 1))
        for x in range(-off, W, bw):
            mortar.append((x, y, x, y + bh))
            light.append((x + 1, y, x + 1, y + bh))
    layer_lines(img, mortar, (0, 0, 0, 90), 2)
    layer_lines(img, light, (255, 255, 255, 14), 1)


def piece(w, h):
    """A supersampled canvas for one part of a backdrop, pasted with put()."""
    return canvas(w, h)


def put(img, part, xy):
    img.alpha_composite(down(part), xy)


def pipes_backdrop():
    W, H = 1024, 768
    img = backdrop(W, H, rgb('#1d3440'), rgb('#0b151b'), 31)
    wall_bricks(img)
    title_bar(img, W)
    # the board frame round the cells, whose centres are at (181 + 75 i, 606 - 75 j)
    fw = 520
    fr = piece(fw, fw)
    m = mask_of(fr.size, lambda dd: dd.rounded_rectangle((20 * SS, 20 * SS, (fw - 20) * SS, (fw - 20) * SS), radius=16 * SS, fill=255))
    hole = mask_of(fr.size, lambda dd: dd.rectangle((34 * SS, 34 * SS, (fw - 34) * SS, (fw - 34) * SS), fill=255))
    ring = Image.fromarray(np.clip(np.asarray(m, np.int32) - np.asarray(hole, np.int32), 0, 255).astype(np.uint8), 'L')
    shadow(fr, m, (0, 8 * SS), 10 * SS, 190)
    fill_mask(fr, ring, vgradient(fr.width, fr.height, [(0, rgb('#e2b465')), (0.5, rgb('#b7823a')), (1, rgb('#6f4718'))]))
    fill_mask(fr, hole, vgradient(fr.width, fr.height, [(0, rgb('#10161b')), (1, rgb('#080b0e'))]))
    fr = bevel(fr, ring, 4 * SS, 0.7)
    outline(fr, m, SS, rgb('#3b260c'))
    dd = ImageDraw.Draw(fr)
    for x, y in ((27, 27), (fw - 27, 27), (27, fw - 27), (fw - 27, fw - 27)):
        dd.ellipse(((x - 4) * SS, (y - 4) * SS, (x + 4) * SS, (y + 4) * SS), fill=rgb('#5a3a12'))
        dd.ellipse(((x - 3) * SS, (y - 4) * SS, (x + 1) * SS, y * SS), fill=rgb('#f3d08a'))
    put(img, fr, (108, 158))
    # the tank on the left and its pipe into cell (0, 0)
    tk = piece(150, 260)
    t, tm = tube(tk.width, tk.height, [((48 * SS, 228 * SS), (150 * SS, 228 * SS)), ((48 * SS, 228 * SS), (48 * SS, 150 * SS))], 13 * SS, rgb('#c77b3a'))
    shadow(tk, tm, (3 * SS, 6 * SS), 4 * SS, 160)
    tk.alpha_composite(t)
    body = mask_of(tk.size, lambda dd: dd.rounded_rectangle((2 * SS, 2 * SS, 98 * SS, 168 * SS), radius=18 * SS, fill=255))
    shadow(tk, body, (4 * SS, 8 * SS), 8 * SS, 170)
    fill_mask(tk, body, vgradient(tk.width, tk.height, [(0, rgb('#9fb3c0')), (0.7, rgb('#4c5d68')), (1, rgb('#34414a'))]))
    tk = bevel(tk, body, 5 * SS, 0.6)
    win = mask_of(tk.size, lambda dd: dd.rounded_rectangle((24 * SS, 30 * SS, 76 * SS, 140 * SS), radius=10 * SS, fill=255))
    fill_mask(tk, win, vgradient(tk.width, tk.height, [(0, (18, 34, 50, 255)), (60 / 260, (18, 34, 50, 255)), (62 / 260, (120, 200, 250, 255)), (140 / 260, (30, 90, 190, 255)), (1, (30, 90, 190, 255))]))
    gloss(tk, (26 * SS, 24 * SS, 50 * SS, 120 * SS), 90, win)
    outline(tk, win, SS, (10, 20, 30, 255))
    outline(tk, body, SS, (20, 28, 34, 255))
    put(img, tk, (22, 378))
    # the outlet from cell (5, 5), its spout and the basin under it
    ot = piece(120, 240)
    o, om = tube(ot.width, ot.height, [((0, 33 * SS), (62 * SS, 33 * SS))], 13 * SS, rgb('#c77b3a'))
    shadow(ot, om, (3 * SS, 6 * SS), 4 * SS, 160)
    ot.alpha_composite(o)
    sp, _ = tube(ot.width, ot.height, [((62 * SS, 16 * SS), (62 * SS, 50 * SS))], 6 * SS, rgb('#e0a060'))
    ot.alpha_composite(sp)
    basin = mask_of(ot.size, lambda dd: dd.chord((12 * SS, 150 * SS, 112 * SS, 236 * SS), 0, 180, fill=255))
    shadow(ot, basin, (3 * SS, 6 * SS), 6 * SS, 170)
    fill_mask(ot, basin, vgradient(ot.width, ot.height, [(0, rgb('#9aaab6')), (1, rgb('#36434c'))]))
    ot = bevel(ot, basin, 4 * SS, 0.5)
    outline(ot, basin, SS, (20, 28, 34, 255))
    put(img, ot, (594, 198))
    paste_card(img, panel(310, 420, rgb('#23404d'), rgb('#142630')), (704, 104))
    return img



# --- tower stacking ----------------------------------------------------------------------

def wood(w, h, base, seed, grain=0.35):
    """Wood: a base colour with stretched noise for the grain."""
    img = Image.new('RGBA', (w, h), base)
    a = np.asarray(img, np.float64).copy()
    rng = np.random.RandomState(seed)
    small = rng.rand(max(2, h // 6), 3)
    g = np.asarray(Image.fromarray((small * 255).astype(np.uint8), 'L').resize((w, h), Image.BICUBIC), np.float64) / 255
    fine = noise(w, h, 3, 0.5, seed + 1)
    streak = np.sin(g * 18 + fine * 2) * grain
    a[:, :, :3] *= (1 + streak * 0.35)[:, :, None]
    return Image.fromarray(a.clip(0, 255).astype(np.uint8), 'RGBA')


def hanoi_disc(w, h, colour):
    """A disc seen slightly from above: a cylinder slab with a top ellipse and a hole."""
    img = canvas(w, h)
    s = SS
    top_h = h * 0.42
    W, H = w * s, h * s
    side = mask_of(img.size, lambda d: (d.rectangle((2 * s, top_h * s / 2, W - 2 * s, H - top_h * s / 2 - 2 * s), fill=255),
                                        d.ellipse((2 * s, H - top_h * s - 2 * s, W - 2 * s, H - 2 * s), fill=255)))
    fill_mask(img, side, Image.fromarray(np.tile(np.interp(np.arange(W), [0, W * 0.3, W * 0.7, W], [0.45, 1.0, 0.75, 0.35])[None, :, None] *
                                                 np.array(colour[:3])[None, None, :], (H, 1, 1)).clip(0, 255).astype(np.uint8), 'RGB').convert('RGBA'))
    topm = mask_of(img.size, lambda d: d.ellipse((2 * s, 2 * s, W - 2 * s, top_h * s), fill=255))
    fill_mask(img, topm, radial(img.width, img.height, W * 0.4, top_h * s * 0.3, W * 0.6, lighter(colour, 0.5), colour))
    hole = mask_of(img.size, lambda d: d.ellipse((W / 2 - 9 * s, top_h * s / 2 - 4 * s, W / 2 + 9 * s, top_h * s / 2 + 4 * s), fill=255))
    fill_mask(img, hole, darker(colour, 0.7))
    rim = mask_of(img.size, lambda d: d.ellipse((2 * s, 2 * s, W - 2 * s, top_h * s), outline=255, width=2 * s))
    fill_mask(img, rim, lighter(colour, 0.6)[:3] + (160,))
    whole = Image.fromarray(np.maximum(np.asarray(side), np.asarray(topm)), 'L')
    outline(img, whole, s, darker(colour, 0.7))
    return down(img)


def glass_cup(w, h, colour):
    """An upside-down glass cup: translucent body, bright rims and a long highlight."""
    img = canvas(w, h)
    s = SS
    W, H = w * s, h * s
    body = mask_of(img.size, lambda d: (d.polygon([(W * 0.14, H * 0.16), (W * 0.86, H * 0.16), (W - 3 * s, H - 8 * s), (3 * s, H - 8 * s)], fill=255),
                                        d.ellipse((W * 0.14, 2 * s, W * 0.86, H * 0.3), fill=255),
                                        d.ellipse((3 * s, H - 16 * s, W - 3 * s, H - 2 * s), fill=255)))
    tint = vgradient(img.width, img.height, [(0, colour[:3] + (150,)), (1, darker(colour, 0.3)[:3] + (95,))])
    fill_mask(img, body, tint)
    edge = Image.fromarray(np.clip(np.asarray(body, np.int32) - np.asarray(body.filter(ImageFilter.MinFilter(9)), np.int32), 0, 255).astype(np.uint8), 'L')
    fill_mask(img, edge, lighter(colour, 0.6)[:3] + (220,))
    hl = mask_of(img.size, lambda d: d.polygon([(W * 0.26, H * 0.2), (W * 0.34, H * 0.2), (W * 0.22, H * 0.88), (W * 0.13, H * 0.88)], fill=255))
    hl = hl.filter(ImageFilter.GaussianBlur(3 * s))
    fill_mask(img, hl, (255, 255, 255, 150))
    rim = mask_of(img.size, lambda d: d.ellipse((3 * s, H - 16 * s, W - 3 * s, H - 2 * s), outline=255, width=3 * s))
    fill_mask(img, rim, lighter(colour, 0.7)[:3] + (235,))
    knob = mask_of(img.size, lambda d: d.ellipse((W * 0.4, 0, W * 0.6, H * 0.1), fill=255))
    fill_mask(img, knob, lighter(colour, 0.4)[:3] + (230,))
    return down(img)


@room
def tower():
    for n, (w, c) in enumerate(((150, rgb('#d2453a')), (115, rgb('#e0a12e')), (80, rgb('#4aa05a')))):
        save(hanoi_disc(w, 44, c), 'pz_tower_disc%d.png' % (n + 1))
    for n, (w, h, c) in enumerate(((80, 90, rgb('#7fd0ff')), (110, 120, rgb('#c58cff')), (140, 150, rgb('#ff9f6a')))):
        save(glass_cup(w, h, c), 'pz_tower_cup%d.png' % (n + 1))
    # the stand: three pegs on a wooden base; disc columns at 80, 240, 400 across its 480 px
    W, H = 480, 210
    st = canvas(W, H)
    s = SS
    base = mask_of(st.size, lambda d: d.rounded_rectangle((6 * s, 182 * s, (W - 6) * s, 208 * s), radius=9 * s, fill=255))
    shadow(st, base, (0, 6 * s), 6 * s, 170)
    fill_mask(st, base, wood(st.width, st.height, rgb('#8a5a30'), 3))
    topface = mask_of(st.size, lambda d: d.rounded_rectangle((6 * s, 182 * s, (W - 6) * s, 194 * s), radius=6 * s, fill=255))
    fill_mask(st, topface, (255, 230, 190, 60))
    st = bevel(st, base, 3 * s, 0.5)
    outline(st, base, s, rgb('#3a2210'))
    for cx in (80, 240, 400):
        peg, pm = tube(st.width, st.height, [((cx * s, 64 * s), (cx * s, 190 * s))], 6 * s, rgb('#c9a66b'))
        shadow(st, pm, (4 * s, 0), 3 * s, 120)
        st.alpha_composite(peg)
        knob, _ = tube(st.width, st.height, [((cx * s, 62 * s), (cx * s, 62 * s))], 8 * s, rgb('#e2c48a'))
        st.alpha_composite(knob)
    save(down(st), 'pz_tower_stand.png')
    # the glow shown round the finished stand, and the column marker under the pointer
    g = canvas(200, 90)
    m = mask_of(g.size, lambda d: d.ellipse((20 * s, 20 * s, 180 * s, 70 * s), fill=255))
    glow(g, m, 14 * s, (255, 220, 120), 230)
    save(down(g), 'pz_tower_glow.png')
    mk = canvas(40, 30)
    m = mask_of(mk.size, lambda d: d.polygon([(4 * s, 4 * s), (36 * s, 4 * s), (20 * s, 26 * s)], fill=255))
    glow(mk, m, 3 * s, (255, 240, 180), 200)
    fill_mask(mk, m, vgradient(mk.width, mk.height, [(0, rgb('#fff4c0')), (1, rgb('#e0a030'))]))
    outline(mk, m, s, rgb('#6a4510'))
    save(down(mk), 'pz_tower_arrow.png')
    save(tower_backdrop(), 'pz_tower_back.jpg', quality=86)


def tower_backdrop():
    W, H = 1024, 768
    img = wood(W, H, rgb('#5a3a22'), 11, 0.25)
    img = Image.alpha_composite(img, vgradient(W, H, [(0, (20, 10, 5, 150)), (0.5, (0, 0, 0, 40)), (1, (10, 5, 0, 190))]))
    # vertical panels
    layer_lines(img, [(x, 0, x, 560) for x in range(0, W, 128)], (0, 0, 0, 70), 3)
    layer_lines(img, [(x + 3, 0, x + 3, 560) for x in range(0, W, 128)], (255, 220, 180, 18), 1)
    title_bar(img, W, (255, 230, 200, 30))
    # warm light from a lamp over each stand
    for cx, cy in ((250, 330), (760, 400)):
        img.alpha_composite(radial(W, H, cx, cy, 330, (255, 200, 140, 60), (255, 200, 140, 0), 1.4))
    for lx in (250, 760):
        lp = piece(120, 110)
        arm, am = tube(lp.width, lp.height, [((60 * SS, 0), (60 * SS, 40 * SS))], 3 * SS, rgb('#b08a50'))
        lp.alpha_composite(arm)
        shade = mask_of(lp.size, lambda d: d.polygon([(38 * SS, 40 * SS), (82 * SS, 40 * SS), (104 * SS, 84 * SS), (16 * SS, 84 * SS)], fill=255))
        shadow(lp, shade, (3 * SS, 5 * SS), 4 * SS, 150)
        fill_mask(lp, shade, vgradient(lp.width, lp.height, [(0.35, rgb('#3c6b4a')), (0.8, rgb('#1f3d2a'))]))
        lp = bevel(lp, shade, 3 * SS, 0.5)
        bulb = mask_of(lp.size, lambda d: d.ellipse((44 * SS, 74 * SS, 76 * SS, 100 * SS), fill=255))
        glow(lp, bulb, 8 * SS, (255, 230, 160), 255)
        fill_mask(lp, bulb, (255, 246, 210, 255))
        outline(lp, shade, SS, (20, 30, 20, 255))
        put(img, lp, (lx - 60, 96))
    # the table the stand sits on and the shelf of the cups
    tb = piece(W, 230)
    top = mask_of(tb.size, lambda d: d.rectangle((0, 0, W * SS, 30 * SS), fill=255))
    fill_mask(tb, top, wood(tb.width, tb.height, rgb('#9a6638'), 21))
    front = mask_of(tb.size, lambda d: d.rectangle((0, 30 * SS, W * SS, 230 * SS), fill=255))
    fill_mask(tb, front, wood(tb.width, tb.height, rgb('#6e4524'), 22))
    tb = bevel(tb, top, 3 * SS, 0.4)
    layer_lines(tb, [(0, 30 * SS, W * SS, 30 * SS)], (0, 0, 0, 160), 2 * SS)
    put(img, tb, (0, 538))
    # the help band at the bottom
    paste_card(img, panel(700, 170, rgb('#3a2616'), rgb('#22150b'), border=(255, 220, 170, 70)), (10, 586))
    return img



# --- field dragging ----------------------------------------------------------------------

def sphere(size, colour, ring=None, bands=False, seed=0):
    """A lit ball: diffuse and specular light from the top left, a rim of reflected light, an
    optional planet ring and surface bands."""
    S = size * SS
    yy, xx = np.mgrid[0:S, 0:S].astype(np.float64)
    c = S / 2
    r = S / 2 - 2 * SS
    dx, dy = (xx - c) / r, (yy - c) / r
    d2 = dx * dx + dy * dy
    inside = np.clip((1 - np.sqrt(d2)) * r / 1.5, 0, 1)
    z = np.sqrt(np.clip(1 - d2, 0, 1))
    lx, ly, lz = -0.5, -0.6, 0.62
    diff = np.clip(dx * lx + dy * ly + z * lz, 0, 1)
    spec = np.clip(dx * -0.35 + dy * -0.45 + z * 0.82, 0, 1) ** 40
    rim = np.clip(1 - z, 0, 1) ** 3 * np.clip(dx * 0.6 + dy * 0.7, 0, 1)
    base = np.array(colour[:3], np.float64)
    tone = 0.18 + 0.95 * diff
    if bands:
        rng = np.random.RandomState(seed)
        wave = np.sin((dy + 0.15 * np.sin(dx * 3 + seed)) * (7 + rng.rand() * 4)) * 0.12
        tone = tone * (1 + wave)
    rgbv = base[None, None, :] * tone[:, :, None] + 255 * 0.7 * spec[:, :, None] + 120 * rim[:, :, None]
    out = np.zeros((S, S, 4))
    out[:, :, :3] = rgbv
    out[:, :, 3] = inside * 255
    img = Image.fromarray(out.clip(0, 255).astype(np.uint8), 'RGBA')
    if ring:
        back = canvas(size, size)
        rm = mask_of(back.size, lambda d: d.ellipse((1 * SS, c - S * 0.16, S - 1 * SS, c + S * 0.16), outline=255, width=int(S * 0.06)))
        fill_mask(back, rm, ring)
        front = Image.fromarray((np.asarray(rm, np.float64) * (yy > c)).astype(np.uint8), 'L')
        behind = Image.fromarray((np.asarray(rm, np.float64) * (yy <= c)).astype(np.uint8), 'L')
        out2 = canvas(size, size)
        fill_mask(out2, behind, ring)
        out2.alpha_composite(img)
        fill_mask(out2, front, ring)
        img = out2
    return down(img)


@room
def field():
    planets = [('#e0533a', None, True), ('#f0a53a', (230, 210, 160, 230), True), ('#3ac0b0', None, False),
               ('#9a6ae0', None, True), ('#7ab8ff', (200, 230, 255, 220), False)]
    for n, (c, ring, bands) in enumerate(planets):
        save(sphere(46, rgb(c), ring, bands, n), 'pz_field_planet%d.png' % (n + 1))
    rainbow = ['#e23b3b', '#f08a2a', '#f2d23a', '#4cc24c', '#3aa8e8', '#4a5ae0', '#a64ae0']
    for n, c in enumerate(rainbow):
        save(sphere(26, rgb(c)), 'pz_field_bead%d.png' % (n + 1))
    # the dishes' insides are painted into the background (a JPEG keeps the starry sky small);
    # the dish pictures keep their rims, and their size is what the natives measure
    rd, rd_rim = round_dish(), None
    od = oval_dish(rainbow)
    back = field_backdrop()
    back.alpha_composite(rd, (30, 112))
    back.alpha_composite(od, (556, 112))
    save(back, 'pz_field_back.jpg', quality=88)
    save(rim_only(rd, 26 / 440), 'pz_field_round.png', palette=True)
    save(rim_only(od, 22 / 440), 'pz_field_oval.png', palette=True)


# sockets of the round dish (centre offsets) and the oval tray (as the room places them)
FIELD_SOCKETS = [(-105, -55), (-30, -112), (62, -68), (112, 34), (18, 104)]
BEAD_SOCKETS = [(x, round(20 - 50 * (1 - (x / 150.0) ** 2))) for x in range(-150, 151, 50)]


def rim_only(img, border):
    """The picture with its inside cut out: only the outer ring (and its shadow) is kept."""
    w, h = img.size
    m = Image.new('L', (w * SS, h * SS), 255)
    bx, by = border * w * SS, border * w * SS
    ImageDraw.Draw(m).ellipse((bx + 2 * SS, by + 2 * SS, w * SS - bx - 2 * SS, h * SS - by - 2 * SS), fill=0)
    m = m.resize((w, h), Image.LANCZOS)
    out = img.copy()
    a = np.asarray(out, np.float64).copy()
    a[:, :, 3] *= np.asarray(m, np.float64) / 255
    a[a[:, :, 3] < 1] = 0  # nothing left to see: store plain zeros, which pack small
    return Image.fromarray(a.astype(np.uint8), 'RGBA')


def round_dish():
    D = 440
    img = canvas(D, D)
    s = SS
    c = D * s / 2
    outer = mask_of(img.size, lambda d: d.ellipse((4 * s, 4 * s, (D - 4) * s, (D - 4) * s), fill=255))
    shadow(img, outer, (0, 8 * s), 10 * s, 200)
    fill_mask(img, outer, vgradient(img.width, img.height, [(0, rgb('#f0c878')), (0.5, rgb('#b7853d')), (1, rgb('#6a4316'))]))
    img = bevel(img, outer, 5 * s, 0.6)
    inner = mask_of(img.size, lambda d: d.ellipse((26 * s, 26 * s, (D - 26) * s, (D - 26) * s), fill=255))
    sky = radial(img.width, img.height, c * 0.8, c * 0.7, c * 1.1, rgb('#1f3468'), rgb('#070c1e'))
    fill_mask(img, inner, sky)
    rnd = random.Random(9)
    dots = Image.new('RGBA', img.size, (0, 0, 0, 0))
    d = ImageDraw.Draw(dots)
    for _ in range(260):
        a = rnd.uniform(0, 2 * math.pi)
        rr = math.sqrt(rnd.random()) * (D / 2 - 30) * s
        x, y = c + rr * math.cos(a), c + rr * math.sin(a)
        q = rnd.uniform(0.6, 2.2) * s
        d.ellipse((x - q, y - q, x + q, y + q), fill=(255, 255, 255, rnd.randint(60, 200)))
    img.alpha_composite(dots)
    # the engraved rings of the chart and the constellation to rebuild
    lines = Image.new('RGBA', img.size, (0, 0, 0, 0))
    d = ImageDraw.Draw(lines)
    for rr in (60, 120, 170):
        d.ellipse((c - rr * s, c - rr * s, c + rr * s, c + rr * s), outline=(150, 180, 255, 50), width=s)
    pts = [(c + x * s, c + y * s) for x, y in FIELD_SOCKETS]
    for a, b in zip(pts, pts[1:]):
        d.line((a, b), fill=(160, 200, 255, 110), width=2 * s)
    img.alpha_composite(lines)
    colours = ['#e0533a', '#f0a53a', '#3ac0b0', '#9a6ae0', '#7ab8ff']
    for (x, y), col in zip(FIELD_SOCKETS, colours):
        px, py = c + x * s, c + y * s
        hole = mask_of(img.size, lambda dd: dd.ellipse((px - 26 * s, py - 26 * s, px + 26 * s, py + 26 * s), fill=255))
        glow(img, hole, 6 * s, rgb(col), 200)
        fill_mask(img, hole, (6, 10, 24, 255))
        img = bevel(img, hole, 3 * s, 0.6, light=(1, 1))
        ring = mask_of(img.size, lambda dd: dd.ellipse((px - 26 * s, py - 26 * s, px + 26 * s, py + 26 * s), outline=255, width=2 * s))
        fill_mask(img, ring, rgb(col)[:3] + (200,))
    outline(img, outer, s, rgb('#3b260c'))
    return down(img)


def oval_dish(rainbow):
    W, H = 440, 280
    img = canvas(W, H)
    s = SS
    cx, cy = W * s / 2, H * s / 2
    outer = mask_of(img.size, lambda d: d.ellipse((4 * s, 4 * s, (W - 4) * s, (H - 4) * s), fill=255))
    shadow(img, outer, (0, 8 * s), 10 * s, 200)
    fill_mask(img, outer, wood(img.width, img.height, rgb('#8a5a30'), 5))
    img = bevel(img, outer, 5 * s, 0.6)
    inner = mask_of(img.size, lambda d: d.ellipse((22 * s, 20 * s, (W - 22) * s, (H - 20) * s), fill=255))
    felt = add_noise(radial(img.width, img.height, cx * 0.9, cy * 0.8, cx, rgb('#2f7a52'), rgb('#123a26')), ((6, 8),), 4)
    fill_mask(img, inner, felt)
    img = bevel(img, inner, 4 * s, 0.5, light=(1, 1))
    for (x, y), col in zip(BEAD_SOCKETS, rainbow):
        px, py = cx + x * s, cy + y * s
        hole = mask_of(img.size, lambda dd: dd.ellipse((px - 15 * s, py - 15 * s, px + 15 * s, py + 15 * s), fill=255))
        fill_mask(img, hole, (10, 26, 16, 255))
        img = bevel(img, hole, 2 * s, 0.7, light=(1, 1))
        ring = mask_of(img.size, lambda dd: dd.ellipse((px - 15 * s, py - 15 * s, px + 15 * s, py + 15 * s), outline=255, width=2 * s))
        fill_mask(img, ring, rgb(col)[:3] + (230,))
    outline(img, outer, s, rgb('#3a2210'))
    return down(img)


def field_backdrop():
    W, H = 1024, 768
    img = backdrop(W, H, rgb('#14203e'), rgb('#05070f'), 41, 0.5, ((80, 6), (10, 3)))
    rnd = random.Random(3)
    dots = Image.new('RGBA', (W, H), (0, 0, 0, 0))
    d = ImageDraw.Draw(dots)
    for _ in range(420):
        x, y = rnd.uniform(0, W), rnd.uniform(0, H)
        q = rnd.uniform(0.4, 1.5)
        d.ellipse((x - q, y - q, x + q, y + q), fill=(255, 255, 255, rnd.randint(40, 170)))
    img.alpha_composite(dots)
    title_bar(img, W, (180, 200, 255, 30))
    paste_card(img, panel(470, 250, rgb('#1c2a4c'), rgb('#0e1628'), border=(170, 190, 255, 70)), (536, 412))
    return img



# --- untangling --------------------------------------------------------------------------

def node(size, colour):
    """A glowing knot: a lit ball inside a soft halo and a bright rim."""
    img = canvas(size, size)
    S = size * SS
    halo = mask_of(img.size, lambda d: d.ellipse((S * 0.14, S * 0.14, S * 0.86, S * 0.86), fill=255))
    glow(img, halo, S * 0.08, colour, 200)
    ball = sphere(int(size * 0.7), colour).resize((int(S * 0.7), int(S * 0.7)), Image.LANCZOS)
    img.alpha_composite(ball, (int(S * 0.15), int(S * 0.15)))
    ring = mask_of(img.size, lambda d: d.ellipse((S * 0.15, S * 0.15, S * 0.85, S * 0.85), outline=255, width=max(2, int(S * 0.04))))
    fill_mask(img, ring, lighter(colour, 0.6)[:3] + (220,))
    return down(img)


@room
def untangle():
    save(node(50, rgb('#f0b040')), 'pz_knot_big.png')
    save(node(26, rgb('#60d0ff')), 'pz_knot_small.png')
    # the boards are part of the background: the natives draw the bands in the screen's render
    # script, which runs after the background and before the elements
    W, H = 1024, 768
    img = backdrop(W, H, rgb('#2a1d44'), rgb('#0a0614'), 51, 0.6)
    title_bar(img, W, (210, 190, 255, 30))
    for (x0, y0), (w, h) in (((20, 104), (540, 470)), ((580, 104), (424, 306))):
        bd = canvas(w, h)
        s = SS
        m = mask_of(bd.size, lambda d: d.rounded_rectangle((4 * s, 4 * s, (w - 4) * s, (h - 6) * s), radius=18 * s, fill=255))
        shadow(bd, m, (0, 6 * s), 8 * s, 190)
        fill_mask(bd, m, vgradient(bd.width, bd.height, [(0, rgb('#1d2440')), (1, rgb('#0b0f1e'))]))
        grid = Image.new('RGBA', bd.size, (0, 0, 0, 0))
        d = ImageDraw.Draw(grid)
        for x in range(0, w, 30):
            d.line((x * s, 0, x * s, h * s), fill=(120, 150, 255, 22), width=s)
        for y in range(0, h, 30):
            d.line((0, y * s, w * s, y * s), fill=(120, 150, 255, 22), width=s)
        grid = Image.composite(grid, Image.new('RGBA', bd.size, (0, 0, 0, 0)), m)
        bd.alpha_composite(grid)
        edge = mask_of(bd.size, lambda d: d.rounded_rectangle((4 * s, 4 * s, (w - 4) * s, (h - 6) * s), radius=18 * s, outline=255, width=3 * s))
        fill_mask(bd, edge, (150, 170, 255, 110))
        put(img, bd, (x0, y0))
    paste_card(img, panel(440, 236, rgb('#2a2250'), rgb('#15112a'), border=(200, 180, 255, 70)), (572, 420))
    save(img, 'pz_untangle_back.jpg', quality=86)



# --- sliding rows ------------------------------------------------------------------------

RUNE_COLOURS = ['#ff6a5a', '#ffb03a', '#f4e04a', '#6ae06a', '#4ad0ff', '#7a8aff', '#d07aff', '#ff7ac8']


def rune_shape(d, n, cx, cy, r, fill, width):
    """Glyph n (0..7) drawn as strokes round (cx, cy)."""
    if n == 0:
        d.ellipse((cx - r, cy - r, cx + r, cy + r), outline=fill, width=width)
        d.ellipse((cx - r * 0.3, cy - r * 0.3, cx + r * 0.3, cy + r * 0.3), fill=fill)
    elif n == 1:
        d.polygon([(cx, cy - r), (cx + r * 0.95, cy + r * 0.75), (cx - r * 0.95, cy + r * 0.75)], outline=fill, width=width)
    elif n == 2:
        d.rectangle((cx - r * 0.8, cy - r * 0.8, cx + r * 0.8, cy + r * 0.8), outline=fill, width=width)
        d.line((cx - r * 0.8, cy - r * 0.8, cx + r * 0.8, cy + r * 0.8), fill=fill, width=width)
    elif n == 3:
        pts = []
        for k in range(10):
            rr = r if k % 2 == 0 else r * 0.42
            a = -math.pi / 2 + math.pi * k / 5
            pts.append((cx + rr * math.cos(a), cy + rr * math.sin(a)))
        d.polygon(pts, outline=fill, width=width)
    elif n == 4:
        d.arc((cx - r, cy - r, cx + r, cy + r), 60, 300, fill=fill, width=width)
        d.arc((cx - r * 0.35, cy - r * 0.75, cx + r * 1.15, cy + r * 0.75), 100, 260, fill=fill, width=width)
    elif n == 5:
        d.ellipse((cx - r * 0.45, cy - r * 0.45, cx + r * 0.45, cy + r * 0.45), outline=fill, width=width)
        for k in range(8):
            a = math.pi * k / 4
            d.line((cx + r * 0.65 * math.cos(a), cy + r * 0.65 * math.sin(a), cx + r * math.cos(a), cy + r * math.sin(a)), fill=fill, width=width)
    elif n == 6:
        for off in (-0.45, 0.0, 0.45):
            pts = [(cx + r * (t / 10 - 1), cy + r * off + math.sin(t / 10 * math.pi * 2) * r * 0.2) for t in range(0, 21)]
            d.line(pts, fill=fill, width=width)
    else:
        d.line((cx - r, cy - r, cx + r, cy + r), fill=fill, width=width)
        d.line((cx - r, cy + r, cx + r, cy - r), fill=fill, width=width)
        d.line((cx, cy - r, cx, cy + r), fill=fill, width=width)


def rune_tile(n, selected):
    """A stone plate of the belt: empty (n = -1) or with glyph n; selected ones glow gold."""
    w, h = 80, 76
    img = canvas(w, h)
    s = SS
    m = mask_of(img.size, lambda d: d.rounded_rectangle((3 * s, 3 * s, (w - 3) * s, (h - 4) * s), radius=10 * s, fill=255))
    shadow(img, m, (0, 3 * s), 3 * s, 170)
    base = rgb('#6e6a78') if n >= 0 else rgb('#4a4752')
    slab = add_noise(vgradient(img.width, img.height, [(0, lighter(base, 0.25)), (1, darker(base, 0.35))]), ((30, 12), (6, 7)), 17 + n)
    fill_mask(img, m, slab)
    img = bevel(img, m, 3 * s, 0.55)
    if n >= 0:
        col = rgb(RUNE_COLOURS[n])
        cx, cy, r = w * s / 2, h * s / 2, 22 * s
        carve = Image.new('L', img.size, 0)
        rune_shape(ImageDraw.Draw(carve), n, cx, cy, r, 255, int(5.5 * s))
        glow(img, carve, 3 * s, col, 170 if not selected else 255)
        fill_mask(img, carve, lighter(col, 0.35))
        img = bevel(img, carve, 1.5 * s, 0.5)
    if selected:
        ring = mask_of(img.size, lambda d: d.rounded_rectangle((3 * s, 3 * s, (w - 3) * s, (h - 4) * s), radius=10 * s, outline=255, width=4 * s))
        glow(img, ring, 4 * s, (255, 220, 110), 255)
        fill_mask(img, ring, (255, 236, 150, 255))
    outline(img, m, s, (25, 22, 30, 255))
    return down(img)


@room
def slide():
    frames = [rune_tile(-1, False)] + [rune_tile(n, False) for n in range(8)] + [rune_tile(n, True) for n in range(8)]
    frames.append(canvas(80, 76).resize((80, 76)))
    img, layout = sheet(frames, 9)
    save(img, 'pz_slide_tiles.png', layout, palette=True)
    # the glow that rides with each glyph (the tile's companion; the native shows it at a quarter)
    gl = []
    for n in range(9):
        g = canvas(80, 76)
        if n > 0:
            m = mask_of(g.size, lambda d: d.ellipse((10 * SS, 8 * SS, 70 * SS, 68 * SS), fill=255))
            glow(g, m, 10 * SS, rgb(RUNE_COLOURS[n - 1]), 255)
        gl.append(down(g))
    img, layout = sheet(gl, 9)
    save(img, 'pz_slide_glow.png', layout, palette=True)
    save(slide_backdrop(), 'pz_slide_back.jpg', quality=86)
    # the housings the belts run through, and the grate over the waiting belt
    for name, (w, h) in (('pz_slide_side.png', (74, 430)), ('pz_slide_grate.png', (480, 96))):
        img = canvas(w, h)
        s = SS
        m = mask_of(img.size, lambda d: d.rounded_rectangle((2 * s, 2 * s, (w - 2) * s, (h - 2) * s), radius=10 * s, fill=255))
        shadow(img, m, (0, 4 * s), 5 * s, 180)
        fill_mask(img, m, vgradient(img.width, img.height, [(0, rgb('#8d7a5a')), (1, rgb('#4a3c28'))]) if name.endswith('side.png')
                  else vgradient(img.width, img.height, [(0, rgb('#5a4c36')), (1, rgb('#2c2418'))]))
        img = bevel(img, m, 4 * s, 0.6)
        d = Image.new('RGBA', img.size, (0, 0, 0, 0))
        dd = ImageDraw.Draw(d)
        if name.endswith('side.png'):
            for y in range(24, h - 20, 54):
                dd.ellipse((w * s / 2 - 6 * s, y * s - 6 * s, w * s / 2 + 6 * s, y * s + 6 * s), fill=(30, 24, 16, 255))
                dd.ellipse((w * s / 2 - 4 * s, y * s - 6 * s, w * s / 2 + 2 * s, y * s), fill=(210, 190, 150, 255))
        else:
            for x in range(20, w - 14, 22):
                dd.rounded_rectangle((x * s, 16 * s, (x + 10) * s, (h - 16) * s), radius=4 * s, fill=(18, 14, 10, 255))
        img.alpha_composite(d)
        outline(img, m, s, (30, 24, 16, 255))
        save(down(img), name)
    # the puff where a belt is cleared
    pf = canvas(200, 100)
    m = mask_of(pf.size, lambda d: d.ellipse((10 * SS, 20 * SS, 190 * SS, 80 * SS), fill=255))
    glow(pf, m, 14 * SS, (255, 230, 170), 255)
    save(down(pf), 'pz_slide_puff.png')


def slide_backdrop():
    W, H = 1024, 768
    img = backdrop(W, H, rgb('#3a3020'), rgb('#0e0a06'), 61, 0.6)
    wall_bricks(img, 96, 40)
    title_bar(img, W, (255, 230, 180, 32))
    # the dark channel the belts run in
    ch = piece(520, 500)
    m = mask_of(ch.size, lambda d: d.rounded_rectangle((6 * SS, 6 * SS, 514 * SS, 494 * SS), radius=14 * SS, fill=255))
    shadow(ch, m, (0, 6 * SS), 8 * SS, 200)
    fill_mask(ch, m, vgradient(ch.width, ch.height, [(0, rgb('#1a140e')), (1, rgb('#0a0805'))]))
    lines = [(20 * SS, y * SS, 500 * SS, y * SS) for y in range(46, 480, 81)]
    layer_lines(ch, lines, (90, 70, 40, 120), 3 * SS)
    edge = mask_of(ch.size, lambda d: d.rounded_rectangle((6 * SS, 6 * SS, 514 * SS, 494 * SS), radius=14 * SS, outline=255, width=3 * SS))
    fill_mask(ch, edge, (200, 170, 110, 120))
    put(img, ch, (36, 104))
    paste_card(img, panel(424, 420, rgb('#3e301c'), rgb('#1e170d'), border=(255, 220, 160, 70)), (582, 104))
    return img



# --- group labelling ---------------------------------------------------------------------

LABEL_COLOURS = ['#e8443a', '#3a9cf0', '#4ac45a', '#f2c23a', '#b05ae8', '#f07ab0']
LABEL_SHAPES = ['round', 'diamond', 'hex', 'square', 'tri', 'drop']


@room
def labels():
    frames = [gem(52, rgb(c), sh) for c, sh in zip(LABEL_COLOURS, LABEL_SHAPES)]
    lit = []
    for f in frames:
        g = f.copy()
        a = np.asarray(g, np.float64).copy()
        a[:, :, :3] = a[:, :, :3] * 0.75 + 255 * 0.25 * (a[:, :, 3:4] / 255)
        g = Image.fromarray(a.clip(0, 255).astype(np.uint8), 'RGBA')
        ring = canvas(52, 52)
        rm = mask_of(ring.size, lambda d: d.rounded_rectangle((2 * SS, 2 * SS, 50 * SS, 50 * SS), radius=10 * SS, outline=255, width=3 * SS))
        glow(ring, rm, 3 * SS, (255, 245, 200), 255)
        fill_mask(ring, rm, (255, 250, 220, 255))
        g.alpha_composite(down(ring))
        lit.append(g)
    img, layout = sheet(frames + lit, 6)
    save(img, 'pz_labels_gems.png', layout, palette=True)
    # the board: a stone tray the crystals sit in (its inside is opaque: the board takes the clicks)
    W = 500
    bd = canvas(W, W)
    s = SS
    m = mask_of(bd.size, lambda d: d.rounded_rectangle((4 * s, 4 * s, (W - 4) * s, (W - 4) * s), radius=18 * s, fill=255))
    shadow(bd, m, (0, 8 * s), 10 * s, 200)
    fill_mask(bd, m, add_noise(vgradient(bd.width, bd.height, [(0, rgb('#6a6f80')), (1, rgb('#3a3d4a'))]), ((60, 10), (10, 6)), 71))
    bd = bevel(bd, m, 5 * s, 0.6)
    hole = mask_of(bd.size, lambda d: d.rounded_rectangle((14 * s, 14 * s, (W - 14) * s, (W - 14) * s), radius=8 * s, fill=255))
    fill_mask(bd, hole, vgradient(bd.width, bd.height, [(0, rgb('#14121c')), (1, rgb('#221e2e'))]))
    bd = bevel(bd, hole, 4 * s, 0.6, light=(1, 1))
    cells = Image.new('RGBA', bd.size, (0, 0, 0, 0))
    d = ImageDraw.Draw(cells)
    for r in range(9):
        for c in range(9):
            x, y = (16 + 52 * c) * s, (16 + 52 * r) * s
            d.rounded_rectangle((x + 3 * s, y + 3 * s, x + 49 * s, y + 49 * s), radius=8 * s, fill=(255, 255, 255, 10), outline=(255, 255, 255, 18), width=s)
    bd.alpha_composite(cells)
    outline(bd, m, s, (20, 20, 28, 255))
    save(down(bd), 'pz_labels_board.png')
    img = backdrop(W * 2 + 24, 768, rgb('#1a2f3a'), rgb('#06100f'), 81, 0.6).crop((0, 0, 1024, 768))
    for cx, cy, col in ((820, 140, (120, 255, 220, 40)), (150, 700, (180, 120, 255, 36)), (980, 650, (255, 180, 120, 30))):
        img.alpha_composite(radial(1024, 768, cx, cy, 380, col, col[:3] + (0,), 1.2))
    title_bar(img, 1024, (200, 255, 240, 30))
    paste_card(img, panel(440, 420, rgb('#1c3a40'), rgb('#0c1c20'), border=(170, 255, 230, 70)), (568, 104))
    save(img, 'pz_labels_back.jpg', quality=86)



# --- falling pieces ----------------------------------------------------------------------

def key_piece(size):
    img = canvas(size, size)
    s = SS
    S = size * s
    plate = mask_of(img.size, lambda d: d.ellipse((3 * s, 3 * s, S - 3 * s, S - 3 * s), fill=255))
    shadow(img, plate, (s, 2 * s), 2 * s, 150)
    fill_mask(img, plate, radial(img.width, img.height, S * 0.4, S * 0.35, S * 0.6, rgb('#5a3a1a'), rgb('#24160a')))
    img = bevel(img, plate, 2 * s, 0.5)
    k = Image.new('L', img.size, 0)
    d = ImageDraw.Draw(k)
    d.ellipse((S * 0.18, S * 0.2, S * 0.5, S * 0.52), outline=255, width=int(S * 0.09))
    d.rectangle((S * 0.44, S * 0.33, S * 0.84, S * 0.41), fill=255)
    d.rectangle((S * 0.66, S * 0.41, S * 0.72, S * 0.58), fill=255)
    d.rectangle((S * 0.76, S * 0.41, S * 0.82, S * 0.52), fill=255)
    glow(img, k, 3 * s, (255, 220, 120), 200)
    fill_mask(img, k, vgradient(img.width, img.height, [(0, rgb('#fff0a0')), (1, rgb('#c08a20'))]))
    img = bevel(img, k, 1.5 * s, 0.6)
    outline(img, plate, s, rgb('#120a04'))
    return down(img)


@room
def column():
    colours = ['#e8443a', '#4ac45a', '#3a9cf0', '#f2c23a', '#b05ae8', '#f07ab0']
    shapes = ['round', 'hex', 'diamond', 'square', 'tri', 'drop']
    frames = [gem(48, rgb(c), sh) for c, sh in zip(colours, shapes)]
    frames += [gem(48, rgb(c), 'round', glow_ring=True) for c in colours]
    frames += [key_piece(48)] + [canvas(48, 48).resize((48, 48))] * 5
    frames += [gem(48, rgb('#ffd060'), 'round', glow_ring=True)] + [canvas(48, 48).resize((48, 48))] * 5
    img, layout = sheet(frames, 6)
    save(img, 'pz_column_pieces.png', layout, palette=True)
    # the stone that covers a piece until a taken run next to it breaks it
    st = canvas(48, 48)
    m = mask_of(st.size, lambda d: d.rounded_rectangle((2 * SS, 2 * SS, 46 * SS, 46 * SS), radius=7 * SS, fill=255))
    fill_mask(st, m, add_noise(vgradient(st.width, st.height, [(0, rgb('#9a938a')), (1, rgb('#5e5750'))]), ((20, 16), (5, 10)), 91))
    st = bevel(st, m, 3 * SS, 0.6)
    layer_lines(st, [((12 * SS, 8 * SS), (22 * SS, 24 * SS), (18 * SS, 38 * SS)), ((30 * SS, 6 * SS), (34 * SS, 20 * SS))], (40, 34, 30, 200), SS)
    outline(st, m, SS, (30, 26, 22, 255))
    save(down(st), 'pz_column_stone.png')
    # the glass tube (behind the pieces) and its shine (in front of them)
    W, H = 64, 470
    tb = canvas(W, H)
    m = mask_of(tb.size, lambda d: d.rounded_rectangle((3 * SS, 0, (W - 3) * SS, (H - 4) * SS), radius=12 * SS, fill=255))
    fill_mask(tb, m, vgradient(tb.width, tb.height, [(0, (30, 40, 50, 200)), (1, (12, 16, 22, 230))]))
    edge = mask_of(tb.size, lambda d: d.rounded_rectangle((3 * SS, 0, (W - 3) * SS, (H - 4) * SS), radius=12 * SS, outline=255, width=3 * SS))
    fill_mask(tb, edge, (200, 230, 255, 120))
    save(down(tb), 'pz_column_tube.png')
    sh = canvas(W, H)
    m = mask_of(sh.size, lambda d: d.rounded_rectangle((10 * SS, 8 * SS, 18 * SS, (H - 16) * SS), radius=4 * SS, fill=255))
    m = m.filter(ImageFilter.GaussianBlur(2 * SS))
    fill_mask(sh, m, (255, 255, 255, 90))
    save(down(sh), 'pz_column_shine.png')
    # the lock under each tube, open (shown when its key has dropped in)
    for name, opened in (('pz_column_lock.png', False), ('pz_column_open.png', True)):
        lk = canvas(90, 100)
        s = SS
        if opened:
            glow(lk, mask_of(lk.size, lambda d: d.ellipse((5 * s, 20 * s, 85 * s, 100 * s), fill=255)), 10 * s, (255, 220, 120), 220)
        shk = Image.new('L', lk.size, 0)
        dd = ImageDraw.Draw(shk)
        if opened:
            # the shackle lifted out of the right-hand hole and swung aside
            dd.arc((4 * s, 0, 50 * s, 46 * s), 180, 360, fill=255, width=8 * s)
            dd.line((8 * s, 22 * s, 8 * s, 40 * s), fill=255, width=8 * s)
            dd.line((46 * s, 22 * s, 46 * s, 30 * s), fill=255, width=8 * s)
        else:
            dd.arc((22 * s, 8 * s, 68 * s, 60 * s), 180, 360, fill=255, width=8 * s)
            dd.line((26 * s, 34 * s, 26 * s, 52 * s), fill=255, width=8 * s)
            dd.line((64 * s, 34 * s, 64 * s, 52 * s), fill=255, width=8 * s)
        fill_mask(lk, shk, vgradient(lk.width, lk.height, [(0, rgb('#e8e8f0')), (1, rgb('#7a7a88'))]))
        lk = bevel(lk, shk, 2 * s, 0.6)
        body = mask_of(lk.size, lambda d: d.rounded_rectangle((10 * s, 46 * s, 80 * s, 96 * s), radius=10 * s, fill=255))
        shadow(lk, body, (0, 3 * s), 3 * s, 160)
        fill_mask(lk, body, vgradient(lk.width, lk.height, [(0, rgb('#f2c850') if opened else rgb('#b08a3a')), (1, rgb('#8a5a12') if opened else rgb('#5a4218'))]))
        lk = bevel(lk, body, 3 * s, 0.6)
        hole = mask_of(lk.size, lambda d: (d.ellipse((39 * s, 60 * s, 51 * s, 72 * s), fill=255), d.polygon([(42 * s, 68 * s), (48 * s, 68 * s), (50 * s, 84 * s), (40 * s, 84 * s)], fill=255)))
        fill_mask(lk, hole, (30, 18, 6, 255))
        outline(lk, body, s, (40, 26, 8, 255))
        save(down(lk), name)
    img = backdrop(1024, 768, rgb('#3a1c18'), rgb('#0e0605'), 101, 0.6)
    wall_bricks(img, 128, 64)
    title_bar(img, 1024, (255, 210, 180, 30))
    paste_card(img, panel(452, 440, rgb('#40221c'), rgb('#1e0e0b'), border=(255, 200, 170, 70)), (556, 104))
    save(img, 'pz_column_back.jpg', quality=86)



# --- task meters and map progress --------------------------------------------------------

def blob(d, box, fill):
    d.ellipse(box, fill=fill)


def scene_beach():
    W, H = 300, 210
    img = vgradient(W * SS, H * SS, [(0, rgb('#7ec8f0')), (0.38, rgb('#bfe6f8')), (0.4, rgb('#2f8fc0')), (0.55, rgb('#4fb0d0')), (0.56, rgb('#f0dca0')), (1, rgb('#d8b870'))])
    img = add_noise(img, ((40, 6), (6, 3)), 121)
    d = ImageDraw.Draw(img, 'RGBA')
    s = SS
    d.ellipse((200 * s, 14 * s, 240 * s, 54 * s), fill=(255, 244, 190, 255))
    for x in range(0, W, 30):
        d.arc((x * s, 112 * s, (x + 30) * s, 122 * s), 180, 360, fill=(255, 255, 255, 150), width=s)
    # a palm on the left: a curved trunk of rings and drooping fronds
    pts = [(40 + 6 * t + 14 * t * t, 205 - 140 * t) for t in [i / 12 for i in range(13)]]
    segs = [((a[0] * s, a[1] * s), (b[0] * s, b[1] * s)) for a, b in zip(pts, pts[1:])]
    trunk, tm = tube(img.width, img.height, segs, 5 * s, rgb('#8a6038'))
    img.alpha_composite(trunk)
    layer_lines(img, [((x - 5) * s, y * s, (x + 5) * s, (y - 2) * s) for x, y in pts[1:-1]], (60, 36, 16, 160), s)
    top = pts[-1]
    leaves = Image.new('RGBA', img.size, (0, 0, 0, 0))
    dl = ImageDraw.Draw(leaves)
    for a in (-160, -120, -75, -35, 10, 40, 200):
        r = math.radians(a)
        length = 58
        side, mid = [], []
        for i in range(11):
            t = i / 10
            droop = 26 * t * t
            x = top[0] + math.cos(r) * length * t
            y = top[1] + math.sin(r) * length * t * 0.6 + droop
            w = 7 * math.sin(math.pi * min(1, t * 1.15))
            nx, ny = -math.sin(r), math.cos(r)
            side.append(((x + nx * w) * s, (y + ny * w) * s))
            mid.append((x * s, y * s))
        other = [((2 * mx - sx), (2 * my - sy)) for (mx, my), (sx, sy) in zip(mid, side)]
        dl.polygon(side + other[::-1], fill=(46 + (a % 40), 130 + (a % 30), 52, 255))
        dl.line(mid, fill=(30, 80, 34, 255), width=s)
    img.alpha_composite(leaves)
    dd = ImageDraw.Draw(img, 'RGBA')
    for dx, dy in ((-4, 4), (4, 5), (0, 8)):
        dd.ellipse(((top[0] + dx - 4) * s, (top[1] + dy - 4) * s, (top[0] + dx + 4) * s, (top[1] + dy + 4) * s), fill=rgb('#5a3a1c'))
    d = ImageDraw.Draw(img, 'RGBA')
    for x, y in ((120, 170), (190, 150), (250, 185), (90, 140)):
        d.ellipse(((x - 8) * s, (y - 3) * s, (x + 8) * s, (y + 3) * s), fill=(180, 150, 90, 150))
    return down(img, W, H)


def scene_forest():
    W, H = 300, 210
    img = vgradient(W * SS, H * SS, [(0, rgb('#2a4a2a')), (0.6, rgb('#3a6a32')), (0.62, rgb('#4a6a2a')), (1, rgb('#2a3a16'))])
    img = add_noise(img, ((40, 8), (6, 4)), 131)
    d = ImageDraw.Draw(img, 'RGBA')
    s = SS
    rnd = random.Random(13)
    for x in (20, 80, 150, 230, 280):
        w = rnd.randint(14, 24)
        d.rectangle(((x - w / 2) * s, 0, (x + w / 2) * s, 140 * s), fill=(70 + rnd.randint(0, 20), 48, 28, 255))
        d.rectangle(((x - w / 2) * s, 0, (x - w / 2 + 4) * s, 140 * s), fill=(110, 80, 50, 120))
    for _ in range(40):
        x, y, r = rnd.uniform(0, W), rnd.uniform(-10, 60), rnd.uniform(14, 30)
        d.ellipse(((x - r) * s, (y - r * 0.7) * s, (x + r) * s, (y + r * 0.7) * s), fill=(40 + rnd.randint(0, 40), 100 + rnd.randint(0, 60), 40, 200))
    for _ in range(60):
        x, y = rnd.uniform(0, W), rnd.uniform(130, 205)
        d.line((x * s, y * s, (x + rnd.uniform(-3, 3)) * s, (y - rnd.uniform(6, 14)) * s), fill=(90, 150, 60, 220), width=s)
    for x, y in ((60, 190), (240, 170)):
        d.ellipse(((x - 22) * s, (y - 10) * s, (x + 22) * s, (y + 10) * s), fill=(60, 60, 50, 255))
        d.ellipse(((x - 18) * s, (y - 10) * s, (x + 12) * s, (y + 2) * s), fill=(110, 110, 96, 255))
    return down(img, W, H)


def scene_cave():
    W, H = 300, 210
    img = radial(W * SS, H * SS, 150 * SS, 120 * SS, 200 * SS, rgb('#4a4058'), rgb('#120e18'))
    img = add_noise(img, ((40, 10), (6, 4)), 141)
    d = ImageDraw.Draw(img, 'RGBA')
    s = SS
    for k in range(9):
        x = 10 + k * 36
        d.polygon([(x * s, 0), ((x + 18) * s, 0), ((x + 9) * s, (18 + (k * 13) % 24) * s)], fill=(60, 50, 70, 255))
    d.polygon([(0, 170 * s), (60 * s, 160 * s), (150 * s, 176 * s), (240 * s, 158 * s), (300 * s, 168 * s), (300 * s, 210 * s), (0, 210 * s)], fill=(40, 34, 46, 255))
    # the painted hint on the wall: sun, moon, star (the lock's code)
    for i, n in enumerate((5, 4, 3)):
        rune_shape(d, n, (30 + i * 30) * s, 40 * s, 9 * s, (220, 190, 120, 200), 2 * s)
    # torch glow
    img.alpha_composite(radial(W * SS, H * SS, 270 * SS, 60 * SS, 80 * SS, (255, 170, 80, 120), (255, 170, 80, 0)))
    d = ImageDraw.Draw(img, 'RGBA')
    d.rectangle((266 * s, 62 * s, 274 * s, 100 * s), fill=(90, 60, 30, 255))
    d.ellipse((262 * s, 46 * s, 278 * s, 66 * s), fill=(255, 190, 80, 255))
    return down(img, W, H)


def shell(size, colour):
    img = canvas(size, size)
    s = SS
    S = size * s
    m = mask_of(img.size, lambda d: d.pieslice((S * 0.08, S * 0.15, S * 0.92, S * 1.3), 200, 340, fill=255))
    m2 = mask_of(img.size, lambda d: d.polygon([(S * 0.4, S * 0.8), (S * 0.6, S * 0.8), (S * 0.58, S * 0.95), (S * 0.42, S * 0.95)], fill=255))
    mm = Image.fromarray(np.maximum(np.asarray(m), np.asarray(m2)), 'L')
    shadow(img, mm, (s, 2 * s), 2 * s, 120)
    fill_mask(img, mm, vgradient(img.width, img.height, [(0, lighter(colour, 0.4)), (1, darker(colour, 0.2))]))
    lines = [((S * 0.5, S * 0.9), (S * (0.5 + 0.45 * math.cos(math.radians(a))), S * (0.9 - 0.7 * math.sin(math.radians(a))))) for a in range(25, 160, 22)]
    layer_lines(img, [l for l in lines], darker(colour, 0.35)[:3] + (180,), int(1.2 * s))
    img = bevel(img, mm, 1.5 * s, 0.5)
    outline(img, mm, s, darker(colour, 0.6))
    return down(img)


def mushroom(size):
    img = canvas(size, size)
    s = SS
    S = size * s
    stem = mask_of(img.size, lambda d: d.rounded_rectangle((S * 0.38, S * 0.45, S * 0.62, S * 0.92), radius=S * 0.08, fill=255))
    cap = mask_of(img.size, lambda d: d.pieslice((S * 0.08, S * 0.12, S * 0.92, S * 0.8), 180, 360, fill=255))
    shadow(img, Image.fromarray(np.maximum(np.asarray(stem), np.asarray(cap)), 'L'), (s, 2 * s), 2 * s, 130)
    fill_mask(img, stem, vgradient(img.width, img.height, [(0, rgb('#f4ecd8')), (1, rgb('#c8b89a'))]))
    fill_mask(img, cap, radial(img.width, img.height, S * 0.4, S * 0.3, S * 0.5, rgb('#ff6a4a'), rgb('#a8201a')))
    d = ImageDraw.Draw(img)
    for x, y, r in ((0.35, 0.3, 0.06), (0.6, 0.26, 0.05), (0.5, 0.4, 0.04), (0.25, 0.42, 0.04), (0.72, 0.4, 0.045)):
        d.ellipse(((x - r) * S, (y - r) * S, (x + r) * S, (y + r) * S), fill=(255, 250, 240, 255))
    img = bevel(img, cap, 1.5 * s, 0.5)
    outline(img, Image.fromarray(np.maximum(np.asarray(stem), np.asarray(cap)), 'L'), s, (60, 20, 10, 255))
    return down(img)


def crystal(size, colour):
    img = canvas(size, size)
    s = SS
    S = size * s
    pts = [(S * 0.5, S * 0.04), (S * 0.8, S * 0.35), (S * 0.66, S * 0.96), (S * 0.34, S * 0.96), (S * 0.2, S * 0.35)]
    m = mask_of(img.size, lambda d: d.polygon(pts, fill=255))
    glow(img, m, 3 * s, colour, 160)
    fill_mask(img, m, vgradient(img.width, img.height, [(0, lighter(colour, 0.6)), (1, darker(colour, 0.3))]))
    facet = mask_of(img.size, lambda d: d.polygon([(S * 0.5, S * 0.04), (S * 0.8, S * 0.35), (S * 0.5, S * 0.5)], fill=255))
    fill_mask(img, facet, (255, 255, 255, 90))
    facet2 = mask_of(img.size, lambda d: d.polygon([(S * 0.5, S * 0.5), (S * 0.66, S * 0.96), (S * 0.34, S * 0.96)], fill=255))
    fill_mask(img, facet2, (0, 0, 0, 60))
    outline(img, m, s, darker(colour, 0.6))
    return down(img)


def chest(w, h, opened):
    img = canvas(w, h)
    s = SS
    W, H = w * s, h * s
    body = mask_of(img.size, lambda d: d.rounded_rectangle((W * 0.06, H * 0.45, W * 0.94, H * 0.96), radius=3 * s, fill=255))
    shadow(img, body, (s, 2 * s), 2 * s, 150)
    if opened:
        lid = mask_of(img.size, lambda d: d.rounded_rectangle((W * 0.1, H * 0.04, W * 0.9, H * 0.36), radius=4 * s, fill=255))
        fill_mask(img, lid, wood(img.width, img.height, rgb('#7a4a22'), 3))
        inside = mask_of(img.size, lambda d: d.rectangle((W * 0.1, H * 0.36, W * 0.9, H * 0.5), fill=255))
        fill_mask(img, inside, (40, 20, 8, 255))
        gold = mask_of(img.size, lambda d: d.ellipse((W * 0.14, H * 0.32, W * 0.86, H * 0.6), fill=255))
        glow(img, gold, 4 * s, (255, 220, 90), 220)
        fill_mask(img, gold, radial(img.width, img.height, W * 0.45, H * 0.4, W * 0.4, rgb('#fff2a0'), rgb('#d09a20')))
    fill_mask(img, body, wood(img.width, img.height, rgb('#8a5428'), 4))
    if not opened:
        lid = mask_of(img.size, lambda d: d.pieslice((W * 0.06, H * 0.1, W * 0.94, H * 0.8), 180, 360, fill=255))
        fill_mask(img, lid, wood(img.width, img.height, rgb('#9a6030'), 5))
        img = bevel(img, lid, 2 * s, 0.5)
    for x in (0.16, 0.84):
        d = ImageDraw.Draw(img)
        d.rectangle((W * x - 2 * s, H * 0.45, W * x + 2 * s, H * 0.96), fill=rgb('#c8a040'))
    d.rectangle((W * 0.45, H * 0.5, W * 0.55, H * 0.68), fill=rgb('#e0c060'))
    img = bevel(img, body, 2 * s, 0.5)
    outline(img, body, s, (40, 20, 6, 255))
    return down(img)


def lantern(size, lit):
    img = canvas(size, size)
    s = SS
    S = size * s
    if lit:
        glow(img, mask_of(img.size, lambda d: d.ellipse((S * 0.1, S * 0.2, S * 0.9, S * 0.95), fill=255)), 6 * s, (255, 210, 110), 230)
    glass = mask_of(img.size, lambda d: d.rounded_rectangle((S * 0.3, S * 0.3, S * 0.7, S * 0.82), radius=3 * s, fill=255))
    fill_mask(img, glass, (255, 230, 150, 235) if lit else (70, 80, 90, 200))
    if lit:
        fl = mask_of(img.size, lambda d: d.ellipse((S * 0.43, S * 0.45, S * 0.57, S * 0.72), fill=255))
        fill_mask(img, fl, (255, 255, 230, 255))
    frame = Image.new('L', img.size, 0)
    d = ImageDraw.Draw(frame)
    d.rectangle((S * 0.26, S * 0.24, S * 0.74, S * 0.32), fill=255)
    d.rectangle((S * 0.26, S * 0.8, S * 0.74, S * 0.88), fill=255)
    d.line((S * 0.3, S * 0.3, S * 0.3, S * 0.82), fill=255, width=2 * s)
    d.line((S * 0.7, S * 0.3, S * 0.7, S * 0.82), fill=255, width=2 * s)
    d.arc((S * 0.38, S * 0.06, S * 0.62, S * 0.3), 180, 360, fill=255, width=2 * s)
    fill_mask(img, frame, rgb('#2a2a30'))
    return down(img)


def level_pieces():
    items = {}
    items['pz_lv_shell.png'] = shell(30, rgb('#f0b8a8'))
    items['pz_lv_mushroom.png'] = mushroom(30)
    items['pz_lv_crystal.png'] = crystal(30, rgb('#7ae0ff'))
    items['pz_lv_crystal2.png'] = crystal(30, rgb('#c890ff'))
    items['pz_lv_gem.png'] = gem(24, rgb('#50e080'), 'diamond')
    items['pz_lv_chest.png'] = chest(56, 44, False)
    items['pz_lv_chestopen.png'] = chest(56, 44, True)
    items['pz_lv_lantern.png'] = lantern(40, False)
    items['pz_lv_lanternlit.png'] = lantern(40, True)
    for name, im in items.items():
        save(im, name)
    # the cave door, shut and open (two frames), and its three-ring lock
    frames = []
    for opened in (False, True):
        w, h = 70, 110
        dr = canvas(w, h)
        s = SS
        arch = mask_of(dr.size, lambda d: (d.rectangle((4 * s, 34 * s, (w - 4) * s, h * s), fill=255), d.ellipse((4 * s, 4 * s, (w - 4) * s, 64 * s), fill=255)))
        fill_mask(dr, arch, (10, 8, 14, 255) if opened else wood(dr.width, dr.height, rgb('#5a3a20'), 8))
        if opened:
            light = radial(dr.width, dr.height, w * s / 2, h * s * 0.6, w * s * 0.6, (255, 210, 130, 200), (255, 210, 130, 0))
            fill_mask(dr, arch, light)
        else:
            layer_lines(dr, [(x * s, 10 * s, x * s, h * s) for x in (20, 35, 50)], (30, 18, 8, 200), s)
            dr = bevel(dr, arch, 2 * s, 0.5)
        edge = mask_of(dr.size, lambda d: (d.arc((4 * s, 4 * s, (w - 4) * s, 64 * s), 180, 360, fill=255, width=4 * s),
                                            d.line((6 * s, 34 * s, 6 * s, h * s), fill=255, width=4 * s), d.line(((w - 6) * s, 34 * s, (w - 6) * s, h * s), fill=255, width=4 * s)))
        fill_mask(dr, edge, rgb('#8a8a96'))
        frames.append(down(dr))
    img, layout = sheet(frames, 2)
    save(img, 'pz_lv_door.png', layout)
    lk = canvas(76, 34)
    m = mask_of(lk.size, lambda d: d.rounded_rectangle((2 * SS, 2 * SS, 74 * SS, 32 * SS), radius=6 * SS, fill=255))
    shadow(lk, m, (SS, 2 * SS), 2 * SS, 140)
    fill_mask(lk, m, vgradient(lk.width, lk.height, [(0, rgb('#d8b050')), (1, rgb('#7a5a18'))]))
    lk = bevel(lk, m, 2 * SS, 0.6)
    outline(lk, m, SS, (40, 26, 6, 255))
    save(down(lk), 'pz_lv_lock.png')
    rings = []
    for n in (5, 4, 3, 0):
        r = canvas(22, 22)
        m = mask_of(r.size, lambda d: d.ellipse((SS, SS, 21 * SS, 21 * SS), fill=255))
        fill_mask(r, m, radial(r.width, r.height, 9 * SS, 8 * SS, 12 * SS, rgb('#f4ead0'), rgb('#a89870')))
        glyph = Image.new('L', r.size, 0)
        rune_shape(ImageDraw.Draw(glyph), n, 11 * SS, 11 * SS, 6 * SS, 255, int(1.6 * SS))
        fill_mask(r, glyph, (70, 40, 10, 255))
        outline(r, m, SS, (60, 40, 10, 255))
        rings.append(down(r))
    img, layout = sheet(rings, 4)
    save(img, 'pz_lv_ring.png', layout)
    save(scene_beach(), 'pz_lv_beach.jpg', quality=88)
    save(scene_forest(), 'pz_lv_forest.jpg', quality=88)
    save(scene_cave(), 'pz_lv_cave.jpg', quality=88)


@room
def meters():
    level_pieces()
    # the meter: a trough, the fill the native stretches (ScaleX), a glass over both
    for name, (w, h), col in (('pz_meter_trough.png', (232, 26), None), ('pz_meter_fill.png', (224, 18), rgb('#50d070')),
                              ('pz_meter_glass.png', (232, 26), None), ('pz_map_fill.png', (600, 22), rgb('#f0b040'))):
        img = canvas(w, h)
        s = SS
        m = mask_of(img.size, lambda d: d.rounded_rectangle((s, s, (w - 1) * s, (h - 1) * s), radius=(h / 2 - 1) * s, fill=255))
        if name.endswith('trough.png'):
            fill_mask(img, m, vgradient(img.width, img.height, [(0, (20, 16, 10, 230)), (1, (60, 50, 36, 230))]))
            outline(img, m, s, (250, 230, 190, 140))
        elif name.endswith('glass.png'):
            hl = mask_of(img.size, lambda d: d.rounded_rectangle((6 * s, 3 * s, (w - 6) * s, (h * 0.45) * s), radius=4 * s, fill=255))
            fill_mask(img, hl, (255, 255, 255, 70))
        else:
            fill_mask(img, m, vgradient(img.width, img.height, [(0, lighter(col, 0.45)), (0.5, col), (1, darker(col, 0.35))]))
        save(down(img), name)
    # the badge the meter's animation shows when a place is done
    bd = canvas(64, 64)
    m = mask_of(bd.size, lambda d: d.ellipse((4 * SS, 4 * SS, 60 * SS, 60 * SS), fill=255))
    glow(bd, m, 4 * SS, (255, 220, 120), 200)
    fill_mask(bd, m, radial(bd.width, bd.height, 26 * SS, 22 * SS, 34 * SS, rgb('#fff0a0'), rgb('#d09020')))
    bd = bevel(bd, m, 3 * SS, 0.6)
    tick = Image.new('L', bd.size, 0)
    ImageDraw.Draw(tick).line([(18 * SS, 33 * SS), (28 * SS, 43 * SS), (46 * SS, 22 * SS)], fill=255, width=6 * SS)
    fill_mask(bd, tick, rgb('#3a6a10'))
    outline(bd, m, SS, rgb('#6a4408'))
    save(down(bd), 'pz_meter_badge.png')
    ship = canvas(60, 52)
    s = SS
    hull = mask_of(ship.size, lambda d: d.polygon([(4 * s, 34 * s), (56 * s, 34 * s), (46 * s, 48 * s), (12 * s, 48 * s)], fill=255))
    sail = mask_of(ship.size, lambda d: d.polygon([(30 * s, 4 * s), (30 * s, 32 * s), (10 * s, 30 * s)], fill=255))
    sail2 = mask_of(ship.size, lambda d: d.polygon([(33 * s, 8 * s), (33 * s, 32 * s), (50 * s, 30 * s)], fill=255))
    shadow(ship, hull, (s, 2 * s), 2 * s, 140)
    fill_mask(ship, hull, wood(ship.width, ship.height, rgb('#7a4a22'), 6))
    for sm in (sail, sail2):
        fill_mask(ship, sm, vgradient(ship.width, ship.height, [(0, rgb('#ffffff')), (1, rgb('#d8d0c0'))]))
        outline(ship, sm, s, (90, 80, 60, 255))
    layer_lines(ship, [(31.5 * s, 2 * s, 31.5 * s, 36 * s)], (60, 40, 20, 255), 2 * s)
    outline(ship, hull, s, (40, 20, 8, 255))
    save(down(ship), 'pz_map_ship.png')
    save(meters_backdrop(), 'pz_meters_back.jpg', quality=86)


def meters_backdrop():
    W, H = 1024, 768
    img = vgradient(W, H, [(0, rgb('#e8d6a8')), (1, rgb('#c8ae78'))])
    img = add_noise(img, ((60, 16), (8, 8)), 151)
    yy, xx = np.mgrid[0:H, 0:W]
    dd = np.sqrt(((xx - W / 2) / (W / 2)) ** 2 + ((yy - H / 2) / (H / 2)) ** 2) / 1.42
    a = np.asarray(img, np.float64).copy()
    a[:, :, :3] *= (1 - 0.5 * dd ** 2.5)[:, :, None]
    img = Image.fromarray(a.clip(0, 255).astype(np.uint8), 'RGBA')
    d = ImageDraw.Draw(img, 'RGBA')
    # the sea with its islands, across the middle, and the dotted route the ship sails
    sea = piece(984, 150)
    m = mask_of(sea.size, lambda dd: dd.rounded_rectangle((0, 0, 984 * SS, 150 * SS), radius=24 * SS, fill=255))
    fill_mask(sea, m, vgradient(sea.width, sea.height, [(0, (70, 140, 180, 200)), (1, (40, 100, 150, 220))]))
    waves = [((x + (y * 7) % 40) * SS, y * SS, (x + 18 + (y * 7) % 40) * SS, y * SS) for y in range(14, 140, 16) for x in range(20, 960, 70)]
    layer_lines(sea, waves, (220, 240, 255, 90), SS)
    for cx in (170, 492, 814):
        isl = mask_of(sea.size, lambda dd: dd.ellipse(((cx - 75) * SS, 42 * SS, (cx + 75) * SS, 104 * SS), fill=255))
        shadow(sea, isl, (0, 4 * SS), 4 * SS, 120)
        fill_mask(sea, isl, radial(sea.width, sea.height, (cx - 20) * SS, 60 * SS, 90 * SS, rgb('#f2e0a8'), rgb('#b89858')))
        green = mask_of(sea.size, lambda dd: dd.ellipse(((cx - 45) * SS, 52 * SS, (cx + 35) * SS, 86 * SS), fill=255))
        fill_mask(sea, green, radial(sea.width, sea.height, (cx - 15) * SS, 60 * SS, 50 * SS, rgb('#8ac060'), rgb('#4a7a30')))
        sea = bevel(sea, isl, 3 * SS, 0.4)
    edge = mask_of(sea.size, lambda dd: dd.rounded_rectangle((0, 0, 984 * SS, 150 * SS), radius=24 * SS, outline=255, width=2 * SS))
    fill_mask(sea, edge, (90, 70, 40, 180))
    put(img, sea, (20, 395))
    d = ImageDraw.Draw(img, 'RGBA')
    for x in range(120, 910, 14):
        d.ellipse((x - 2, 520 - 2, x + 2, 520 + 2), fill=(120, 60, 30, 200))
    # frames round the three windows (the places) and their meters
    for x0 in (32, 354, 676):
        fr = piece(316, 266)
        m = mask_of(fr.size, lambda dd: dd.rounded_rectangle((0, 0, 316 * SS, 266 * SS), radius=10 * SS, fill=255))
        shadow(fr, m, (0, 6 * SS), 6 * SS, 170)
        fill_mask(fr, m, wood(fr.width, fr.height, rgb('#7a4e28'), 9))
        fr = bevel(fr, m, 3 * SS, 0.5)
        hole = mask_of(fr.size, lambda dd: dd.rectangle((8 * SS, 8 * SS, 308 * SS, 218 * SS), fill=255))
        fill_mask(fr, hole, (20, 14, 8, 255))
        put(img, fr, (x0, 104))
    paste_card(img, panel(700, 196, rgb('#5a4228'), rgb('#3a2a18'), border=(255, 230, 180, 90)), (12, 560))
    title_bar(img, W, (90, 60, 20, 40))
    return img


if __name__ == '__main__':
    only = set(sys.argv[2:])
    for fn in ROOMS:
        if not only or fn.__name__ in only:
            fn()
