#!/usr/bin/env python3
"""Draws Tolven's toolbar strip and icons from the pixel maps below and writes them as .bmp and
.ico files into the folder given as the only argument. The resource script embeds the results, so
the pictures are reproducible from this file alone.

Every picture is 16 x 16. Colours are multiples of 51 (the 8-bit halftone palette), so the 8-bit
image lists of the window show them without dithering. Icons also get a 32 x 32 version, each
pixel doubled."""
import os
import struct
import sys

COLOURS = {
    'K': (0, 0, 0),         # outline
    'W': (255, 255, 255),   # paper, label
    'g': (204, 204, 204),   # light grey: drive face, metal
    'G': (153, 153, 153),   # mid grey
    'D': (102, 102, 102),   # dark grey: text lines, shutter window
    'y': (255, 204, 51),    # folder yellow
    'l': (255, 255, 153),   # folder highlight
    'Y': (204, 153, 0),     # folder edge
    'b': (51, 102, 204),    # diskette / information blue
    'B': (0, 51, 153),      # dark blue edge
    'n': (0, 204, 0),       # green arrow
    'N': (0, 102, 0),       # green arrow edge
    'r': (255, 51, 51),     # red arrow
    'R': (153, 0, 0),       # red arrow edge
    'o': (255, 153, 0),     # sparkle of "new"
}
MAGENTA = (255, 0, 255)     # toolbar background, replaced by the button face when loaded

FOLDER = [
    "................",
    "................",
    "................",
    ".YYYY...........",
    "YllllY..........",
    "YyyyyyYYYYYYYY..",
    "YllllllllllllY..",
    "YyyyyyyyyyyyyYK.",
    "YyyyyyyyyyyyyYK.",
    "YyyyyyyyyyyyyYK.",
    "YyyyyyyyyyyyyYK.",
    "YyyyyyyyyyyyyYK.",
    "YyyyyyyyyyyyyYK.",
    "YYYYYYYYYYYYYYK.",
    ".KKKKKKKKKKKKKK.",
    "................",
]

DOCUMENT = [
    "..KKKKKKKK......",
    "..KWWWWWWKK.....",
    "..KWWWWWWKWK....",
    "..KWWWWWWKKKK...",
    "..KWWWWWWWWWK...",
    "..KWDDDDDDWWK...",
    "..KWWWWWWWWWK...",
    "..KWDDDDDDDWK...",
    "..KWWWWWWWWWK...",
    "..KWDDDDDDDWK...",
    "..KWWWWWWWWWK...",
    "..KWDDDDDWWWK...",
    "..KWWWWWWWWWK...",
    "..KWWWWWWWWWK...",
    "..KKKKKKKKKKK...",
    "................",
]

DRIVE_35 = [
    "................",
    "....BBBBBBBB....",
    "....BWWWWWWB....",
    "....BWDDDDWB....",
    "....BWWWWWWB....",
    "....BbbbbbbB....",
    "....BbbbbbbB....",
    ".DDDBbbbbbbBDDD.",
    "DgggKKKKKKKKgggD",
    "DggggggggggggggD",
    "DggggggggggggggD",
    "DgggggggggnnGGgD",
    "DggggggggggggggD",
    ".DDDDDDDDDDDDDD.",
    "................",
    "................",
]

DRIVE_525 = [
    "................",
    "..KKKKKKKKKKKK..",
    "..KKKKKKKKKKKK..",
    "..KKKKKggKKKKK..",
    "..KKKKgDDgKKKK..",
    "..KKKKKggKKKKK..",
    "..KKKKKKKKKKKK..",
    "DDKKKKKKKKKKKKDD",
    "DggggggDDggggggD",
    "DgKKKKKDDKKKKKgD",
    "DggggggDDggggggD",
    "DggggggggggnnggD",
    "DggggggggggggggD",
    "DDDDDDDDDDDDDDDD",
    "................",
    "................",
]

NEW = [
    "...........o....",
    "..KKKKKKK..o....",
    "..KWWWWWWKooooo.",
    "..KWWWWWWKKo....",
    "..KWWWWWWWKo....",
    "..KWWWWWWWWK....",
    "..KWWWWWWWWWK...",
    "..KWWWWWWWWWK...",
    "..KWWWWWWWWWK...",
    "..KWWWWWWWWWK...",
    "..KWWWWWWWWWK...",
    "..KWWWWWWWWWK...",
    "..KWWWWWWWWWK...",
    "..KWWWWWWWWWK...",
    "..KKKKKKKKKKK...",
    "................",
]

OPEN = [
    "................",
    "................",
    "................",
    ".YYYY...........",
    "YyyyyY..........",
    "YyyyyyYYYYYY....",
    "YyyyyyyyyyyY....",
    "YyyyYYYYYYYYYYYY",
    "YyyYllllllllllY.",
    "YyYllllllllllY..",
    "YYllllllllllY...",
    "YllllllllllY....",
    "YYYYYYYYYYY.....",
    "................",
    "................",
    "................",
]

SAVE = [
    "................",
    ".BBBBBBBBBBBBBB.",
    ".BbWWWWWWWWWWbB.",
    ".BbWWWWWWWWWWbB.",
    ".BbWDDDDDDDDWbB.",
    ".BbWWWWWWWWWWbB.",
    ".BbWDDDDDDDDWbB.",
    ".BbWWWWWWWWWWbB.",
    ".BbbbbbbbbbbbbB.",
    ".BbbbbbbbbbbbbB.",
    ".BbbgggggggggbB.",
    ".BbbggDDgggggbB.",
    ".BbbggDDgggggbB.",
    ".BbbggDDgggggbB.",
    ".BBBBBBBBBBBBBB.",
    "................",
]

INSERT = [
    "......KKKKKKK...",
    "......KWWWWWKK..",
    "......KWWWWWKWK.",
    "......KWWWWWKKKK",
    "......KWWWWWWWWK",
    "....N.KWDDDDDWWK",
    "...NnNKWWWWWWWWK",
    "..NnnNNNNNNNDWWK",
    ".NnnnnnnnnnNWWWK",
    "NnnnnnnnnnnNDWWK",
    ".NnnnnnnnnnNWWWK",
    "..NnnNNNNNNNWWWK",
    "...NnNKWDDDDWWWK",
    "....N.KWWWWWWWWK",
    "......KKKKKKKKKK",
    "................",
]

EXTRACT = [
    "KKKKKKK.........",
    "KWWWWWKK........",
    "KWWWWWKWK.......",
    "KWWWWWKKKK......",
    "KWWWWWWWWK......",
    "KWDDDDDWWK.N....",
    "KWWWWWWWWKNnN...",
    "KWDDNNNNNNNnnN..",
    "KWWWNnnnnnnnnnN.",
    "KWDDNnnnnnnnnnnN",
    "KWWWNnnnnnnnnnN.",
    "KWDDNNNNNNNnnN..",
    "KWWWWWWWWKNnN...",
    "KWWWWWWWWK.N....",
    "KKKKKKKKKK......",
    "................",
]

LOAD_FROM_DISK = [
    "...........N....",
    "..........NnN...",
    ".........NnnnN..",
    "........NnnnnnN.",
    ".......NNNnnnNNN",
    ".........NnnnN..",
    "BBBBBBBBBNnnnN..",
    "BbWWWWWbBNnnnN..",
    "BbWDDDWbBNNNNN..",
    "BbWWWWWbB.......",
    "BbbbbbbbB.......",
    "BbbbbbbbB.......",
    "BbbgDggbB.......",
    "BbbgDggbB.......",
    "BBBBBBBBB.......",
    "................",
]

WRITE_TO_DISK = [
    ".........RRRRR..",
    ".........RrrrR..",
    ".........RrrrR..",
    ".........RrrrR..",
    ".......RRRrrrRRR",
    "........RrrrrrR.",
    "BBBBBBBBBRrrrR..",
    "BbWWWWWbB.RrR...",
    "BbWDDDWbB..R....",
    "BbWWWWWbB.......",
    "BbbbbbbbB.......",
    "BbbbbbbbB.......",
    "BbbgDggbB.......",
    "BbbgDggbB.......",
    "BBBBBBBBB.......",
    "................",
]

INFORMATION = [
    "................",
    ".....BBBBBB.....",
    "...BBbbbbbbBB...",
    "..BbbbbWWbbbbB..",
    "..BbbbbWWbbbbB..",
    ".BbbbbbbbbbbbbB.",
    ".BbbbbWWWbbbbbB.",
    ".BbbbbbWWbbbbbB.",
    ".BbbbbbWWbbbbbB.",
    ".BbbbbbWWbbbbbB.",
    "..BbbbbWWbbbbB..",
    "..BbbbWWWWbbbB..",
    "...BBbbbbbbBB...",
    ".....BBBBBB.....",
    "................",
    "................",
]

# A diskette with a folder in front of it: the editor of the folders on a floppy.
APPLICATION = [
    "BBBBBBBBBBBBB...",
    "BbWWWWWWWWWbB...",
    "BbWDDDDDDDWbB...",
    "BbWWWWWWWWWbB...",
    "BbWDDDDDDDWbB...",
    "BbWWWWWWWWWbB...",
    "BbbbbbbbbbbbB...",
    "BbbbbbbYYYY.....",
    "BbbgggYllllY....",
    "BbbggDYyyyyyYYYY",
    "BbbggDYllllllllY",
    "BbbgggYyyyyyyyyY",
    "BBBBBBYyyyyyyyyY",
    "......YyyyyyyyyY",
    "......YYYYYYYYYY",
    "................",
]

# A deleted entry: the document in greys, crossed out in red.
DELETED = [
    "..GGGGGGGG......",
    "..GggggggGG.....",
    "..GggggggGgG....",
    "..GggggggGGGG...",
    "..GgggggggggG...",
    "..GgGGGGGGggG...",
    "..GgggggggggG...",
    "..GgGGGGGGGgG...",
    "..GggggggRrgGrR.",
    "..GgGGGGGGRrrR..",
    "..GggggggggRR...",
    "..GgGGGGGgRrrR..",
    "..GggggggRrgGrR.",
    "..GgggggggggG...",
    "..GGGGGGGGGGG...",
    "................",
]

TOOLBAR = [NEW, OPEN, SAVE, INSERT, EXTRACT, LOAD_FROM_DISK, WRITE_TO_DISK, INFORMATION]
ICONS = {
    "application.ico": APPLICATION,
    "folder.ico": FOLDER,
    "document.ico": DOCUMENT,
    "drive35.ico": DRIVE_35,
    "drive525.ico": DRIVE_525,
    "deleted.ico": DELETED,
}


def check(name, picture):
    if len(picture) != 16 or any(len(row) != 16 for row in picture):
        sys.exit("draw_pictures: %s is not 16 x 16" % name)
    for row in picture:
        for ch in row:
            if ch != '.' and ch not in COLOURS:
                sys.exit("draw_pictures: %s uses unknown colour %r" % (name, ch))


def palette():
    """Index 0 black (the colour under an icon's transparent pixels), then the colours above,
    then magenta; 256 entries."""
    colours = [(0, 0, 0)] + [c for c in COLOURS.values() if c != (0, 0, 0)] + [MAGENTA]
    colours += [(0, 0, 0)] * (256 - len(colours))
    return colours


def index_of(colours, rgb):
    return colours.index(rgb)


def dib_rows(pixels, width):
    """Bottom-up 8-bit rows, each padded to 4 bytes."""
    pad = (4 - width % 4) % 4
    out = b""
    for row in reversed(pixels):
        out += bytes(row) + b"\0" * pad
    return out


def info_header(width, height, bits, image_bytes):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_bytes, 2835, 2835,
                       256 if bits == 8 else 0, 0)


def palette_bytes(colours):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in colours)


def write_bmp(path, pictures):
    colours = palette()
    width, height = 16 * len(pictures), 16
    pixels = []
    for y in range(height):
        row = []
        for picture in pictures:
            for ch in picture[y]:
                row.append(index_of(colours, MAGENTA if ch == '.' else COLOURS[ch]))
        pixels.append(row)
    data = dib_rows(pixels, width)
    header = info_header(width, height, 8, len(data)) + palette_bytes(colours)
    offset = 14 + len(header)
    with open(path, "wb") as f:
        f.write(struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset))
        f.write(header + data)


def scaled(picture, factor):
    return ["".join(ch * factor for ch in row) for row in picture for _ in range(factor)]


def icon_image(picture):
    colours = palette()
    size = len(picture)
    pixels = [[0 if ch == '.' else index_of(colours, COLOURS[ch]) for ch in row] for row in picture]
    xor = dib_rows(pixels, size)
    mask_row_bytes = ((size + 31) // 32) * 4
    mask = b""
    for row in reversed(picture):
        value = bytearray(mask_row_bytes)
        for x, ch in enumerate(row):
            if ch == '.':
                value[x // 8] |= 0x80 >> (x % 8)  # 1: transparent
        mask += bytes(value)
    header = info_header(size, size * 2, 8, len(xor) + len(mask)) + palette_bytes(colours)
    return header + xor + mask


def write_ico(path, picture):
    images = [icon_image(picture), icon_image(scaled(picture, 2))]
    sizes = [16, 32]
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    for size, image in zip(sizes, images):
        out += struct.pack("<BBBBHHII", size, size, 0, 0, 1, 8, len(image), offset)
        offset += len(image)
    with open(path, "wb") as f:
        f.write(out + b"".join(images))


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: draw_pictures.py OUTPUT-FOLDER")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for i, picture in enumerate(TOOLBAR):
        check("toolbar picture %d" % i, picture)
    for name, picture in ICONS.items():
        check(name, picture)
    write_bmp(os.path.join(folder, "toolbar.bmp"), TOOLBAR)
    for name, picture in ICONS.items():
        write_ico(os.path.join(folder, name), picture)


if __name__ == "__main__":
    main()
