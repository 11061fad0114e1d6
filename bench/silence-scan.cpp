// Measures the level scan of the silence split on a synthesised hour of
// 44.1 kHz stereo Ogg Vorbis (speech-like tones and pauses over noise): one
// reader, two readers in parallel, against oggdec decoding the same file to
// /dev/null and against mp3splt's silence split of it (each skipped when the
// program is missing). CADELO_BENCH_MINUTES sets another length.
#include "audio/LevelScan.h"
#include "bench/BenchSupport.h"
#include "bench/ChildRuns.h"
#include "joblist/SilencePlanning.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cmath>
#include <cstdio>
#include <functional>

namespace {

double best(int runs, const std::function<void()>& work) {
    double t = 1e300;
    for (int i = 0; i < runs; ++i)
        t = std::min(t, bench::wallSeconds(work));
    return t;
}

bool runProgram(const QString& program, const std::vector<std::string>& args) {
    std::vector<std::string> all{bench::local(program)};
    all.insert(all.end(), args.begin(), args.end());
    bench::Run run;
    return bench::tryProgram(all, run);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double seconds = bench::soundMinutes() * 60;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("hour.ogg"));
    bench::writeSoundSource(path);

    const int runs = 2;
    std::size_t pieces = 0;
    const auto scan = [&](int threads) {
        const LevelScan s = scanLevels(path, {threads, {}, {}});
        pieces = SilencePlanning::planSilence(s, SilenceSettings{}).size();
    };
    double one = 1e300, two = 1e300, oggdec = 1e300, mp3splt = 1e300;
    const QString oggdecProgram = QStandardPaths::findExecutable(QStringLiteral("oggdec"));
    const QString mp3spltProgram = QStandardPaths::findExecutable(QStringLiteral("mp3splt"));
    bool oggdecOk = !oggdecProgram.isEmpty();
    // The phases alternate, so that a busy spell of a shared machine hits all alike.
    for (int i = 0; i < runs; ++i) {
        one = std::min(one, best(1, [&] { scan(1); }));
        two = std::min(two, best(1, [&] { scan(0); }));
        if (oggdecOk)
            oggdec = std::min(oggdec, best(1, [&] {
                                  oggdecOk = runProgram(
                                      oggdecProgram, {"-Q", "-o", "/dev/null", bench::local(path)});
                              }));
    }
    if (!mp3spltProgram.isEmpty()) {
        const QString out = dir.filePath(QStringLiteral("mp3splt"));
        QDir().mkpath(out);
        mp3splt = best(1, [&] {
            if (!runProgram(mp3spltProgram,
                            {"-q", "-s", "-d", bench::local(out), bench::local(path)}))
                mp3splt = -1;
        });
    }

    std::printf("silence-scan: %.0f s of audio, %zu pieces at -48 dBFS, 1.0 s pauses\n", seconds,
                pieces);
    std::printf("silence-scan one reader:  %.2f s, %.0fx real time\n", one, seconds / one);
    std::printf("silence-scan two readers: %.2f s, %.0fx real time\n", two, seconds / two);
    if (oggdecOk) {
        std::printf("oggdec to /dev/null:      %.2f s, %.0fx real time\n", oggdec,
                    seconds / oggdec);
        std::printf("silence-scan/oggdec ratio: %.2f\n", one / oggdec);
    } else {
        std::printf("oggdec: not installed, skipped\n");
    }
    if (mp3spltProgram.isEmpty())
        std::printf("mp3splt: not installed, skipped\n");
    else if (mp3splt < 0)
        std::printf("mp3splt -s: failed, skipped\n");
    else
        std::printf("mp3splt -s:               %.2f s, %.0fx real time (silence-scan %.2fx as "
                    "fast, one reader)\n",
                    mp3splt, seconds / mp3splt, mp3splt / one);
    return 0;
}
