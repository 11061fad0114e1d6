// Measures the whole-file join of three 10-minute files (one of them 22050 Hz
// mono) through the real join run, against decoding, converting and encoding
// the same audio directly.
#include "bench/BenchSupport.h"
#include "convert/Conversion.h"
#include "convert/RunOptions.h"
#include "core/SessionState.h"
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
constexpr int Minutes = 10;

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QStringList sources = {dir.filePath(QStringLiteral("a.ogg")),
                                 dir.filePath(QStringLiteral("b-mono.ogg")),
                                 dir.filePath(QStringLiteral("c.ogg"))};
    std::printf("synthesising three files of %d minutes (the second 22050 Hz mono)...\n", Minutes);
    std::fflush(stdout);
    synth::writeOgg(sources[0], std::int64_t(Minutes) * 60 * Rate, Rate, 2);
    synth::writeOgg(sources[1], std::int64_t(Minutes) * 60 * 22050, 22050, 1);
    synth::writeOgg(sources[2], std::int64_t(Minutes) * 60 * Rate, Rate, 2);

    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    bench::Measure bound, run;
    for (int round = 0; round < rounds; ++round) {
        const QString boundOut = dir.filePath(QStringLiteral("bound.ogg"));
        bench::runOnce(bound, [&] { bench::transcodeBound(sources, boundOut, Rate, Channels); });
        QFile::remove(boundOut);

        SessionState state;
        JobList jobs(state);
        Conversion conversion(state, jobs);
        state.settings.splitMode = SplitMode::Time;
        state.settings.outputDir = dir.path() + QLatin1Char('/');
        state.pump = [] {};
        for (const QString& s : sources)
            jobs.admitFile(s, JobList::AddFilesFloor);
        jobs.selectRow(0);
        const QString joined = dir.filePath(QStringLiteral("joined.ogg"));
        QFile::remove(joined);
        conversion.setOptions(RunOptions::fromSettings(state.settings, nullptr, 0));

        bench::runOnce(run, [&] { conversion.joinRun(joined); });
        if (conversion.lastRunFailed()) {
            std::printf("join failed: %s\n", qPrintable(conversion.lastError()));
            return 1;
        }
    }
    if (bound.failed || run.failed) {
        std::printf("failed: %s\n", (bound.failed ? bound : run).error.c_str());
        return 1;
    }

    std::printf("joined %d minutes (best of %d rounds)\n", 3 * Minutes, rounds);
    std::printf("join run: %.2f s wall, %.2f s CPU, peak memory %ld kB\n", run.wall, run.cpu,
                run.peakKb);
    std::printf("bound (libvorbisfile + libswresample + libvorbisenc): %.2f s wall, %.2f s "
                "CPU, peak memory %ld kB\n",
                bound.wall, bound.cpu, bound.peakKb);
    std::printf("join/bound CPU ratio: %.2f\n", run.cpu / bound.cpu);
    std::printf("join/bound ratio: %.2f\n", run.wall / bound.wall);
    return 0;
}
