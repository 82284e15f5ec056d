#!/usr/bin/env python3
"""Makes the picture and archive fixtures of the resources tests.

Pictures come from two independent writers: ImageMagick 6 (/usr/bin/convert) and the small
writers below. Each picture gets the pixels its maker reads back as raw 8-bit RGBA
(NAME.rgba), listed in pictures.txt as: FILE WIDTH HEIGHT TOLERANCE. The archive sample.res
is written here with zlib; archive.txt lists its records as: INDEX TYPE HEXNAME HEXDATA.

Run once from this folder; the outputs are committed, so the tests need neither program.
"""
import os
import struct
import subprocess
import zlib

CONVERT = "/usr/bin/convert"
HERE = os.path.dirname(os.path.abspath(__file__))
os.chdir(HERE)
manifest = []


def source(width, height, alpha):
    """A picture with every channel varying; alpha too when asked."""
    px = []
    for y in range(height):
        for x in range(width):
            r = (x * 37 + y * 11) & 0xFF
            g = (x * 5 + y * 29 + 40) & 0xFF
            b = (255 - x * 17 - y * 3) & 0xFF
            a = ((x * 23 + y * 41) & 0xFF) if alpha else 255
            px.append((r, g, b, a))
    return px


def smooth(width, height):
    """A gentle gradient: what JPEG is made for, so decoders agree closely."""
    return [(x * 255 // (width - 1), y * 255 // (height - 1), (x + y) * 255 // (width + height - 2), 255)
            for y in range(height) for x in range(width)]


def raw(px):
    return bytes(c for p in px for c in p)


def write(name, data):
    with open(name, "wb") as f:
        f.write(data)


def magick(name, px, width, height, *args, fmt=None, tolerance=0):
    """Writes `name` with ImageMagick; the expected pixels are ImageMagick's reading of it."""
    write("src.tmp.rgba", raw(px))
    target = f"{fmt}:{name}" if fmt else name
    subprocess.run([CONVERT, "-size", f"{width}x{height}", "-depth", "8", "rgba:src.tmp.rgba", *args, target],
                   check=True)
    os.remove("src.tmp.rgba")
    expected = subprocess.run([CONVERT, name, "-auto-orient", "-depth", "8", "rgba:-"], check=True, capture_output=True).stdout
    ident = subprocess.run([CONVERT, name, "-format", "%w %h", "info:"], check=True, capture_output=True).stdout
    w, h = (int(v) for v in ident.split())
    assert len(expected) == w * h * 4, name
    write(name + ".rgba", expected)
    manifest.append(f"{name} {w} {h} {tolerance}")


def own(name, data, px, width, height):
    """A file from the writers below, with the pixels it was made from."""
    write(name, data)
    write(name + ".rgba", raw(px))
    manifest.append(f"{name} {width} {height} 0")


def flip_rows(px, width, height):
    return [px[(height - 1 - y) * width + x] for y in range(height) for x in range(width)]


def mirror_rows(px, width, height):
    return [px[y * width + (width - 1 - x)] for y in range(height) for x in range(width)]


def tga(px, width, height, bits, descriptor, rle=False, ident=b""):
    """TGA in file order: `px` are the pixels as they are stored, first pixel first."""
    head = struct.pack("<BBBHHBHHHHBB", len(ident), 0, 10 if rle else 2, 0, 0, 0, 0, 0, width, height, bits,
                       descriptor)
    def pix(p):
        return bytes((p[2], p[1], p[0], p[3])) if bits == 32 else bytes((p[2], p[1], p[0]))
    if not rle:
        return head + ident + b"".join(pix(p) for p in px)
    # Packets of varying lengths over the whole stream, so several cross row ends.
    out, i, n, lengths = bytearray(), 0, len(px), [5, 17, 3, 30, 1, 9, 128, 22]
    k = 0
    while i < n:
        length = min(lengths[k % len(lengths)], n - i)
        if k % 2 == 0:  # a run: repeat one pixel
            out.append(0x80 | (length - 1))
            out += pix(px[i])
            for j in range(i, i + length):
                px[j] = px[i]
        else:
            out.append(length - 1)
            out += b"".join(pix(p) for p in px[i:i + length])
        i += length
        k += 1
    return head + ident + bytes(out)


def png(width, height, color_type, depth, rows, plte=b"", trns=b""):
    """A PNG from packed rows (without filter bytes)."""
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    idat = zlib.compress(b"".join(b"\0" + r for r in rows))
    out = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, depth, color_type, 0, 0, 0))
    if plte:
        out += chunk(b"PLTE", plte)
    if trns:
        out += chunk(b"tRNS", trns)
    return out + chunk(b"IDAT", idat) + chunk(b"IEND", b"")


def bmp(width, height, bits, rows, palette=b"", top_down=False, compression=0, info_extra=b""):
    """A BITMAPINFOHEADER file; `rows` is the pixel data exactly as stored."""
    info = struct.pack("<IiiHHIIiiII", 40, width, -height if top_down else height, 1, bits, compression,
                       len(rows), 2835, 2835, len(palette) // 4, 0)
    offset = 14 + len(info) + len(info_extra) + len(palette)
    head = struct.pack("<2sIHHI", b"BM", offset + len(rows), 0, 0, offset)
    return head + info + info_extra + palette + rows


def bmp_rows(px, width, height, bits, top_down, fourth=None):
    out = bytearray()
    order = range(height) if top_down else range(height - 1, -1, -1)
    for y in order:
        row = bytearray()
        for x in range(width):
            r, g, b, a = px[y * width + x]
            row += bytes((b, g, r)) if bits == 24 else bytes((b, g, r, a if fourth is None else fourth))
        while len(row) % 4:
            row.append(0)
        out += row
    return bytes(out)


# --- ImageMagick ---------------------------------------------------------------------------
W, H = 13, 7
alpha = source(W, H, True)
opaque = source(W, H, False)
few = [((x // 4) * 80, (y // 2) * 70, 128, 255) for y in range(H) for x in range(W)]  # 16 colours
two = [((255, 255, 255, 255) if (x + y) % 3 else (0, 0, 0, 255)) for y in range(H) for x in range(W)]

magick("png_rgba8.png", alpha, W, H, "-define", "png:color-type=6", "-define", "png:bit-depth=8")
# 16-bit samples: libpng and ImageMagick may round a value to 8 bits one step apart.
magick("png_rgba16.png", alpha, W, H, "-depth", "16", "-define", "png:color-type=6", "-define", "png:bit-depth=16",
       tolerance=1)
magick("png_rgb8.png", opaque, W, H, "-define", "png:color-type=2", "-define", "png:bit-depth=8")
magick("png_rgb16.png", opaque, W, H, "-depth", "16", "-define", "png:color-type=2", "-define", "png:bit-depth=16",
       tolerance=1)
magick("png_grey8.png", opaque, W, H, "-colorspace", "Gray", "-define", "png:color-type=0", "-define", "png:bit-depth=8")
magick("png_grey16.png", opaque, W, H, "-colorspace", "Gray", "-depth", "16", "-define", "png:color-type=0",
       "-define", "png:bit-depth=16", tolerance=1)
magick("png_grey4.png", few, W, H, "-colorspace", "Gray", "-depth", "4", "-define", "png:color-type=0",
       "-define", "png:bit-depth=4")
magick("png_greyalpha8.png", alpha, W, H, "-colorspace", "Gray", "-define", "png:color-type=4",
       "-define", "png:bit-depth=8")
magick("png_palette8.png", opaque, W, H, "-define", "png:color-type=3", "-define", "png:bit-depth=8")
magick("png_palette1.png", two, W, H, "-define", "png:color-type=3", "-define", "png:bit-depth=1")
magick("png_interlaced.png", alpha, W, H, "-interlace", "PNG", "-define", "png:color-type=6")

JW, JH = 32, 24
grad = smooth(JW, JH)
magick("jpeg_baseline.jpg", grad, JW, JH, "-quality", "92", tolerance=2)
magick("jpeg_progressive.jpg", grad, JW, JH, "-quality", "92", "-interlace", "JPEG", tolerance=2)
magick("jpeg_grey.jpg", grad, JW, JH, "-colorspace", "Gray", "-quality", "92", tolerance=2)
magick("jpeg_cmyk.jpg", grad, JW, JH, "-colorspace", "CMYK", "-quality", "95", tolerance=3)

magick("tga_32.tga", alpha, W, H, "-type", "TrueColorAlpha")
magick("tga_24.tga", opaque, W, H, "-type", "TrueColor")
magick("tga_32_rle.tga", alpha, W, H, "-type", "TrueColorAlpha", "-compress", "RLE")
magick("tga_24_rle.tga", few, W, H, "-type", "TrueColor", "-compress", "RLE")

magick("bmp_24.bmp", opaque, W, H, "-type", "TrueColor", fmt="BMP3")
magick("bmp_8.bmp", opaque, W, H, "-type", "Palette", "-compress", "None", fmt="BMP3")
magick("bmp_4.bmp", few, W, H, "-type", "Palette", "-compress", "None", fmt="BMP3")
magick("bmp_1.bmp", two, W, H, "-type", "Palette", "-compress", "None", fmt="BMP3")
magick("bmp_rle8.bmp", opaque, W, H, "-type", "Palette", "-compress", "RLE", fmt="BMP3")
magick("bmp_32_alpha.bmp", alpha, W, H, "-type", "TrueColorAlpha", fmt="BMP")
magick("bmp_16_565.bmp", opaque, W, H, "-define", "bmp:subtype=RGB565", fmt="BMP", tolerance=1)
magick("bmp_os2.bmp", opaque, W, H, "-type", "TrueColor", fmt="BMP2")

# --- own writers -----------------------------------------------------------------------------
# TGA: top-down with an image ID; bottom-up mirrored; run-length packets across rows in
# every corner order.
own("tga_topdown_id.tga", tga(list(alpha), W, H, 32, 0x28, ident=b"hello"), alpha, W, H)
own("tga_mirror_bottomup.tga", tga(mirror_rows(flip_rows(opaque, W, H), W, H), W, H, 24, 0x10), opaque, W, H)
for name, desc, store in [("tga_rle_bl.tga", 0x08, lambda p: flip_rows(p, W, H)),
                          ("tga_rle_tl.tga", 0x28, lambda p: list(p)),
                          ("tga_rle_br.tga", 0x18, lambda p: mirror_rows(flip_rows(p, W, H), W, H)),
                          ("tga_rle_tr.tga", 0x38, lambda p: mirror_rows(p, W, H))]:
    stored = store(alpha)
    data = tga(stored, W, H, 32, desc, rle=True)  # runs overwrite `stored` with what they repeat
    # Undo the storage order on what was actually encoded.
    if desc & 0x10:
        stored = mirror_rows(stored, W, H)
    if not desc & 0x20:
        stored = flip_rows(stored, W, H)
    own(name, data, stored, W, H)

# PNG: a 4-bit palette, and a palette with a transparency chunk, which stays opaque (only
# grey-with-alpha and RGBA pictures have alpha in the runtime).
pal16 = [(i * 17, 255 - i * 13, (i * 70) & 0xFF) for i in range(16)]
plte = b"".join(bytes(c) for c in pal16)
rows, px16 = [], []
for y in range(H):
    ids = [(x + 2 * y) % 16 for x in range(W)]
    px16 += [pal16[i] + (255,) for i in ids]
    packed = bytearray((ids[x] << 4) | (ids[x + 1] if x + 1 < W else 0) for x in range(0, W, 2))
    rows.append(bytes(packed))
own("png_palette4.png", png(W, H, 3, 4, rows, plte), px16, W, H)
own("png_palette_trns.png", png(W, H, 3, 4, rows, plte, trns=bytes(range(0, 160, 10))), px16, W, H)

# BMP: top-down 24-bit; 32-bit with a zero fourth byte (opaque) and with a real one (alpha).
own("bmp_24_topdown.bmp", bmp(W, H, 24, bmp_rows(opaque, W, H, 24, True), top_down=True), opaque, W, H)
own("bmp_32_zero_x.bmp", bmp(W, H, 32, bmp_rows(opaque, W, H, 32, False, fourth=0)), opaque, W, H)
own("bmp_32_alpha_rgb.bmp", bmp(W, H, 32, bmp_rows(alpha, W, H, 32, False)), alpha, W, H)
# 8-bit run-length with runs, an absolute run, a delta and end-of-line codes. Pixels the
# delta skips keep palette index 0.
pal = [(i * 16, 255 - i * 16, (i * 50) & 0xFF) for i in range(16)]
palette = b"".join(bytes((b, g, r, 0)) for r, g, b in pal)
RW, RH = 10, 4
idx = [[0] * RW for _ in range(RH)]  # top-down rows
rle = bytearray()
rle += bytes((4, 3, 0, 5, 1, 2, 7, 8, 9, 0, 1, 5, 0, 0))  # bottom row: 3 3 3 3 1 2 7 8 9 5
idx[3] = [3, 3, 3, 3, 1, 2, 7, 8, 9, 5]
rle += bytes((10, 6, 0, 0))  # next row: ten 6s
idx[2] = [6] * 10
rle += bytes((2, 4, 0, 2, 3, 1, 3, 11, 0, 0))  # 4 4, jump 3 right and 1 up, then 11 11 11
idx[1] = [4, 4, 0, 0, 0, 0, 0, 0, 0, 0]
idx[0] = [0, 0, 0, 0, 0, 11, 11, 11, 0, 0]
rle += bytes((0, 1))
rle_px = [(pal[i][0], pal[i][1], pal[i][2], 255) for row in idx for i in row]
own("bmp_rle8_delta.bmp", bmp(RW, RH, 8, bytes(rle), palette=palette, compression=1), rle_px, RW, RH)

with open("pictures.txt", "w") as f:
    f.write("# FILE WIDTH HEIGHT TOLERANCE (made by make_fixtures.py)\n")
    f.write("\n".join(manifest) + "\n")

# --- archive --------------------------------------------------------------------------------
def record(rtype, data, level=9, unpacked=None):
    packed = zlib.compress(data, level)
    head = struct.pack("<HiidQQHQ", rtype, len(data) if unpacked is None else unpacked, len(packed),
                       45000.5, 0x1122334455667788, 0x99AABBCCDDEEFF00, 0, 0)
    assert len(head) == 44
    return head + packed

records = [
    (0, "images\\Pic.png".encode("cp1251"), open("png_rgba8.png", "rb").read()),
    (0, "sounds\\click.wav".encode("cp1251"), bytes((i * 7) & 0xFF for i in range(5000))),
    (3, "Arial".encode("cp1251"), b"font record " * 40),
    (0, "DUP.txt".encode("cp1251"), b"first"),
    (0, "dup.TXT".encode("cp1251"), b"second"),
    (0, "empty.bin".encode("cp1251"), b""),
    (0, "\u0424\u043e\u043d\\\u0434\u0432\u0435\u0440\u044c.txt".encode("cp1251"), "дверь".encode("cp1251")),
]
body = bytearray(b"ASDb" + struct.pack("<ii", 0, 0))
offsets = []
for rtype, name, data in records:
    offsets.append(len(body))
    body += record(rtype, data)
table = len(body)
for (rtype, name, data), off in zip(records, offsets):
    body += struct.pack("<i", len(name)) + name + struct.pack("<i", off)
body[4:12] = struct.pack("<ii", len(records), table)
write("sample.res", bytes(body))
with open("archive.txt", "w") as f:
    f.write("# INDEX TYPE HEXNAME HEXDATA of sample.res (made by make_fixtures.py)\n")
    for i, (rtype, name, data) in enumerate(records):
        f.write(f"{i} {rtype} {name.hex()} {data.hex()}\n")
