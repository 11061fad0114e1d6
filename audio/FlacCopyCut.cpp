#include "audio/FlacCopyCut.h"

#include "audio/AudioError.h"
#include "audio/FileStamp.h"
#include "audio/FlacFrames.h"
#include "audio/FreeWith.h"
#include "audio/SaveOutput.h"
#include "audio/SourceFile.h"

#include <FLAC/stream_decoder.h>
#include <FLAC/stream_encoder.h>
#include <QCryptographicHash>
#include <QDir>
#include <QIODevice>
#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <utility>

using namespace FlacFrameScan;
using Fit = FlacCopyCut::Fit;

namespace {

// Frames encoded afresh hold at most this many samples, within the
// streamable subset at every rate.
constexpr std::int64_t kEncodedBlock = 4096;
// The least block of a stream but for its last.
constexpr std::int64_t kLeastBlock = 16;
// Bytes of the piece gathered before the system is called.
constexpr qsizetype kWriteBlock = qsizetype(1) << 20;

AudioError cutError(const QString& path, const QString& why) {
    return AudioError(QStringLiteral("Cannot cut %1 without re-encoding: %2")
                          .arg(QDir::toNativeSeparators(path), why));
}

// What a reading of a file found.
struct Scanned {
    Fit verdict = Fit::ReEncoded;
    QString why;
    FlacFrames frames;
};

StampedRegistry<Scanned>& scannedFiles() {
    static StampedRegistry<Scanned> registry;
    return registry;
}

// A source's bytes: mapped where the system lets it, else read.
struct Bytes {
    SourceFile file;
    QByteArray copy;
    QByteArrayView view;

    // False with `why` set when the file cannot be read, or (`flacOnly`)
    // does not open like FLAC: then none of it is read.
    bool open(const QString& path, QString& why, bool flacOnly = false) {
        file.setSourceName(path);
        if (!file.open(QIODevice::ReadOnly)) {
            why = QStringLiteral("Cannot open %1: %2")
                      .arg(QDir::toNativeSeparators(path), file.errorString());
            return false;
        }
        if (flacOnly && !looksLikeFlac(file)) {
            why = QStringLiteral("it is not a FLAC file");
            return false;
        }
        const qint64 size = file.size();
        if (uchar* mapped = size > 0 ? file.map(0, size) : nullptr) {
            view = QByteArrayView(reinterpret_cast<const char*>(mapped), size);
            return true;
        }
        copy = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            why = QStringLiteral("Cannot read %1: %2")
                      .arg(QDir::toNativeSeparators(path), file.errorString());
            return false;
        }
        view = copy;
        return true;
    }
};

std::shared_ptr<const Scanned> scanFile(const QString& path, Bytes& bytes) {
    const FileStamp stamp = FileStamp::of(path);
    auto s = std::make_shared<Scanned>();
    // What cannot be read is left to the decoder, which says why.
    if (!bytes.open(path, s->why, true))
        return s;
    switch (scan(bytes.view, s->frames, s->why)) {
    case Verdict::Sound:
        s->verdict = Fit::Copied;
        break;
    case Verdict::NotHandled:
        s->verdict = Fit::ReEncoded;
        break;
    case Verdict::Damaged:
        s->verdict = Fit::Damaged;
        break;
    }
    scannedFiles().store(path, stamp, s);
    return s;
}

// "fLaC" and STREAMINFO as the last metadata block: what a decoder of the
// frames that follow needs.
QByteArray streamHead(const FlacStreamInfo& info) {
    QByteArray head("fLaC\x80\x00\x00\x22", 8);
    const auto block = info.encoded();
    head.append(reinterpret_cast<const char*>(block.data()), qsizetype(block.size()));
    return head;
}

// Decodes a stream given in parts by `more` (false at the end), handing the
// samples to `samples`; false with `why` set when it does not decode whole.
class StreamDecode {
  public:
    std::function<bool(QByteArray& into)> more;
    std::function<void(const FLAC__Frame* frame, const FLAC__int32* const channels[])> samples;

    bool run(QString& why) {
        CPtr<FLAC__StreamDecoder, FLAC__stream_decoder_delete> decoder(FLAC__stream_decoder_new());
        if (!decoder) {
            why = QStringLiteral("out of memory");
            return false;
        }
        if (FLAC__stream_decoder_init_stream(decoder.get(), &StreamDecode::read, nullptr, nullptr,
                                             nullptr, nullptr, &StreamDecode::write, nullptr,
                                             &StreamDecode::error,
                                             this) != FLAC__STREAM_DECODER_INIT_STATUS_OK) {
            why = QStringLiteral("the FLAC decoder cannot start");
            return false;
        }
        const bool done = FLAC__stream_decoder_process_until_end_of_stream(decoder.get());
        FLAC__stream_decoder_finish(decoder.get());
        if (!m_failure.isEmpty()) {
            why = m_failure;
            return false;
        }
        if (!done) {
            why = QStringLiteral("the frames do not decode");
            return false;
        }
        return true;
    }

  private:
    QByteArray m_part;
    qsizetype m_at = 0;
    QString m_failure;

    static FLAC__StreamDecoderReadStatus read(const FLAC__StreamDecoder*, FLAC__byte buffer[],
                                              size_t* bytes, void* client) {
        auto* self = static_cast<StreamDecode*>(client);
        try {
            while (self->m_at == self->m_part.size()) {
                self->m_part.clear();
                self->m_at = 0;
                if (!self->more(self->m_part)) {
                    *bytes = 0;
                    return FLAC__STREAM_DECODER_READ_STATUS_END_OF_STREAM;
                }
            }
        } catch (const AudioError& e) {
            self->m_failure = e.message();
            return FLAC__STREAM_DECODER_READ_STATUS_ABORT;
        }
        const size_t n = std::min(*bytes, size_t(self->m_part.size() - self->m_at));
        std::memcpy(buffer, self->m_part.constData() + self->m_at, n);
        self->m_at += qsizetype(n);
        *bytes = n;
        return FLAC__STREAM_DECODER_READ_STATUS_CONTINUE;
    }
    static FLAC__StreamDecoderWriteStatus write(const FLAC__StreamDecoder*,
                                                const FLAC__Frame* frame,
                                                const FLAC__int32* const buffer[], void* client) {
        static_cast<StreamDecode*>(client)->samples(frame, buffer);
        return FLAC__STREAM_DECODER_WRITE_STATUS_CONTINUE;
    }
    static void error(const FLAC__StreamDecoder*, FLAC__StreamDecoderErrorStatus status,
                      void* client) {
        auto* self = static_cast<StreamDecode*>(client);
        if (self->m_failure.isEmpty())
            self->m_failure =
                QStringLiteral("a frame does not decode (%1)")
                    .arg(QString::fromLatin1(FLAC__StreamDecoderErrorStatusString[status]));
    }
};

} // namespace

struct FlacCopyCut::State {
    QString path;
    int compression = 5;
    bool signatures = true;
    Bytes bytes;
    std::shared_ptr<const Scanned> scanned;

    const FlacFrames& found() const { return scanned->frames; }
    const FlacStreamInfo& info() const { return scanned->frames.info; }
    const unsigned char* data() const {
        return reinterpret_cast<const unsigned char*>(bytes.view.data());
    }

    // The samples [from, to) of the source, interleaved, decoded from its
    // frames that hold them.
    std::vector<FLAC__int32> decode(std::int64_t from, std::int64_t to) const {
        const std::vector<FlacFrame>& frames = found().frames;
        const auto holds = [](const FlacFrame& f, std::int64_t s) {
            return f.firstSample + f.samples <= s;
        };
        const size_t first =
            size_t(std::partition_point(frames.begin(), frames.end(),
                                        [&](const FlacFrame& f) { return holds(f, from); }) -
                   frames.begin());
        size_t last = first;
        while (last + 1 < frames.size() && frames[last + 1].firstSample < to)
            ++last;
        const int channels = info().channels;
        std::vector<FLAC__int32> out;
        out.reserve(size_t((to - from) * channels));
        std::int64_t at = frames[first].firstSample;
        bool given = false;
        StreamDecode decoder;
        decoder.more = [&](QByteArray& into) {
            if (given)
                return false;
            given = true;
            into = streamHead(info());
            into.append(
                bytes.view.sliced(frames[first].offset,
                                  frames[last].offset + frames[last].bytes - frames[first].offset));
            return true;
        };
        decoder.samples = [&](const FLAC__Frame* frame, const FLAC__int32* const buffer[]) {
            const std::int64_t n = frame->header.blocksize;
            for (std::int64_t i = std::max<std::int64_t>(0, from - at); i < n && at + i < to; ++i)
                for (int c = 0; c < channels; ++c)
                    out.push_back(buffer[c][i]);
            at += n;
        };
        QString why;
        if (!decoder.run(why))
            throw cutError(path, why);
        if (std::int64_t(out.size()) != (to - from) * channels)
            throw cutError(path, QStringLiteral("its frames hold other samples than they say"));
        return out;
    }

    // The frames libFLAC makes of `samples` (interleaved), each whole, in
    // blocks of at least kLeastBlock samples but for the last.
    std::vector<QByteArray> encode(const std::vector<FLAC__int32>& samples) const {
        const FlacStreamInfo& f = info();
        const std::int64_t frames = std::int64_t(samples.size()) / f.channels;
        if (frames == 0)
            return {};
        const std::int64_t blocks = (frames + kEncodedBlock - 1) / kEncodedBlock;
        const std::int64_t block = std::max(kLeastBlock, (frames + blocks - 1) / blocks);
        std::vector<QByteArray> out;
        for (bool subset : {true, false}) {
            CPtr<FLAC__StreamEncoder, FLAC__stream_encoder_delete> e(FLAC__stream_encoder_new());
            if (!e)
                throw cutError(path, QStringLiteral("out of memory"));
            FLAC__StreamEncoder* enc = e.get();
            FLAC__stream_encoder_set_channels(enc, unsigned(f.channels));
            FLAC__stream_encoder_set_bits_per_sample(enc, unsigned(f.bits));
            FLAC__stream_encoder_set_sample_rate(enc, unsigned(f.rate));
            FLAC__stream_encoder_set_compression_level(enc,
                                                       unsigned(std::clamp(compression, 0, 8)));
            FLAC__stream_encoder_set_blocksize(enc, unsigned(block));
            FLAC__stream_encoder_set_streamable_subset(enc, subset);
            const FLAC__StreamEncoderInitStatus status = FLAC__stream_encoder_init_stream(
                enc, &State::encoded, nullptr, nullptr, nullptr, &out);
            // A rate that frame headers cannot name is outside the subset.
            if (status == FLAC__STREAM_ENCODER_INIT_STATUS_NOT_STREAMABLE && subset)
                continue;
            if (status != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
                throw cutError(path,
                               QString::fromLatin1(FLAC__StreamEncoderInitStatusString[status]));
            const bool written =
                FLAC__stream_encoder_process_interleaved(enc, samples.data(), unsigned(frames)) &&
                FLAC__stream_encoder_finish(enc);
            if (!written)
                throw cutError(
                    path, QString::fromLatin1(FLAC__stream_encoder_get_resolved_state_string(enc)));
            break;
        }
        return out;
    }
    static FLAC__StreamEncoderWriteStatus encoded(const FLAC__StreamEncoder*,
                                                  const FLAC__byte buffer[], size_t bytes,
                                                  uint32_t samples, uint32_t, void* client) {
        // Metadata comes with no samples: the piece has its own.
        if (samples > 0)
            static_cast<std::vector<QByteArray>*>(client)->emplace_back(
                reinterpret_cast<const char*>(buffer), qsizetype(bytes));
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    }
};

namespace {

// A piece's frames as they are written: renumbered from its first sample,
// gathered into blocks for the system, with the sizes STREAMINFO gives.
class PieceFrames {
  public:
    PieceFrames(const FlacStreamInfo& source) : m_source(source) {
        m_block.reserve(kWriteBlock + 65536);
    }

    // A frame of the source's or the encoder's, `bytes` long, its header read.
    void add(const unsigned char* frame, qsizetype bytes, const FlacFrameHeader& h) {
        unsigned char header[24];
        const int headerBytes = renumberedHeader(frame, h, std::uint64_t(m_samples), header);
        const qsizetype body = bytes - h.bytes - 2;
        const std::uint16_t oldCrc = std::uint16_t((frame[bytes - 2] << 8) | frame[bytes - 1]);
        const std::uint16_t crc =
            crc16Renumbered(oldCrc, frame, h.bytes, header, headerBytes, body);
        m_block.append(reinterpret_cast<const char*>(header), headerBytes);
        m_block.append(reinterpret_cast<const char*>(frame + h.bytes), body);
        m_block.append(char(crc >> 8));
        m_block.append(char(crc & 0xFF));
        const int written = int(headerBytes + body + 2);
        m_minFrame = std::min(m_minFrame, written);
        m_maxFrame = std::max(m_maxFrame, written);
        if (m_lastBlock > 0)
            m_minBlock = std::min(m_minBlock, m_lastBlock);
        m_lastBlock = h.blockSize;
        m_maxBlock = std::max(m_maxBlock, h.blockSize);
        m_samples += h.blockSize;
    }
    // Of the encoder, whose frames are of the source's stream.
    void add(const QByteArray& frame) {
        FlacFrameHeader h;
        const auto* p = reinterpret_cast<const unsigned char*>(frame.constData());
        if (!readHeader(p, size_t(frame.size()), m_source, h))
            throw AudioError(QStringLiteral("libFLAC made a frame it cannot read back"));
        add(p, frame.size(), h);
    }

    bool full() const { return m_block.size() >= kWriteBlock; }
    // Takes the frames gathered so far.
    QByteArray take() { return std::exchange(m_block, QByteArray()); }

    std::int64_t samples() const { return m_samples; }
    // STREAMINFO of the frames added, without the MD5.
    FlacStreamInfo info() const {
        FlacStreamInfo i = m_source;
        i.totalSamples = m_samples;
        const int least = int(kLeastBlock);
        i.maxBlock = std::max(least, m_maxBlock);
        i.minBlock =
            std::clamp(m_minBlock == INT_MAX ? m_lastBlock : m_minBlock, least, i.maxBlock);
        i.minFrameBytes = m_samples > 0 ? m_minFrame : 0;
        i.maxFrameBytes = m_maxFrame;
        i.md5 = {};
        return i;
    }

  private:
    const FlacStreamInfo& m_source;
    QByteArray m_block;
    std::int64_t m_samples = 0;
    int m_minBlock = INT_MAX; // of all but the last
    int m_maxBlock = 0;
    int m_lastBlock = 0;
    int m_minFrame = INT_MAX;
    int m_maxFrame = 0;
};

// Writes a frame's samples to `p` as FLAC's MD5 takes them: interleaved,
// little endian, in `Bytes` bytes each.
template <int Bytes>
void packSamples(char* p, const FLAC__int32* const buffer[], unsigned n, int channels) {
    for (unsigned i = 0; i < n; ++i)
        for (int c = 0; c < channels; ++c) {
            const FLAC__int32 v = buffer[c][i];
            for (int b = 0; b < Bytes; ++b)
                *p++ = char(v >> (8 * b));
        }
}

QByteArray vorbisCommentBlock(const QList<QByteArray>& comments, bool last) {
    QByteArray body;
    const auto putLe32 = [&body](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            body.append(char((v >> (8 * i)) & 0xFF));
    };
    const QByteArray vendor(FLAC__VENDOR_STRING);
    putLe32(std::uint32_t(vendor.size()));
    body.append(vendor);
    putLe32(std::uint32_t(comments.size()));
    for (const QByteArray& c : comments) {
        putLe32(std::uint32_t(c.size()));
        body.append(c);
    }
    QByteArray block;
    block.append(char((last ? 0x80 : 0) | 4));
    block.append(char((body.size() >> 16) & 0xFF));
    block.append(char((body.size() >> 8) & 0xFF));
    block.append(char(body.size() & 0xFF));
    return block + body;
}

} // namespace

FlacCopyCut::Fit FlacCopyCut::fit(const QString& path, QString* why) {
    std::shared_ptr<const Scanned> s = scannedFiles().find(path);
    if (!s) {
        Bytes bytes;
        s = scanFile(path, bytes);
    }
    if (why)
        *why = s->why;
    return s->verdict;
}

FlacCopyCut::FlacCopyCut(const QString& path, int compression) : d(std::make_unique<State>()) {
    d->path = path;
    d->compression = compression;
    std::shared_ptr<const Scanned> s = scannedFiles().find(path);
    QString why;
    if (s && !d->bytes.open(path, why))
        throw AudioError(why);
    if (!s)
        s = scanFile(path, d->bytes);
    // Once cut, a source is read again before the next run cuts it.
    scannedFiles().forget(path);
    if (s->verdict != Fit::Copied)
        throw cutError(path, s->why);
    d->scanned = std::move(s);
}

FlacCopyCut::~FlacCopyCut() = default;

int FlacCopyCut::sampleRate() const {
    return d->info().rate;
}

int FlacCopyCut::channels() const {
    return d->info().channels;
}

int FlacCopyCut::bitsPerSample() const {
    return d->info().bits;
}

std::int64_t FlacCopyCut::lengthFrames() const {
    return d->found().samples();
}

std::int64_t FlacCopyCut::lengthMs() const {
    return lengthFrames() * 1000 / std::max(1, sampleRate());
}

void FlacCopyCut::setSignatures(bool on) {
    d->signatures = on;
}

void FlacCopyCut::writePiece(QIODevice& out, std::int64_t begin, std::int64_t end,
                             const Tags& tags) {
    const std::vector<FlacFrame>& frames = d->found().frames;
    const FlacStreamInfo& source = d->info();
    end = std::clamp<std::int64_t>(end, 0, lengthFrames());
    begin = std::clamp<std::int64_t>(begin, 0, end);
    if (out.isSequential())
        throw AudioError(QStringLiteral("Cannot write a FLAC piece to a stream"));

    // The source's frames wholly inside [begin, end) are [first, stop).
    size_t first =
        size_t(std::partition_point(frames.begin(), frames.end(),
                                    [&](const FlacFrame& f) { return f.firstSample < begin; }) -
               frames.begin());
    size_t stop = size_t(
        std::partition_point(frames.begin(), frames.end(),
                             [&](const FlacFrame& f) { return f.firstSample + f.samples <= end; }) -
        frames.begin());
    stop = std::max(stop, first);
    // A head too short for a block of its own takes the frames after it.
    std::int64_t headEnd = first < stop ? frames[first].firstSample : end;
    while (first < stop && headEnd > begin && headEnd - begin < kLeastBlock) {
        headEnd += frames[first].samples;
        ++first;
    }
    if (first == stop)
        headEnd = end;
    const std::int64_t tailBegin =
        first < stop ? frames[stop - 1].firstSample + frames[stop - 1].samples : end;

    // Encoded before anything is written: a source frame that does not
    // decode leaves no piece behind.
    const std::vector<QByteArray> head =
        headEnd > begin ? d->encode(d->decode(begin, headEnd)) : std::vector<QByteArray>();
    const std::vector<QByteArray> tail =
        end > tailBegin ? d->encode(d->decode(tailBegin, end)) : std::vector<QByteArray>();

    const QByteArray streamInfoPlaceholder = streamHead(source);
    QByteArray metadata = streamInfoPlaceholder;
    metadata[4] = 0; // not the last block: the comments follow
    metadata += vorbisCommentBlock(tags.comments, true);
    const qint64 start = out.pos();
    writeAllTo(out, metadata.constData(), metadata.size());

    PieceFrames piece(source);
    // The piece's frames in order, a block of them at a time; false at the end.
    size_t next = 0; // of head, then of [first, stop), then of tail
    const size_t total = head.size() + (stop - first) + tail.size();
    const auto nextBlock = [&](QByteArray& into) {
        while (next < total && !piece.full()) {
            if (next < head.size()) {
                piece.add(head[next]);
            } else if (next < head.size() + (stop - first)) {
                const FlacFrame& f = frames[first + (next - head.size())];
                const unsigned char* p = d->data() + f.offset;
                FlacFrameHeader h;
                readHeader(p, size_t(f.bytes), source, h);
                piece.add(p, f.bytes, h);
            } else {
                piece.add(tail[next - head.size() - (stop - first)]);
            }
            ++next;
        }
        into = piece.take();
        if (into.isEmpty())
            return false;
        writeAllTo(out, into.constData(), into.size());
        return true;
    };

    FlacStreamInfo info;
    if (d->signatures && end > begin) {
        // The MD5 of the samples as the piece gives them: interleaved, little
        // endian, in as many bytes as the depth takes.
        QCryptographicHash md5(QCryptographicHash::Md5);
        const int sampleBytes = (source.bits + 7) / 8;
        const int channels = source.channels;
        std::vector<char> packed;
        std::int64_t decoded = 0;
        bool headGiven = false;
        StreamDecode decode;
        decode.more = [&](QByteArray& into) {
            if (!headGiven) {
                headGiven = true;
                into = streamHead(source);
                return true;
            }
            return nextBlock(into);
        };
        decode.samples = [&](const FLAC__Frame* frame, const FLAC__int32* const buffer[]) {
            const unsigned n = frame->header.blocksize;
            packed.resize(size_t(n) * size_t(channels * sampleBytes));
            char* p = packed.data();
            if (sampleBytes == 1)
                packSamples<1>(p, buffer, n, channels);
            else if (sampleBytes == 2)
                packSamples<2>(p, buffer, n, channels);
            else
                packSamples<3>(p, buffer, n, channels);
            md5.addData(QByteArrayView(packed.data(), qsizetype(packed.size())));
            decoded += n;
        };
        QString why;
        if (!decode.run(why))
            throw cutError(d->path, QStringLiteral("the piece does not decode: %1").arg(why));
        info = piece.info();
        if (decoded != info.totalSamples)
            throw cutError(d->path, QStringLiteral("the piece decodes to %1 samples, not %2")
                                        .arg(decoded)
                                        .arg(info.totalSamples));
        const QByteArray sum = md5.result();
        std::copy(sum.begin(), sum.end(), info.md5.begin());
    } else {
        QByteArray block;
        while (nextBlock(block)) {
        }
        info = piece.info();
    }
    if (piece.samples() != end - begin)
        throw cutError(d->path, QStringLiteral("the piece holds other samples than its span"));

    // STREAMINFO, now that the piece is known.
    const qint64 after = out.pos();
    const auto block = info.encoded();
    if (!out.seek(start + 8))
        throw AudioError(out.errorString());
    writeAllTo(out, reinterpret_cast<const char*>(block.data()), qint64(block.size()));
    if (!out.seek(after))
        throw AudioError(out.errorString());
}
