// The one interface the writer's encoders implement (Ogg Vorbis, FLAC, Ogg
// Opus), and the encodings of the two that are not Ogg Vorbis.
#pragma once

#include <QByteArray>
#include <QList>
#include <QSaveFile>
#include <QString>
#include <cstdint>
#include <memory>

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

// The rate and channel count of the frames an encoder takes.
struct EncoderShape {
    int rate = 0;
    int channels = 0;
};

// What every encoder does alike lives here: one file at a time, written
// beside its name and put in place at close(), dropped whole once a write
// fails. Each encoder supplies only the file it starts (start()).
class Encoder {
  public:
    // One file being written, as start() begins it, from open() to close().
    // Destroyed unfinished, it leaves nothing behind: the uncommitted
    // QSaveFile, destroyed after the encoder's own state, removes its
    // temporary.
    class Output {
      public:
        Output(const QString& path, int rate, int channels)
            : path(path), rate(rate), channels(channels) {}
        virtual ~Output() = default;
        Output(const Output&) = delete;
        Output& operator=(const Output&) = delete;

        // Encodes frames (at least one) of `rate` and `channels`.
        virtual void encode(const float* interleaved, std::int64_t frames) = 0;
        // Encodes what is left; close() then puts the file in place.
        virtual void finish() = 0;

        // Opens `file` beside `path`. Unbuffered, so that a write the disk
        // refuses (full, over a quota or a size limit) fails at once with the
        // system's reason instead of being lost in a buffer flushed at commit;
        // the encoders hand over whole pages or frames.
        void create();
        // Writes all of `data`; false, with writeError set, once the system
        // refuses. A disk that fills up takes part of a write first.
        bool put(const char* data, qint64 size);
        // The failure of a write: the system's reason where it refused one,
        // else the library's.
        QString failure(const QString& libraryReason) const;

        QSaveFile file;
        const QString path;
        const int rate;
        const int channels;
        QString writeError; // the system's reason of a refused write
    };

    virtual ~Encoder(); // without close(): the unfinished file is abandoned

    // Starts a file; it replaces `path` only at close(). Throws AudioError
    // naming the file and the reason.
    void open(const QString& path);
    // Appends frames in the encoder's rate() and channels(). A failure drops
    // the file, which cannot be completed any more.
    void write(const float* interleaved, std::int64_t frames);
    // Writes what is left and puts the file in place.
    void close();

    bool isOpen() const { return m_output != nullptr; }
    // Those of the open file, or before open() those of the format set.
    int rate() const { return m_output ? m_output->rate : formatShape().rate; }
    int channels() const { return m_output ? m_output->channels : formatShape().channels; }

  protected:
    // `name` is the encoding's as messages give it ("Ogg Vorbis", "FLAC").
    explicit Encoder(const char* name) : m_name(name) {}
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    // Checks the format set and begins a file of it at `path`. Throws
    // AudioError naming the file and the reason.
    virtual std::unique_ptr<Output> start(const QString& path) = 0;
    virtual EncoderShape formatShape() const = 0;

    // Refuses the format set for `path`: `detail` is the encoder's own
    // measure, such as "16 bits" or "128 kbps".
    [[noreturn]] void refuseFormat(const QString& path, const QString& detail) const;

  private:
    const char* m_name;
    std::unique_ptr<Output> m_output;
};

// An encoder of `Format`, which holds a rate and a channel count. The format
// set takes effect at the next open().
template <class Format> class FormatEncoder : public Encoder {
  public:
    void setFormat(const Format& format) { m_format = format; }

  protected:
    FormatEncoder(const char* name, const Format& initial) : Encoder(name), m_format(initial) {}
    const Format& format() const { return m_format; }

  private:
    EncoderShape formatShape() const final { return {m_format.rate, m_format.channels}; }

    Format m_format;
};

// A FormatEncoder whose files carry the tags as comments ("NAME=value", in
// order), set like the format before open().
template <class Format> class CommentedEncoder : public FormatEncoder<Format> {
  public:
    void setComments(const QList<QByteArray>& comments) { m_comments = comments; }

  protected:
    using FormatEncoder<Format>::FormatEncoder;
    const QList<QByteArray>& comments() const { return m_comments; }

  private:
    QList<QByteArray> m_comments;
};
