// Measures the outputs other than Ogg Vorbis: FLAC pieces of a FLAC source
// (the decode and the FLAC encode, lossless) against re-encoding the same
// pieces to Ogg Vorbis at the default encoding, each by the real split run,
// one piece after the other, alternating, a few rounds.
//
// formats [ROUNDS] [MINUTES]
#include "audio/FlacEncoder.h"
#include "bench/BenchSupport.h"
#include "bench/SplitBench.h"

#include <QCoreApplication>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

constexpr int Rate = 44100;
constexpr int Channels = 2;
constexpr int PieceSeconds = 60;

// A 16-bit FLAC file of `minutes` minutes: the test tone with a little noise
// under it, so that the encoder has more than a pure tone to predict.
void writeFlacSource(const QString& path, int minutes) {
    FlacEncoder e;
    e.setFormat({Rate, Channels, 16, 5});
    e.open(path);
    std::vector<float> block(size_t(Rate) * Channels);
    std::uint32_t noise = 12345;
    const std::int64_t frames = std::int64_t(minutes) * 60 * Rate;
    for (std::int64_t at = 0; at < frames; at += Rate) {
        for (int i = 0; i < Rate; ++i)
            for (int c = 0; c < Channels; ++c) {
                noise = noise * 1664525u + 1013904223u;
                const float n = float(int(noise >> 20) - 2048) / 2048.0f * 0.01f;
                block[size_t(i * Channels + c)] =
                    std::nearbyint((0.8f * synth::toneSample(at + i, c, Rate) + n) * 32767.0f) /
                    32768.0f;
            }
        e.write(block.data(), Rate);
    }
    e.close();
}

QStringList splitTo(const QString& source, const QString& outDir, OutputFormat format) {
    QDir(outDir).removeRecursively();
    QDir().mkpath(outDir);
    bench::RunSetup run(outDir);
    run.state.settings.splitSeconds = PieceSeconds;
    run.admit({source});
    RunOptions options = RunOptions::fromSettings(run.state.settings, nullptr, int(format));
    run.conversion.setOptions(options);
    run.conversion.splitRun();
    if (run.conversion.lastRunFailed())
        throw std::runtime_error("split failed: " + run.conversion.lastError().toStdString());
    return run.conversion.lastOutputs();
}

} // namespace

// FLAC pieces of a FLAC source against the same pieces re-encoded to Ogg Vorbis.
int flacFigures(int rounds, int minutes) {
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString source = dir.filePath(QStringLiteral("long.flac"));
    const QString outDir = dir.filePath(QStringLiteral("out")) + QLatin1Char('/');
    std::printf("synthesising %d min of %d Hz stereo FLAC...\n", minutes, Rate);
    std::fflush(stdout);
    writeFlacSource(source, minutes);

    bench::Measure flac, vorbis;
    qsizetype flacPieces = 0, vorbisPieces = 0;
    for (int round = 0; round < rounds; ++round) {
        bench::runOnce(vorbis,
                       [&] { vorbisPieces = splitTo(source, outDir, OutputFormat::Ogg).size(); });
        bench::runOnce(flac,
                       [&] { flacPieces = splitTo(source, outDir, OutputFormat::Flac).size(); });
    }
    if (flac.failed || vorbis.failed) {
        std::printf("failed: %s\n", (flac.failed ? flac : vorbis).error.c_str());
        return 1;
    }
    std::printf("FLAC source of %d min into %d s pieces, one at a time, best of %d:\n", minutes,
                PieceSeconds, rounds);
    std::printf("FLAC pieces (%lld): %.2f s wall, %.2f s CPU, peak memory %ld kB\n",
                static_cast<long long>(flacPieces), flac.wall, flac.cpu, flac.peakKb);
    std::printf("Ogg Vorbis pieces (%lld): %.2f s wall, %.2f s CPU, peak memory %ld kB\n",
                static_cast<long long>(vorbisPieces), vorbis.wall, vorbis.cpu, vorbis.peakKb);
    std::printf("Vorbis/FLAC CPU ratio: %.1f (goal: at least 40)\n", vorbis.cpu / flac.cpu);
    std::printf("Vorbis/FLAC ratio: %.1f\n", vorbis.wall / flac.wall);
    return 0;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = bench::roundsArgument(argc, argv, 3);
    const int minutes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;
    return flacFigures(rounds, minutes);
}
