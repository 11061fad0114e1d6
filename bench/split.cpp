// Measures the Time split of a 30-minute file into pieces of 60 s through the
// real split run, against decoding and encoding the same audio directly.
#include "core/MainState.h"
#include "bench/BenchSupport.h"
#include "convert/Conversion.h"
#include "convert/RunOptions.h"
#include "joblist/JobList.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
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
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString source = dir.filePath(QStringLiteral("long.ogg"));
    const QString outDir = dir.filePath(QStringLiteral("out")) + QLatin1Char('/');
    QDir().mkpath(outDir);

    std::printf("synthesising %d minutes of %d Hz stereo...\n", Minutes, Rate);
    std::fflush(stdout);
    synth::writeOgg(source, std::int64_t(Minutes) * 60 * Rate, Rate, Channels);

    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    bench::Measure bound, run;
    qsizetype pieces = 0;
    for (int round = 0; round < rounds; ++round) {
        const QString boundOut = dir.filePath(QStringLiteral("bound.ogg"));
        bench::runOnce(bound, [&] { bench::transcodeBound({source}, boundOut, Rate, Channels); });
        QFile::remove(boundOut);

        QDir(outDir).removeRecursively();
        QDir().mkpath(outDir);
        MainState state;
        JobList jobs(state);
        Conversion conversion(state, jobs);
        state.settings.splitMode = SplitMode::Time;
        state.settings.splitSeconds = 60;
        state.settings.outputDir = outDir;
        state.pump = [] {};
        jobs.admitFile(source, JobList::AddFilesFloor);
        jobs.selectRow(0);
        conversion.setOptions(RunOptions::fromSettings(state.settings, nullptr, 0));

        bench::runOnce(run, [&] { conversion.splitRun(); });
        if (conversion.lastRunFailed()) {
            std::printf("split failed: %s\n", qPrintable(conversion.lastError()));
            return 1;
        }
        pieces = conversion.lastOutputs().size();
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
