// Measures the Time split of a 30-minute file into pieces of 60 s through the
// real split run, against decoding and encoding the same audio directly.
#include "bench/BenchSupport.h"
#include "bench/SplitBench.h"

#include <cstdio>

namespace {

constexpr int Minutes = 30;

} // namespace

int main(int argc, char** argv) {
    return bench::splitBenchMain(
        argc, argv, Minutes * 60, bench::CdRate, bench::CdChannels, [&](bench::SplitBench& b) {
            const int rounds = bench::roundsArgument(argc, argv, 2);
            bench::Measure bound, run;
            qsizetype pieces = 0;
            if (!bench::measureAgainstBound(
                    run, bound, rounds, {b.source}, b.dir.filePath(QStringLiteral("bound.ogg")),
                    bench::CdRate, bench::CdChannels, [&] { pieces = b.split(60, 1).size(); }))
                return 1;
            // 1800 s is an exact multiple of 60 s: the Time split adds an empty 31st piece.
            std::printf("pieces written: %lld (best of %d rounds)\n",
                        static_cast<long long>(pieces), rounds);
            bench::printAgainstBound("split", "libvorbisfile + libvorbisenc", run, bound);
            return 0;
        });
}
