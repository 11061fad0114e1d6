#include "audio/FlacFrames.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>

std::array<unsigned char, 34> FlacStreamInfo::encoded() const {
    std::array<unsigned char, 34> b{};
    b[0] = (unsigned char)(minBlock >> 8);
    b[1] = (unsigned char)minBlock;
    b[2] = (unsigned char)(maxBlock >> 8);
    b[3] = (unsigned char)maxBlock;
    for (int i = 0; i < 3; ++i) {
        b[size_t(4 + i)] = (unsigned char)(minFrameBytes >> (16 - 8 * i));
        b[size_t(7 + i)] = (unsigned char)(maxFrameBytes >> (16 - 8 * i));
    }
    const std::uint64_t packed = (std::uint64_t(rate) << 44) | (std::uint64_t(channels - 1) << 41) |
                                 (std::uint64_t(bits - 1) << 36) |
                                 (std::uint64_t(totalSamples) & 0xFFFFFFFFFull);
    for (int i = 0; i < 8; ++i)
        b[size_t(10 + i)] = (unsigned char)(packed >> (56 - 8 * i));
    std::copy(md5.begin(), md5.end(), b.begin() + 18);
    return b;
}

namespace FlacFrameScan {
namespace {

// Tables of the frame CRC-16 for eight bytes at a time: kCrc[k][b] is the
// value of byte b followed by k zero bytes.
struct Crc16Tables {
    std::uint16_t t[8][256];
    // kZeros[k]: the effect of 2^k zero bytes on a value, as the images of
    // its 16 bits (the CRC is linear in it).
    std::uint16_t zeros[48][16];

    Crc16Tables() {
        for (int b = 0; b < 256; ++b) {
            std::uint16_t c = std::uint16_t(b << 8);
            for (int i = 0; i < 8; ++i)
                c = std::uint16_t(c & 0x8000 ? (c << 1) ^ 0x8005 : c << 1);
            t[0][b] = c;
        }
        for (int k = 1; k < 8; ++k)
            for (int b = 0; b < 256; ++b)
                t[k][b] = step(t[k - 1][b]);
        for (int j = 0; j < 16; ++j)
            zeros[0][j] = step(std::uint16_t(1u << j));
        for (int k = 1; k < 48; ++k)
            for (int j = 0; j < 16; ++j)
                zeros[k][j] = apply(zeros[k - 1], zeros[k - 1][j]);
    }
    // One zero byte.
    std::uint16_t step(std::uint16_t c) const { return std::uint16_t((c << 8) ^ t[0][c >> 8]); }
    static std::uint16_t apply(const std::uint16_t (&m)[16], std::uint16_t v) {
        std::uint16_t r = 0;
        for (int j = 0; v; ++j, v >>= 1)
            if (v & 1)
                r ^= m[j];
        return r;
    }
};

const Crc16Tables& crcTables() {
    static const Crc16Tables tables;
    return tables;
}

std::uint8_t crc8(const unsigned char* p, std::size_t size) {
    std::uint8_t c = 0;
    for (std::size_t i = 0; i < size; ++i) {
        c ^= p[i];
        for (int b = 0; b < 8; ++b)
            c = std::uint8_t(c & 0x80 ? (c << 1) ^ 0x07 : c << 1);
    }
    return c;
}

std::uint32_t bigEndian(const unsigned char* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | p[i];
    return v;
}

// The bytes an ID3v2 tag before the stream takes, 0 when there is none.
std::size_t id3v2Bytes(QByteArrayView bytes) {
    if (bytes.size() < 10 || !bytes.startsWith("ID3"))
        return 0;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = (std::size_t(p[6] & 0x7F) << 21) | (std::size_t(p[7] & 0x7F) << 14) |
                             (std::size_t(p[8] & 0x7F) << 7) | std::size_t(p[9] & 0x7F);
    return 10 + size + (p[5] & 0x10 ? 10 : 0);
}

QString at(std::int64_t offset, std::int64_t sample, int rate) {
    const std::int64_t ms = rate > 0 ? sample * 1000 / rate : 0;
    return QStringLiteral("byte %1, %2:%3.%4")
        .arg(offset)
        .arg(ms / 60000)
        .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
        .arg(ms % 1000, 3, 10, QLatin1Char('0'));
}

} // namespace

std::uint16_t crc16(std::uint16_t crc, const unsigned char* p, std::size_t size) {
    const auto& t = crcTables().t;
    while (size >= 8) {
        crc = std::uint16_t(t[7][p[0] ^ (crc >> 8)] ^ t[6][p[1] ^ (crc & 0xFF)] ^ t[5][p[2]] ^
                            t[4][p[3]] ^ t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
        p += 8;
        size -= 8;
    }
    for (; size > 0; --size, ++p)
        crc = std::uint16_t((crc << 8) ^ t[0][(crc >> 8) ^ *p]);
    return crc;
}

std::uint16_t crc16Renumbered(std::uint16_t oldCrc, const unsigned char* oldHeader, int oldBytes,
                              const unsigned char* newHeader, int newBytes,
                              std::int64_t bodyBytes) {
    const Crc16Tables& tables = crcTables();
    std::uint16_t change = std::uint16_t(crc16(0, oldHeader, size_t(oldBytes)) ^
                                         crc16(0, newHeader, size_t(newBytes)));
    for (int k = 0; bodyBytes > 0 && k < 48; ++k, bodyBytes >>= 1)
        if (bodyBytes & 1)
            change = Crc16Tables::apply(tables.zeros[k], change);
    return std::uint16_t(oldCrc ^ change);
}

bool readHeader(const unsigned char* p, std::size_t size, const FlacStreamInfo& info,
                FlacFrameHeader& h) {
    if (size < 6 || p[0] != 0xFF || (p[1] & 0xFE) != 0xF8 || (p[3] & 1) != 0)
        return false;
    const int sizeCode = p[2] >> 4;
    const int rateCode = p[2] & 0x0F;
    const int channelCode = p[3] >> 4;
    const int depthCode = (p[3] >> 1) & 7;
    if (sizeCode == 0 || rateCode == 15 || channelCode > 10 || depthCode == 3)
        return false;
    h.variable = (p[1] & 1) != 0;
    // The number, coded as UTF-8 is, to 36 bits.
    std::size_t at = 4;
    const unsigned char lead = p[at++];
    int more = 0;
    std::uint64_t number = 0;
    if (lead < 0x80) {
        number = lead;
    } else if (lead >= 0xC0 && lead < 0xFF) {
        // As many more bytes as ones after the first: 0xC0 one, 0xFE six.
        while (lead & (0x40 >> more))
            ++more;
        number = lead & (0x3F >> more);
    } else {
        return false;
    }
    if (more == 6 && !h.variable)
        return false;
    // With the number: a block size and a rate of two bytes each at most, the CRC-8.
    if (at + size_t(more) + 5 > size)
        return false;
    for (int i = 0; i < more; ++i) {
        const unsigned char c = p[at++];
        if ((c & 0xC0) != 0x80)
            return false;
        number = (number << 6) | (c & 0x3F);
    }
    h.number = number;
    h.numberEnd = int(at);
    static constexpr int Sizes[16] = {0,   192, 576,  1152, 2304, 4608, 0,     0,
                                      256, 512, 1024, 2048, 4096, 8192, 16384, 32768};
    if (sizeCode == 6)
        h.blockSize = p[at++] + 1;
    else if (sizeCode == 7) {
        h.blockSize = int(bigEndian(p + at, 2)) + 1;
        at += 2;
    } else
        h.blockSize = Sizes[sizeCode];
    static constexpr int Rates[12] = {0,     88200, 176400, 192000, 8000,  16000,
                                      22050, 24000, 32000,  44100,  48000, 96000};
    int rate = rateCode < 12 ? Rates[rateCode] : 0;
    if (rateCode == 12)
        rate = p[at++] * 1000;
    else if (rateCode == 13 || rateCode == 14) {
        rate = int(bigEndian(p + at, 2)) * (rateCode == 14 ? 10 : 1);
        at += 2;
    }
    if (at + 1 > size || crc8(p, at) != p[at])
        return false;
    h.bytes = int(at + 1);
    static constexpr int Depths[8] = {0, 8, 12, 0, 16, 20, 24, 32};
    const int channels = channelCode < 8 ? channelCode + 1 : 2;
    return (rateCode == 0 || rate == info.rate) && channels == info.channels &&
           (depthCode == 0 || Depths[depthCode] == info.bits);
}

int renumberedHeader(const unsigned char* old, const FlacFrameHeader& h, std::uint64_t sample,
                     unsigned char* out) {
    out[0] = 0xFF;
    out[1] = 0xF9;
    out[2] = old[2];
    out[3] = old[3];
    int n = 4;
    if (sample < 0x80) {
        out[n++] = (unsigned char)sample;
    } else {
        int more = 1;
        while (more < 6 && sample >= (std::uint64_t(1) << (5 * more + 6)))
            ++more;
        out[n++] = (unsigned char)(((0xFF << (7 - more)) & 0xFF) | (sample >> (6 * more)));
        for (int i = more - 1; i >= 0; --i)
            out[n++] = (unsigned char)(0x80 | ((sample >> (6 * i)) & 0x3F));
    }
    // The block size and rate that follow the number stay as they were.
    const int extra = h.bytes - 1 - h.numberEnd;
    std::memcpy(out + n, old + h.numberEnd, size_t(extra));
    n += extra;
    out[n] = crc8(out, size_t(n));
    return n + 1;
}

bool looksLikeFlac(QIODevice& file) {
    const QByteArray start = file.read(10);
    const qint64 tag = qint64(id3v2Bytes(start));
    const bool flac = file.seek(tag) && file.read(4) == "fLaC";
    file.seek(0);
    return flac;
}

Verdict scan(QByteArrayView bytes, FlacFrames& found, QString& why) {
    found = FlacFrames{};
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const std::size_t size = std::size_t(bytes.size());
    std::size_t pos = id3v2Bytes(bytes);
    if (pos + 4 > size || std::memcmp(data + pos, "fLaC", 4) != 0) {
        why = QStringLiteral("it is not a FLAC file");
        return Verdict::NotHandled;
    }
    pos += 4;
    // The metadata blocks, STREAMINFO first.
    FlacStreamInfo& info = found.info;
    for (bool first = true;; first = false) {
        if (pos + 4 > size) {
            why = QStringLiteral("its metadata is cut short");
            return Verdict::NotHandled;
        }
        const bool last = (data[pos] & 0x80) != 0;
        const int type = data[pos] & 0x7F;
        const std::size_t length = bigEndian(data + pos + 1, 3);
        pos += 4;
        if (pos + length > size || type == 127 || (first != (type == 0)) ||
            (type == 0 && length != 34)) {
            why = QStringLiteral("its metadata is not understood");
            return Verdict::NotHandled;
        }
        if (type == 0) {
            const unsigned char* s = data + pos;
            info.minBlock = int(bigEndian(s, 2));
            info.maxBlock = int(bigEndian(s + 2, 2));
            info.minFrameBytes = int(bigEndian(s + 4, 3));
            info.maxFrameBytes = int(bigEndian(s + 7, 3));
            const std::uint64_t packed =
                (std::uint64_t(bigEndian(s + 10, 4)) << 32) | bigEndian(s + 14, 4);
            info.rate = int(packed >> 44);
            info.channels = int((packed >> 41) & 7) + 1;
            info.bits = int((packed >> 36) & 31) + 1;
            info.totalSamples = std::int64_t(packed & 0xFFFFFFFFFull);
            std::copy(s + 18, s + 34, info.md5.begin());
        }
        pos += length;
        if (last)
            break;
    }
    // What the cut writes again: whole samples of 8 to 24 bits, a known length.
    if (info.bits < 8 || info.bits > 24 || info.rate <= 0 || info.totalSamples <= 0 ||
        info.minBlock < 16) {
        why = QStringLiteral("its stream is not one whose frames are copied");
        return Verdict::NotHandled;
    }

    std::int64_t sample = 0;
    std::uint64_t index = 0;
    found.frames.reserve(size_t(info.totalSamples / std::max(info.minBlock, 1) + 1));
    while (sample < info.totalSamples) {
        FlacFrameHeader h;
        if (!readHeader(data + pos, size - pos, info, h) ||
            h.number != (h.variable ? std::uint64_t(sample) : index) ||
            (!found.frames.empty() &&
             h.variable != ((data[found.frames[0].offset + 1] & 1) != 0))) {
            why = QStringLiteral("no frame follows at %1")
                      .arg(at(std::int64_t(pos), sample, info.rate));
            return Verdict::Damaged;
        }
        const bool lastFrame = sample + h.blockSize >= info.totalSamples;
        if (sample + h.blockSize > info.totalSamples) {
            why = QStringLiteral("its frames hold more samples than it says");
            return Verdict::NotHandled;
        }
        const std::uint64_t nextNumber =
            h.variable ? std::uint64_t(sample + h.blockSize) : index + 1;
        // The frame ends where its bytes check out and the next header
        // follows: a CRC-16 over a frame with its own CRC at the end is 0.
        std::uint16_t crc = crc16(0, data + pos, size_t(h.bytes));
        std::size_t q = pos + size_t(h.bytes);
        std::size_t end = 0;
        std::int64_t mismatch = -1; // a next header found where the bytes did not check out
        if (lastFrame) {
            // What may follow the last frame: nothing, or an ID3v1 tag.
            crc = crc16(crc, data + q, size - q);
            if (crc == 0)
                end = size;
            else if (size >= q + 128 && std::memcmp(data + size - 128, "TAG", 3) == 0 &&
                     crc16(0, data + pos, size - 128 - pos) == 0)
                end = size - 128;
            if (end == 0) {
                why = QStringLiteral("its last frame is followed by what is not FLAC");
                return Verdict::NotHandled;
            }
        }
        while (end == 0) {
            const void* ff = q < size ? std::memchr(data + q, 0xFF, size - q) : nullptr;
            const std::size_t c =
                ff ? std::size_t(static_cast<const unsigned char*>(ff) - data) : size;
            crc = crc16(crc, data + q, c - q);
            if (c + 1 >= size) {
                // Only a frame whose successor is where it should be is
                // known to be damaged; anything else is left to a decoder.
                if (mismatch < 0) {
                    why = QStringLiteral("its frame at %1 is not followed by the next")
                              .arg(at(std::int64_t(pos), sample, info.rate));
                    return Verdict::NotHandled;
                }
                why = QStringLiteral("its frame at %1 does not match its CRC-16")
                          .arg(at(std::int64_t(pos), sample, info.rate));
                return Verdict::Damaged;
            }
            if ((data[c + 1] & 0xFE) == 0xF8) {
                FlacFrameHeader next;
                if (readHeader(data + c, size - c, info, next) && next.number == nextNumber &&
                    next.variable == h.variable) {
                    if (crc == 0) {
                        end = c;
                        break;
                    }
                    if (mismatch < 0)
                        mismatch = std::int64_t(c);
                }
            }
            crc = crc16(crc, data + c, 1);
            q = c + 1;
        }
        found.frames.push_back({std::int64_t(pos), std::int32_t(end - pos), std::int16_t(h.bytes),
                                std::int32_t(h.blockSize), sample});
        sample += h.blockSize;
        ++index;
        pos = end;
    }
    return Verdict::Sound;
}

} // namespace FlacFrameScan
