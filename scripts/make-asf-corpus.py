#!/usr/bin/env python3
"""Writes the seed corpus of the legacy ASF fuzz driver (tests/fuzz/corpus/fuzz_asf).

Seeded, so the same files come out on every run: legacy header objects with
attribute children built byte by byte (kinds 1, 2 and 4, named records of kind
100 and above, long and zero-cut strings, other children around them), and
damaged ones made from them (truncated, header and child sizes of 0, below 24
or past the end, record lengths past their child, counts past the records,
random bytes), each followed by a little fake audio.
Run from the repository root: scripts/make-asf-corpus.py
"""
import os
import random
import shutil
import struct
import uuid

OUT = os.path.join("tests", "fuzz", "corpus", "fuzz_asf")
rng = random.Random(0xA5F)

HEADER = uuid.UUID("D6E229D1-35DA-11D1-9034-00A0C90349BE").bytes_le
ATTRIBUTES = uuid.UUID("D6E229D5-35DA-11D1-9034-00A0C90349BE").bytes_le
OTHERS = [uuid.UUID(u).bytes_le for u in (
    "D6E229D2-35DA-11D1-9034-00A0C90349BE",
    "75B22630-668E-11CF-A6D9-00AA0062CE6C",  # today's ASF header
    "8CABDCA1-A947-11CF-8EE4-00C00C205365")]
NAMES = ["WM/Track", "wm/track", "WM/Year", "WM/AlbumTitle", "WM/ALBUMTITLE", "WM/Genre",
         "Title", ""]
TEXTS = ["Song", "Artist", "2003", "7", "12", "65543", "-3", " 42 ", "7a", "Caf\u00e9",
         "\u041f\u0435\u0441\u043d\u044f", "\u6771\u4eac\u4e8b\u5909", "\U0001F600", "Ab\x00cd", ""]


def obj(guid, body, size=None):
    return guid + struct.pack("<Q", 24 + len(body) if size is None else size) + body


def units(text):
    return text.encode("utf-16-le", "surrogatepass")


def text():
    roll = rng.random()
    if roll < 0.1:
        return rng.choice("x\u0436\u65e5") * rng.choice([127, 200, 511, 512, 600])
    return rng.choice(TEXTS)


def record(value_units=None):
    kind = rng.choice([1, 2, 3, 4, 99, 100, 150, 255])
    name = rng.choice(NAMES) if kind >= 99 else ""
    value = text()
    n = len(units(value)) // 2 if value_units is None else value_units
    return bytes([kind]) + b"\0\0\0\0" + struct.pack("<HH", len(units(name)) // 2, n) + \
        units(name) + units(value)


def attribute_child(records, count=None):
    body = struct.pack("<H", len(records) if count is None else count) + b"".join(records)
    return obj(ATTRIBUTES, body)


def children():
    parts = []
    for _ in range(rng.randint(1, 4)):
        if rng.random() < 0.7:
            parts.append(attribute_child([record() for _ in range(rng.randint(0, 8))]))
        else:
            filler = bytes(rng.randrange(256) for _ in range(rng.randint(0, 40)))
            parts.append(obj(rng.choice(OTHERS), filler))
    return parts


def audio():
    return bytes(rng.randrange(256) for _ in range(rng.randint(0, 64)))


def valid():
    return obj(HEADER, b"".join(children())) + audio()


def damaged(kind):
    parts = children()
    body = b"".join(parts)
    if kind == "truncated":
        whole = obj(HEADER, body)
        return whole[:rng.randint(0, len(whole))]
    if kind == "header-size":
        size = rng.choice([0, 1, 23, 24, 25, 24 + len(body) - 1, 24 + len(body) + 24,
                           2**63, 2**64 - 1])
        return obj(HEADER, body, size) + audio()
    if kind == "child-size":
        at = rng.randrange(len(parts))
        child = parts[at]
        size = rng.choice([0, 1, 23, len(child) + 1, len(child) + 1000, 2**40, 2**64 - 1])
        parts[at] = child[:16] + struct.pack("<Q", size) + child[24:]
        return obj(HEADER, b"".join(parts)) + audio()
    if kind == "record-length":
        records = [record() for _ in range(rng.randint(0, 3))]
        records.append(record(value_units=rng.choice([1000, 65535, 30000])))
        records += [record() for _ in range(rng.randint(0, 2))]
        return obj(HEADER, attribute_child(records) + b"".join(parts)) + audio()
    if kind == "count":
        records = [record() for _ in range(rng.randint(0, 3))]
        child = attribute_child(records, count=rng.choice([len(records) + 1, 1000, 65535]))
        return obj(HEADER, child + b"".join(parts)) + audio()
    if kind == "flipped":
        data = bytearray(obj(HEADER, body) + audio())
        for _ in range(rng.randint(1, 8)):
            at = rng.randrange(16, len(data))
            data[at] = rng.randrange(256)
        return bytes(data)
    if kind == "random":
        return HEADER + bytes(rng.randrange(256) for _ in range(rng.randint(0, 300)))
    raise ValueError(kind)


def main():
    shutil.rmtree(OUT, ignore_errors=True)
    os.makedirs(OUT)
    files = [("valid", valid) for _ in range(60)]
    for kind, count in [("truncated", 35), ("header-size", 30), ("child-size", 35),
                        ("record-length", 30), ("count", 20), ("flipped", 30), ("random", 10)]:
        files += [(kind, lambda kind=kind: damaged(kind)) for _ in range(count)]
    for number, (kind, make) in enumerate(files):
        with open(os.path.join(OUT, "%03d-%s.asf" % (number, kind)), "wb") as f:
            f.write(make())
    fixed = {"empty": b"", "one-byte": b"\xd1", "header-only": obj(HEADER, b""),
             "foreign-guid": obj(OTHERS[1], attribute_child([record()])),
             "header-guid-cut": HEADER[:15]}
    for number, (kind, data) in enumerate(fixed.items(), start=len(files)):
        with open(os.path.join(OUT, "%03d-%s.asf" % (number, kind)), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
