// Measures the Time split of a 30-minute file into pieces of 60 s through the
// real split run, against decoding and encoding the same audio directly.
#include "bench/BenchSupport.h"
#include "bench/SplitBench.h"

#include <QCoreApplication>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int Rate = 44100;
constexpr int Channels = 2;
constexpr int Minutes = 30;

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    bench::SplitBench b;
    if (!b.valid())
        return 1;
    b.synthesise(Minutes * 60, Rate, Channels);

    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    bench::Measure bound, run;
    qsizetype pieces = 0;
    for (int round = 0; round < rounds; ++round) {
        const QString boundOut = b.dir.filePath(QStringLiteral("bound.ogg"));
        bench::runOnce(bound, [&] { bench::transcodeBound({b.source}, boundOut, Rate, Channels); });
        QFile::remove(boundOut);
        bench::runOnce(run, [&] { pieces = b.split(60, 1).size(); });
    }
    if (bound.failed || run.failed) {
        std::printf("failed: %s\n", (bound.failed ? bound : run).error.c_str());
        return 1;
    }

    // 1800 s is an exact multiple of 60 s: the Time split adds an empty 31st piece.
    std::printf("pieces written: %lld (best of %d rounds)\n", static_cast<long long>(pieces),
                rounds);
    std::printf("split run: %.2f s wall, %.2f s CPU, peak memory %ld kB\n", run.wall, run.cpu,
                run.peakKb);
    std::printf("bound (libvorbisfile + libvorbisenc): %.2f s wall, %.2f s CPU, peak memory "
                "%ld kB\n",
                bound.wall, bound.cpu, bound.peakKb);
    std::printf("split/bound CPU ratio: %.2f\n", run.cpu / bound.cpu);
    std::printf("split/bound ratio: %.2f\n", run.wall / bound.wall);
    return 0;
}
