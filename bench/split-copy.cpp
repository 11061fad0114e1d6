// Measures the cut without re-encoding: `cadelo-cli split --copy` of a
// 60-minute 44.1 kHz stereo file into pieces of 60 s against mp3splt's cut of
// the same file, each run as a program of its own, alternating, a few rounds.
//
// split-copy [ROUNDS] [CADELO-CLI]: the program built beside this one unless given.
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

extern char** environ;

namespace {

constexpr int Rate = 44100;
constexpr int Channels = 2;
constexpr int Minutes = 60;

struct Run {
    double cpu = 0;  // user + system time of the child
    double wall = 0; // seconds from its start to its end
};

double seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

// Runs `args` with its output thrown away; its own processor time through wait4.
Run runProgram(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + args[0]);
    int status = 0;
    rusage usage{};
    if (wait4(pid, &status, 0, &usage) != pid)
        throw std::runtime_error("lost " + args[0]);
    Run r;
    r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    r.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(args[0] + " failed");
    return r;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

struct Series {
    std::vector<double> cpu, wall;
    void add(const Run& r) {
        cpu.push_back(r.cpu);
        wall.push_back(r.wall);
    }
    void print(const char* name) const {
        std::printf("%s: %.3f s CPU, %.3f s wall (median of %zu)\n", name, median(cpu),
                    median(wall), cpu.size());
    }
};

std::string local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const QString cli = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                 : QDir(QCoreApplication::applicationDirPath())
                                       .filePath(QStringLiteral("../cadelo-cli"));
    if (!QFile::exists(cli)) {
        std::printf("cadelo-cli not found at %s\n", local(cli).c_str());
        return 1;
    }
    const QString mp3splt = QStandardPaths::findExecutable(QStringLiteral("mp3splt"));

    bench::SplitBench b;
    if (!b.valid())
        return 1;
    b.synthesise(Minutes * 60, Rate, Channels);
    // An empty settings file: the user's own never changes what is measured.
    const QString settings = b.dir.filePath(QStringLiteral("settings.ini"));
    QFile(settings).open(QIODevice::WriteOnly);
    const QString peerOut = b.dir.filePath(QStringLiteral("peer"));

    Series ours, help, peer;
    try {
        for (int round = 0; round < rounds; ++round) {
            b.emptyOutput();
            ours.add(runProgram({local(cli), "split", "--copy", "--every", "60", "-q", "--settings",
                                 local(settings), "-o", local(b.outDir), local(b.source)}));
            help.add(runProgram({local(cli), "--help"}));
            if (!mp3splt.isEmpty()) {
                QDir(peerOut).removeRecursively();
                QDir().mkpath(peerOut);
                peer.add(runProgram(
                    {local(mp3splt), "-q", "-t", "1.0", "-d", local(peerOut), local(b.source)}));
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
                median(ours.cpu) - median(help.cpu));
    if (mp3splt.isEmpty()) {
        std::printf("mp3splt: not installed\n");
        return 0;
    }
    std::printf("mp3splt pieces: %lld\n",
                static_cast<long long>(QDir(peerOut).entryList(QDir::Files).size()));
    peer.print("mp3splt -t 1.0");
    std::printf("split-copy/mp3splt ratio: %.2f\n", median(ours.cpu) / median(peer.cpu));
    return 0;
}
