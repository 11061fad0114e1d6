#include "audio/FlacEncoder.h"

#include "audio/AudioError.h"
#include "audio/FreeWith.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>
#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Frames converted to integers at a time: the buffer stays small however
// large the caller's blocks are.
constexpr std::int64_t kChunkFrames = 4096;

// One open file. The encoder goes before the comment block it points to.
struct FlacOutput : Encoder::Output {
    using Output::Output;
    int bits = 16;
    CPtr<FLAC__StreamMetadata, FLAC__metadata_object_delete> comments;
    CPtr<FLAC__StreamEncoder, FLAC__stream_encoder_delete> encoder;
    std::vector<FLAC__int32> ints;

    void encode(const float* interleaved, std::int64_t frames) override;
    void finish() override {
        if (!FLAC__stream_encoder_finish(encoder.get()))
            throw AudioError(libraryFailure());
    }

    QString libraryFailure() const {
        return failure(
            QString::fromLatin1(FLAC__stream_encoder_get_resolved_state_string(encoder.get())));
    }

    static FLAC__StreamEncoderWriteStatus writeOut(const FLAC__StreamEncoder*,
                                                   const FLAC__byte buffer[], size_t bytes,
                                                   uint32_t, uint32_t, void* client) {
        return static_cast<FlacOutput*>(client)->put(reinterpret_cast<const char*>(buffer),
                                                     qint64(bytes))
                   ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
                   : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    // The encoder goes back to the start at the end to complete STREAMINFO.
    static FLAC__StreamEncoderSeekStatus seekTo(const FLAC__StreamEncoder*, FLAC__uint64 offset,
                                                void* client) {
        auto* s = static_cast<FlacOutput*>(client);
        return s->file.seek(qint64(offset)) ? FLAC__STREAM_ENCODER_SEEK_STATUS_OK
                                            : FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR;
    }
    static FLAC__StreamEncoderTellStatus tellAt(const FLAC__StreamEncoder*, FLAC__uint64* offset,
                                                void* client) {
        *offset = FLAC__uint64(static_cast<FlacOutput*>(client)->file.pos());
        return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
    }
};

void FlacOutput::encode(const float* interleaved, std::int64_t frames) {
    // The float samples of an integer source are its integers scaled by a
    // power of two, so scaling back and rounding restores them exactly.
    const double scale = double(std::int64_t(1) << (bits - 1));
    const double top = scale - 1;
    while (frames > 0) {
        const std::int64_t n = std::min(frames, kChunkFrames);
        const size_t values = size_t(n * channels);
        ints.resize(values);
        for (size_t i = 0; i < values; ++i)
            ints[i] = FLAC__int32(
                std::clamp(std::nearbyint(double(interleaved[i]) * scale), -scale, top));
        if (!FLAC__stream_encoder_process_interleaved(encoder.get(), ints.data(), unsigned(n)))
            throw AudioError(libraryFailure());
        interleaved += values;
        frames -= n;
    }
}

} // namespace

FlacEncoder::FlacEncoder() : CommentedEncoder("FLAC", {44100, 2, 16, 5}) {}

std::unique_ptr<Encoder::Output> FlacEncoder::start(const QString& path) {
    const FlacFormat& f = format();
    if (f.rate <= 0 || f.rate > int(FLAC__MAX_SAMPLE_RATE) || f.channels <= 0 ||
        f.channels > int(FLAC__MAX_CHANNELS) || f.bitsPerSample < 4 || f.bitsPerSample > 24)
        refuseFormat(path, QStringLiteral("%1 bits").arg(f.bitsPerSample));

    auto s = std::make_unique<FlacOutput>(path, f.rate, f.channels);
    s->bits = f.bitsPerSample;
    s->create();

    s->comments.reset(FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT));
    s->encoder.reset(FLAC__stream_encoder_new());
    if (!s->comments || !s->encoder)
        throw AudioError(QStringLiteral("Cannot create %1: out of memory").arg(path));
    for (const QByteArray& c : comments()) {
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
    if (FLAC__stream_encoder_init_stream(e, &FlacOutput::writeOut, &FlacOutput::seekTo,
                                         &FlacOutput::tellAt, nullptr,
                                         s.get()) != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        throw AudioError(s->libraryFailure().replace(QStringLiteral("Cannot write"),
                                                     QStringLiteral("Cannot create")));
    return s;
}
