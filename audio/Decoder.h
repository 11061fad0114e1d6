// The one interface every codec back end of the reader implements: a source of
// interleaved float frames with a known length and sample-exact positioning.
#pragma once

#include "audio/NativeName.h"

#include <QFileInfo>
#include <QString>
#include <cstdint>

class Decoder {
  public:
    // What the reader and the converter behind it accept. A rate outside this
    // range is a damaged header, and a converted file of it would be absurd.
    static constexpr int kMinRate = 1000;
    static constexpr int kMaxRate = 384000;
    static constexpr int kMaxChannels = 8;

    virtual ~Decoder() = default;

    int sampleRate() const { return m_rate; }
    int channels() const { return m_channels; }
    // Frames of the whole stream (exact for Ogg Vorbis and MP3 with gapless
    // information; from the container's duration otherwise).
    std::int64_t length() const { return m_length; }
    // The depth of a lossless integer source (16 for CD audio, 24, ...), whose
    // float samples are its integers scaled by a power of two; 0 for lossy or
    // float sources.
    int bitsPerSample() const { return m_bits; }

    // The next read starts at `frame` (0 <= frame <= length()). Where damage
    // keeps the stream from getting there, it reads as ended.
    virtual void seek(std::int64_t frame) = 0;
    // Decodes up to `frames` frames interleaved into `out`, which has room for
    // frames * channels() values. Returns fewer only at the end of the stream
    // and 0 once the end is reached; a damaged stream ends where the damage is.
    virtual std::int64_t read(float* out, std::int64_t frames) = 0;
    // As read(), but the frames stay one array a channel, the decoder's own:
    // `pcm` points at them until the next call or seek. They may be fewer than
    // asked anywhere; 0 only at the end. -1 where the back end has no such
    // frames at hand (it decodes interleaved): read() then delivers them.
    virtual std::int64_t readPlanar(const float* const*& pcm, std::int64_t frames) {
        (void)pcm;
        (void)frames;
        return -1;
    }

    // The text of every reader failure: the file's name as shown, then why.
    static QString failureText(const QString& path, const QString& reason) {
        return QStringLiteral("%1: %2").arg(NativeName::shown(QFileInfo(path).fileName()), reason);
    }

  protected:
    friend class DecoderFactory; // replaces a stated length the file cannot hold

    Decoder() = default;
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Set by each back end while it opens its stream.
    int m_rate = 0;
    int m_channels = 0;
    std::int64_t m_length = 0;
    int m_bits = 0;
};
