// Measures the split with its pieces side by side: a 60-minute 44.1 kHz
// stereo file into pieces of 60 s with one worker per core, with one worker,
// and with FFmpeg's segment muxer encoding the same pieces through libvorbis.
#include "core/MainState.h"
#include "bench/BenchSupport.h"
#include "convert/Conversion.h"
#include "convert/RunOptions.h"
#include "joblist/JobList.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {

constexpr int Rate = 44100;
constexpr int Channels = 2;
constexpr int Minutes = 60;

void freshFolder(const QString& dir) {
    QDir(dir).removeRecursively();
    QDir().mkpath(dir);
}

// One Time split of `source` into `outDir` with `jobs` workers; the pieces written.
qsizetype splitWith(const QString& source, const QString& outDir, int jobs) {
    MainState state;
    JobList jobList(state);
    Conversion conversion(state, jobList);
    state.settings.splitMode = SplitMode::Time;
    state.settings.splitSeconds = 60;
    state.settings.outputDir = outDir;
    state.pump = [] {};
    jobList.admitFile(source, JobList::AddFilesFloor);
    jobList.selectRow(0);
    RunOptions options = RunOptions::fromSettings(state.settings, nullptr, 0);
    options.jobs = jobs;
    conversion.setOptions(options);
    conversion.splitRun();
    if (conversion.lastRunFailed())
        throw std::runtime_error(conversion.lastError().toStdString());
    return conversion.lastOutputs().size();
}

void ffmpegSegments(const QString& ffmpeg, const QString& source, const QString& outDir) {
    QProcess p;
    p.start(ffmpeg, {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                     QStringLiteral("-i"), source, QStringLiteral("-f"), QStringLiteral("segment"),
                     QStringLiteral("-segment_time"), QStringLiteral("60"), QStringLiteral("-c:a"),
                     QStringLiteral("libvorbis"), QStringLiteral("-b:a"), QStringLiteral("128k"),
                     QDir(outDir).filePath(QStringLiteral("piece%03d.ogg"))});
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error("ffmpeg failed: " + p.readAllStandardError().toStdString());
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString source = dir.filePath(QStringLiteral("long.ogg"));
    const QString outDir = dir.filePath(QStringLiteral("out")) + QLatin1Char('/');
    const int cores = std::max(1, QThread::idealThreadCount());
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));

    std::printf("synthesising %d minutes of %d Hz stereo...\n", Minutes, Rate);
    std::fflush(stdout);
    synth::writeOgg(source, std::int64_t(Minutes) * 60 * Rate, Rate, Channels);

    bench::Measure many, one, ff;
    qsizetype pieces = 0;
    for (int round = 0; round < rounds; ++round) {
        freshFolder(outDir);
        bench::runOnce(many, [&] { pieces = splitWith(source, outDir, cores); });
        freshFolder(outDir);
        bench::runOnce(one, [&] { splitWith(source, outDir, 1); });
        if (!ffmpeg.isEmpty()) {
            freshFolder(outDir);
            bench::runOnce(ff, [&] { ffmpegSegments(ffmpeg, source, outDir); });
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
    std::printf("peak memory per worker: %.1f MB (growth over the run's start, %d workers)\n",
                double(many.growthKb) / 1024.0 / cores, cores);
    std::printf("jobs %d/jobs 1 ratio: %.2f\n", cores, many.wall / one.wall);
    if (ffmpeg.isEmpty() || ff.failed) {
        std::printf("ffmpeg: %s\n", ff.failed ? ff.error.c_str() : "not installed");
        return 0;
    }
    std::printf("ffmpeg segment (libvorbis 128k): %.2f s wall\n", ff.wall);
    std::printf("split-parallel/ffmpeg ratio: %.2f\n", many.wall / ff.wall);
    return 0;
}
