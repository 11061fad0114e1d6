#include "audio/Mp3CopyCut.h"

#include "audio/AudioError.h"
#include "audio/FileStamp.h"
#include "audio/Mp3Frames.h"
#include "audio/OggPageReader.h"
#include "audio/SaveOutput.h"
#include "audio/SourceFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileDevice>
#include <QFileInfo>
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>

namespace {

// As in Mp3Frames: the decoder's own delay, which a LAME header's delay
// does not count.
constexpr int DecoderDelay = 529;
// The LAME header keeps delay and padding in twelve bits each.
constexpr int MaxGap = 4095;
// Side information, "Xing" with frames, bytes, TOC and quality, the LAME
// extension: what the header frame must hold after its four header bytes.
constexpr int XingBytes = 120;
constexpr int LameBytes = 36;
// A piece is read in spans of at most this many bytes (twice where it is
// longer: for the CRC, which goes before its audio, and for its file).
constexpr std::int64_t WindowBytes = ByteWindow::MostAtOnce;
// The bytes before a piece's first frame read with it: frames of MPEG-2 and
// the reservoir's reach back (255 bytes, 511 for MPEG-1) a frame or two.
constexpr std::int64_t ReservoirRead = 8 * 1024;

void putBigEndian32(unsigned char* p, std::uint32_t v) {
    p[0] = (unsigned char)(v >> 24);
    p[1] = (unsigned char)(v >> 16);
    p[2] = (unsigned char)(v >> 8);
    p[3] = (unsigned char)v;
}

AudioError cutError(const QString& path, const QString& why) {
    return AudioError(QStringLiteral("Cannot cut %1 without re-encoding: %2")
                          .arg(QDir::toNativeSeparators(path), why));
}

// The frames of the file last scanned, until it changes: the check before a
// run and the cut that follows find the same frames, and one pass is enough.
using Stamp = FileStamp;
constexpr auto stampOf = &FileStamp::of;

// A source scanned: its frames.
struct Source {
    QString path;
    Stamp stamp;
    Mp3Stream stream;
};

// `file` opened on `path` to be read in order, a window at a time.
SourceFile& openToRead(SourceFile& file, const QString& path) {
    file.setSourceName(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw AudioError(QStringLiteral("Cannot open %1: %2")
                             .arg(QDir::toNativeSeparators(path), file.errorString()));
    return file;
}

std::shared_ptr<Source> openSource(const QString& path) {
    auto s = std::make_shared<Source>();
    s->path = path;
    s->stamp = stampOf(path);
    SourceFile file;
    ByteWindow bytes(openToRead(file, path), path);
    s->stream = scanMp3(bytes);
    if (s->stream.lengthFrames() <= 0)
        throw Mp3Refused(QStringLiteral("it holds no audio"));
    return s;
}

// The source last found fit, until it changes or is cut: the reader's
// length, the check before a run and the cut that follow find the same
// frames.
struct SourceCache {
    std::mutex lock;
    std::shared_ptr<Source> source;
};

SourceCache& sourceCache() {
    static SourceCache cache;
    return cache;
}

// The cached source of `path` if it is still as found, taken out of the
// cache when `take`.
std::shared_ptr<Source> cachedSource(const QString& path, bool take) {
    SourceCache& cache = sourceCache();
    const std::lock_guard<std::mutex> lock(cache.lock);
    if (!cache.source || cache.source->path != path || cache.source->stamp != stampOf(path))
        return nullptr;
    return take ? std::move(cache.source) : cache.source;
}

// The source of `path` found fit, scanned now unless it was before and is
// as it was then.
std::shared_ptr<Source> fitSource(const QString& path) {
    if (std::shared_ptr<Source> cached = cachedSource(path, false))
        return cached;
    std::shared_ptr<Source> source = openSource(path);
    SourceCache& cache = sourceCache();
    const std::lock_guard<std::mutex> lock(cache.lock);
    if (source->stamp == stampOf(path))
        cache.source = source;
    return source;
}

struct Mp3State {
    std::shared_ptr<Source> source;
    const QString& path;
    const Mp3Stream& stream;
    SourceFile file;
    ByteWindow bytes;

    explicit Mp3State(std::shared_ptr<Source> opened)
        : source(std::move(opened)), path(source->path), stream(source->stream),
          bytes(openToRead(file, path), path) {}

    // Runs `use(bytes, count)` over the source's bytes [from, to), as much
    // at a time as the window holds.
    template <class Use> void eachSpan(std::int64_t from, std::int64_t to, Use use) {
        for (std::int64_t at = from; at < to;) {
            const std::int64_t n = std::min(to - at, WindowBytes);
            use(bytes.at(at, n), n);
            at += n;
        }
    }

    const Mp3Frame& frame(std::int64_t k) const { return stream.frames[std::size_t(k)]; }

    // The bytes of main data that frames from `first` on take from before
    // it (at most the reservoir's reach), as the source has them: the end
    // of the main data of the frames before `first`.
    QByteArray reservoirBefore(std::int64_t first) {
        const int reach = stream.header.version == Mp3Header::Version::Mpeg1 ? 511 : 255;
        std::int64_t wanted = 0;
        std::int64_t after = 0; // main data from `first` up to frame j
        for (std::int64_t j = first; j < std::int64_t(stream.frames.size()) && after <= reach;
             ++j) {
            wanted = std::max<std::int64_t>(wanted, frame(j).mainDataBegin - after);
            after += frame(j).mainDataBytes;
        }
        QByteArray tail;
        for (std::int64_t j = first - 1; j >= 0 && tail.size() < wanted; --j) {
            const Mp3Frame& f = frame(j);
            const std::int64_t take = std::min<std::int64_t>(wanted - tail.size(), f.mainDataBytes);
            tail.prepend(reinterpret_cast<const char*>(bytes.at(f.offset + f.bytes - take, take)),
                         take);
        }
        return tail;
    }

    // A header of the stream's format for a frame of at least `needed`
    // bytes: at the bitrate `preferred` when its frames are long enough,
    // else the lowest that is; a free-format stream's own length where that
    // suffices.
    Mp3Header frameHeader(int needed, int preferred, int& frameBytes) const {
        Mp3Header h = stream.header;
        h.crc = false;
        h.padding = false;
        if (stream.freeFormatBytes >= needed) {
            h.bitrateIndex = 0;
            frameBytes = stream.freeFormatBytes;
            return h;
        }
        h.bitrateIndex = preferred;
        if (preferred == 0 || h.frameBytes() < needed)
            for (h.bitrateIndex = 1; h.bitrateIndex < 14 && h.frameBytes() < needed;)
                ++h.bitrateIndex;
        frameBytes = h.frameBytes();
        return h;
    }

    // A frame of silence (its granules hold no bits) whose main data ends in
    // `reservoir`: it leaves the decoder as an empty start does, with the
    // bytes the next frames take from before them in place.
    QByteArray leadFrame(const QByteArray& reservoir, int preferred) const {
        const int side = stream.header.sideInfoBytes();
        int length = 0;
        const Mp3Header h = frameHeader(4 + side + int(reservoir.size()), preferred, length);
        QByteArray out(length, '\0');
        h.store(reinterpret_cast<unsigned char*>(out.data()), stream.headerBytes);
        out.replace(length - reservoir.size(), reservoir.size(), reservoir);
        return out;
    }

    // The Xing/LAME header frame of a piece of `lead` and the source's
    // frames [first, last); `lead` holds `leadFrames` frames.
    QByteArray infoFrame(const QByteArray& lead, int leadFrames, std::int64_t first,
                         std::int64_t last, int delay, int padding) {
        const int side = stream.header.sideInfoBytes();
        const int rate = frame(first).bitrateIndex;
        bool constant = lead.isEmpty() || (uchar(lead[2]) >> 4) == rate;
        for (std::int64_t k = first; k < last && constant; ++k)
            constant = frame(k).bitrateIndex == rate;
        int length = 0;
        const Mp3Header h = frameHeader(4 + side + XingBytes + LameBytes, rate, length);
        QByteArray out(length, '\0');
        auto* p = reinterpret_cast<unsigned char*>(out.data());
        h.store(p, stream.headerBytes);

        const std::int64_t sourceBytes =
            frame(last - 1).offset + frame(last - 1).bytes - frame(first).offset;
        const std::int64_t total = length + lead.size() + sourceBytes;
        const std::int64_t frames = last - first + leadFrames;
        unsigned char* xing = p + 4 + side;
        std::memcpy(xing, constant ? "Info" : "Xing", 4);
        putBigEndian32(xing + 4, 0x0F); // frames, bytes, table of contents, quality
        putBigEndian32(xing + 8, std::uint32_t(frames));
        putBigEndian32(xing + 12, std::uint32_t(total));
        // The table of contents: where (in 256ths of the bytes) each
        // hundredth of the piece begins.
        for (int i = 0; i < 100; ++i) {
            const std::int64_t k = frames * i / 100 - leadFrames;
            const std::int64_t at =
                length + (k < 0 ? 0 : lead.size() + frame(first + k).offset - frame(first).offset);
            xing[16 + i] = (unsigned char)std::min<std::int64_t>(255, at * 256 / total);
        }

        // The LAME extension: the source's own where it has one, but the
        // loudness of the whole source says nothing of a piece. Decoders read
        // its delay and padding only under an encoder name of this form.
        unsigned char* lame = xing + XingBytes;
        if (stream.lameExtensionOffset > 0)
            std::memcpy(lame, stream.lameExtension, LameBytes);
        else
            std::memcpy(lame, "LAME3.100", 9);
        std::memset(lame + 11, 0, 8);
        lame[21] = (unsigned char)(delay >> 4);
        lame[22] = (unsigned char)((delay & 0x0F) << 4 | padding >> 8);
        lame[23] = (unsigned char)(padding & 0xFF);
        putBigEndian32(lame + 28, std::uint32_t(total));
        std::uint16_t audioCrc =
            lameCrc16(reinterpret_cast<const unsigned char*>(lead.constData()), lead.size());
        eachSpan(
            frame(first).offset, frame(first).offset + sourceBytes,
            [&](const unsigned char* p, std::int64_t n) { audioCrc = lameCrc16(p, n, audioCrc); });
        lame[32] = (unsigned char)(audioCrc >> 8);
        lame[33] = (unsigned char)audioCrc;
        const std::uint16_t tagCrc = lameCrc16(p, lame + 34 - p);
        lame[34] = (unsigned char)(tagCrc >> 8);
        lame[35] = (unsigned char)tagCrc;
        return out;
    }
};

class Mp3Cut final : public CopyCut {
  public:
    explicit Mp3Cut(std::shared_ptr<Source> source) : d(std::move(source)) {}

    int sampleRate() const override { return d.stream.header.sampleRate(); }
    int channels() const override { return d.stream.header.channels(); }
    std::int64_t lengthFrames() const override { return d.stream.lengthFrames(); }
    std::int64_t lengthMs() const override { return lengthFrames() * 1000 / sampleRate(); }
    TagForm tagForm() const override { return TagForm::Id3v2; }
    void writePiece(QIODevice& out, std::int64_t begin, std::int64_t end,
                    const Tags& tags) override;

  private:
    Mp3State d;
};

} // namespace

bool Mp3CopyCut::isMpegAudio(const QString& path) {
    SourceFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return looksLikeMpegAudio(file.read(16));
}

QString Mp3CopyCut::problem(const QString& path) {
    try {
        fitSource(path);
        return QString();
    } catch (const Mp3Refused& e) {
        return e.message();
    } catch (const AudioError& e) {
        return e.message();
    }
}

std::shared_ptr<const Mp3Stream> Mp3CopyCut::frames(const QString& path) {
    try {
        std::shared_ptr<Source> source = fitSource(path);
        return std::shared_ptr<const Mp3Stream>(source, &source->stream);
    } catch (const Mp3Refused&) {
        return nullptr;
    } catch (const AudioError&) {
        return nullptr;
    }
}

std::unique_ptr<CopyCut> Mp3CopyCut::open(const QString& path) {
    try {
        std::shared_ptr<Source> source = cachedSource(path, true);
        return std::make_unique<Mp3Cut>(source ? std::move(source) : openSource(path));
    } catch (const Mp3Refused& e) {
        throw cutError(path, e.message());
    }
}

void Mp3Cut::writePiece(QIODevice& out, std::int64_t begin, std::int64_t end, const Tags& tags) {
    const Mp3Stream& s = d.stream;
    const std::int64_t length = s.lengthFrames();
    end = std::clamp<std::int64_t>(end, 0, length);
    begin = std::clamp<std::int64_t>(begin, 0, end);
    const std::int64_t spf = s.header.samplesPerFrame();
    const std::int64_t count = std::int64_t(s.frames.size());
    // Positions in the decode of all the source's frames.
    const std::int64_t from = begin + s.skippedFrames();
    const std::int64_t to = end + s.skippedFrames();
    const std::int64_t holding = std::min(from / spf, count - 1);
    const std::int64_t last = std::clamp((to - 1) / spf, holding, count - 1) + 1;

    // A frame's audio overlaps that of the granule before it, which in turn
    // overlaps the one before that: the piece starts two granules early (a
    // frame of MPEG-1, two of MPEG-2). Their main data may lie in frames
    // further back, whose bytes a frame of silence carries; before the
    // source's first frame that frame stands for the decoder's empty start.
    // So the LAME header's twelve bits of delay always suffice.
    const bool mpeg1 = s.header.version == Mp3Header::Version::Mpeg1;
    const std::int64_t early = mpeg1 ? 1 : 2;
    std::int64_t first = std::max<std::int64_t>(0, holding - early);
    // The piece's bytes and the reservoir's before them read at once where
    // they fit in the window: the CRC and the piece's file take them from there.
    const std::int64_t pieceEnd = d.frame(last - 1).offset + d.frame(last - 1).bytes;
    const std::int64_t readFrom =
        std::max(s.frames.front().offset, d.frame(first).offset - ReservoirRead);
    if (pieceEnd - readFrom <= WindowBytes)
        d.bytes.at(readFrom, pieceEnd - readFrom);
    QByteArray reservoir = d.reservoirBefore(first);
    int leadFrames = holding - early < 0 || !reservoir.isEmpty() ? 1 : 0;
    // libmpg123's synthesis alternates between two buffers granule by
    // granule, summing in another order in each: a one-granule frame comes
    // out bit for bit as in the source's decode only at the parity it has
    // there, which for a source decoded from past its encoder delay (the
    // reader seeks there first) is the other one.
    const std::int64_t parity = s.skippedFrames() > 0 ? 1 : 0;
    if (!mpeg1 && (first - leadFrames + parity) % 2 != 0) {
        if (first > 0) {
            reservoir = d.reservoirBefore(--first);
            leadFrames = reservoir.isEmpty() ? 0 : 1;
        }
        if ((first - leadFrames + parity) % 2 != 0)
            ++leadFrames;
    }
    QByteArray lead;
    for (int i = 0; i < leadFrames; ++i)
        lead += d.leadFrame(i + 1 == leadFrames ? reservoir : QByteArray(),
                            d.frame(first).bitrateIndex);
    const std::int64_t delay = from - (first - leadFrames) * spf - DecoderDelay;
    const std::int64_t frames = last - first + leadFrames;
    const std::int64_t padding = frames * spf - (to - (first - leadFrames) * spf) + DecoderDelay;
    if (delay < 0 || delay > MaxGap || padding < 0 || padding > MaxGap)
        throw cutError(d.path, QStringLiteral("the piece cannot be marked out in a LAME header"));

    QByteArray head = tags.id3v2;
    head += d.infoFrame(lead, leadFrames, first, last, int(delay), int(padding));
    head += lead;
    writeAllTo(out, head.constData(), head.size());
    const Mp3Frame& a = s.frames[std::size_t(first)];
    const Mp3Frame& z = s.frames[std::size_t(last - 1)];
    d.eachSpan(a.offset, z.offset + z.bytes, [&](const unsigned char* p, std::int64_t n) {
        writeAllTo(out, reinterpret_cast<const char*>(p), n);
    });
}
