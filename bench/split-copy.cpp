// Measures the cut without re-encoding: `cadelo-cli split --copy` of a
// 60-minute 44.1 kHz stereo file into pieces of 60 s against mp3splt's cut of
// the same file, each run as a program of its own, alternating, a few rounds.
//
// split-copy [ROUNDS] [CADELO-CLI]: the program built beside this one unless given.
#include "bench/ChildRuns.h"
#include "bench/SplitBench.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

namespace {

constexpr int Rate = 44100;
constexpr int Channels = 2;
constexpr int Minutes = 60;

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const QString cli = bench::cliProgram(argc, argv);
    if (cli.isEmpty())
        return 1;
    const QString mp3splt = QStandardPaths::findExecutable(QStringLiteral("mp3splt"));

    bench::SplitBench b;
    if (!b.valid())
        return 1;
    b.synthesise(Minutes * 60, Rate, Channels);
    // An empty settings file: the user's own never changes what is measured.
    const QString settings = b.dir.filePath(QStringLiteral("settings.ini"));
    QFile(settings).open(QIODevice::WriteOnly);
    const QString peerOut = b.dir.filePath(QStringLiteral("peer"));

    bench::Series ours, help, peer;
    try {
        for (int round = 0; round < rounds; ++round) {
            b.emptyOutput();
            ours.add(bench::runProgram({bench::local(cli), "split", "--copy", "--every", "60", "-q",
                                        "--settings", bench::local(settings), "-o",
                                        bench::local(b.outDir), bench::local(b.source)}));
            help.add(bench::runProgram({bench::local(cli), "--help"}));
            if (!mp3splt.isEmpty()) {
                QDir(peerOut).removeRecursively();
                QDir().mkpath(peerOut);
                peer.add(bench::runProgram({bench::local(mp3splt), "-q", "-t", "1.0", "-d",
                                            bench::local(peerOut), bench::local(b.source)}));
            }
        }
    } catch (const std::exception& e) {
        std::printf("failed: %s\n", e.what());
        return 1;
    }

    std::printf("pieces written: %lld\n",
                static_cast<long long>(QDir(b.outDir).entryList(QDir::Files).size()));
    ours.print("cadelo-cli split --copy");
    help.print("cadelo-cli --help (start-up alone)");
    std::printf("the cut itself (split --copy minus --help): %.3f s CPU\n",
                bench::median(ours.cpu) - bench::median(help.cpu));
    if (mp3splt.isEmpty()) {
        std::printf("mp3splt: not installed\n");
        return 0;
    }
    std::printf("mp3splt pieces: %lld\n",
                static_cast<long long>(QDir(peerOut).entryList(QDir::Files).size()));
    peer.print("mp3splt -t 1.0");
    std::printf("split-copy/mp3splt ratio: %.2f\n",
                bench::median(ours.cpu) / bench::median(peer.cpu));
    return 0;
}
