#!/usr/bin/env python3
"""Which stored field one byte of a small archive belongs to, for the damage
sweep: "FIELD" when no checksum and no cross-check covers it (a flip there
changes what the archive says, and no reader can tell), "data" inside packed
member data (covered by the member's CRC, yet another encoding of the same
bytes may decode alike), or nothing at all when a check covers it.

Usage: damage_fields.py ARCHIVE OFFSET...   (one answer a line, "-" for covered)

The fields no check covers, per format:
  zip   local header: version needed, general flags but the encryption bit
        (compared with the central copy), DOS time and date, extra field.
        Central header: version made by and needed, flags, DOS time and date,
        disk number start, internal and external attributes, extra field,
        comment. End record: comment.
  lzh   level 2: the type byte of the header-CRC record (with another type
        the record is an unknown one and nothing is checked); level 0/1:
        the extended headers after the checksummed base header.
  gzip  MTIME, XFL, OS and the FTEXT bit of FLG.
  cab   header reserved fields, version, set ID and cabinet index; each file's
        date, time, attributes and name; a data block's checksum field when the
        block carries none (0).
  arj   nothing outside the CRC-covered headers and data.
"""
import struct
import sys


def u16(b, o):
    return struct.unpack_from("<H", b, o)[0]


def u32(b, o):
    return struct.unpack_from("<I", b, o)[0]


def zip_fields(b):
    spans = []  # (start, end, name)
    end = b.rfind(b"PK\x05\x06")
    if end < 0:
        return spans
    count, cd_size, cd_off = u16(b, end + 10), u32(b, end + 12), u32(b, end + 16)
    spans.append((end + 22, end + 22 + u16(b, end + 20), "end-record comment"))
    pos = cd_off
    for _ in range(count):
        n, e, c = u16(b, pos + 28), u16(b, pos + 30), u16(b, pos + 32)
        spans += [(pos + 4, pos + 10, "central version/flags"),
                  (pos + 12, pos + 16, "central DOS time/date"),
                  (pos + 34, pos + 42, "central disk start/attributes"),
                  (pos + 46 + n, pos + 46 + n + e + c, "central extra/comment")]
        local, csize = u32(b, pos + 42), u32(b, pos + 20)
        ln, le = u16(b, local + 26), u16(b, local + 28)
        spans += [(local + 4, local + 8, "local version/flags"),
                  (local + 10, local + 14, "local DOS time/date"),
                  (local + 30 + ln, local + 30 + ln + le, "local extra"),
                  (local + 30 + ln + le, local + 30 + ln + le + csize, "data")]
        pos += 46 + n + e + c
    return spans


def lzh_fields(b):
    spans = []
    pos = 0
    while pos + 22 <= len(b) and b[pos] != 0:
        level = b[pos + 20]
        if level == 2:
            size = u16(b, pos)
            packed = u32(b, pos + 7)
            ext, nxt = pos + 26, u16(b, pos + 24)
            while nxt and ext < pos + size:
                if b[ext] == 0:
                    spans.append((ext, ext + 1, "type of the header-CRC record"))
                ext, nxt = ext + nxt, u16(b, ext + nxt - 2)
            spans.append((pos + size, pos + size + packed, "data"))
            pos += size + packed
        else:
            base = b[pos] + 2
            packed = u32(b, pos + 7)
            ext = pos + base
            if level == 1:
                nxt = u16(b, pos + base - 2)
                while nxt:
                    spans.append((ext, ext + nxt, "level-1 extended header"))
                    ext, nxt = ext + nxt, u16(b, ext + nxt - 2)
                spans.append((ext, pos + base + packed, "data"))
                pos += base + packed
            else:
                spans.append((ext, ext + packed, "data"))
                pos = ext + packed
    return spans


def gzip_fields(b):
    return [(3, 4, "gzip FLG (FTEXT)"), (4, 8, "gzip MTIME"), (8, 9, "gzip XFL"),
            (9, 10, "gzip OS"), (10, len(b) - 8, "data")]


def cab_fields(b):
    spans = [(4, 8, "cab reserved1"), (12, 16, "cab reserved2"), (20, 24, "cab reserved3"),
             (24, 26, "cab version"), (32, 36, "cab set ID/index")]
    folders, files, flags = u16(b, 26), u16(b, 28), u16(b, 30)
    pos = 36 + (4 if flags & 4 else 0)
    firsts = []
    for _ in range(folders):
        firsts.append((u32(b, pos), u16(b, pos + 4)))
        pos += 8
    pos = u32(b, 16)
    for _ in range(files):
        spans.append((pos + 10, pos + 16, "cab file date/time/attributes"))
        end = b.index(b"\0", pos + 16)
        spans.append((pos + 16, end, "cab file name"))
        pos = end + 1
    for at, blocks in firsts:
        for _ in range(blocks):
            if u32(b, at) == 0:
                spans.append((at, at + 4, "cab data-block checksum (none stored)"))
            size = u16(b, at + 4)
            spans.append((at + 8, at + 8 + size, "data"))
            at += 8 + size
    return spans


def arj_fields(b):
    return []


def fields(name, b):
    if name.endswith(".zip"):
        return zip_fields(b)
    if name.endswith(".lzh"):
        return lzh_fields(b)
    if name.endswith((".tgz", ".gz")):
        return gzip_fields(b)
    if name.endswith(".cab"):
        return cab_fields(b)
    return arj_fields(b)


def main():
    name = sys.argv[1]
    with open(name, "rb") as f:
        b = f.read()
    try:
        spans = fields(name, b)
    except (struct.error, ValueError, IndexError):
        spans = []
    for arg in sys.argv[2:]:
        at = int(arg)
        hit = next((n for s, e, n in spans if s <= at < e), "-")
        print(hit)


if __name__ == "__main__":
    main()
