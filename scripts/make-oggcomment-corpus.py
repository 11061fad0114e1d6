#!/usr/bin/env python3
"""Builds the checked-in corpus of the Vorbis comment fuzz driver.

Comment header packets (whole, cut short, with lengths and counts that point
past their end, odd name bytes, invalid UTF-8) and small Ogg Vorbis files
(headers sharing pages with audio, packets split over pages, chained and
multiplexed streams, junk, gaps, truncations, flipped bytes). The Ogg files
start from one tiny file made by oggenc (vorbis-tools). Seeded: the same
corpus every run.

Usage: scripts/make-oggcomment-corpus.py [OUTPUT_FOLDER]
"""
import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_OUT = os.path.join(HERE, "..", "tests", "fuzz", "corpus", "fuzz_oggcomments")
PACKETS = 160
FILES = 90

rng = random.Random(20031)


def crc_table():
    table = []
    for i in range(256):
        r = i << 24
        for _ in range(8):
            r = ((r << 1) ^ 0x04C11DB7) if r & 0x80000000 else (r << 1)
        table.append(r & 0xFFFFFFFF)
    return table


CRC = crc_table()


def ogg_crc(data):
    crc = 0
    for b in data:
        crc = ((crc << 8) & 0xFFFFFFFF) ^ CRC[((crc >> 24) & 0xFF) ^ b]
    return crc


def page(serial, seq, granule, flags, segments, body):
    header = b"OggS\x00" + bytes([flags]) + struct.pack("<qII", granule, serial, seq)
    header += b"\x00\x00\x00\x00" + bytes([len(segments)]) + bytes(segments)
    crc = ogg_crc(header + body)
    return header[:22] + struct.pack("<I", crc) + header[26:] + body


def read_pages(data):
    pages, at = [], 0
    while at + 27 <= len(data) and data[at:at + 4] == b"OggS":
        n = data[at + 26]
        lacing = list(data[at + 27:at + 27 + n])
        size = sum(lacing)
        body = data[at + 27 + n:at + 27 + n + size]
        flags = data[at + 5]
        granule, serial, seq = struct.unpack("<qII", data[at + 6:at + 22])
        pages.append(dict(flags=flags, granule=granule, serial=serial, seq=seq,
                          lacing=lacing, body=body))
        at += 27 + n + size
    return pages


def packets_of(pages):
    """Packets with the granule of the page on which each is the last to end."""
    packets, current = [], b""
    for p in pages:
        at, ended = 0, []
        for lace in p["lacing"]:
            current += p["body"][at:at + lace]
            at += lace
            if lace < 255:
                packets.append([current, -1])
                ended.append(len(packets) - 1)
                current = b""
        if ended:
            packets[ended[-1]][1] = p["granule"]
    return packets


def segments_of(packets):
    """(lacing value, bytes, index of the packet it ends or None) per segment."""
    out = []
    for i, (data, _) in enumerate(packets):
        at = 0
        while True:
            chunk = data[at:at + 255]
            at += len(chunk)
            if len(chunk) < 255:
                out.append((len(chunk), chunk, i))
                break
            out.append((255, chunk, None))
    return out


def paginate(packets, serial, breaks, eos=True):
    """Pages that end after the segment counts in `breaks` (the rest on one
    page each of at most 255 segments)."""
    segs = segments_of(packets)
    pages, seq, at, first = [], 0, 0, True
    sizes = list(breaks)
    while at < len(segs):
        n = min(sizes.pop(0) if sizes else 255, 255, len(segs) - at)
        chunk = segs[at:at + n]
        granule = -1
        for _, _, ended in chunk:
            if ended is not None:
                granule = packets[ended][1] if ended >= 3 else 0
        flags = 0
        if first:
            flags |= 2
        if at > 0 and segs[at - 1][2] is None:
            flags |= 1
        at += n
        if eos and at == len(segs):
            flags |= 4
        pages.append(page(serial, seq, granule, flags, [s[0] for s in chunk],
                          b"".join(s[1] for s in chunk)))
        seq += 1
        first = False
    return pages


def segment_counts(packets):
    return [len(segments_of([p])) for p in packets]


def le32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def comment_packet(vendor, comments, framing=True):
    out = b"\x03vorbis" + le32(len(vendor)) + vendor + le32(len(comments))
    for c in comments:
        out += le32(len(c)) + c
    return out + (b"\x01" if framing else b"")


KEYS = [b"TITLE", b"title", b"Artist", b"ALBUM", b"comment", b"GENRE", b"date",
        b"TrackNumber", b"ENCODER", b"X"]
VALUES = [b"Song", b"  padded  ", "D\u00e9j\u00e0 vu \u6771\u4eac".encode(), b"a\xffb",
          b"\xc3", b"", b"x=y", b"\x00inner", b"\x01\x1f"]


def random_comment():
    roll = rng.random()
    value = rng.choice(VALUES) + bytes(rng.randrange(32, 127) for _ in range(rng.randrange(4)))
    if roll < 0.6:
        return rng.choice(KEYS) + b"=" + value
    if roll < 0.75:  # a name byte outside 0x20..0x3C, 0x3E..0x7D
        bad = bytes([rng.choice([0x7E, 0x7F, 0x80, 0xC3, 0xFF, 0x00, 0x1F, 0x0A])])
        return rng.choice(KEYS) + bad + b"=" + value
    if roll < 0.9:
        return rng.choice(KEYS) + value  # no "="
    return bytes(rng.randrange(256) for _ in range(rng.randrange(12)))


def random_comments(most=6):
    return [random_comment() for _ in range(rng.randrange(most + 1))]


def damaged_packet(packet):
    kind = rng.randrange(6)
    data = bytearray(packet)
    if kind == 0:  # cut short
        return bytes(data[:rng.randrange(len(data) + 1)])
    if kind == 1:  # a length field pointing past the end or nearly so
        at = 7 if len(data) < 16 else rng.choice([7, 11, 15])
        data[at:at + 4] = le32(rng.choice([len(data), len(data) - at, 0xFFFFFFFF, 0x7FFFFFFF,
                                           0x80000000, rng.randrange(1 << 32)]))
        return bytes(data)
    if kind == 2:  # flipped bytes
        for _ in range(rng.randrange(1, 5)):
            i = rng.randrange(len(data))
            data[i] ^= 1 << rng.randrange(8)
        return bytes(data)
    if kind == 3:  # wrong packet type or magic
        data[rng.randrange(7)] = rng.randrange(256)
        return bytes(data)
    if kind == 4:  # no framing bit, or extra bytes after it
        return bytes(data[:-1]) if rng.random() < 0.5 else bytes(data) + b"\x00" * rng.randrange(9)
    return bytes(data[:7]) + le32(1) + b"v" + le32(rng.choice([3, 1000, 0xFFFFFFFF])) + le32(2) + b"ab"


def base_file(work):
    """A tiny Ogg Vorbis file: 40 ms of a tone, mono 8 kHz, low quality."""
    wav = os.path.join(work, "tone.wav")
    frames = 320
    samples = b"".join(struct.pack("<h", int(8000 * math.sin(i / 5.0))) for i in range(frames))
    with open(wav, "wb") as f:
        f.write(b"RIFF" + le32(36 + len(samples)) + b"WAVEfmt " +
                struct.pack("<IHHIIHH", 16, 1, 1, 8000, 16000, 2, 16) +
                b"data" + le32(len(samples)) + samples)
    ogg = os.path.join(work, "tone.ogg")
    subprocess.run(["oggenc", "-Q", "-q", "-1", "-s", "4660", "-o", ogg, wav], check=True)
    with open(ogg, "rb") as f:
        return f.read()


def with_comments(packets, comment):
    out = [list(p) for p in packets]
    out[1][0] = comment
    return out


def ogg_variant(packets):
    serial = rng.randrange(1 << 32)
    comment = comment_packet(b"corpus vendor", random_comments())
    if rng.random() < 0.2:
        comment = damaged_packet(comment)
    pk = with_comments(packets, comment)
    counts = segment_counts(pk)
    kind = rng.randrange(11)
    if kind == 0:  # headers on pages of their own
        return b"".join(paginate(pk, serial, [counts[0], counts[1] + counts[2]]))
    if kind == 1:  # audio shares the setup header's page
        return b"".join(paginate(pk, serial, [counts[0], sum(counts[1:5])]))
    if kind == 2:  # all three headers on the first page
        return b"".join(paginate(pk, serial, [sum(counts[:3])]))
    if kind == 3:  # pages cut anywhere, packets running over page ends
        size = rng.randrange(1, 12)
        return b"".join(paginate(pk, serial, [size] * 400))
    if kind == 4:  # a big comment header over several pages
        big = comment_packet(b"v", [b"COMMENT=" + b"c" * rng.randrange(300, 1500)])
        pk = with_comments(packets, big)
        return b"".join(paginate(pk, serial, [1] + [rng.randrange(1, 4)] * 40))
    if kind == 5:  # chained: a second link after the first
        second = with_comments(packets, comment_packet(b"link 2", random_comments(2)))
        return (b"".join(paginate(pk, serial, [counts[0], counts[1] + counts[2]])) +
                b"".join(paginate(second, serial ^ 0x55, [1])))
    if kind == 6:  # another stream's pages among the Vorbis pages
        vorbis = paginate(pk, serial, [counts[0], counts[1] + counts[2]])
        other = [page(serial + 1, 0, 0, 2, [8], b"fishead\x00")]
        other += [page(serial + 1, i + 1, i, 0, [5], bytes(rng.randrange(256) for _ in range(5)))
                  for i in range(3)]
        if rng.random() < 0.5:
            mixed = [vorbis[0], other[0]] + vorbis[1:2] + other[1:] + vorbis[2:]
        else:
            mixed = [other[0], vorbis[0]] + other[1:] + vorbis[1:]
        return b"".join(mixed)
    pages = paginate(pk, serial, [counts[0], counts[1] + counts[2]])
    data = b"".join(pages)
    if kind == 7:  # junk before the first page or between pages
        junk = bytes(rng.randrange(256) for _ in range(rng.randrange(1, 300)))
        if rng.random() < 0.5:
            return junk + data
        cut = len(pages[0])
        return data[:cut] + junk + data[cut:]
    if kind == 8:  # a page lost
        drop = rng.randrange(1, len(pages))
        return b"".join(p for i, p in enumerate(pages) if i != drop)
    if kind == 9:  # cut short
        return data[:rng.randrange(4, len(data))]
    # flipped bytes, the checksum made right again so the parsers see them
    parsed = read_pages(data)
    target = parsed[rng.randrange(len(parsed))]
    body = bytearray(target["body"])
    for _ in range(rng.randrange(1, 6)):
        if body:
            body[rng.randrange(len(body))] ^= 1 << rng.randrange(8)
    target["body"] = bytes(body)
    return b"".join(page(p["serial"], p["seq"], p["granule"], p["flags"], p["lacing"], p["body"])
                    for p in parsed)


def main():
    out = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else DEFAULT_OUT)
    if os.path.isdir(out):
        shutil.rmtree(out)
    os.makedirs(out)
    for i in range(PACKETS):
        packet = comment_packet(rng.choice([b"", b"Xiph.Org libVorbis I 20200704", b"v"]),
                                random_comments(8), framing=rng.random() < 0.8)
        if rng.random() < 0.45:
            packet = damaged_packet(packet)
        with open(os.path.join(out, "packet-%03d.bin" % i), "wb") as f:
            f.write(packet)
    with tempfile.TemporaryDirectory() as work:
        packets = packets_of(read_pages(base_file(work)))
    for i in range(FILES):
        with open(os.path.join(out, "ogg-%03d.ogg" % i), "wb") as f:
            f.write(ogg_variant(packets))
    print("%d inputs in %s" % (PACKETS + FILES, out))


if __name__ == "__main__":
    main()
