#!/usr/bin/env python3
"""Makes the seed corpora of the fuzz targets: small FAT12 images from mkfs.fat and mtools, and
damaged variants of them poked byte by byte (loops, folders pointing back, broken long names,
impossible sizes). Usage: make_seeds.py OUTPUT_FOLDER. Everything is small (at most ~100 KB)."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile

MKFS = shutil.which("mkfs.fat") or "/usr/sbin/mkfs.fat"
ENV = dict(os.environ, MTOOLS_SKIP_CHECK="1", MTOOLS_NO_VFAT="0")


def run(*args):
    subprocess.run(args, check=True, env=ENV, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class Image:
    """A raw image with the one-reserved-sector layout the editor reads."""

    def __init__(self, data):
        self.b = bytearray(data)

    def u16(self, off):
        return struct.unpack_from("<H", self.b, off)[0]

    @property
    def bps(self):
        return self.u16(11)

    @property
    def spc(self):
        return self.b[13]

    @property
    def fat_bytes(self):
        return self.u16(22) * 512

    @property
    def nfats(self):
        return self.b[16]

    @property
    def root_off(self):
        return 512 + self.fat_bytes * (2 if self.nfats > 1 else 1)

    @property
    def data_off(self):
        return self.root_off + self.u16(17) * 32

    @property
    def cluster_bytes(self):
        return self.bps * self.spc

    def cluster_off(self, n):
        return self.data_off + (n - 2) * self.cluster_bytes

    def fat_get(self, n):
        o = 512 + n * 3 // 2
        v = self.b[o] | (self.b[o + 1] << 8)
        return (v >> 4) if n & 1 else (v & 0xFFF)

    def fat_set(self, n, value):
        for copy in range(2 if self.nfats > 1 else 1):
            o = 512 + copy * self.fat_bytes + n * 3 // 2
            v = self.b[o] | (self.b[o + 1] << 8)
            v = (v & 0x000F) | (value << 4) if n & 1 else (v & 0xF000) | value
            self.b[o] = v & 0xFF
            self.b[o + 1] = v >> 8

    def entries(self, first_cluster):
        """Offsets of the 32-byte slots of a folder (0 = root), following its chain a little."""
        if first_cluster == 0:
            return [self.root_off + 32 * i for i in range(self.u16(17))]
        out, c, seen = [], first_cluster, set()
        while 2 <= c < 0xFF0 and c not in seen:
            seen.add(c)
            out += [self.cluster_off(c) + 32 * i for i in range(self.cluster_bytes // 32)]
            c = self.fat_get(c)
        return out

    def find(self, folder, short):
        """Offset of the short entry named `short` (11 characters) in a folder."""
        name = short.encode()
        for off in self.entries(folder):
            if self.b[off:off + 11] == name:
                return off
        raise KeyError(short)

    def first(self, off):
        return self.u16(off + 26)

    def set_first(self, off, cluster):
        struct.pack_into("<H", self.b, off + 26, cluster)

    def set_size(self, off, size):
        struct.pack_into("<I", self.b, off + 28, size)

    def copy(self):
        return Image(self.b)


def mkfs(work, name, kb, *options):
    path = os.path.join(work, name)
    run(MKFS, "-C", "-F", "12", "-a", "--invariant", "-n", "SEED", *options, path, str(kb))
    return path


def mcopy(img, host, target):
    run("mcopy", "-i", img, host, target)


def populate(work, img, deep=3):
    """Nested folders, long and short names, an empty file, a deleted file, a multi-cluster file."""
    small = os.path.join(work, "small.txt")
    with open(small, "wb") as f:
        f.write(b"tolven seed\r\n")
    big = os.path.join(work, "big.bin")
    with open(big, "wb") as f:
        f.write(bytes(range(256)) * 12)
    empty = os.path.join(work, "empty")
    open(empty, "wb").close()
    run("mmd", "-i", img, "::/DIR")
    run("mmd", "-i", img, "::/DIR/SUB")
    path = "::/DIR/SUB"
    for level in range(deep):
        path += "/Nested folder %d" % level
        run("mmd", "-i", img, path)
    mcopy(img, small, "::/README.TXT")
    mcopy(img, small, "::/A long file name with spaces.text")
    mcopy(img, big, "::/DIR/BIG.BIN")
    mcopy(img, empty, "::/DIR/EMPTY")
    mcopy(img, small, "::/DIR/SUB/Ünïcödé näme.txt")
    mcopy(img, small, path + "/deepest file.txt")
    mcopy(img, small, "::/GONE.TXT")
    run("mdel", "-i", img, "::/GONE.TXT")
    run("mattrib", "-i", img, "+h", "+r", "::/README.TXT")


def lfn_slot(seq, checksum, text=""):
    """One long-name slot: sequence byte, 13 UTF-16 characters in three runs, 0x0F attribute."""
    chars = [ord(c) for c in text[:13]]
    if len(chars) < 13:
        chars += [0] + [0xFFFF] * (12 - len(chars))
    s = bytearray(32)
    s[0] = seq
    struct.pack_into("<5H", s, 1, *chars[0:5])
    s[11] = 0x0F
    s[13] = checksum
    struct.pack_into("<6H", s, 14, *chars[5:11])
    struct.pack_into("<2H", s, 28, *chars[11:13])
    return s


def short_checksum(name):
    c = 0
    for byte in name:
        c = (((c & 1) << 7) + (c >> 1) + byte) & 0xFF
    return c


def handmade(bps, spc, root_entries, spf, clusters, nfats=2):
    """An image mkfs.fat will not make: odd sector sizes and the largest cluster count."""
    root_sectors = (root_entries * 32 + bps - 1) // bps
    total = 1 + nfats * spf + root_sectors + clusters * spc
    boot = bytearray(512)
    boot[0:3] = b"\xEB\x3C\x90"
    boot[3:11] = b"HANDMADE"
    struct.pack_into("<HBHBHHBHHHIIBBBI11s8s", boot, 11, bps, spc, 1, nfats, root_entries, total,
                     0xF0, spf, 18, 2, 0, 0, 0, 0, 0x29, 0x12345678, b"HANDMADE   ", b"FAT12   ")
    boot[510:512] = b"\x55\xAA"
    img = Image(bytes(boot) + bytes(spf * 512 * nfats + root_entries * 32 + clusters * bps * spc))
    for copy in range(nfats):
        img.b[512 + copy * spf * 512:512 + copy * spf * 512 + 3] = b"\xF0\xFF\xFF"
    return img


def image_seeds(work):
    seeds = {}
    base_path = mkfs(work, "base.img", 40, "-r", "16", "-s", "1", "-f", "2")
    populate(work, base_path)
    base = Image(open(base_path, "rb").read())
    seeds["clean-512"] = base

    wide_path = mkfs(work, "wide.img", 64, "-r", "32", "-s", "4", "-f", "1")
    populate(work, wide_path, deep=1)
    seeds["clean-2048-one-fat"] = Image(open(wide_path, "rb").read())

    root_path = mkfs(work, "root.img", 48, "-r", "240", "-s", "2", "-f", "2")
    empty = os.path.join(work, "empty")
    for i in range(30):
        mcopy(root_path, empty, "::/Root file number %02d.dat" % i)
    seeds["full-root-1024"] = Image(open(root_path, "rb").read())

    dir_off = base.find(0, "DIR        ")
    dir_cluster = base.first(dir_off)
    sub_off = base.find(dir_cluster, "SUB        ")
    sub_cluster = base.first(sub_off)
    big_off = base.find(dir_cluster, "BIG     BIN")
    big_cluster = base.first(big_off)
    readme_off = base.find(0, "README  TXT")

    v = base.copy()  # a file chain that loops back to its start
    c = big_cluster
    while v.fat_get(c) < 0xFF8:
        c = v.fat_get(c)
    v.fat_set(c, big_cluster)
    seeds["cyclic-file-chain"] = v

    v = base.copy()  # a folder chain that loops onto itself
    v.fat_set(dir_cluster, dir_cluster)
    seeds["cyclic-folder-chain"] = v

    v = base.copy()  # SUB points at its parent DIR: DIR/SUB/SUB/SUB...
    v.set_first(v.find(dir_cluster, "SUB        "), dir_cluster)
    seeds["folder-points-at-parent"] = v

    v = base.copy()  # a folder whose own entry is in it: SUB holds an entry that is SUB
    sub_entries = v.entries(sub_cluster)
    v.b[sub_entries[2]:sub_entries[2] + 32] = v.b[sub_off:sub_off + 32]
    seeds["folder-contains-itself"] = v

    v = base.copy()  # first cluster 0: a folder that would be the root, a file with a size
    v.set_first(v.find(0, "DIR        "), 0)
    v.set_first(readme_off, 0)
    seeds["first-cluster-zero"] = v

    v = base.copy()  # ".." of SUB pointing at SUB itself
    v.set_first(v.entries(sub_cluster)[1], sub_cluster)
    seeds["dotdot-points-at-self"] = v

    v = base.copy()  # chains into the reserved entries, past the clusters, into a bad cluster
    v.fat_set(big_cluster, 1)
    v.set_first(readme_off, 0xFEE)
    v.fat_set(sub_cluster, 0xFF7)
    seeds["chain-out-of-range"] = v

    v = base.copy()
    v.fat_set(big_cluster, 0xFF0)
    v.set_first(v.find(0, "DIR        "), 0xFFF)
    seeds["chain-reserved-values"] = v

    v = base.copy()  # sizes that the chains cannot hold
    v.set_size(readme_off, 0xFFFFFFFF)
    v.set_size(v.find(dir_cluster, "BIG     BIN"), 0x7FFFFFFF)
    seeds["impossible-sizes"] = v

    v = base.copy()  # long-name pieces numbered 21-31 before a short entry
    name = v.b[readme_off:readme_off + 11]
    slots = bytearray()
    for seq in range(31, 20, -1):
        slots += lfn_slot((0x40 if seq == 31 else 0) | seq, short_checksum(name), "piece%d" % seq)
    root = v.entries(0)
    free = [o for o in root if v.b[o] in (0x00, 0xE5)]
    start = free[0]
    entry = bytes(v.b[readme_off:readme_off + 32])
    v.b[start:start + len(slots)] = slots
    v.b[start + len(slots):start + len(slots) + 32] = entry
    seeds["lfn-pieces-21-31"] = v

    v = base.copy()  # long-name pieces with a wrong checksum, out of order, orphaned at the end
    cluster_slots = v.entries(sub_cluster)
    last = cluster_slots[-1]
    v.b[last:last + 32] = lfn_slot(0x41, 0x00, "orphan")
    v.b[cluster_slots[-3]:cluster_slots[-3] + 32] = lfn_slot(0x02, 0x55, "disordered")
    v.b[cluster_slots[-2]:cluster_slots[-2] + 32] = lfn_slot(0x43, 0x55, "wrong sum")
    seeds["lfn-damaged"] = v

    v = base.copy()  # deleted and 0x05 entries, an end marker in the middle, a volume label in DIR
    slots = v.entries(dir_cluster)
    v.b[slots[2]] = 0xE5
    v.b[slots[3]] = 0x05
    v.b[slots[4]] = 0x00
    v.b[slots[5] + 11] = 0x08
    seeds["entry-markers"] = v

    v = base.copy()  # a file marked as a folder, a folder marked as a file
    v.b[readme_off + 11] = 0x10
    v.b[v.find(dir_cluster, "SUB        ") + 11] = 0x20
    seeds["attribute-swaps"] = v

    v = base.copy()  # every root slot used, no end marker
    for i, off in enumerate(v.entries(0)):
        if v.b[off] in (0x00, 0xE5):
            v.b[off:off + 32] = v.b[readme_off:readme_off + 32]
            v.b[off:off + 8] = b"FILL%04d" % i
    seeds["root-without-end"] = v

    v = base.copy()  # a free FAT entry in the middle of a chain, both FATs differing
    v.fat_set(big_cluster, 0)
    v.b[512 + v.fat_bytes + 5] ^= 0x5A
    seeds["chain-hits-free"] = v

    seeds["truncated"] = Image(base.b[:len(base.b) - 3000])

    # Layouts held byte for byte: larger sectors (one with a root that ends inside its last
    # sector), more reserved sectors, one and three FATs, sectors after the last whole cluster
    # and bytes past the volume.
    layouts = {
        "layout-1024-byte-sectors": (64, "-S", "1024", "-r", "32", "-s", "1"),
        "layout-2048-byte-sectors": (128, "-S", "2048", "-r", "64", "-s", "1"),
        "layout-2-reserved-sectors": (40, "-R", "2", "-r", "16", "-s", "1"),
        "layout-1-fat": (40, "-f", "1", "-r", "16", "-s", "1"),
        "layout-3-fats": (40, "-f", "3", "-r", "16", "-s", "1"),
        "layout-tail-sectors": (43, "-r", "16", "-s", "4"),
    }
    for name, (kb, *options) in layouts.items():
        path = mkfs(work, name + ".img", kb, *options)
        populate(work, path, deep=1)
        seeds[name] = Image(open(path, "rb").read())
    seeds["layout-tail-sectors"].b += b"\xA5" * 700  # past the volume: kept too
    # mtools places the data of a root ending inside a sector elsewhere, so this one stays empty.
    seeds["layout-root-slack"] = Image(open(mkfs(work, "slack.img", 64, "-S", "1024", "-r", "16"),
                                            "rb").read())

    v = handmade(128, 1, 16, 1, 60)
    v.b[v.root_off:v.root_off + 11] = b"FILE    TXT"
    v.set_first(v.root_off, 2)
    v.set_size(v.root_off, 300)
    v.fat_set(2, 3)
    v.fat_set(3, 4)
    v.fat_set(4, 0xFFF)
    seeds["handmade-128-byte-sectors"] = v

    v = handmade(32, 1, 4, 10, 3412)
    v.b[v.root_off:v.root_off + 11] = b"DEEP       "
    v.b[v.root_off + 11] = 0x10
    v.set_first(v.root_off, 3413)
    v.fat_set(3413, 0xFFF)
    seeds["handmade-3412-clusters"] = v

    seeds["handmade-32-byte-clusters"] = handmade(32, 1, 4, 1, 40)  # no room for "." and ".."

    v = handmade(512, 16, 16, 1, 3)  # 8192-byte clusters, beyond the walker's 1024
    v.b[v.root_off:v.root_off + 11] = b"HUGE       "
    v.b[v.root_off + 11] = 0x10
    v.set_first(v.root_off, 2)
    v.fat_set(2, 0xFFF)
    seeds["handmade-8192-byte-clusters"] = v
    return seeds


# The boot sectors of the eleven disk types (geometry as the editor creates them).
DISK_TYPES = [  # spc, root entries, total sectors, media, spf, spt, heads
    (2, 112, 1440, 0xF9, 3, 9, 2), (2, 112, 1640, 0xF9, 3, 10, 2), (1, 224, 2880, 0xF0, 9, 18, 2),
    (1, 224, 3360, 0xF0, 10, 21, 2), (1, 224, 3444, 0xF0, 10, 21, 2),
    (2, 240, 5760, 0xF0, 9, 36, 2), (2, 112, 320, 0xFD, 1, 8, 1), (2, 112, 360, 0xFD, 1, 9, 1),
    (2, 112, 640, 0xFD, 1, 8, 2), (2, 112, 720, 0xFD, 2, 9, 2), (1, 224, 2400, 0xF9, 7, 15, 2),
]


def boot_seeds(base):
    seeds = {}
    for i, (spc, root, total, media, spf, spt, heads) in enumerate(DISK_TYPES):
        b = bytearray(base.b[:512])
        struct.pack_into("<HBHBHHBHHH", b, 11, 512, spc, 1, 2, root, total, media, spf, spt, heads)
        seeds["type-%02d" % i] = b
    seeds["short-100"] = bytes(base.b[:100])
    seeds["long-600"] = bytes(base.b[:512]) + b"\xAA" * 88
    code = bytearray(512)
    code[0:3] = base.b[0:3]
    code[62:510] = base.b[62:510]
    seeds["bootcode-only"] = code
    return seeds


FLOPPY_FAULTS = {  # medium, fault (bit 7: no read-ahead), offset or call number (32-bit), mask
    "no-read-ahead": struct.pack("<BBIB", 0, 0x80, 0, 0),
    "read-fails-in-root": struct.pack("<BBIB", 0, 1, 2600, 0),
    "short-read-in-clusters": struct.pack("<BBIB", 0, 2, 9000, 0),
    "cancel-at-third-read": struct.pack("<BBIB", 0, 3, 2, 0),
    "lock-fails": struct.pack("<BBIB", 0, 4, 0, 0),
    "bit-flip-in-boot-sector": struct.pack("<BBIB", 0, 5, 13, 0x04),
    "second-read-fails": struct.pack("<BBIB", 0, 6, 1, 0),
    "on-1440k-medium": struct.pack("<BBIB", 6, 0, 0, 0),
}


def imagedisk(raw, spt=9, heads=2, odd=None):
    """An ImageDisk file of the raw image; odd(sector) may give a sector its own data record."""
    out = bytearray(b"IMD 1.18: 01/01/2026 00:00:00\r\nseed\x1a")
    for track in range(len(raw) // 512 // spt):
        out += bytes([5, track // heads, track % heads, spt, 2]) + bytes(range(1, spt + 1))
        for s in range(spt):
            n = track * spt + s
            data = raw[n * 512:(n + 1) * 512]
            if odd and odd(n) is not None:
                out += odd(n)
            elif data == data[:1] * 512:
                out += bytes([2, data[0]])
            else:
                out += b"\x01" + data
    return bytes(out)


def teledisk(raw, spt=9, heads=2, flags=lambda n: 0, compressed=False):
    """A Teledisk file of the raw image, sectors of a repeated pair as such, the others as they
    are (the tests' own writer covers runs and the compression)."""
    head = bytearray(b"td" if compressed else b"TD") + bytes([0, 0, 21, 2, 4, 0, 0, heads])
    crc = 0
    for b in head:
        crc ^= b << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0xA097 if crc & 0x8000 else crc << 1) & 0xFFFF
    out = head + struct.pack("<H", crc)
    body = bytearray()
    for track in range(len(raw) // 512 // spt):
        body += bytes([spt, track // heads, track % heads, 0])
        for s in range(spt):
            n = track * spt + s
            body += bytes([track // heads, track % heads, s + 1, 2, flags(n), 0])
            data = raw[n * 512:(n + 1) * 512]
            if flags(n) & 0x30 == 0 and data == data[:2] * 256:
                body += struct.pack("<HBH", 5, 1, 256) + data[:2]
            elif flags(n) & 0x30 == 0:
                body += struct.pack("<HB", 513, 0) + data
    body += b"\xff"
    # A compressed seed's body is no LZHUF stream: it only leads the fuzzer into the decoder.
    return bytes(out + body)


def container_seeds(raw):
    import gzip
    import io
    import zipfile
    seeds = {}
    # Stored: the image's first 16 KB only, to keep the seed small.
    for name, method, members in (("stored", zipfile.ZIP_STORED, [("DISK.IMG", raw[:16384])]),
                                  ("deflated", zipfile.ZIP_DEFLATED, [("DISK.IMG", raw)]),
                                  ("two", zipfile.ZIP_DEFLATED, [("A.IMG", raw), ("B/", b"")])):
        buf = io.BytesIO()
        with zipfile.ZipFile(buf, "w", method) as z:
            for member, data in members:
                z.writestr(member, data)
        seeds["zip/" + name] = buf.getvalue()
    deflated = seeds["zip/deflated"]
    seeds["zip/cut"] = deflated[:len(deflated) // 2]
    seeds["gzip/whole"] = gzip.compress(raw, 9)
    seeds["gzip/two-members"] = gzip.compress(raw[:4096]) + gzip.compress(raw[4096:])
    seeds["imagedisk/whole"] = imagedisk(raw)
    seeds["imagedisk/bad-and-deleted"] = imagedisk(
        raw, odd=lambda n: {40: b"\x05" + raw[40 * 512:41 * 512], 41: b"\x04\x00",
                            42: b"\x00"}.get(n))
    seeds["teledisk/plain"] = teledisk(raw)
    seeds["teledisk/flags"] = teledisk(raw, flags=lambda n: {40: 2, 41: 4, 42: 0x20}.get(n, 0))
    seeds["teledisk/compressed"] = teledisk(raw[:9216], compressed=True)
    return seeds


def write(folder, name, data):
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(bytes(data))


def main():
    out = sys.argv[1]
    with tempfile.TemporaryDirectory(prefix="tolven-seeds-") as work:
        images = image_seeds(work)
        for target in ("load", "extract", "delete", "insert", "check"):
            shutil.rmtree(os.path.join(out, target), ignore_errors=True)
            for name, img in images.items():
                write(os.path.join(out, target), name + ".img", img.b)
        # The floppy target's inputs start with 7 bytes: medium, fault, fault offset, mask.
        floppy = os.path.join(out, "floppy_read")
        shutil.rmtree(floppy, ignore_errors=True)
        for name, img in images.items():
            write(floppy, name + ".img", bytes(7) + img.b)
        clean = images["clean-512"].b
        for name, header in FLOPPY_FAULTS.items():
            write(floppy, "clean-512-" + name + ".img", header + clean)
        # The container readers' targets: a 360 KB image in each container.
        small_image = mkfs(work, "c.img", 360)
        populate(work, small_image)
        raw = open(small_image, "rb").read()
        for target in ("zip", "gzip", "imagedisk", "teledisk"):
            shutil.rmtree(os.path.join(out, target), ignore_errors=True)
        for name, data in container_seeds(raw).items():
            write(os.path.join(out, os.path.dirname(name)), os.path.basename(name), data)
        shutil.rmtree(os.path.join(out, "bootsector"), ignore_errors=True)
        for name, data in boot_seeds(images["clean-512"]).items():
            write(os.path.join(out, "bootsector"), name + ".bin", data)


if __name__ == "__main__":
    main()
