// Measures the whole-file join of three 10-minute files (one of them 22050 Hz
// mono) through the real join run, against decoding, converting and encoding
// the same audio directly.
#include "bench/BenchSupport.h"
#include "bench/SplitBench.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace {

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
    synth::writeOgg(sources[0], std::int64_t(Minutes) * 60 * bench::CdRate, bench::CdRate, 2);
    synth::writeOgg(sources[1], std::int64_t(Minutes) * 60 * 22050, 22050, 1);
    synth::writeOgg(sources[2], std::int64_t(Minutes) * 60 * bench::CdRate, bench::CdRate, 2);

    const int rounds = bench::roundsArgument(argc, argv, 2);
    const QString joined = dir.filePath(QStringLiteral("joined.ogg"));
    std::unique_ptr<bench::RunSetup> setup;
    const auto prepare = [&] {
        setup = std::make_unique<bench::RunSetup>(dir.path() + QLatin1Char('/'));
        setup->admit(sources);
        QFile::remove(joined);
        setup->conversion.setOptions(RunOptions::fromSettings(setup->state.settings, nullptr, 0));
    };
    const auto join = [&] {
        setup->conversion.joinRun(joined);
        if (setup->conversion.lastRunFailed())
            throw std::runtime_error("join failed: " + setup->conversion.lastError().toStdString());
    };
    bench::Measure bound, run;
    if (!bench::measureAgainstBound(run, bound, rounds, sources,
                                    dir.filePath(QStringLiteral("bound.ogg")), bench::CdRate,
                                    bench::CdChannels, join, prepare))
        return 1;

    std::printf("joined %d minutes (best of %d rounds)\n", 3 * Minutes, rounds);
    bench::printAgainstBound("join", "libvorbisfile + libswresample + libvorbisenc", run, bound);
    return 0;
}
