// Measures the reader: decoding speed of each back end through AudioFile, the
// Ogg Vorbis path against plain libvorbisfile, PCM conversion, and the cost of
// a seek followed by a short read.
#include "audio/AudioFile.h"
#include "bench/BenchSupport.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr std::int64_t kSeconds = 120;
constexpr std::int64_t kBlock = 4096;

// Best of three, so that a busy machine disturbs the figure less.
double best(const std::function<void()>& work) {
    double t = 1e300;
    for (int i = 0; i < 3; ++i)
        t = std::min(t, bench::wallSeconds(work));
    return t;
}

std::int64_t readThrough(const QString& path, int rate = 0, int channels = 0) {
    AudioFile f;
    f.openRead(path);
    f.setPcmFormat(rate, channels);
    std::int64_t frames = 0;
    for (;;) {
        const SampleBlock b = f.readSamples(kBlock);
        if (b.empty())
            break;
        frames += b.frames();
    }
    return frames;
}

// What any program using libvorbisfile does at the least: decode and
// interleave into a reused buffer.
std::int64_t plainVorbis(const QString& path) {
    synth::OggBlocks blocks(path);
    const int ch = blocks.channels();
    std::vector<float> buffer(size_t(kBlock * ch));
    std::int64_t frames = 0;
    float** pcm = nullptr;
    while (const long n = blocks.next(pcm)) {
        for (long i = 0; i < n; ++i)
            for (int c = 0; c < ch; ++c)
                buffer[size_t(i * ch + c)] = pcm[c][i];
        frames += n;
    }
    return frames;
}

void report(const char* what, double t, std::int64_t frames) {
    std::printf("%-44s %8.3f s  %7.1fx real time  (%lld frames)\n", what, t,
                double(frames) / kRate / t, static_cast<long long>(frames));
}

void seekCost(const char* what, const QString& path) {
    AudioFile f;
    f.openRead(path);
    QRandomGenerator gen(42);
    const int seeks = 200;
    const double t = bench::wallSeconds([&] {
        for (int i = 0; i < seeks; ++i) {
            f.seek(std::int64_t(gen.bounded(quint32(f.lengthSamples() - kBlock))));
            f.readSamples(kBlock);
        }
    });
    std::printf("%-44s %8.3f ms per seek and %lld-frame read\n", what, t * 1000.0 / seeks,
                static_cast<long long>(kBlock));
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const std::int64_t frames = kSeconds * kRate;
    std::printf("Synthesising %lld s of a %d Hz stereo tone...\n", static_cast<long long>(kSeconds),
                kRate);
    const QString ogg = dir.filePath(QStringLiteral("bench.ogg"));
    synth::writeOgg(ogg, frames, kRate, kChannels);
    const QString wav = dir.filePath(QStringLiteral("bench.wav"));
    synth::writeWav(wav, synth::tone(frames, kRate, kChannels), kRate, kChannels);
    const QString mp3 = dir.filePath(QStringLiteral("bench.mp3"));
    const QString wma = dir.filePath(QStringLiteral("bench.wma"));
    const bool haveMp3 = synth::makeMp3(wav, mp3);
    const bool haveWma = synth::makeWma(wav, wma);

    std::int64_t n = 0;
    const double plain = best([&] { n = plainVorbis(ogg); });
    report("Ogg Vorbis, plain libvorbisfile", plain, n);
    const double ours = best([&] { n = readThrough(ogg); });
    report("Ogg Vorbis, AudioFile", ours, n);
    std::printf("%-44s %8.3f\n", "AudioFile / plain", ours / plain);
    const double down = best([&] { n = readThrough(ogg, 22050, 1); });
    report("Ogg Vorbis, AudioFile as 22050 Hz mono", down, n * 2);
    const double rate = best([&] { n = readThrough(ogg, 48000, 2); });
    report("Ogg Vorbis, AudioFile as 48000 Hz stereo", rate, n * kRate / 48000);
    if (haveMp3) {
        const double t = best([&] { n = readThrough(mp3); });
        report("MP3, AudioFile", t, n);
    }
    if (haveWma) {
        const double t = best([&] { n = readThrough(wma); });
        report("WMA, AudioFile", t, n);
    }

    seekCost("Ogg Vorbis seek", ogg);
    if (haveMp3)
        seekCost("MP3 seek", mp3);
    if (haveWma)
        seekCost("WMA seek", wma);
    return 0;
}
