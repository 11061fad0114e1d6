#include "audio/Mp3Frames.h"

#include "audio/AudioError.h"

#include <QDir>
#include <QIODevice>
#include <algorithm>
#include <array>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define CADELO_CLMUL_CRC 1
#endif

namespace {

constexpr int Mpeg1Kbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr int Mpeg2Kbps[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr int Mpeg1Rates[3] = {44100, 48000, 32000};

// libmpg123 puts this many frames of its synthesis filter before the first
// encoded frame; a LAME header's delay counts from there.
constexpr int DecoderDelay = 529;
// A free-format frame is at most this long (640 kbit/s at 8 kHz would be
// longer, but no encoder makes those).
constexpr int MaxFreeFormatBytes = 8192;
// The first frame is looked for this far into the audio: an encoder or a
// tagger may leave padding after the ID3v2 tag.
constexpr std::int64_t FirstFrameSearch = 64 * 1024;
// A file is read at least this much at a time: enough to make the reads
// few, little enough to stay in the processor's cache.
constexpr std::int64_t WindowLeast = 256 * 1024;

std::uint32_t bigEndian32(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

std::uint32_t littleEndian32(const unsigned char* p) {
    return std::uint32_t(p[3]) << 24 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0];
}

std::int64_t syncSafe(const unsigned char* p) {
    if ((p[0] | p[1] | p[2] | p[3]) & 0x80)
        return -1;
    return std::int64_t(p[0]) << 21 | std::int64_t(p[1]) << 14 | std::int64_t(p[2]) << 7 | p[3];
}

// The length of the ID3v2 tag at `p` with its header and footer, 0 where
// there is none.
std::int64_t id3v2Length(ByteWindow& w, std::int64_t pos, std::int64_t end) {
    if (end - pos < 10)
        return 0;
    const unsigned char* p = w.at(pos, 10);
    if (std::memcmp(p, "ID3", 3) != 0 || p[3] == 0xFF || p[4] == 0xFF)
        return 0;
    const std::int64_t size = syncSafe(p + 6);
    if (size < 0)
        return 0;
    return 10 + size + ((p[5] & 0x10) ? 10 : 0);
}

// The bytes of the tags that end at `end`, 0 when none does.
std::int64_t trailingTagLength(ByteWindow& w, std::int64_t begin, std::int64_t end) {
    const std::int64_t room = end - begin;
    if (room >= 128 && std::memcmp(w.at(end - 128, 3), "TAG", 3) == 0) {
        // The extended ID3v1 block goes before the plain one.
        if (room >= 355 && std::memcmp(w.at(end - 355, 4), "TAG+", 4) == 0)
            return 355;
        return 128;
    }
    if (room >= 32 && std::memcmp(w.at(end - 32, 8), "APETAGEX", 8) == 0) {
        const unsigned char* footer = w.at(end - 32, 32);
        const std::int64_t size = littleEndian32(footer + 12);
        const bool withHeader = littleEndian32(footer + 20) & 0x80000000u;
        const std::int64_t length = size + (withHeader ? 32 : 0);
        if (size >= 32 && length <= room)
            return length;
        return 0;
    }
    if (room >= 10 && std::memcmp(w.at(end - 10, 3), "3DI", 3) == 0) {
        const std::int64_t size = syncSafe(w.at(end - 10 + 6, 4));
        if (size >= 0 && size + 20 <= room)
            return size + 20;
    }
    return 0;
}

int frameLength(const Mp3Header& h, int freeFormatBytes) {
    return h.bitrateIndex ? h.frameBytes() : freeFormatBytes + (h.padding ? 1 : 0);
}

// A frame header at `pos` of the stream whose next frame's header follows it
// where its length says (or which ends the audio).
bool frameChainsAt(ByteWindow& w, std::int64_t pos, std::int64_t end, const Mp3Header& like,
                   int freeFormatBytes) {
    if (end - pos < 4)
        return false;
    const std::optional<Mp3Header> h = Mp3Header::parse(w.at(pos, 4));
    if (!h || !h->sameStream(like) || (h->bitrateIndex == 0) != (freeFormatBytes > 0))
        return false;
    const std::int64_t next = pos + frameLength(*h, freeFormatBytes);
    if (next == end)
        return true;
    if (end - next < 4)
        return false;
    const std::optional<Mp3Header> n = Mp3Header::parse(w.at(next, 4));
    return n && n->sameStream(*h);
}

// A free-format stream's frame length, found from where its second frame's
// header lies; 0 where none follows.
int findFreeFormatBytes(ByteWindow& w, std::int64_t pos, std::int64_t end, const Mp3Header& first) {
    const std::int64_t from = pos + 4 + first.sideInfoBytes();
    const std::int64_t to = std::min(end - 4, pos + MaxFreeFormatBytes);
    for (std::int64_t next = from; next <= to; ++next) {
        const std::optional<Mp3Header> h = Mp3Header::parse(w.at(next, 4));
        if (!h || !h->sameStream(first) || h->bitrateIndex != 0)
            continue;
        const int bytes = int(next - pos) - (first.padding ? 1 : 0);
        if (frameChainsAt(w, next, end, first, bytes))
            return bytes;
    }
    return 0;
}

// The LAME header's CRC-16, eight bytes a step by tables; where the processor
// multiplies without carries, 64 bytes a step by folding. Its audio CRC takes
// in every byte of a piece: byte by byte it would cost more than the rest of
// the cut.
constexpr std::uint16_t CrcPolynomial = 0x8005; // x^16 + x^15 + x^2 + 1

using CrcTables = std::array<std::array<std::uint16_t, 256>, 8>;

const CrcTables& crcTables() {
    static const CrcTables tables = [] {
        CrcTables t{};
        const std::uint16_t reflected = 0xA001; // CrcPolynomial with its bits reversed
        for (int i = 0; i < 256; ++i) {
            std::uint16_t c = std::uint16_t(i);
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) ? std::uint16_t((c >> 1) ^ reflected) : std::uint16_t(c >> 1);
            t[0][std::size_t(i)] = c;
        }
        for (std::size_t k = 1; k < 8; ++k)
            for (std::size_t i = 0; i < 256; ++i)
                t[k][i] = std::uint16_t(t[k - 1][i] >> 8 ^ t[0][t[k - 1][i] & 0xFF]);
        return t;
    }();
    return tables;
}

std::uint16_t crc16ByTables(const unsigned char* p, std::int64_t n, std::uint16_t crc) {
    const CrcTables& t = crcTables();
    for (; n >= 8; n -= 8, p += 8) {
        const unsigned b0 = (crc ^ p[0]) & 0xFF;
        const unsigned b1 = ((crc >> 8) ^ p[1]) & 0xFF;
        crc = std::uint16_t(t[7][b0] ^ t[6][b1] ^ t[5][p[2]] ^ t[4][p[3]] ^ t[3][p[4]] ^
                            t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
    }
    for (; n > 0; --n, ++p)
        crc = std::uint16_t((crc >> 8) ^ t[0][(crc ^ *p) & 0xFF]);
    return crc;
}

#ifdef CADELO_CLMUL_CRC

// x^k modulo the CRC's polynomial, bits reversed into the top of 64 bits:
// the form in which a carry-less product of reflected data lands one bit
// short, which the exponent one lower than the distance makes up for.
std::uint64_t foldConstant(int k) {
    std::uint32_t r = 1; // x^0
    for (int i = 0; i < k; ++i) {
        r <<= 1;
        if (r & 0x10000)
            r ^= 0x10000u | CrcPolynomial;
    }
    std::uint64_t reversed = 0;
    for (int bit = 0; bit < 16; ++bit)
        if (r & (1u << bit))
            reversed |= std::uint64_t(1) << (63 - bit);
    return reversed;
}

struct FoldConstants {
    // Moving 16 bytes on by 64 bytes, and by 16 bytes: for the low and the
    // high half of them.
    std::uint64_t by64Low = foldConstant(512 + 63), by64High = foldConstant(512 - 1);
    std::uint64_t by16Low = foldConstant(128 + 63), by16High = foldConstant(128 - 1);
};

__attribute__((target("pclmul,sse2"))) inline __m128i fold(__m128i x, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

// Each 16 bytes stand for their remainder moved on to the bytes that follow,
// which leaves the CRC as it was: the last 16 bytes so found and the few
// after them give it by the tables. An initial CRC is the first two bytes
// flipped.
__attribute__((target("pclmul,sse2"))) std::uint16_t
crc16ByFolding(const unsigned char* p, std::int64_t n, std::uint16_t crc) {
    static const FoldConstants c;
    const __m128i by64 = _mm_set_epi64x(std::int64_t(c.by64High), std::int64_t(c.by64Low));
    const __m128i by16 = _mm_set_epi64x(std::int64_t(c.by16High), std::int64_t(c.by16Low));
    auto load = [](const unsigned char* at) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    };
    __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(crc));
    __m128i x1 = load(p + 16);
    __m128i x2 = load(p + 32);
    __m128i x3 = load(p + 48);
    p += 64;
    n -= 64;
    for (; n >= 64; n -= 64, p += 64) {
        x0 = _mm_xor_si128(fold(x0, by64), load(p));
        x1 = _mm_xor_si128(fold(x1, by64), load(p + 16));
        x2 = _mm_xor_si128(fold(x2, by64), load(p + 32));
        x3 = _mm_xor_si128(fold(x3, by64), load(p + 48));
    }
    x0 = _mm_xor_si128(fold(x0, by16), x1);
    x0 = _mm_xor_si128(fold(x0, by16), x2);
    x0 = _mm_xor_si128(fold(x0, by16), x3);
    for (; n >= 16; n -= 16, p += 16)
        x0 = _mm_xor_si128(fold(x0, by16), load(p));
    unsigned char last[16];
    _mm_storeu_si128(reinterpret_cast<__m128i*>(last), x0);
    return crc16ByTables(p, n, crc16ByTables(last, 16, 0));
}

bool canFold() {
    static const bool can = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
    return can;
}

#endif

QString byteText(std::int64_t offset) {
    return QString::number(offset);
}

} // namespace

std::optional<Mp3Header> Mp3Header::parse(const unsigned char* p) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return std::nullopt;
    Mp3Header h;
    switch ((p[1] >> 3) & 3) {
    case 0:
        h.version = Version::Mpeg25;
        break;
    case 2:
        h.version = Version::Mpeg2;
        break;
    case 3:
        h.version = Version::Mpeg1;
        break;
    default:
        return std::nullopt;
    }
    const int layerBits = (p[1] >> 1) & 3;
    if (layerBits == 0)
        return std::nullopt;
    h.layer = 4 - layerBits;
    h.crc = !(p[1] & 1);
    h.bitrateIndex = p[2] >> 4;
    h.rateIndex = (p[2] >> 2) & 3;
    if (h.bitrateIndex == 15 || h.rateIndex == 3 || (p[3] & 3) == 2)
        return std::nullopt;
    h.padding = (p[2] >> 1) & 1;
    h.mono = (p[3] >> 6) == 3;
    return h;
}

void Mp3Header::store(unsigned char* p, const unsigned char* like) const {
    const int versionBits = version == Version::Mpeg1 ? 3 : version == Version::Mpeg2 ? 2 : 0;
    p[0] = 0xFF;
    p[1] = (unsigned char)(0xE0 | versionBits << 3 | (4 - layer) << 1 | (crc ? 0 : 1));
    p[2] = (unsigned char)(bitrateIndex << 4 | rateIndex << 2 | (padding ? 2 : 0) | (like[2] & 1));
    p[3] = like[3];
    if (mono)
        p[3] |= 0xC0;
}

int Mp3Header::sampleRate() const {
    const int rate = Mpeg1Rates[rateIndex];
    return version == Version::Mpeg1 ? rate : version == Version::Mpeg2 ? rate / 2 : rate / 4;
}

int Mp3Header::samplesPerFrame() const {
    if (layer == 1)
        return 384;
    return layer == 3 && version != Version::Mpeg1 ? 576 : 1152;
}

int Mp3Header::sideInfoBytes() const {
    if (version == Version::Mpeg1)
        return mono ? 17 : 32;
    return mono ? 9 : 17;
}

int Mp3Header::bitrateKbps() const {
    return version == Version::Mpeg1 ? Mpeg1Kbps[bitrateIndex] : Mpeg2Kbps[bitrateIndex];
}

int Mp3Header::frameBytes() const {
    if (bitrateIndex == 0)
        return 0;
    const int length = samplesPerFrame() / 8 * bitrateKbps() * 1000 / sampleRate();
    return length + (padding ? 1 : 0);
}

bool Mp3Header::sameStream(const Mp3Header& other) const {
    return version == other.version && layer == other.layer && rateIndex == other.rateIndex &&
           mono == other.mono;
}

std::int64_t Mp3Stream::skippedFrames() const {
    if (encoderDelay < 0)
        return 0;
    // Without delay or padding to cut, a stream shorter than its header says
    // is not decoded gapless at all.
    if (encoderDelay + std::max(encoderPadding, 0) == 0 &&
        declaredFrames > std::int64_t(frames.size()))
        return 0;
    return encoderDelay + DecoderDelay;
}

std::int64_t Mp3Stream::lengthFrames() const {
    const int spf = header.samplesPerFrame();
    const std::int64_t decoded = std::int64_t(frames.size()) * spf;
    std::int64_t end = decoded;
    // The padding is cut only where all the frames the header counts are there.
    if (encoderDelay >= 0 && declaredFrames > 0 && declaredFrames <= std::int64_t(frames.size()))
        end = std::min(end, declaredFrames * spf - std::max(encoderPadding, 0) + DecoderDelay);
    return std::max<std::int64_t>(0, end - skippedFrames());
}

std::uint16_t lameCrc16(const unsigned char* p, std::int64_t n, std::uint16_t crc) {
#ifdef CADELO_CLMUL_CRC
    if (n >= 64 && canFold())
        return crc16ByFolding(p, n, crc);
#endif
    return crc16ByTables(p, n, crc);
}

ByteWindow::ByteWindow(QByteArrayView all)
    : m_data(reinterpret_cast<const unsigned char*>(all.data())), m_end(all.size()),
      m_size(all.size()) {}

ByteWindow::ByteWindow(QIODevice& device, const QString& name)
    : m_device(&device), m_name(name), m_size(device.size()) {}

const unsigned char* ByteWindow::fetch(std::int64_t pos, std::int64_t n) {
    const auto failed = [&] {
        return AudioError(
            QStringLiteral("Cannot read %1: %2")
                .arg(QDir::toNativeSeparators(m_name),
                     m_device ? m_device->errorString() : QStringLiteral("past its end")));
    };
    if (!m_device || pos < 0 || n < 0 || pos + n > m_size)
        throw failed();
    const std::int64_t want = std::min(std::max(n, WindowLeast), m_size - pos);
    if (want > m_capacity) {
        // Room for the most asked at once from the start: the pages are the
        // system's only once read into, and growing would read them anew.
        m_capacity = std::max(want, std::min(MostAtOnce, m_size));
        m_buffer.reset(new unsigned char[std::size_t(m_capacity)]);
    }
    m_start = m_end = pos;
    m_data = m_buffer.get();
    if (!m_device->seek(pos))
        throw failed();
    while (m_end - pos < want) {
        const qint64 got = m_device->read(reinterpret_cast<char*>(m_buffer.get() + (m_end - pos)),
                                          want - (m_end - pos));
        if (got <= 0)
            break;
        m_end += got;
    }
    if (m_end - pos < n)
        throw failed();
    return m_data;
}

bool looksLikeMpegAudio(QByteArrayView bytes) {
    ByteWindow w(bytes);
    if (id3v2Length(w, 0, bytes.size()) > 0)
        return true;
    return bytes.size() >= 4 && Mp3Header::parse(w.at(0, 4)).has_value();
}

Mp3Stream scanMp3(QByteArrayView file) {
    ByteWindow w(file);
    return scanMp3(w);
}

Mp3Stream scanMp3(ByteWindow& w) {
    std::int64_t begin = 0;
    std::int64_t end = w.size();
    while (const std::int64_t tag = id3v2Length(w, begin, end)) {
        if (tag > end - begin)
            throw Mp3Refused(QStringLiteral("its ID3v2 tag is longer than the file"));
        begin += tag;
    }
    while (const std::int64_t tag = trailingTagLength(w, begin, end))
        end -= tag;

    Mp3Stream s;
    std::int64_t pos = begin;
    const std::int64_t searchEnd = std::min(end, begin + FirstFrameSearch);
    for (; pos + 4 <= searchEnd; ++pos) {
        const std::optional<Mp3Header> h = Mp3Header::parse(w.at(pos, 4));
        if (!h)
            continue;
        if (h->layer != 3)
            throw Mp3Refused(QStringLiteral("it is MPEG audio layer %1, and only layer III (MP3) "
                                            "is cut without re-encoding")
                                 .arg(h->layer == 1 ? QStringLiteral("I") : QStringLiteral("II")));
        const int freeBytes = h->bitrateIndex ? 0 : findFreeFormatBytes(w, pos, end, *h);
        if ((h->bitrateIndex || freeBytes) && frameChainsAt(w, pos, end, *h, freeBytes)) {
            s.header = *h;
            std::memcpy(s.headerBytes, w.at(pos, 4), 4);
            s.freeFormatBytes = freeBytes;
            break;
        }
    }
    if (s.headerBytes[0] != 0xFF)
        throw Mp3Refused(QStringLiteral("no MPEG audio frame is found in it"));

    s.frames.reserve(std::size_t((end - pos) / std::max(1, s.header.frameBytes() - 1) + 16));
    const std::int64_t firstFrame = pos;
    while (end - pos >= 4) {
        const std::optional<Mp3Header> h = Mp3Header::parse(w.at(pos, 4));
        const bool fits =
            h && h->sameStream(s.header) && (h->bitrateIndex == 0) == (s.freeFormatBytes > 0);
        const int bytes = fits ? frameLength(*h, s.freeFormatBytes) : 0;
        const int sideStart = fits ? 4 + (h->crc ? 2 : 0) : 0;
        if (!fits || bytes < sideStart + h->sideInfoBytes()) {
            // Junk after the last frame is no frame; frames after it mean
            // that one in the middle is damaged.
            for (std::int64_t next = pos + 1; next + 4 <= end; ++next)
                if (*w.at(next, 1) == 0xFF &&
                    frameChainsAt(w, next, end, s.header, s.freeFormatBytes))
                    throw Mp3Refused(QStringLiteral("the MPEG audio frame at byte %1 is damaged")
                                         .arg(byteText(pos)));
            break;
        }
        if (pos + bytes > end)
            break; // the last frame cut short: no decoder gives its audio
        Mp3Frame f;
        f.offset = pos;
        f.bytes = bytes;
        const unsigned char* side = w.at(pos + sideStart, 2);
        f.mainDataBegin =
            s.header.version == Mp3Header::Version::Mpeg1 ? side[0] << 1 | side[1] >> 7 : side[0];
        f.mainDataBytes = bytes - sideStart - h->sideInfoBytes();
        f.bitrateIndex = h->bitrateIndex;
        s.frames.push_back(f);
        pos += bytes;
    }
    if (s.frames.empty())
        throw Mp3Refused(QStringLiteral("no MPEG audio frame is found in it"));
    s.framesFillFile = firstFrame == begin && pos == end;

    // The Xing or LAME header frame: no audio, but the stream's length, and
    // the encoder's delay and padding in its LAME extension.
    const Mp3Frame& first = s.frames.front();
    const std::int64_t xing = first.offset + 4 + (s.header.crc ? 2 : 0) + s.header.sideInfoBytes();
    const std::int64_t firstEnd = first.offset + first.bytes;
    const unsigned char* info = firstEnd - xing >= 8 ? w.at(xing, firstEnd - xing) : nullptr;
    if (info && (std::memcmp(info, "Xing", 4) == 0 || std::memcmp(info, "Info", 4) == 0)) {
        s.hasInfoFrame = true;
        const std::uint32_t flags = bigEndian32(info + 4);
        std::int64_t at = xing + 8;
        if (flags & 1) {
            if (firstEnd - at >= 4)
                s.declaredFrames = bigEndian32(info + (at - xing));
            at += 4;
        }
        at += (flags & 2 ? 4 : 0) + (flags & 4 ? 100 : 0) + (flags & 8 ? 4 : 0);
        if (firstEnd - at >= 24) {
            s.lameExtensionOffset = at;
            const std::int64_t kept = std::min<std::int64_t>(sizeof s.lameExtension, w.size() - at);
            std::memcpy(s.lameExtension, w.at(at, kept), std::size_t(kept));
            const unsigned char* gap = s.lameExtension + 21;
            s.encoderDelay = gap[0] << 4 | gap[1] >> 4;
            s.encoderPadding = (gap[1] & 0x0F) << 8 | gap[2];
        }
        s.frames.erase(s.frames.begin());
        if (s.frames.empty())
            throw Mp3Refused(QStringLiteral("it holds no audio"));
    }
    return s;
}
