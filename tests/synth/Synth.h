// Synthesised test audio with exact lengths and rates: tones written straight
// through libvorbisenc, WAV files for outside encoders, and plain decoding.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

namespace synth {

// Encodes planar float frames into an Ogg Vorbis file straight through
// libvorbisenc and libogg, independent of the program's own encoder: it makes
// the test files and is the benchmarks' bound. Throws std::runtime_error when
// the file cannot be created or the encoding is refused.
class VorbisWriter {
  public:
    // kbps > 0: that average bitrate with rate management off (the program's
    // default encoding); otherwise quality-driven at `quality` (0..1).
    VorbisWriter(const QString& path, int rate, int channels, int kbps = 0, float quality = 0.5f);
    ~VorbisWriter(); // without finish(): the stream is left unfinished
    VorbisWriter(const VorbisWriter&) = delete;
    VorbisWriter& operator=(const VorbisWriter&) = delete;

    // Room for `frames` frames per channel; wrote() hands them to the encoder.
    float** buffer(int frames);
    void wrote(int frames);
    // Ends the stream and writes its last pages.
    void finish();

  private:
    struct State;
    std::unique_ptr<State> d;
};

// The sample of channel `ch` at frame `i` of the test tone: a sine whose
// frequency differs per channel, so swapped or shifted audio is noticed.
float toneSample(std::int64_t i, int ch, int rate, double freq = 440.0);

// Interleaved tone of `frames` frames.
std::vector<float> tone(std::int64_t frames, int rate, int channels, double freq = 440.0);

// Writes an Ogg Vorbis file of exactly `frames` frames (quality 0.5) directly
// with libvorbisenc. Throws std::runtime_error on failure.
void writeOgg(const QString& path, std::int64_t frames, int rate = 44100, int channels = 2,
              double freq = 440.0);
// Writes interleaved samples as a 16-bit PCM WAV file.
void writeWav(const QString& path, const std::vector<float>& samples, int rate, int channels);
// Encodes a WAV file to MP3 with lame (gapless info in its LAME header); false
// when lame is missing or fails.
bool makeMp3(const QString& wavPath, const QString& mp3Path, int kbps = 128);
// Encodes a WAV file to WMA (wmav2) with ffmpeg; false when it fails.
bool makeWma(const QString& wavPath, const QString& wmaPath, int kbps = 128);

struct Decoded {
    std::vector<float> samples; // interleaved
    int rate = 0;
    int channels = 0;
    std::int64_t frames() const { return channels ? std::int64_t(samples.size()) / channels : 0; }
};
// Decodes a whole Ogg Vorbis file with libvorbisfile (independent of AudioFile).
Decoded decodeOgg(const QString& path);

// An Ogg Vorbis file's audio in the blocks libvorbisfile decodes it in.
class OggBlocks {
  public:
    // Throws std::runtime_error when libvorbisfile cannot open the file.
    explicit OggBlocks(const QString& path);
    ~OggBlocks();

    int rate() const;
    int channels() const;
    // The next block's frames, at most `maxFrames`, `pcm` pointing at one
    // array a channel; 0 at the end or on an error.
    long next(float**& pcm, int maxFrames = 4096);

  private:
    struct State;
    std::unique_ptr<State> d;
};

// Runs a program with arguments, output discarded; true when it exits with 0.
bool run(const QString& program, const QStringList& args, int timeoutMs = 120000);

} // namespace synth
