#!/usr/bin/env python3
"""Makes the decoder fixtures in this folder. Run once by hand (needs
ImageMagick's convert); the files are committed, CI never runs this.

Every picture is 7 x 5 pixels (odd, so BMP rows need padding) and shows
colour k(x, y) = (x + 7 y) mod N of the table colour(k) below; the decoder
tests compute the same pixels. The colour table keeps 35 colours distinct.
"""
import os
import struct
import subprocess
import zlib

W, H = 7, 5
HERE = os.path.dirname(os.path.abspath(__file__))


def colour(k):
    return ((k * 71 + 13) & 255, (k * 29 + 200) & 255, (k * 113 + 7) & 255)


def alpha(x, y):
    return (x * 37 + y * 53 + 5) & 255


def index(x, y, n):
    return (x + 7 * y) % n


def write(name, data):
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


def convert(source, *args):
    subprocess.run(['/usr/bin/convert', source, *args], check=True, cwd=HERE)


# ---- BMP, written here so that every field is known ------------------------

def bmp(bits, rows, palette=None, header=40, compression=0, masks=None, top_down=False,
        gap=0, ppm=2835, colours_used=None, raw_rows=None):
    """rows: bottom-up list of byte strings (padded here unless raw_rows)."""
    pal = b''
    if palette is not None:
        entry = 3 if header == 12 else 4
        pal = b''.join(bytes((b, g, r, 0))[:entry] for r, g, b in palette)
    if raw_rows is not None:
        pixels = raw_rows
    else:
        stride = (W * bits + 31) // 32 * 4
        ordered = list(reversed(rows)) if top_down else rows
        pixels = b''.join(r + b'\0' * (stride - len(r)) for r in ordered)
    extra_masks = b''
    if header == 12:
        info = struct.pack('<IHHHH', 12, W, H, 1, bits)
    else:
        count = len(palette) if colours_used is None and palette is not None else (colours_used or 0)
        info = struct.pack('<IiiHHIIiiII', header, W, -H if top_down else H, 1, bits, compression,
                           len(pixels), ppm, ppm, count, 0)
        if header == 40 and masks:
            extra_masks = struct.pack('<%dI' % len(masks), *masks)
        elif header > 40:
            m = list(masks or [0, 0, 0, 0]) + [0] * 4
            info += struct.pack('<4I', *m[:4])[:header - 40]
            info += b'\0' * (header - len(info))
    offset = 14 + len(info) + len(extra_masks) + len(pal) + gap
    head = b'BM' + struct.pack('<IHHI', offset + len(pixels), 0, 0, offset)
    return head + info + extra_masks + pal + b'\xAA' * gap + pixels


def indexed_rows(bits, n):
    rows = []
    for y in reversed(range(H)):
        value = 0
        count = 0
        out = bytearray()
        for x in range(W):
            value = value << bits | index(x, y, n)
            count += bits
            if count == 8:
                out.append(value)
                value = count = 0
        if count:
            out.append(value << (8 - count))
        rows.append(bytes(out))
    return rows


def bmp_fixtures():
    pal = lambda n: [colour(k) for k in range(n)]
    write('pal1.bmp', bmp(1, indexed_rows(1, 2), pal(2)))
    write('pal4.bmp', bmp(4, indexed_rows(4, 16), pal(16)))
    write('pal8.bmp', bmp(8, indexed_rows(8, 35), pal(35)))
    write('pal8_core.bmp', bmp(8, indexed_rows(8, 35), pal(256), header=12))
    # A palette of 20 colours: indices 20..34 lie past it and show black.
    write('pal8_short_palette.bmp', bmp(8, indexed_rows(8, 35), pal(20)))
    rgb = [[colour(index(x, y, 35)) for x in range(W)] for y in reversed(range(H))]
    rows24 = [b''.join(bytes((b, g, r)) for r, g, b in row) for row in rgb]
    write('rgb24.bmp', bmp(24, rows24))
    write('rgb24_topdown.bmp', bmp(24, rows24, top_down=True))
    write('rgb24_gap.bmp', bmp(24, rows24, gap=10, ppm=3937))
    # 32 bits without masks: the fourth byte is not alpha.
    rows32 = [b''.join(bytes((b, g, r, 0x11)) for r, g, b in row) for row in rgb]
    write('rgb32.bmp', bmp(32, rows32))
    # 32 bits, V5 header, masks with alpha (B, G, R, A bytes).
    rows32a = [b''.join(bytes((b, g, r, alpha(x, H - 1 - y)))
                        for x, (r, g, b) in enumerate(row)) for y, row in enumerate(rgb)]
    write('argb32_v5.bmp', bmp(32, rows32a, header=124, compression=3,
                               masks=[0xFF0000, 0xFF00, 0xFF, 0xFF000000]))
    # Unusual masks in a V4 header: red in the low byte, alpha second.
    rows32b = [b''.join(struct.pack('<I', r | alpha(x, H - 1 - y) << 8 | g << 16 | b << 24)
                        for x, (r, g, b) in enumerate(row)) for y, row in enumerate(rgb)]
    write('abgr32_v4.bmp', bmp(32, rows32b, header=108, compression=3,
                               masks=[0xFF, 0xFF0000, 0xFF000000, 0xFF00]))

    def pack16(fn):
        return [b''.join(struct.pack('<H', fn(x, H - 1 - y, r, g, b)) for x, (r, g, b) in enumerate(row))
                for y, row in enumerate(rgb)]
    write('rgb555.bmp', bmp(16, pack16(lambda x, y, r, g, b: (r >> 3) << 10 | (g >> 3) << 5 | b >> 3)))
    write('rgb565.bmp', bmp(16, pack16(lambda x, y, r, g, b: (r >> 3) << 11 | (g >> 2) << 5 | b >> 3),
                            compression=3, masks=[0xF800, 0x07E0, 0x001F]))
    write('argb4444.bmp', bmp(16, pack16(lambda x, y, r, g, b: alpha(x, y) >> 4 << 12 | r >> 4 << 8 |
                                         g >> 4 << 4 | b >> 4),
                              header=56, compression=3, masks=[0x0F00, 0x00F0, 0x000F, 0xF000]))
    # RLE8: row 0 (bottom) as one run that overflows the row, row 1 as a
    # literal, row 2 skipped by a delta, row 3 a run then end of line, end of
    # bitmap before row 4 (skipped rows keep colour 0).
    rle8 = bytes((10, 3, 0, 0,  # 10 pixels of 3 in a 7-wide row: clipped
                  0, 7, 1, 2, 3, 4, 5, 6, 7, 0, 0, 0,  # literal of 7 (padded), end of line
                  0, 2, 2, 1,  # delta: 2 right, 1 up: row 2, x 2
                  2, 9, 0, 0,  # two pixels of 9 at x 2, 3, end of line
                  3, 12, 0, 0,  # row 3: three pixels of 12
                  0, 1))
    write('rle8.bmp', bmp(8, None, pal(16), compression=1, raw_rows=rle8, colours_used=16))
    # RLE4: alternating nibbles in runs and a literal of odd length.
    rle4 = bytes((9, 0x12, 0, 0,  # 9 pixels 1,2,1,2... clipped at 7
                  0, 5, 0x34, 0x56, 0x70, 0,  # literal 3,4,5,6,7 (3 bytes, padded to 4)
                  0, 0,
                  4, 0xAB, 0, 1))
    write('rle4.bmp', bmp(4, None, pal(16), compression=2, raw_rows=rle4))


# ---- PNG -------------------------------------------------------------------

def png(colour_type, depth, rows, palette=None, trns=None, phys=None):
    def chunk(tag, data):
        return struct.pack('>I', len(data)) + tag + data + struct.pack('>I', zlib.crc32(tag + data))
    out = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', W, H, depth, colour_type, 0, 0, 0))
    if phys:
        out += chunk(b'pHYs', struct.pack('>IIB', phys, phys, 1))
    if palette:
        out += chunk(b'PLTE', b''.join(bytes(c) for c in palette))
    if trns is not None:
        out += chunk(b'tRNS', trns)
    raw = b''.join(b'\0' + r for r in rows)
    return out + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b'')


def grey16(x, y):
    return (x * 9001 + y * 13007 + 257) & 0xFFFF


def png_fixtures():
    # Palette with transparency for the first 4 entries.
    rows = [bytes(index(x, y, 35) for x in range(W)) for y in range(H)]
    write('pal8_trns.png', png(3, 8, rows, [colour(k) for k in range(35)], trns=bytes((0, 64, 128, 192))))
    # 4-bit palette (packed), 2 grey levels per byte
    packed = list(reversed(indexed_rows(4, 16)))
    write('pal4.png', png(3, 4, packed, [colour(k) for k in range(16)]))
    # 8-bit grey with a pHYs of 11811 ppm (300 dpi).
    grey = [bytes(colour(index(x, y, 35))[0] for x in range(W)) for y in range(H)]
    write('grey8.png', png(0, 8, grey, phys=11811))
    # 16-bit grey and alpha.
    ga16 = [b''.join(struct.pack('>HH', grey16(x, y), grey16(y, x)) for x in range(W)) for y in range(H)]
    write('greyalpha16.png', png(4, 16, ga16))
    # 16-bit RGB.
    rgb16 = [b''.join(struct.pack('>HHH', grey16(x, y), grey16(y, x), grey16(x + 3, y + 1)) for x in range(W))
             for y in range(H)]
    write('rgb16.png', png(2, 16, rgb16))
    # 8-bit RGBA through ImageMagick, also interlaced.
    rgba = [b''.join(bytes((*colour(index(x, y, 35)), alpha(x, y))) for x in range(W)) for y in range(H)]
    write('rgba8.png', png(6, 8, rgba))
    convert('rgba8.png', '-interlace', 'PNG', 'PNG32:rgba8_interlaced.png')
    # Grey 1-bit.
    bits = [bytes([int(''.join(str(index(x, y, 2)) for x in range(W)) + '0', 2)]) for y in range(H)]
    write('grey1.png', png(0, 1, bits))


# ---- JPEG ------------------------------------------------------------------

def jpeg_fixtures():
    # 16 x 16 in four flat 8 x 8 blocks, no chroma subsampling: decodes to
    # within a step or two of the colours at quality 100.
    ppm = bytearray(b'P6 16 16 255\n')
    for y in range(16):
        for x in range(16):
            ppm += bytes(colour(x // 8 + 2 * (y // 8)))
    write('blocks.ppm', bytes(ppm))
    convert('blocks.ppm', '-quality', '100', '-sampling-factor', '1x1', '-interlace', 'JPEG',
            '-density', '150', '-units', 'PixelsPerInch', 'blocks_progressive.jpg')
    convert('blocks.ppm', '-quality', '100', '-sampling-factor', '1x1', '-colorspace', 'Gray',
            '-density', '40', '-units', 'PixelsPerCentimeter', 'blocks_grey.jpg')
    convert('blocks.ppm', '-quality', '100', '-colorspace', 'CMYK', 'blocks_cmyk.jpg')
    os.remove(os.path.join(HERE, 'blocks.ppm'))


# ---- PSD -------------------------------------------------------------------

def psd_fixtures():
    rgba = os.path.join(HERE, 'rgba8.png')
    convert(rgba, '-compress', 'RLE', 'psd_rgba_packbits.psd')
    convert(rgba, '-alpha', 'off', '-compress', 'None', 'psd_rgb_raw.psd')
    convert('grey8.png', '-compress', 'RLE', 'psd_grey_packbits.psd')


if __name__ == '__main__':
    bmp_fixtures()
    png_fixtures()
    jpeg_fixtures()
    psd_fixtures()
