// Measures Ogg Vorbis to Ogg Vorbis transcoding through AudioFile against a
// plain libvorbisfile + libvorbisenc loop, for time and peak memory.
#include "audio/AudioFile.h"
#include "audio/OggEncoder.h"
#include "bench/BenchSupport.h"
#include "synth/Synth.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kKbps = 128;

// Through the program's own reader and writer, as a split or join run does.
void transcodeAudioFile(const QString& in, const QString& out) {
    AudioFile reader;
    reader.openRead(in);
    AudioFile writer;
    writer.setOggFormat({kRate, kChannels, kKbps, 0, 0, -1});
    writer.setPcmFormat(reader.sampleRate(), reader.channels());
    writer.createWrite(out);
    const std::int64_t block = std::int64_t(reader.sampleRate()) * reader.channels();
    for (;;) {
        SampleBlock b = reader.readSamples(block);
        if (b.empty())
            break;
        writer.writeSamples(b);
    }
    writer.close();
    reader.close();
}

// The bound's decoding with the program's encoder: shows what the encoder
// alone adds, apart from the reader.
void transcodeEncoder(const QString& in, const QString& out) {
    synth::OggBlocks blocks(in);
    OggEncoder enc;
    enc.setFormat({kRate, kChannels, kKbps, 0, 0, -1});
    enc.open(out);
    std::vector<float> interleaved;
    float** pcm = nullptr;
    while (const long n = blocks.next(pcm)) {
        interleaved.resize(size_t(n) * kChannels);
        for (long i = 0; i < n; ++i)
            for (int c = 0; c < kChannels; ++c)
                interleaved[size_t(i * kChannels + c)] = pcm[c][i];
        enc.write(interleaved.data(), n);
    }
    enc.close();
}

void print(int minutes, const char* what, const bench::Measure& m) {
    if (m.failed)
        std::printf("%2d min  %-10s failed: %s\n", minutes, what, m.error.c_str());
    else
        std::printf(
            "%2d min  %-10s wall %7.2f s  cpu %7.2f s  %6.1f x real time  peak %7ld kB (+%ld kB)\n",
            minutes, what, m.wall, m.cpu, minutes * 60.0 / m.cpu, m.peakKb, m.growthKb);
}

} // namespace

int main(int argc, char** argv) {
    // Lengths in minutes; the first is the one the ratio is given for.
    std::vector<int> lengths;
    for (int i = 1; i < argc; ++i)
        lengths.push_back(std::atoi(argv[i]));
    if (lengths.empty())
        lengths = {10, 60};

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    double ratio = 0;
    bench::Measure first, last;
    bool audioFileWorks = true;
    for (int minutes : lengths) {
        const QString src = dir.filePath(QStringLiteral("src%1.ogg").arg(minutes));
        const QString out = dir.filePath(QStringLiteral("out%1.ogg").arg(minutes));
        std::printf("synthesising %d minutes of %d Hz stereo...\n", minutes, kRate);
        std::fflush(stdout);
        synth::writeOgg(src, std::int64_t(minutes) * 60 * kRate, kRate, kChannels);

        // The runs alternate so that a busy spell of the machine hits all
        // three alike; processor time is less disturbed by it than wall time.
        bench::Measure bound, viaEncoder, viaFile;
        for (int run = 0; run < 2; ++run) {
            bench::runOnce(bound,
                           [&] { bench::transcodeBound({src}, out, kRate, kChannels, kKbps); });
            bench::runOnce(viaEncoder, [&] { transcodeEncoder(src, out); });
            bench::runOnce(viaFile, [&] { transcodeAudioFile(src, out); });
        }
        print(minutes, "bound", bound);
        print(minutes, "OggEncoder", viaEncoder);
        print(minutes, "AudioFile", viaFile);
        std::fflush(stdout);
        if (viaFile.failed || bound.failed) {
            audioFileWorks = false;
        } else {
            if (minutes == lengths.front()) {
                first = viaFile;
                ratio = viaFile.cpu / bound.cpu;
                std::printf("%2d min  wall-time ratio: %.2f\n", minutes, viaFile.wall / bound.wall);
            }
            last = viaFile;
        }
        QFile::remove(src);
        QFile::remove(out);
    }
    if (audioFileWorks && lengths.size() > 1 && first.peakKb > 0)
        std::printf("AudioFile peak memory, %d min against %d min: %+.1f %%\n", lengths.back(),
                    lengths.front(),
                    100.0 * double(last.peakKb - first.peakKb) / double(first.peakKb));
    std::printf("transcode/bound ratio: %.2f\n", ratio);
    return audioFileWorks ? 0 : 1;
}
