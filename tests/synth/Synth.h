// Synthesised test audio with exact lengths and rates: tones written straight
// through libvorbisenc, WAV files for outside encoders, and plain decoding.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace synth {

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

// Runs a program with arguments, output discarded; true when it exits with 0.
bool run(const QString& program, const QStringList& args, int timeoutMs = 120000);

} // namespace synth
