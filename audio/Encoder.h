// The one interface the writer's encoders implement (Ogg Vorbis, FLAC, Ogg
// Opus), and the encodings of the two that are not Ogg Vorbis.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

// What the writer encodes into; the last format set on it decides.
enum class Codec { Vorbis, Flac, Opus };

// A rate or channel count of 0 is that of the blocks. Samples are stored as
// integers of `bitsPerSample` bits (4 to 24): a float block of a lossless
// source of that depth comes back out bit for bit.
struct FlacFormat {
    int rate = 0;
    int channels = 0;
    int bitsPerSample = 16;
    int compression = 5; // libFLAC's levels 0 to 8

    bool operator==(const FlacFormat&) const = default;
};

// Opus always runs at 48 kHz; `rate` is that of the frames the encoder is
// given, which it converts.
struct OpusFormat {
    int rate = 0;
    int channels = 0;
    int kbps = 128;

    bool operator==(const OpusFormat&) const = default;
};

// What an encoder stands at: an open stream's rate and channels, or before
// open() those of the format set.
struct EncoderShape {
    bool open = false;
    int rate = 0;
    int channels = 0;
};

class Encoder {
  public:
    virtual ~Encoder() = default; // without close(): the unfinished file is abandoned

    // Starts a file; it replaces `path` only at close(). Throws AudioError
    // naming the file and the reason.
    virtual void open(const QString& path) = 0;
    // Appends frames in the encoder's rate() and channels().
    virtual void write(const float* interleaved, std::int64_t frames) = 0;
    // Writes what is left and puts the file in place.
    virtual void close() = 0;

    bool isOpen() const { return shape().open; }
    int rate() const { return shape().rate; }
    int channels() const { return shape().channels; }

  protected:
    Encoder() = default;
    virtual EncoderShape shape() const = 0;
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
};
