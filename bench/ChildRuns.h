// Programs run as processes of their own, timed by what the system charged
// them: the benchmarks that set Cadelo's command line against a peer's.
#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace bench {

struct Run {
    double cpu = 0;  // user + system time of the child
    double wall = 0; // seconds from its start to its end
};

inline double seconds(const timeval& t) {
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

// Runs `args` with its output thrown away; its own processor time through wait4.
inline Run runProgram(const std::vector<std::string>& args) {
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

// runProgram where a program that cannot start or fails is only a false.
inline bool tryProgram(const std::vector<std::string>& args, Run& r) {
    try {
        r = runProgram(args);
        return true;
    } catch (const std::runtime_error&) {
        return false;
    }
}

inline double median(std::vector<double> v) {
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

inline std::string local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// The cadelo-cli a benchmark runs: its second argument, else the one built
// beside it; empty, and said, where there is none.
inline QString cliProgram(int argc, char** argv) {
    const QString cli = argc > 2 ? QString::fromLocal8Bit(argv[2])
                                 : QDir(QCoreApplication::applicationDirPath())
                                       .filePath(QStringLiteral("../cadelo-cli"));
    if (QFile::exists(cli))
        return cli;
    std::printf("cadelo-cli not found at %s\n", local(cli).c_str());
    return QString();
}

} // namespace bench
