#include "audio/FlacEncoder.h"

#include "audio/AudioError.h"
#include "audio/FreeWith.h"
#include "audio/SaveOutput.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Frames converted to integers at a time: the buffer stays small however
// large the caller's blocks are.
constexpr std::int64_t kChunkFrames = 4096;

} // namespace

struct FlacEncoder::Impl {
    FlacFormat format{44100, 2, 16, 5};
    QList<QByteArray> comments;

    // One open file. The encoder goes before the comment block it points to,
    // and an uncommitted QSaveFile removes its temporary on destruction.
    struct Stream {
        QSaveFile file;
        QString path;
        int rate = 0;
        int channels = 0;
        int bits = 16;
        QString writeError; // the system's reason of a refused write
        CPtr<FLAC__StreamMetadata, FLAC__metadata_object_delete> comments;
        CPtr<FLAC__StreamEncoder, FLAC__stream_encoder_delete> encoder;
        std::vector<FLAC__int32> ints;

        QString failure() const {
            if (!writeError.isEmpty())
                return QStringLiteral("Cannot write %1: %2").arg(path, writeError);
            return QStringLiteral("Cannot write %1: %2")
                .arg(path, QString::fromLatin1(
                               FLAC__stream_encoder_get_resolved_state_string(encoder.get())));
        }
    };
    std::unique_ptr<Stream> stream;

    static FLAC__StreamEncoderWriteStatus writeOut(const FLAC__StreamEncoder*,
                                                   const FLAC__byte buffer[], size_t bytes,
                                                   uint32_t, uint32_t, void* client) {
        auto* s = static_cast<Stream*>(client);
        const char* data = reinterpret_cast<const char*>(buffer);
        // A disk that fills up takes part of a write first; the rest then
        // fails with the system's reason.
        while (bytes > 0) {
            const qint64 done = s->file.write(data, qint64(bytes));
            if (done <= 0) {
                s->writeError = s->file.errorString();
                return FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
            }
            data += done;
            bytes -= size_t(done);
        }
        return FLAC__STREAM_ENCODER_WRITE_STATUS_OK;
    }
    // The encoder goes back to the start at the end to complete STREAMINFO.
    static FLAC__StreamEncoderSeekStatus seekTo(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                                void* client) {
        auto* s = static_cast<Stream*>(client);
        return s->file.seek(qint64(offset)) ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
                                            : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    }
    static FLAC__StreamEncoderTellStatus tellAt(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                                void* client) {
        *offset = FLAC__uint64(static_cast<Stream*>(client)->file.pos());
        return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
    }
};

FlacEncoder::FlacEncoder() : d(std::make_unique<Impl>()) {}

FlacEncoder::~FlacEncoder() = default;

void FlacEncoder::setFormat(const FlacFormat& format) {
    d->format = format;
}

void FlacEncoder::setComments(const QList<QByteArray>& comments) {
    d->comments = comments;
}

void FlacEncoder::open(const QString& path) {
    refuseSecondOutput(d->stream != nullptr, path);
    const FlacFormat& f = d->format;
    if (f.rate <= 0 || f.rate > int(FLAC__MAX_SAMPLE_RATE) || f.channels <= 0 ||
        f.channels > int(FLAC__MAX_CHANNELS) || f.bitsPerSample < 4 || f.bitsPerSample > 24)
        throw formatRefusal(path, QStringLiteral("FLAC"), f.rate, f.channels,
                            QStringLiteral("%1 bits").arg(f.bitsPerSample));

    auto s = std::make_unique<Impl::Stream>();
    s->path = path;
    s->rate = f.rate;
    s->channels = f.channels;
    s->bits = f.bitsPerSample;
    openOutput(s->file, path);

    s->comments.reset(FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT));
    s->encoder.reset(FLAC__stream_encoder_new());
    if (!s->comments || !s->encoder)
        throw AudioError(QStringLiteral("Cannot create %1: out of memory").arg(path));
    for (const QByteArray& c : d->comments) {
        FLAC__StreamMetadata_VorbisComment_Entry entry{
            FLAC__uint32(c.size()),
            reinterpret_cast<FLAC__byte*>(const_cast<char*>(c.constData()))};
        if (!FLAC__metadata_object_vorbiscomment_append_comment(s->comments.get(), entry, true))
            throw AudioError(QStringLiteral("Cannot create %1: out of memory").arg(path));
    }

    FLAC__StreamEncoder* e = s->encoder.get();
    FLAC__StreamMetadata* blocks[] = {s->comments.get()};
    FLAC__stream_encoder_set_channels(e, unsigned(f.channels));
    FLAC__stream_encoder_set_bits_per_sample(e, unsigned(f.bitsPerSample));
    FLAC__stream_encoder_set_sample_rate(e, unsigned(f.rate));
    FLAC__stream_encoder_set_compression_level(e, unsigned(std::clamp(f.compression, 0, 8)));
    FLAC__stream_encoder_set_metadata(e, blocks, 1);
    if (FLAC__stream_encoder_init_stream(e, &Impl::writeOut, &Impl::seekTo, &Impl::tellAt, nullptr,
                                         s.get()) != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        throw AudioError(
            s->failure().replace(QStringLiteral("Cannot write"), QStringLiteral("Cannot create")));
    d->stream = std::move(s);
}

void FlacEncoder::write(const float* interleaved, std::int64_t frames) {
    Impl::Stream* s = d->stream.get();
    if (!s)
        throw AudioError(QStringLiteral("Cannot write: no FLAC file is open"));
    // The float samples of an integer source are its integers scaled by a
    // power of two, so scaling back and rounding restores them exactly.
    const double scale = double(std::int64_t(1) << (s->bits - 1));
    const double top = scale - 1;
    while (frames > 0) {
        const std::int64_t n = std::min(frames, kChunkFrames);
        const size_t values = size_t(n * s->channels);
        s->ints.resize(values);
        for (size_t i = 0; i < values; ++i)
            s->ints[i] = FLAC__int32(
                std::clamp(std::nearbyint(double(interleaved[i]) * scale), -scale, top));
        if (!FLAC__stream_encoder_process_interleaved(s->encoder.get(), s->ints.data(),
                                                      unsigned(n))) {
            const QString failure = s->failure();
            d->stream.reset(); // the file cannot be completed: drop it
            throw AudioError(failure);
        }
        interleaved += values;
        frames -= n;
    }
}

void FlacEncoder::close() {
    if (!d->stream)
        return;
    std::unique_ptr<Impl::Stream> s = std::move(d->stream);
    if (!FLAC__stream_encoder_finish(s->encoder.get()))
        throw AudioError(s->failure());
    putInPlace(s->file, s->path);
}

EncoderShape FlacEncoder::shape() const {
    if (d->stream)
        return {true, d->stream->rate, d->stream->channels};
    return {false, d->format.rate, d->format.channels};
}
