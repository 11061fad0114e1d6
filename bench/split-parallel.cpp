// Measures the split with its pieces side by side: a 60-minute 44.1 kHz
// stereo file into pieces of 60 s with one worker per core, with one worker,
// and with FFmpeg's segment muxer encoding the same pieces through libvorbis.
#include "bench/BenchSupport.h"
#include "bench/SplitBench.h"

#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace {

constexpr int Rate = 44100;
constexpr int Channels = 2;
constexpr int Minutes = 60;

void ffmpegSegments(const QString& ffmpeg, const QString& source, const QString& outDir) {
    QProcess p;
    p.start(ffmpeg,
            {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
             QStringLiteral("-i"), source, QStringLiteral("-f"), QStringLiteral("segment"),
             QStringLiteral("-segment_time"), QStringLiteral("60"), QStringLiteral("-c:a"),
             QStringLiteral("libvorbis"), QStringLiteral("-b:a"), QStringLiteral("128k"),
             QDir(outDir).filePath(QStringLiteral("piece%03d.ogg"))});
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error("ffmpeg failed: " + p.readAllStandardError().toStdString());
}

// The split by one worker per core and by one, and FFmpeg's, `rounds` times each.
int measure(bench::SplitBench& b, int rounds) {
    const int cores = std::max(1, QThread::idealThreadCount());
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    bench::Measure many, one, ff;
    qsizetype pieces = 0;
    for (int round = 0; round < rounds; ++round) {
        bench::runOnce(many, [&] { pieces = b.split(60, cores).size(); });
        bench::runOnce(one, [&] { b.split(60, 1); });
        if (!ffmpeg.isEmpty()) {
            b.emptyOutput();
            bench::runOnce(ff, [&] { ffmpegSegments(ffmpeg, b.source, b.outDir); });
        }
    }
    if (many.failed || one.failed) {
        std::printf("failed: %s\n", (many.failed ? many : one).error.c_str());
        return 1;
    }

    std::printf("pieces written: %lld (best of %d rounds)\n", static_cast<long long>(pieces),
                rounds);
    std::printf("split --jobs %d: %.2f s wall, %.2f s CPU, peak memory %ld kB\n", cores, many.wall,
                many.cpu, many.peakKb);
    std::printf("split --jobs 1: %.2f s wall, %.2f s CPU, peak memory %ld kB\n", one.wall, one.cpu,
                one.peakKb);
    // What each worker adds to the process (its reader, encoder and buffers),
    // and the whole process's peak shared out as an upper bound.
    std::printf("peak memory per worker: %.1f MB added, at most %.1f MB (%d workers)\n",
                double(many.growthKb) / 1024.0 / cores, double(many.peakKb) / 1024.0 / cores,
                cores);
    std::printf("jobs %d/jobs 1 ratio: %.2f\n", cores, many.wall / one.wall);
    if (ffmpeg.isEmpty() || ff.failed) {
        std::printf("ffmpeg: %s\n", ff.failed ? ff.error.c_str() : "not installed");
        return 0;
    }
    std::printf("ffmpeg segment (libvorbis 128k): %.2f s wall\n", ff.wall);
    std::printf("split-parallel/ffmpeg ratio: %.2f\n", many.wall / ff.wall);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = bench::roundsArgument(argc, argv, 1);
    return bench::splitBenchMain(argc, argv, Minutes * 60, Rate, Channels,
                                 [rounds](bench::SplitBench& b) { return measure(b, rounds); });
}
