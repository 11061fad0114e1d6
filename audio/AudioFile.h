// Reader and writer of audio files: decodes Ogg Vorbis, MP3, WMA and whatever
// else FFmpeg opens, and encodes Ogg Vorbis, FLAC or Ogg Opus. One object is
// either a reader or a writer at a time.
#pragma once

#include "audio/Encoder.h"
#include "audio/OggFormat.h"
#include "audio/SampleBlock.h"

#include <QString>
#include <cstdint>
#include <memory>

class AudioFile {
  public:
    AudioFile();
    ~AudioFile();
    AudioFile(const AudioFile&) = delete;
    AudioFile& operator=(const AudioFile&) = delete;

    // --- reading -----------------------------------------------------------
    // Opens a file for reading; the decoder is chosen by content. Throws
    // AudioError naming the file and the reason; nothing is created or changed.
    void openRead(const QString& path);
    // Closes the reader or completes and closes the written file.
    void close();
    bool isOpen() const;

    // Of the open source file (not of the format asked with SetPcmFormat).
    std::int64_t lengthSamples() const; // frames
    std::int64_t lengthMs() const;      // LengthSamples * 1000 / SampleRate, truncated
    int sampleRate() const;
    int channels() const;
    // The depth of a lossless integer source, whose blocks a FLAC writer of
    // that depth takes back bit for bit; 0 for a lossy or float source.
    int bitsPerSample() const;

    // The next read starts at this frame of the source (sample exact).
    void seek(std::int64_t frame);
    // Reads at most `count` frames of the SOURCE and returns them, converted to
    // the asked PCM format when SetPcmFormat was given on the reader (so the
    // block may hold more or fewer frames than it consumed). A converted block
    // holds the conversion of exactly the source frames consumed so far minus
    // what earlier blocks held, and the converter's tail comes with the last
    // one; a `count` too small to make one output frame consumes up to the
    // next one. An empty block means the end, and stays so on further calls.
    SampleBlock readSamples(std::int64_t count);
    // Reads at most `count` frames of the source as it has them, one array a
    // channel: `pcm` points at them until the next read or seek. Blocks may be
    // shorter than asked anywhere; 0 means the end. Not for a reader given a
    // PCM format (std::logic_error): what reads the source whole and folds it
    // spares itself the interleaving and the copy.
    std::int64_t readPlanar(std::int64_t count, const float* const*& pcm);
    // The source frame the next read starts at (advances by what ReadSamples
    // consumed; set by Seek).
    std::int64_t position() const;
    // The source frame at which reading last met the end of the stream; -1
    // until it has. Shorter than lengthSamples() where the stream ends early
    // (damage, or a container that states more than its packets hold).
    std::int64_t decodedEnd() const;

    // Reader: the format blocks are delivered in. Writer: the format of the
    // blocks it will be given. Stays in force until changed or the object is
    // destroyed; rate 0 means "as the source / as the encoding".
    void setPcmFormat(int rate, int channels);

    // --- writing -----------------------------------------------------------
    // Sets the Ogg Vorbis encoding of the next file created (the shapes are
    // OggFormat's); a rate or channel count of 0 is that of the blocks.
    void setOggFormat(const OggFormat& format);
    // The same for FLAC and for Ogg Opus; the last of the three set decides
    // what the next file is. Ogg Vorbis until one of the others is set.
    void setFlacFormat(const FlacFormat& format);
    void setOpusFormat(const OpusFormat& format);
    // The comments ("NAME=value") written into the next FLAC or Opus file as
    // it is created; an Ogg Vorbis file gets its tags after it is closed.
    void setComments(const QList<QByteArray>& comments);
    // True when libvorbisenc accepts the format's bitrates at its rate and
    // channel count; its quality is not involved.
    static bool checkEncoding(const OggFormat& format);
    // Creates (or replaces) an output file. Throws AudioError on failure.
    void createWrite(const QString& path);
    void writeSamples(const SampleBlock& block);
    // Drops the file being written: nothing is left under its name, and a file
    // it was to replace stays as it was. A reader is just closed.
    void abandonWrite();

    // Back to a new component: a source is closed, a file being written is
    // dropped as abandonWrite drops it, and the asked formats are forgotten.
    void reset();

  private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
