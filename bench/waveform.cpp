// Measures the waveform's summary on a synthesised hour of 44.1 kHz stereo Ogg
// Vorbis: the time to the first full-width picture (the quick look), the whole
// summary against oggdec decoding the same file to /dev/null (skipped when it
// is missing), a reopen served by the disk cache, and the memory a 10-hour
// file's summary takes. The cache lives in a scratch folder, never the user's.
// CADELO_BENCH_MINUTES sets another length.
#include "audio/PeakLoader.h"
#include "bench/BenchSupport.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

constexpr int Rate = 44100;

bool runProgram(const QString& program, const QStringList& args) {
    QProcess p;
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start(program, args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

struct Times {
    double picture = 0; // open() to a picture across the whole width
    double whole = 0;   // open() to finished()
    bool cached = false;
};

// One open of `path`, the event loop running as in the window.
Times measure(const QString& path, const QString& cacheFolder, std::size_t* bytes = nullptr) {
    PeakLoader loader;
    loader.setCacheFolder(cacheFolder);
    Times t;
    const auto start = std::chrono::steady_clock::now();
    const auto since = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    QEventLoop loop;
    QObject::connect(&loader, &PeakLoader::progressed, &loop, [&] {
        if (t.picture == 0 && loader.sketched())
            t.picture = since();
    });
    QObject::connect(&loader, &PeakLoader::finished, &loop, &QEventLoop::quit);
    QObject::connect(&loader, &PeakLoader::failed, &loop, [&](const QString& message) {
        std::printf("waveform: %s\n", qPrintable(message));
        loop.quit();
    });
    loader.open(path);
    loop.exec();
    t.whole = since();
    if (t.picture == 0)
        t.picture = t.whole;
    t.cached = loader.fromCache();
    if (bytes)
        *bytes = loader.summaryBytes();
    return t;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double minutes = bench::soundMinutes();
    const double seconds = minutes * 60;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hour.ogg"));
    const QString cache = dir.filePath(QStringLiteral("cache"));
    std::printf("writing %.0f minutes of 44.1 kHz stereo Ogg Vorbis...\n", minutes);
    std::fflush(stdout);
    bench::writeTonesAndPauses(path, seconds, Rate);

    const QString oggdecProgram = QStandardPaths::findExecutable(QStringLiteral("oggdec"));
    bool oggdecOk = !oggdecProgram.isEmpty();
    double picture = 1e300, whole = 1e300, oggdec = 1e300, cpu = 1e300;
    std::size_t bytes = 0;
    bench::resetPeak();
    // The phases alternate, so that a busy spell of a shared machine hits all alike.
    for (int i = 0; i < 2; ++i) {
        const double cpuStart = bench::cpuSeconds();
        const Times t = measure(path, QString(), &bytes);
        cpu = std::min(cpu, bench::cpuSeconds() - cpuStart);
        picture = std::min(picture, t.picture);
        whole = std::min(whole, t.whole);
        if (oggdecOk)
            oggdec = std::min(oggdec, bench::wallSeconds([&] {
                                  oggdecOk = runProgram(oggdecProgram,
                                                        {QStringLiteral("-Q"), QStringLiteral("-o"),
                                                         QStringLiteral("/dev/null"), path});
                              }));
    }
    const long peakKb = bench::procStatusKb("VmHWM:");
    measure(path, cache); // fills the cache
    double reopen = 1e300;
    bool cached = true;
    for (int i = 0; i < 3; ++i) {
        const Times t = measure(path, cache);
        reopen = std::min(reopen, t.whole);
        cached = cached && t.cached;
    }

    const double frames = seconds * Rate;
    const double tenHours = 10 * 3600.0 * Rate;
    const double perFrame = double(bytes) / frames;
    std::printf("waveform: %.0f s of audio, summary %zu bytes (%.1f KB a minute)\n", seconds, bytes,
                double(bytes) / minutes / 1024);
    std::printf("waveform first full-width picture: %.3f s (goal <= 0.5)\n", picture);
    std::printf("waveform whole summary:            %.2f s, %.0fx real time, %.2f s processor\n",
                whole, seconds / whole, cpu);
    if (oggdecOk) {
        std::printf("oggdec to /dev/null:               %.2f s\n", oggdec);
        std::printf("waveform/oggdec ratio: %.2f (goal <= 0.6)\n", whole / oggdec);
    } else {
        std::printf("oggdec: not installed, skipped\n");
    }
    std::printf("waveform cached reopen:            %.4f s%s (goal <= 0.1)\n", reopen,
                cached ? "" : " (NOT from the cache)");
    std::printf("waveform peak memory of the process: %.1f MB\n", double(peakKb) / 1024);
    std::printf("waveform 10-hour summary: %.1f MB, with this process's peak %.1f MB (goal < "
                "100)\n",
                perFrame * tenHours / 1e6,
                (double(peakKb) * 1024 + perFrame * (tenHours - frames)) / 1e6);
    return 0;
}
