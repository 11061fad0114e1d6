// Measures a split into very many pieces: a 4-hour mono 8 kHz file cut into
// pieces of 1 s by the real split run. Choosing a piece's name must not grow
// with the pieces already written, so the last thousand pieces are made as
// fast as the first thousand.
#include "core/MainState.h"
#include "bench/BenchSupport.h"
#include "convert/Conversion.h"
#include "convert/RunOptions.h"
#include "joblist/JobList.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr int Rate = 8000;
constexpr int Channels = 1;
constexpr int Hours = 4;
constexpr int Window = 1000; // pieces measured at each end

double seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString source = dir.filePath(QStringLiteral("long.ogg"));
    const QString outDir = dir.filePath(QStringLiteral("out")) + QLatin1Char('/');
    QDir().mkpath(outDir);

    std::printf("synthesising %d hours of %d Hz mono...\n", Hours, Rate);
    std::fflush(stdout);
    synth::writeOgg(source, std::int64_t(Hours) * 3600 * Rate, Rate, Channels);

    MainState state;
    JobList jobs(state);
    Conversion conversion(state, jobs);
    state.settings.splitMode = SplitMode::Time;
    state.settings.splitSeconds = 1;
    state.settings.outputDir = outDir;
    state.pump = [] {};
    jobs.admitFile(source, JobList::AddFilesFloor);
    jobs.selectRow(0);
    conversion.setOptions(RunOptions::fromSettings(state.settings, nullptr, 0));

    // When each piece was complete, from the start of the run.
    std::vector<std::chrono::steady_clock::time_point> closed;
    closed.reserve(size_t(Hours) * 3600 + 2);
    conversion.onOutputClosed = [&](const QString&) {
        closed.push_back(std::chrono::steady_clock::now());
    };
    std::printf("splitting into pieces of 1 s...\n");
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    conversion.splitRun();
    const auto end = std::chrono::steady_clock::now();
    if (conversion.lastRunFailed()) {
        std::printf("split failed: %s\n", qPrintable(conversion.lastError()));
        return 1;
    }
    const size_t n = closed.size();
    if (n < size_t(2 * Window)) {
        std::printf("only %zu pieces written\n", n);
        return 1;
    }
    const double first = Window / seconds(start, closed[Window - 1]);
    const double last = Window / seconds(closed[n - Window - 1], closed[n - 1]);
    std::printf("pieces written: %zu in %.1f s (%.1f pieces/s overall)\n", n,
                seconds(start, end), double(n) / seconds(start, end));
    std::printf("first %d pieces: %.1f pieces/s\n", Window, first);
    std::printf("last %d pieces: %.1f pieces/s\n", Window, last);
    std::printf("split-many/first-last ratio: %.2f\n", first / last);
    return 0;
}
