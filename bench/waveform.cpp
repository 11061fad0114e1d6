// Measures the waveform's summary on a synthesised hour of 44.1 kHz stereo Ogg
// Vorbis: the time to the first full-width picture (the quick look), the whole
// summary against oggdec decoding the same file to /dev/null (skipped when it
// is missing) and against libvorbisfile alone (ov_read_float in a plain loop,
// one reader), a reopen served by the disk cache, and the memory a 10-hour
// file's summary takes. The cache lives in a scratch folder, never the user's.
// Arguments: [ROUNDS [FILE]]: the rounds the figures are the median of (5), and
// an Ogg Vorbis file to measure instead of the synthesised one (which is
// written there and kept, for the next run, where FILE does not exist).
// CADELO_BENCH_MINUTES sets another length of the synthesised one.
#include "audio/PeakLoader.h"
#include "bench/BenchSupport.h"
#include "bench/ChildRuns.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <functional>
#include <thread>

namespace {

struct Times {
    double picture = 0; // open() to a picture across the whole width
    double whole = 0;   // open() to finished()
    bool cached = false;
};

// One open of `path`, the event loop running as in the window.
Times measure(const QString& path, const QString& cacheFolder, std::size_t* bytes = nullptr,
              std::int64_t* frames = nullptr, int* rate = nullptr) {
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
    if (frames)
        *frames = loader.frames();
    if (rate)
        *rate = loader.rate();
    return t;
}

// The cost of decoding alone: every block of the file through ov_read_float, untouched.
bench::Run decodeAlone(const QString& path) {
    bench::Run r;
    const double cpu0 = bench::cpuSeconds();
    r.wall = bench::wallSeconds([&] {
        synth::OggBlocks blocks(path);
        float** pcm = nullptr;
        while (blocks.next(pcm, 8192) > 0) {
        }
    });
    r.cpu = bench::cpuSeconds() - cpu0;
    return r;
}

std::string loadAverage() {
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return "unknown";
    return f.readLine().split(' ').mid(0, 3).join(' ').toStdString();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = bench::roundsArgument(argc, argv, 5);
    QTemporaryDir dir;
    const QString path =
        argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath(QStringLiteral("hour.ogg"));
    if (!QFile::exists(path))
        bench::writeSoundSource(path);
    const QString cache = dir.filePath(QStringLiteral("cache"));
    std::printf("load average before: %s\n", loadAverage().c_str());
    std::fflush(stdout);

    const QString oggdecProgram = QStandardPaths::findExecutable(QStringLiteral("oggdec"));
    bool oggdecOk = !oggdecProgram.isEmpty();
    std::vector<double> picture, whole, cpu, ratios;
    bench::Series oggdec, alone;
    std::size_t bytes = 0;
    std::int64_t frames = 0;
    int rate = 0;
    bench::resetPeak();
    // The phases alternate, so that a busy spell of a shared machine hits all
    // alike; oggdec runs as a process of its own, its output thrown away.
    for (int i = 0; i < rounds; ++i) {
        const double cpuStart = bench::cpuSeconds();
        const Times t = measure(path, QString(), &bytes, &frames, &rate);
        cpu.push_back(bench::cpuSeconds() - cpuStart);
        picture.push_back(t.picture);
        whole.push_back(t.whole);
        alone.add(decodeAlone(path));
        bench::Run run;
        if (oggdecOk)
            oggdecOk = bench::tryProgram(
                {bench::local(oggdecProgram), "-Q", "-o", "/dev/null", bench::local(path)}, run);
        if (oggdecOk) {
            oggdec.add(run);
            ratios.push_back(t.whole / run.wall);
        }
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

    const double seconds = rate > 0 ? double(frames) / rate : 0;
    const double minutes = seconds / 60;
    const double tenHours = 10 * 3600.0 * rate;
    const double perFrame = frames > 0 ? double(bytes) / double(frames) : 0;
    const double wholeMedian = bench::median(whole);
    std::printf("waveform: %.0f s of audio, summary %zu bytes (%.1f KB a minute)\n", seconds, bytes,
                double(bytes) / minutes / 1024);
    std::printf("figures: the median of %d rounds\n", rounds);
    std::printf("waveform first full-width picture: %.3f s (goal <= 0.5)\n",
                bench::median(picture));
    std::printf("waveform whole summary:            %.2f s, %.0fx real time, %.2f s processor\n",
                wholeMedian, seconds / wholeMedian, bench::median(cpu));
    // Far below the cores there are, the machine was shared: the kernel gives
    // each session (not each thread) its share, and oggdec runs in ours.
    std::printf("waveform cores kept busy:          %.2f of %u\n", bench::median(cpu) / wholeMedian,
                std::thread::hardware_concurrency());
    std::printf("ov_read_float alone, one reader:   %.2f s, %.2f s processor\n",
                bench::median(alone.wall), bench::median(alone.cpu));
    if (oggdecOk) {
        std::printf("oggdec to /dev/null:               %.2f s, %.2f s processor\n",
                    bench::median(oggdec.wall), bench::median(oggdec.cpu));
        std::printf("waveform/oggdec ratio: %.2f (goal <= 0.6); by round:",
                    wholeMedian / bench::median(oggdec.wall));
        for (const double r : ratios)
            std::printf(" %.2f", r);
        std::printf("\n");
    } else {
        std::printf("oggdec: not installed or failed, skipped\n");
    }
    std::printf("waveform cached reopen:            %.4f s%s (goal <= 0.1)\n", reopen,
                cached ? "" : " (NOT from the cache)");
    std::printf("waveform peak memory of the process: %.1f MB\n", double(peakKb) / 1024);
    std::printf("waveform 10-hour summary: %.1f MB, with this process's peak %.1f MB (goal < "
                "100)\n",
                perFrame * tenHours / 1e6,
                (double(peakKb) * 1024 + perFrame * (tenHours - double(frames))) / 1e6);
    std::printf("load average after: %s\n", loadAverage().c_str());
    return 0;
}
