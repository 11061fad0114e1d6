// Measures a split into very many pieces: a 4-hour mono 8 kHz file cut into
// pieces of 1 s by the real split run. Choosing a piece's name must not grow
// with the pieces already written, so the last thousand pieces are made as
// fast as the first thousand.
#include "bench/BenchSupport.h"
#include "bench/SplitBench.h"

#include <chrono>
#include <cstdio>
#include <exception>
#include <vector>

namespace {

constexpr int Rate = 8000;
constexpr int Hours = 4;
constexpr int Window = 1000; // pieces measured at each end

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// Splits the source into pieces of 1 s and prints how fast the first and the
// last pieces were made.
int measure(bench::SplitBench& b) {
    // When each piece was complete, by the clock and by this process's
    // processor time (the machine may be shared: the second is what the run
    // itself spent).
    std::vector<Clock::time_point> closed;
    std::vector<double> closedCpu;
    closed.reserve(size_t(Hours) * 3600 + 2);
    closedCpu.reserve(size_t(Hours) * 3600 + 2);
    std::printf("splitting into pieces of 1 s...\n");
    std::fflush(stdout);
    const auto start = Clock::now();
    try {
        b.split(1, 1, [&](const QString&) {
            closed.push_back(Clock::now());
            closedCpu.push_back(bench::cpuSeconds());
        });
    } catch (const std::exception& e) {
        std::printf("%s\n", e.what());
        return 1;
    }
    const auto end = Clock::now();
    const size_t n = closed.size();
    if (n < size_t(2 * Window)) {
        std::printf("only %zu pieces written\n", n);
        return 1;
    }
    // Each window is timed from the piece before it, so that the planning
    // before the first piece does not count.
    const double first = (Window - 1) / seconds(closed[0], closed[Window - 1]);
    const double last = (Window - 1) / seconds(closed[n - Window], closed[n - 1]);
    const double firstCpu = (Window - 1) / (closedCpu[Window - 1] - closedCpu[0]);
    const double lastCpu = (Window - 1) / (closedCpu[n - 1] - closedCpu[n - Window]);
    std::printf("pieces written: %zu in %.1f s (%.1f pieces/s overall)\n", n, seconds(start, end),
                double(n) / seconds(start, end));
    std::printf("first %d pieces: %.1f pieces/s (%.1f per processor second)\n", Window, first,
                firstCpu);
    std::printf("last %d pieces: %.1f pieces/s (%.1f per processor second)\n", Window, last,
                lastCpu);
    std::printf("by the clock: first-last ratio %.2f\n", first / last);
    // By processor time, which other work on the machine does not change.
    std::printf("split-many/first-last ratio: %.2f\n", firstCpu / lastCpu);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    return bench::splitBenchMain(argc, argv, std::int64_t(Hours) * 3600, Rate, 1, measure);
}
