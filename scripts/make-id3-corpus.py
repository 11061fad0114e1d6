#!/usr/bin/env python3
"""Writes the seed corpus of the ID3v2 fuzz driver (tests/fuzz/corpus/fuzz_id3v2).

Seeded, so the same files come out on every run: well-formed v2.3 and v2.4 tags
built byte by byte, and damaged ones made from them (truncated, sizes past the
end, zero-length frames, random bytes after "ID3"), each followed by a little
fake MPEG audio and sometimes an ID3v1 block.
Run from the repository root: scripts/make-id3-corpus.py
"""
import os
import random
import shutil
import sys

OUT = os.path.join("tests", "fuzz", "corpus", "fuzz_id3v2")
rng = random.Random(0x1D3)

TEXT_IDS = ["TIT2", "TPE1", "TALB", "TRCK", "TYER", "TDRC", "TCON", "TXXX", "TSSE"]
WORDS = ["Song", "Artist", "Album", "1999", "7/12", "Rock", "(13)", "Caf\u00e9",
         "\u041f\u0440\u0438\u0432\u0435\u0442", "\u6771\u4eac", "  padded  ", ""]


def synchsafe(n):
    return bytes([(n >> 21) & 0x7F, (n >> 14) & 0x7F, (n >> 7) & 0x7F, n & 0x7F])


def be32(n):
    return n.to_bytes(4, "big")


def encode(text, encoding):
    if encoding == 0:
        return text.encode("latin-1", "replace")
    if encoding == 1:
        return (b"\xff\xfe" + text.encode("utf-16-le")) if rng.random() < 0.7 else \
               (b"\xfe\xff" + text.encode("utf-16-be"))
    if encoding == 2:
        return text.encode("utf-16-be")
    return text.encode("utf-8")


def terminator(encoding):
    return b"\x00\x00" if encoding in (1, 2) else b"\x00"


def text_content(text, encoding):
    return bytes([encoding]) + encode(text, encoding)


def comment_content(text, description, encoding):
    return (bytes([encoding]) + b"eng" + encode(description, encoding) + terminator(encoding) +
            encode(text, encoding))


def frame(version, frame_id, content, flags=b"\x00\x00"):
    size = synchsafe(len(content)) if version == 4 else be32(len(content))
    return frame_id.encode() + size + flags + content


def tag(version, body, flags=0, padding=0):
    body = body + b"\x00" * padding
    return b"ID3" + bytes([version, 0, flags]) + synchsafe(len(body)) + body


def unsynchronise(data):
    out = bytearray()
    for i, b in enumerate(data):
        out.append(b)
        if b == 0xFF and (i + 1 == len(data) or data[i + 1] == 0 or data[i + 1] >= 0xE0):
            out.append(0)
    return bytes(out)


def audio():
    # MPEG-1 layer III, 128 kbit/s, 44.1 kHz: 417-byte frames; only the starts matter.
    return (b"\xff\xfb\x90\x64" + bytes(40)) * rng.randint(0, 3)


def id3v1():
    title = rng.choice(WORDS).encode("latin-1", "replace")[:30]
    return b"TAG" + title.ljust(30, b"\x00") + b"A".ljust(30, b"\x00") + bytes(30) + \
        b"1999" + bytes(28) + b"\x00\x07\x0d"


def random_frames(version, count):
    body = b""
    for _ in range(count):
        encoding = rng.randint(0, 3) if version == 4 else rng.randint(0, 1)
        word = rng.choice(WORDS)
        if rng.random() < 0.25:
            content = comment_content(word, rng.choice(["", "iTunNORM", "d"]), encoding)
            body += frame(version, "COMM", content)
        else:
            body += frame(version, rng.choice(TEXT_IDS), text_content(word, encoding))
    return body


def valid_tag():
    version = rng.choice([3, 4])
    body = random_frames(version, rng.randint(1, 8))
    flags = 0
    if rng.random() < 0.2:
        flags |= 0x40
        extended = (be32(6) + bytes(6)) if version == 3 else (synchsafe(6) + b"\x01\x00")
        body = extended + body
    if version == 3 and rng.random() < 0.15:
        flags |= 0x80
        body = unsynchronise(body)
    return tag(version, body, flags, padding=rng.choice([0, 0, 10, 64]))


def truncated(data):
    return data[:rng.randint(0, len(data))]


def size_past_end(data):
    claimed = len(data) - 10 + rng.randint(1, 1 << 20)
    return data[:6] + synchsafe(claimed) + data[10:]


def frame_size_past_end(version):
    body = random_frames(version, rng.randint(0, 3))
    big = rng.randint(1 << 10, 1 << 27)
    size = synchsafe(big) if version == 4 else be32(big)
    body += b"TIT2" + size + b"\x00\x00\x00Lost"
    return tag(version, body)


def zero_length_frames(version):
    body = b""
    for _ in range(rng.randint(1, 5)):
        body += frame(version, rng.choice(TEXT_IDS + ["COMM"]), b"")
    body += random_frames(version, 1)
    return tag(version, body)


def random_after_id3():
    length = rng.randint(0, 200)
    return b"ID3" + bytes(rng.randrange(256) for _ in range(length))


def flipped(data):
    data = bytearray(data)
    for _ in range(rng.randint(1, 6)):
        if data:
            data[rng.randrange(len(data))] = rng.randrange(256)
    return bytes(data)


def main():
    if os.path.isdir(OUT):
        shutil.rmtree(OUT)
    os.makedirs(OUT)
    inputs = []
    for _ in range(60):
        inputs.append(("valid", valid_tag() + audio() + (id3v1() if rng.random() < 0.3 else b"")))
    for _ in range(40):
        inputs.append(("truncated", truncated(valid_tag() + audio())))
    for _ in range(30):
        inputs.append(("size-past-end", size_past_end(valid_tag())))
    for _ in range(20):
        inputs.append(("frame-past-end", frame_size_past_end(rng.choice([3, 4])) + audio()))
    for _ in range(20):
        inputs.append(("zero-length", zero_length_frames(rng.choice([3, 4])) + audio()))
    for _ in range(40):
        inputs.append(("random", random_after_id3()))
    for _ in range(30):
        inputs.append(("flipped", flipped(valid_tag() + audio())))
    inputs.append(("no-tag", audio() + b"TIT2\x00\x00\x00\x05\x00\x00\x00Fake"))
    inputs.append(("v1-only", audio() + id3v1()))
    inputs.append(("v1-lowercase", audio() + b"tag" + id3v1()[3:]))
    inputs.append(("header-only", b"ID3\x03\x00\x00\x00\x00\x00\x00"))
    inputs.append(("short", b"ID3\x04"))
    for index, (kind, data) in enumerate(inputs):
        with open(os.path.join(OUT, "%03d-%s.mp3" % (index, kind)), "wb") as f:
            f.write(data)
    print("%d inputs in %s" % (len(inputs), OUT))


if __name__ == "__main__":
    sys.exit(main())
