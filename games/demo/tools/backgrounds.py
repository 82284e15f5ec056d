"""The demo's big pictures: logos, the screens' backgrounds, and the pieces that move on them."""
import math

import numpy as np

import art
import scenery
from art import rgb
from make_pictures import brass, gear_mask

W, H = 1024, 768


def house(c, x0=690, ground=700, dawn=0.0):
    """The clockmaker's house: a gabled house, a clock tower and a low wing, lit windows."""
    body_col = "#0e1024" if dawn < 0.5 else "#3a2c3c"
    main = art.polygon(W, H, [(x0, ground), (x0, 385), (x0 + 85, 300), (x0 + 170, 385), (x0 + 170, ground)])
    tower = art.union(art.rect(W, H, (x0 + 185, 235, x0 + 265, ground)),
                      art.polygon(W, H, [(x0 + 175, 240), (x0 + 225, 140), (x0 + 275, 240)]))
    wing = art.polygon(W, H, [(x0 + 150, ground), (x0 + 150, 440), (x0 + 215, 410), (W + 10, 440), (W + 10, ground)])
    chimney = art.rect(W, H, (x0 + 30, 300, x0 + 52, 360))
    body = art.union(main, tower, wing, chimney)
    art.paint(c, body, body_col)
    # roof tiles: faint rows on the gables
    roof = art.union(art.polygon(W, H, [(x0 - 8, 390), (x0 + 85, 296), (x0 + 178, 390), (x0 + 170, 395),
                                        (x0 + 85, 310), (x0, 395)]),
                     art.polygon(W, H, [(x0 + 170, 244), (x0 + 225, 134), (x0 + 280, 244)]))
    art.paint(c, roof, "#1d2044" if dawn < 0.5 else "#5a3a40")
    rows = (np.mod(art.coords(W, H)[1], 9) < 1.5) * roof
    art.shade(c, rows, -0.4)
    rim = np.clip(body - art.shift(body, 3, 3), 0, 1)
    art.paint(c, np.maximum(rim, np.clip(roof - art.shift(roof, 3, 3), 0, 1)),
              "#8090e0" if dawn < 0.5 else "#ffc890", 0.65)
    for b in [(x0 + 25, 420, x0 + 55, 462), (x0 + 110, 420, x0 + 140, 462), (x0 + 25, 520, x0 + 55, 562),
              (x0 + 110, 520, x0 + 140, 562), (x0 + 205, 470, x0 + 245, 512), (x0 + 290, 470, x0 + 320, 512),
              (x0 + 205, 300, x0 + 245, 345)]:
        scenery.window_glow(c, b, "#ffb347" if dawn < 0.5 else "#ffd890")
    # the door
    d = art.union(art.rect(W, H, (x0 + 70, 615, x0 + 100, ground)), art.circle(W, H, x0 + 85, 615, 15))
    art.paint(c, d, "#3a2010")
    art.paint(c, art.outline(d, 2), "#ffb347", 0.5)
    clock_face(c, x0 + 225, 198, 24)
    return body


def clock_face(c, cx, cy, r, hours=10.2):
    face = art.circle(W, H, cx, cy, r)
    art.glow(c, face, r * 1.2, "#ffcc66", 0.55)
    art.paint(c, face, art.ramp(art.radial(W, H, cx - r / 3, cy - r / 3, r * 1.6), [(0, "#fff6d8"), (1, "#e0c080")]))
    art.paint(c, art.outline(face, 2.5), "#3a2410")
    for k in range(12):
        a = k * math.pi / 6
        p0 = (cx + math.cos(a) * r * 0.78, cy + math.sin(a) * r * 0.78)
        p1 = (cx + math.cos(a) * r * 0.9, cy + math.sin(a) * r * 0.9)
        art.paint(c, art.line(W, H, [p0, p1], max(1.2, r / 14)), "#3a2410")
    ha = hours / 12 * 2 * math.pi - math.pi / 2
    ma = (hours % 1) * 2 * math.pi - math.pi / 2
    art.paint(c, art.line(W, H, [(cx, cy), (cx + math.cos(ha) * r * 0.5, cy + math.sin(ha) * r * 0.5)], r / 9), "#2a1808")
    art.paint(c, art.line(W, H, [(cx, cy), (cx + math.cos(ma) * r * 0.75, cy + math.sin(ma) * r * 0.75)], r / 14),
              "#2a1808")


def trees(c, seed, colour="#070918", base=700):
    rng = np.random.default_rng(seed)
    m = np.zeros((H, W))
    for i in range(9):
        x = rng.random() * 620
        r = 30 + rng.random() * 40
        y = base - r * 0.6
        m = np.maximum(m, art.circle(W, H, x, y, r))
        m = np.maximum(m, art.circle(W, H, x + r * 0.6, y + r * 0.2, r * 0.7))
    art.paint(c, m, colour)
    return m


def title_background(dawn=0.0):
    c = scenery.night_sky(seed=2, dawn=dawn)
    if dawn < 0.5:
        scenery.moon(c, 612, 84, 40)
    else:
        sun = art.circle(W, H, 300, 560, 70)
        art.glow(c, sun, 90, "#ffd080", 0.8)
        art.paint(c, sun, "#fff0c0")
    scenery.hills(c, 520, 40, "#262c58" if dawn < 0.5 else "#7a6a90", 3, haze="#1a1f40" if dawn < 0.5 else "#6a5a80")
    scenery.hills(c, 590, 35, "#161b38" if dawn < 0.5 else "#4a3a5a", 4, haze="#10142a" if dawn < 0.5 else "#3a2a4a")
    house(c, dawn=dawn)
    trees(c, 8, "#080a1c" if dawn < 0.5 else "#2a2036", 705)
    scenery.hills(c, 690, 22, "#06081a" if dawn < 0.5 else "#231a2c", 5)
    # a path of light from the door
    path = art.polygon(W, H, [(770, 700), (790, 700), (700, 768), (620, 768)])
    art.paint(c, path, "#ffb347", 0.12)
    art.vignette(c, 0.5)
    return c


def logo_qxrun():
    c = art.canvas(W, H)
    c[..., :3] = art.ramp(art.radial(W, H, 512, 360, 560), [(0, "#1c1a2e"), (0.8, "#030305"), (0.95, "#000000")])
    c[..., 3] = 1
    g = gear_mask(W, H, 512, 300, 110, 14, hole=0.55)
    art.glow(c, g, 30, "#e0a040", 0.35)
    art.over(c, brass(W, H, g, depth=8, soft=3, gloss=0.5), 0, 0)
    tri = art.polygon(W, H, [(488, 262), (488, 338), (552, 300)])
    art.paint(c, art.circle(W, H, 512, 300, 36), "#1c1a2e")
    art.lit(c, tri, "#ffe9b0", depth=4, strength=0.4)
    word = art.text_mask(W, H, "qxrun", "DejaVuSans-Bold.ttf", 84, (512, 500))
    grad = art.ramp(art.linear(W, H, (0, 460), (0, 540)), [(0, "#fff4d0"), (1, "#c98a30")])
    art.drop_shadow(c, word, 0, 4, 5, 0.7)
    art.paint(c, word, grad)
    art.paint(c, art.rect(W, H, (380, 560, 644, 562)), "#c9973a", 0.6)
    return c


def logo_house():
    c = art.canvas(W, H)
    # the logo's corner colour fills the screen around it: black, like the window before it
    c[..., :3] = art.ramp(art.radial(W, H, 512, 384, 640), [(0, "#0a0b22"), (0.8, "#030308"), (1, "#000000")])
    c[..., 3] = 1
    disc = art.circle(W, H, 512, 384, 250)
    sky = scenery.night_sky(seed=12)
    scenery.moon(sky, 420, 250, 40)
    scenery.hills(sky, 520, 30, "#232a52", 6, haze="#1a1f40")
    house(sky, x0=470, ground=640)
    scenery.hills(sky, 610, 18, "#06081a", 7)
    art.paint(c, disc, sky[..., :3])
    ring = art.cut(art.circle(W, H, 512, 384, 266), disc)
    art.over(c, brass(W, H, ring, depth=8, soft=3, gloss=0.5), 0, 0)
    for k in range(12):
        a = k * math.pi / 6
        p = (512 + math.cos(a) * 258, 384 + math.sin(a) * 258)
        art.paint(c, art.circle(W, H, p[0], p[1], 4), "#3a2508")
    art.shade(c, art.radial(W, H, 512, 384, 700) ** 2, -0.6)
    return c


def floor_perspective(c, top=540, vp=(512, 250), colour="#6b4024", dark="#3a1e0e", seed=61):
    """Wooden floor boards running toward a vanishing point."""
    fl = scenery.wood(W, H, colour, dark, seed)
    m = art.rect(W, H, (0, top, W, H))
    x, y = art.coords(W, H)
    # board seams: lines through the vanishing point
    t = (x - vp[0]) / np.maximum(1, (y - vp[1]))
    seam = (np.mod(t * 7.0, 1.0) < 0.045).astype(float) * m
    art.paint(c, m, fl[..., :3])
    art.shade(c, seam, -0.5)
    art.shade(c, m * (1 - art.linear(W, H, (0, top), (0, H))) * 0.5, -0.6)  # darker at the wall
    return m


def hall():
    c = scenery.wallpaper(W, H, "#3b2a40", "#574064", 4)
    # wainscot
    wain = art.rect(W, H, (0, 420, W, 540))
    wood = scenery.wood(W, H, "#5a3420", "#2e180a", 62, vertical=True, plank=64)
    art.paint(c, wain, wood[..., :3])
    art.paint(c, art.rect(W, H, (0, 414, W, 424)), "#7a5030")
    art.shade(c, art.rect(W, H, (0, 424, W, 430)), -0.5)
    floor_perspective(c, 540)
    # ceiling shadow and cornice
    art.shade(c, 1 - art.linear(W, H, (0, 0), (0, 160)), -0.55)
    art.paint(c, art.rect(W, H, (0, 40, W, 52)), "#6a4a32")
    # rug
    rug = art.ellipse(W, H, (250, 575, 780, 700))
    art.drop_shadow(c, rug, 0, 4, 4, 0.5)
    art.paint(c, rug, art.ramp(art.radial(W, H, 515, 637, 265, 62), [(0, "#b8463a"), (0.7, "#7a2420"), (1, "#4a1410")]))
    inner = art.ellipse(W, H, (300, 590, 730, 685))
    art.paint(c, art.outline(inner, 4), "#d8a048", 0.8)
    art.paint(c, art.outline(art.ellipse(W, H, (380, 612, 650, 663)), 3), "#d8a048", 0.6)
    # fireplace
    fp = art.rect(W, H, (290, 290, 570, 545))
    stone = scenery.stone(W, H, 9, "#5c4c42", "#241c18", 46, 28)
    art.drop_shadow(c, fp, 0, 6, 8, 0.6)
    art.paint(c, fp, stone[..., :3])
    art.shade(c, fp * 0.4, -1.0)  # sooty old stone
    art.shade(c, art.outline(fp, 2), -0.6)
    mantel = art.rect(W, H, (270, 282, 590, 305), radius=3)
    art.drop_shadow(c, mantel, 0, 6, 5, 0.6)
    art.lit(c, mantel, scenery.wood(W, H, "#7a4a2a", "#3a1e0c", 63)[..., :3], depth=5, strength=0.45)
    hearth = art.union(art.rect(W, H, (345, 400, 515, 545)), art.ellipse(W, H, (345, 360, 515, 440)))
    art.paint(c, hearth, art.ramp(art.linear(W, H, (0, 360), (0, 545)), [(0, "#050304"), (1, "#2a1208")]))
    embers = art.ellipse(W, H, (365, 515, 495, 548)) * hearth
    art.glow(c, embers, 30, "#ff7a20", 0.65)
    art.paint(c, embers, art.ramp(art.noise(W, H, 6, 3, 3), [(0, "#5a1a08"), (0.6, "#e05a10"), (1, "#ffd060")]))
    logs = art.union(art.line(W, H, [(380, 528), (470, 518)], 14), art.line(W, H, [(395, 516), (485, 530)], 13))
    art.lit(c, logs, "#6a3c1c", depth=5, strength=0.5)
    art.shade(c, logs * art.noise(W, H, 4, 8, 2), -0.4)
    art.shade(c, art.outline(hearth, 3) , -0.7)
    # things on the mantel
    for x, h in ((320, 34), (545, 28)):
        vase = art.union(art.ellipse(W, H, (x - 12, 282 - h, x + 12, 282 - 4)), art.rect(W, H, (x - 5, 282 - h - 8, x + 5, 282)))
        art.lit(c, vase, "#3a6a8a", depth=5, strength=0.5, gloss=0.5)
    frame = art.rect(W, H, (370, 150, 490, 262), radius=4)
    art.drop_shadow(c, frame, 4, 6, 5, 0.5)
    art.over(c, brass(W, H, frame, depth=4, gloss=0.4), 0, 0)
    pic = art.rect(W, H, (382, 162, 478, 250))
    art.paint(c, pic, art.ramp(art.linear(W, H, (0, 162), (0, 250)), [(0, "#2a3a6a"), (0.6, "#a07a60"), (1, "#3a4a2a")]))
    art.paint(c, art.circle(W, H, 455, 185, 9) * pic, "#ffe0a0")
    # the grandfather clock; its pendulum is an animation drawn in the window
    case = art.union(art.rect(W, H, (606, 190, 704, 545), radius=4), art.circle(W, H, 655, 205, 50))
    art.drop_shadow(c, case, 6, 6, 6, 0.6)
    art.lit(c, case, scenery.wood(W, H, "#6a3418", "#2e1408", 64, vertical=True)[..., :3], depth=6, strength=0.5)
    art.paint(c, art.outline(case, 1.5), "#1a0a04")
    clock_face(c, 655, 210, 36, 4.6)
    win = art.rect(W, H, (622, 290, 688, 500), radius=26)
    art.paint(c, win, "#120804")
    art.shade(c, art.outline(win, 3), 0.2)
    # the library door (left, open arch) and the workshop door (right, its own picture)
    arch = art.union(art.rect(W, H, (70, 300, 200, 545)), art.circle(W, H, 135, 300, 65))
    frame = art.cut(art.union(art.rect(W, H, (56, 300, 214, 545)), art.circle(W, H, 135, 300, 79)), arch)
    art.lit(c, frame, "#6a5a4a", depth=5, strength=0.45)
    art.paint(c, arch, art.ramp(art.linear(W, H, (0, 240), (0, 545)), [(0, "#1a100a"), (1, "#4a2e18")]))
    corridor = art.polygon(W, H, [(100, 545), (110, 330), (160, 330), (170, 545)]) * arch
    art.paint(c, corridor, art.ramp(art.linear(W, H, (0, 330), (0, 545)), [(0, "#3a2616"), (1, "#8a5a30")]), 0.8)
    art.paint(c, art.blur(arch, 12) * arch, "#ffb347", 0.1)
    frame2 = art.cut(art.union(art.rect(W, H, (816, 300, 974, 545)), art.circle(W, H, 895, 300, 79)),
                     art.union(art.rect(W, H, (830, 300, 960, 545)), art.circle(W, H, 895, 300, 65)))
    art.lit(c, frame2, "#6a5a4a", depth=5, strength=0.45)
    art.paint(c, art.union(art.rect(W, H, (830, 300, 960, 545)), art.circle(W, H, 895, 300, 65)), "#140a06")
    # warm light from the fire
    art.paint(c, np.clip(1 - art.radial(W, H, 430, 520, 460, 320), 0, 1) ** 2, "#ff9a40", 0.22)
    art.vignette(c, 0.55)
    return c


def books(c, box, seed):
    """A shelf row of book spines in a box."""
    rng = np.random.default_rng(seed)
    x0, y0, x1, y1 = box
    x = x0
    cols = ["#7a1e1e", "#1e4a7a", "#2a6a3a", "#6a4a1e", "#4a2a6a", "#8a6a2a", "#2a2a4a", "#5a1a3a"]
    while x < x1 - 6:
        bw = rng.integers(9, 20)
        bh = (y1 - y0) * (0.7 + rng.random() * 0.3)
        if rng.random() < 0.08:  # a leaning book
            pts = [(x, y1), (x + bw, y1), (x + bw + 14, y1 - bh * 0.95), (x + 14, y1 - bh)]
            m = art.polygon(W, H, pts)
            bw += 14
        else:
            m = art.rect(W, H, (x, y1 - bh, min(x + bw, x1), y1), radius=1.5)
        col = rgb(cols[rng.integers(len(cols))]) * (0.75 + rng.random() * 0.45)
        art.lit(c, m, col, depth=3, soft=1.2, strength=0.45)
        band = m * art.rect(W, H, (x, y1 - bh * 0.82, x + bw, y1 - bh * 0.78))
        art.paint(c, band, "#d8b060", 0.7)
        x += bw + 1


def bookshelf(c, box, seed):
    x0, y0, x1, y1 = box
    shelf = art.rect(W, H, box)
    art.drop_shadow(c, shelf, 8, 6, 8, 0.6)
    art.lit(c, shelf, scenery.wood(W, H, "#5a3018", "#2a1408", seed, vertical=True)[..., :3], depth=6, strength=0.4)
    inner = art.rect(W, H, (x0 + 14, y0 + 14, x1 - 14, y1 - 14))
    art.paint(c, inner, "#1a0c06")
    rows = 4
    hgt = (y1 - y0 - 28) / rows
    for r in range(rows):
        yb = y0 + 14 + (r + 1) * hgt
        books(c, (x0 + 16, yb - hgt + 8, x1 - 16, yb - 6), seed * 10 + r)
        board = art.rect(W, H, (x0 + 10, yb - 6, x1 - 10, yb + 4))
        art.lit(c, board, "#6a3a1c", depth=3, strength=0.4)
    art.shade(c, inner * (1 - art.linear(W, H, (0, y0), (0, y0 + 60))) * 0.5, -1)


def library():
    c = scenery.wallpaper(W, H, "#2a3a34", "#3e5248", 14)
    art.shade(c, 1 - art.linear(W, H, (0, 0), (0, 200)), -0.5)
    floor_perspective(c, 560, colour="#5a3420", dark="#2e180a", seed=71)
    art.paint(c, art.rect(W, H, (0, 552, W, 562)), "#4a2a16")
    # window with the night outside
    win = art.rect(W, H, (436, 110, 604, 380), radius=6)
    sky = scenery.night_sky(seed=21)
    scenery.moon(sky, 560, 170, 22)
    scenery.hills(sky, 330, 14, "#1a1f40", 22)
    art.paint(c, win, sky[..., :3])
    bars = art.union(art.rect(W, H, (517, 110, 523, 380)), art.rect(W, H, (436, 240, 604, 246)))
    frame = art.union(art.outline(win, 10), bars)
    art.lit(c, frame, "#e0d6c0", depth=4, strength=0.4)
    sill = art.rect(W, H, (424, 380, 616, 392), radius=2)
    art.lit(c, sill, "#e0d6c0", depth=3, strength=0.4)
    art.paint(c, art.blur(win, 30) * (1 - win), "#8090e0", 0.15)
    bookshelf(c, (160, 110, 420, 552), 3)
    bookshelf(c, (620, 110, 880, 552), 4)
    # the desk under the window
    top = art.rect(W, H, (380, 452, 664, 470), radius=3)
    legs = art.union(art.rect(W, H, (396, 470, 414, 600)), art.rect(W, H, (630, 470, 648, 600)))
    front = art.rect(W, H, (392, 470, 652, 520))
    deskwood = scenery.wood(W, H, "#7a4424", "#3a1c0c", 72)[..., :3]
    art.drop_shadow(c, art.union(top, legs, front), 8, 8, 8, 0.6)
    art.lit(c, art.union(legs, front), deskwood, depth=5, strength=0.5)
    art.lit(c, top, deskwood, depth=4, strength=0.4, gloss=0.3)
    art.paint(c, art.rect(W, H, (500, 484, 544, 490), radius=2), "#d8b45a")
    # candle (its flame is an embedded animation)
    candle = art.rect(W, H, (430, 405, 444, 452), radius=2)
    art.lit(c, candle, "#efe6cc", depth=4, strength=0.4)
    art.lit(c, art.ellipse(W, H, (418, 446, 456, 456)), "#c9973a", depth=3, strength=0.5, gloss=0.5)
    art.paint(c, np.clip(1 - art.radial(W, H, 437, 395, 160), 0, 1) ** 2, "#ffc060", 0.35)
    # the doors: left back to the hall, right to the gallery
    for (x0, x1, glowc) in ((20, 140, "#ffb347"), (900, 1010, "#9ad0ff")):
        cx = (x0 + x1) / 2
        r = (x1 - x0) / 2
        arch = art.union(art.rect(W, H, (x0, 300, x1, 560)), art.circle(W, H, cx, 300, r))
        fr = art.cut(art.union(art.rect(W, H, (x0 - 12, 300, x1 + 12, 560)), art.circle(W, H, cx, 300, r + 12)), arch)
        art.lit(c, fr, "#5a5a52", depth=5, strength=0.45)
        art.paint(c, arch, art.ramp(art.linear(W, H, (0, 240), (0, 560)), [(0, "#120a08"), (1, "#4a3220")]))
        art.paint(c, arch, glowc, 0.14)
    # the gallery door's emblem
    em = gear_mask(W, H, 955, 270, 22, 8, hole=0.4)
    art.glow(c, em, 12, "#9ad0ff", 0.6)
    art.over(c, brass(W, H, em, depth=3, gloss=0.5), 0, 0)
    # the globe
    stand = art.union(art.rect(W, H, (108, 560, 116, 650)), art.ellipse(W, H, (80, 640, 144, 662)))
    art.lit(c, stand, "#3a2010", depth=4, strength=0.5)
    globe = art.circle(W, H, 112, 530, 44)
    art.drop_shadow(c, globe, 8, 10, 8, 0.5)
    sea = art.ramp(art.radial(W, H, 96, 512, 80), [(0, "#6ab0d8"), (1, "#1a4a6a")])
    art.paint(c, globe, sea)
    land = np.clip((art.noise(W, H, 22, 5, 3) - 0.55) * 8, 0, 1) * globe
    art.paint(c, land, "#c8b070", 0.9)
    art.shade(c, globe * art.radial(W, H, 96, 512, 60) ** 2, -0.5)
    ring = art.cut(art.ellipse(W, H, (60, 478, 164, 582)), art.ellipse(W, H, (66, 484, 158, 576)))
    art.lit(c, art.cut(ring, art.rect(W, H, (0, 0, 112, 540)) * 0) , "#c9973a", depth=3, strength=0.5)
    art.vignette(c, 0.55)
    return c


def workshop():
    c = scenery.stone(W, H, 19, "#7a5a4a", "#33241c", 60, 30)
    art.shade(c, 1 - art.linear(W, H, (0, 0), (0, 260)), -0.45)
    floor_perspective(c, 560, colour="#4a4038", dark="#221c18", seed=81)
    # workbench on the left with tools
    top = art.rect(W, H, (20, 440, 300, 462), radius=2)
    body = art.rect(W, H, (34, 462, 286, 590))
    bw = scenery.wood(W, H, "#6a4020", "#2a160a", 82)[..., :3]
    art.drop_shadow(c, art.union(top, body), 8, 8, 8, 0.6)
    art.lit(c, body, bw, depth=5, strength=0.45)
    art.lit(c, top, bw, depth=4, strength=0.45)
    for y in (500, 545):
        art.shade(c, art.outline(art.rect(W, H, (50, y - 30, 270, y + 8), radius=3), 2), -0.5)
        art.lit(c, art.rect(W, H, (150, y - 14, 170, y - 8), radius=2), "#c9973a", depth=2, strength=0.5)
    # tools on a board
    board = art.rect(W, H, (40, 250, 290, 400), radius=4)
    art.lit(c, board, "#8a6a48", depth=4, strength=0.35)
    for k in range(9):
        hx = 60 + k * 26
        art.paint(c, art.circle(W, H, hx, 266, 3), "#2a1a10")
    hammer = art.union(art.rect(W, H, (66, 272, 74, 360), radius=2), art.rect(W, H, (54, 272, 88, 290), radius=3))
    art.lit(c, hammer, "#8a8a90", depth=4, strength=0.5, gloss=0.4)
    wrench = art.union(art.rect(W, H, (120, 280, 130, 380), radius=3),
                       art.cut(art.circle(W, H, 125, 282, 14), art.rect(W, H, (120, 262, 130, 284))))
    art.lit(c, wrench, "#a0a0a8", depth=4, strength=0.5, gloss=0.5)
    for k, col in enumerate(("#c9973a", "#a0a0a8", "#b05a30")):
        g = gear_mask(W, H, 190 + k * 34, 320 + (k % 2) * 30, 15, 9, hole=0.5)
        art.lit(c, g, col, depth=3, strength=0.5, gloss=0.4)
    # the great clock machine in the middle: case, dial and two empty sockets
    case = art.union(art.rect(W, H, (380, 140, 700, 560), radius=18), art.circle(W, H, 540, 160, 120))
    art.drop_shadow(c, case, 10, 10, 12, 0.65)
    art.lit(c, case, scenery.wood(W, H, "#5a2e16", "#24100a", 83, vertical=True)[..., :3], depth=8, strength=0.45)
    art.paint(c, art.outline(case, 2), "#140804")
    ring = art.cut(art.circle(W, H, 540, 190, 104), art.circle(W, H, 540, 190, 90))
    art.over(c, brass(W, H, ring, depth=5, gloss=0.5), 0, 0)
    dial = art.circle(W, H, 540, 190, 90)
    art.paint(c, dial, art.ramp(art.radial(W, H, 510, 160, 150), [(0, "#fff6dc"), (1, "#d8c090")]))
    for k in range(12):
        a = k * math.pi / 6
        p0 = (540 + math.cos(a) * 70, 190 + math.sin(a) * 70)
        p1 = (540 + math.cos(a) * 84, 190 + math.sin(a) * 84)
        art.paint(c, art.line(W, H, [p0, p1], 4 if k % 3 == 0 else 2), "#3a2410")
    # the gear socket (left) and the lens holder (right)
    for (sx, sy) in ((470, 400), (610, 400)):
        sock = art.circle(W, H, sx, sy, 52)
        art.paint(c, sock, "#120a08")
        art.shade(c, art.shift(art.outline(sock, 4), 2, 3) * sock, -0.4)
        art.over(c, brass(W, H, art.cut(art.circle(W, H, sx, sy, 60), sock), depth=4, gloss=0.4), 0, 0)
    # pipes up to the ceiling
    for px in (400, 680):
        pipe = art.rect(W, H, (px - 9, 0, px + 9, 150))
        art.lit(c, pipe, "#b07040", depth=5, strength=0.5, gloss=0.5)
    # door back to the hall (left) and the front door (right, its own picture)
    for (x0, x1) in ((830, 960),):
        cx = (x0 + x1) / 2
        fr = art.cut(art.union(art.rect(W, H, (x0 - 14, 300, x1 + 14, 560)), art.circle(W, H, cx, 300, 79)),
                     art.union(art.rect(W, H, (x0, 300, x1, 560)), art.circle(W, H, cx, 300, 65)))
        art.lit(c, fr, "#5a4a40", depth=5, strength=0.45)
        art.paint(c, art.union(art.rect(W, H, (x0, 300, x1, 560)), art.circle(W, H, cx, 300, 65)), "#140a06")
    back = art.polygon(W, H, [(318, 640), (350, 610), (350, 628), (400, 628), (400, 652), (350, 652), (350, 670)])
    art.paint(c, back, "#000000", 0)
    # a lamp hanging above the machine
    art.paint(c, art.line(W, H, [(760, 0), (760, 90)], 3), "#2a2018")
    shade_m = art.polygon(W, H, [(730, 120), (790, 120), (775, 90), (745, 90)])
    art.lit(c, shade_m, "#3a5a3a", depth=4, strength=0.5)
    art.paint(c, np.clip(1 - art.radial(W, H, 760, 200, 330, 260), 0, 1) ** 2, "#ffd890", 0.3)
    art.vignette(c, 0.5)
    return c


def gallery():
    c = scenery.stone(W, H, 29, "#6a6a80", "#2a2a38", 80, 40)
    art.shade(c, 1 - art.linear(W, H, (0, 0), (0, 300)), -0.5)
    # a frieze and a mosaic floor
    art.paint(c, art.rect(W, H, (0, 90, W, 112)), "#8a7a5a")
    art.shade(c, art.rect(W, H, (0, 112, W, 118)), -0.6)
    fl = art.rect(W, H, (0, 560, W, H))
    x, y = art.coords(W, H)
    vp = (512, 200)
    u = (x - vp[0]) / np.maximum(1, y - vp[1]) * 6
    v = 4000 / np.maximum(1, y - vp[1])
    chk = ((np.floor(u) + np.floor(v)) % 2)
    art.paint(c, fl, art.ramp(chk, [(0, "#2a2438"), (1, "#8a7a60")]))
    art.shade(c, fl * (1 - art.linear(W, H, (0, 560), (0, H))), -0.5)
    art.paint(c, art.rect(W, H, (0, 552, W, 562)), "#5a5060")
    # eight arches for the doors (the doors are pictures of their own)
    for i in range(8):
        cx = 76 + i * 124
        fr = art.cut(art.union(art.rect(W, H, (cx - 56, 300, cx + 56, 556)), art.circle(W, H, cx, 300, 56)),
                     art.union(art.rect(W, H, (cx - 44, 300, cx + 44, 556)), art.circle(W, H, cx, 300, 44)))
        art.drop_shadow(c, fr, 4, 6, 5, 0.5)
        art.lit(c, fr, "#9a8a70", depth=5, strength=0.45)
        art.paint(c, art.union(art.rect(W, H, (cx - 44, 300, cx + 44, 556)), art.circle(W, H, cx, 300, 44)), "#0a0810")
        # a torch bracket between arches
        if i < 7:
            bx = cx + 62
            art.lit(c, art.rect(W, H, (bx - 4, 200, bx + 4, 240), radius=2), "#3a3030", depth=3, strength=0.5)
            art.paint(c, np.clip(1 - art.radial(W, H, bx, 200, 60), 0, 1) ** 2, "#ffb050", 0.35)
    art.vignette(c, 0.5)
    return c


def gallery_door():
    """One puzzle door: two frames, closed (dark wood) and solved (glowing open)."""
    w, h = 88, 300
    c = art.canvas(w * 2, h)
    for i in range(2):
        m = art.union(art.rect(w, h, (0, 44, w, h)), art.circle(w, h, w / 2, 44, w / 2))
        d = art.canvas(w, h)
        if i == 0:
            wd = scenery.wood(w, h, "#6b3f22", "#341a0a", 91 + i, vertical=True, plank=22)
            art.lit(d, m, wd[..., :3], depth=5, strength=0.4)
            art.shade(d, art.outline(art.rect(w, h, (14, 70, w - 14, 170), radius=5), 2), -0.5)
            art.shade(d, art.outline(art.rect(w, h, (14, 186, w - 14, h - 14), radius=5), 2), -0.5)
            art.lit(d, art.circle(w, h, w - 18, 180, 5), "#d8b45a", depth=2, strength=0.6, gloss=0.6)
        else:
            art.paint(d, m, art.ramp(art.linear(w, h, (0, 0), (0, h)), [(0, "#fff3c8"), (1, "#e0a040")]))
            art.shade(d, m * art.radial(w, h, w / 2, h * 0.6, w, h * 0.6), -0.3)
        art.over(c, d, i * w, 0)
    return c


def pendulum():
    """Rod and bob, drawn in the lower half of a tall picture so that its centre is the pivot."""
    w, h = 60, 360
    c = art.canvas(w, h)
    rod = art.rect(w, h, (28, 180, 32, 330))
    art.lit(c, rod, "#c9973a", depth=2, soft=1, strength=0.5)
    bob = art.circle(w, h, 30, 330, 15)
    art.drop_shadow(c, bob, 2, 3, 3, 0.5)
    art.over(c, brass(w, h, bob, depth=6, soft=3, gloss=0.7), 0, 0)
    return c


def flame_frames():
    """Four candle flame shapes, 40 x 64 each (frames of flame.png)."""
    w, h = 40, 64
    c = art.canvas(w * 4, h)
    for i, (lean, tall) in enumerate(((0, 1.0), (2.5, 0.92), (-2, 1.06), (1, 0.97))):
        f = art.canvas(w, h)
        tip = (w / 2 + lean * 2, h - 16 - 38 * tall)
        pts = []
        for k in range(40):
            t = k / 39 * 2 * math.pi
            rx = 8.5 * (1 + 0.1 * math.sin(t * 3))
            x = w / 2 + math.sin(t) * rx
            y = h - 16 + math.cos(t) * 7
            if math.cos(t) < 0:  # upper half: pull toward the tip
                s = -math.cos(t)
                x = x * (1 - s) + tip[0] * s
                y = y * (1 - s ** 0.7) + tip[1] * s ** 0.7
            pts.append((x, y))
        m = art.polygon(w, h, pts)
        art.glow(f, m, 7, "#ff9a30", 0.5)
        art.paint(f, m, art.ramp(art.linear(w, h, (0, tip[1]), (0, h - 9)), [(0, "#ff6a10"), (0.4, "#ffb030"),
                                                                                  (0.8, "#fff6c0"), (1, "#8ab0ff")]))
        art.paint(f, art.ellipse(w, h, (w / 2 - 3, h - 26, w / 2 + 3, h - 12)), "#ffffff", 0.7)
        art.over(c, f, i * w, 0)
    return c


def machine_gear(r=70, teeth=16):
    s = int(r * 2 + 8)
    m = gear_mask(s, s, s / 2, s / 2, r, teeth, hole=0.25, spokes=6)
    c = art.canvas(s, s)
    art.drop_shadow(c, m, 3, 4, 3, 0.5)
    art.over(c, brass(s, s, m, depth=6, soft=2.5, gloss=0.5), 0, 0)
    return c


def clock_hand(length=80, width=8):
    """A dial hand drawn from the centre upward, in a square picture centred on the pivot."""
    s = length * 2 + 8
    c = art.canvas(s, s)
    m = art.union(art.polygon(s, s, [(s / 2 - width / 2, s / 2 + 10), (s / 2 + width / 2, s / 2 + 10),
                                     (s / 2 + 1, s / 2 - length), (s / 2 - 1, s / 2 - length)]),
                  art.circle(s, s, s / 2, s / 2, width * 0.9))
    art.drop_shadow(c, m, 2, 3, 2, 0.5)
    art.lit(c, m, "#2a1a10", depth=2, soft=1, strength=0.5)
    return c


def front_door(w=130, h=310):
    """A door that fits the painted arches (130 wide, arch radius 65): closed, and open with
    warm light behind it."""
    c = art.canvas(w * 2, h)
    m = art.union(art.rect(w, h, (0, 65, w, h)), art.circle(w, h, w / 2, 65, 65))
    for i in range(2):
        d = art.canvas(w, h)
        if i == 0:
            wd = scenery.wood(w, h, "#6b3f22", "#341a0a", 95, vertical=True, plank=w / 4)
            art.lit(d, m, wd[..., :3], depth=6, soft=4, strength=0.45)
            for (y0, y1) in ((80, 170), (186, h - 16)):
                p = art.rect(w, h, (16, y0, w - 16, y1), radius=6)
                art.shade(d, art.outline(p, 3) * m, -0.45)
                art.shade(d, art.shift(art.outline(p, 2), 2, 2) * p, 0.15)
            art.lit(d, art.circle(w, h, w - 22, 178, 7), "#d8b45a", depth=3, soft=1.5, strength=0.6, gloss=0.6)
        else:
            art.paint(d, m, art.ramp(art.linear(w, h, (0, 0), (0, h)), [(0, "#fff6d8"), (0.6, "#ffd890"),
                                                                            (1, "#e8a050")]))
            art.paint(d, art.polygon(w, h, [(0, h), (w, h), (w * 0.8, h * 0.7), (w * 0.2, h * 0.7)]) * m,
                      "#c8e0a0", 0.35)
            art.shade(d, np.clip(art.radial(w, h, w / 2, h * 0.45, w * 0.8, h * 0.7) - 0.3, 0, 1) * m, -0.35)
        art.shade(d, art.outline(m, -0.0 + 2) * 0, 0)
        art.over(c, d, i * w, 0)
    return c


def emblems():
    """Eight 48 x 48 icons, one per puzzle family, for the gallery's doors."""
    s = 48
    c = art.canvas(s * 8, s)
    for i in range(8):
        e = art.canvas(s, s)
        disc = art.circle(s, s, 24, 24, 22)
        art.over(e, brass(s, s, disc, depth=4, gloss=0.5), 0, 0)
        inner = art.circle(s, s, 24, 24, 17)
        art.paint(e, inner, "#1e1a2e")
        ink = "#ffe6a0"
        if i == 0:  # task meter: three bars
            m = art.union(*[art.rect(s, s, (14 + k * 7, 32 - k * 6 - 4, 19 + k * 7, 32)) for k in range(3)])
        elif i == 1:  # falling column
            m = art.union(*[art.rect(s, s, (19, 10 + k * 10, 29, 18 + k * 10), radius=2) for k in range(3)])
        elif i == 2:  # group board
            m = art.union(*[art.rect(s, s, (13 + (k % 3) * 8, 13 + (k // 3) * 8, 19 + (k % 3) * 8, 19 + (k // 3) * 8))
                            for k in range(9) if k not in (2, 6)])
        elif i == 3:  # field dragging: a disc in a ring
            m = art.union(art.cut(art.circle(s, s, 24, 24, 14), art.circle(s, s, 24, 24, 11)), art.circle(s, s, 28, 21, 4))
        elif i == 4:  # untangling: crossing lines
            m = art.union(art.line(s, s, [(13, 14), (35, 34)], 2.5), art.line(s, s, [(13, 34), (35, 14)], 2.5),
                          art.circle(s, s, 13, 14, 3.5), art.circle(s, s, 35, 34, 3.5),
                          art.circle(s, s, 13, 34, 3.5), art.circle(s, s, 35, 14, 3.5))
        elif i == 5:  # tower
            m = art.union(art.rect(s, s, (12, 30, 36, 35), radius=2), art.rect(s, s, (15, 23, 33, 28), radius=2),
                          art.rect(s, s, (18, 16, 30, 21), radius=2), art.rect(s, s, (23, 11, 25, 35)))
        elif i == 6:  # sliding tiles
            m = art.union(*[art.rect(s, s, (13 + (k % 2) * 12, 13 + (k // 2) * 12, 22 + (k % 2) * 12, 22 + (k // 2) * 12),
                                     radius=2) for k in range(3)])
        else:  # pipes
            m = art.union(art.line(s, s, [(12, 24), (24, 24), (24, 36)], 4), art.line(s, s, [(24, 12), (24, 18)], 4))
        art.paint(e, m, ink)
        art.over(c, e, i * s, 0)
    return c


def dim(c, amount=0.55, blur_r=3):
    d = art.blur(c, blur_r)
    art.shade(d, np.ones(d.shape[:2]) * amount, -1)
    d[..., 3] = 1
    return d


def main(out, write_an, only=None):
    """Writes every big picture, or those whose names are in `only`."""
    def want(name):
        return only is None or name in only

    if want("logos"):
        art.save_jpg(logo_qxrun(), out("logos", "logo1.jpg"))
        art.save_jpg(logo_house(), out("logos", "logo2.jpg"))
    if want("title"):
        t = title_background()
        art.save_jpg(t, out("pictures", "title.jpg"))
        art.save_jpg(dim(t), out("pictures", "settings.jpg"))
    if want("ending"):
        art.save_jpg(title_background(dawn=1.0), out("pictures", "ending.jpg"))
    if want("hall"):
        art.save_jpg(hall(), out("pictures", "hall.jpg"))
    if want("library"):
        art.save_jpg(library(), out("pictures", "library.jpg"))
    if want("workshop"):
        art.save_jpg(workshop(), out("pictures", "workshop.jpg"))
    if want("gallery"):
        art.save_jpg(gallery(), out("pictures", "gallery.jpg"))
    if want("sprites"):
        art.save_png(gallery_door(), out("pictures", "gallery_door.png"))
        write_an(out("pictures", "gallery_door.an"), 2, 1)
        # the emblems come from the resource archive (with their frame layout beside them)
        art.save_png(emblems(), out("archive", "pictures", "emblems.png"))
        write_an(out("archive", "pictures", "emblems.an"), 8, 1)
        art.save_png(pendulum(), out("pictures", "anim", "pendulum.png"))
        art.save_png(flame_frames(), out("pictures", "anim", "flame.png"))
        write_an(out("pictures", "anim", "flame.an"), 4, 1)
        art.save_png(machine_gear(), out("pictures", "machine_gear.png"))
        art.save_png(machine_gear(44, 11), out("pictures", "machine_gear_small.png"))
        art.save_png(clock_hand(72, 9), out("pictures", "hand_hour.png"))
        for name in ("front_door", "hall_door"):  # one door, two names: each room's own
            art.save_png(front_door(), out("pictures", name + ".png"))
            write_an(out("pictures", name + ".an"), 2, 1)
