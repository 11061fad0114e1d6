// Measures what a start costs: processor time and peak memory of cadelo-cli
// --help and of cadelo-cli info on one Ogg Vorbis, one MP3 and one WMA file,
// the window's time to its first painted frame (offscreen), and ogginfo on
// the same Ogg file beside them. Each program runs as a child of its own,
// measured as /usr/bin/time measures it.
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

constexpr int Rate = 44100;
constexpr int Channels = 2;
constexpr int Seconds = 180; // about 3 MB of Ogg Vorbis

struct Figures {
    double cpu = 1e300;  // user + system seconds, the best run
    double wall = 1e300; // seconds to the end (or to the first frame), the best run
    long peakKb = 0;     // peak resident memory, the largest run
    bool failed = false;
};

// Runs `args` with `extraEnv` added through startup-launch, which measures it;
// with `untilLine`, the wall time runs until the child writes a line starting
// with it on stderr, otherwise until it ends.
void runOnce(Figures& f, const QString& launcher, const QStringList& args,
             const QStringList& extraEnv = {}, const char* untilLine = nullptr) {
    std::vector<std::string> argStore{launcher.toStdString()}, envStore;
    for (const QString& a : args)
        argStore.push_back(a.toStdString());
    for (char** e = environ; *e; ++e)
        envStore.emplace_back(*e);
    for (const QString& e : extraEnv)
        envStore.push_back(e.toStdString());
    std::vector<char*> argv, envp;
    for (std::string& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (std::string& e : envStore)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    int outPipe[2] = {-1, -1};
    int errPipe[2] = {-1, -1};
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) {
        f.failed = true;
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    const auto readAll = [](int fd, const char* until, double* at, auto start) {
        std::string text;
        char buffer[4096];
        ssize_t n = 0;
        while ((n = read(fd, buffer, sizeof buffer)) > 0) {
            text.append(buffer, size_t(n));
            if (until && *at < 0 && text.find(until) != std::string::npos)
                *at =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        return text;
    };
    double wall = -1;
    readAll(errPipe[0], untilLine, &wall, start);
    const std::string report = readAll(outPipe[0], nullptr, &wall, start);
    close(outPipe[0]);
    close(errPipe[0]);
    if (spawned != 0) {
        f.failed = true;
        return;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!untilLine)
        wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double cpu = 0;
    long peak = 0;
    int code = -1;
    if (std::sscanf(report.c_str(), "cpu %lf peak %ld exit %d", &cpu, &peak, &code) != 3 ||
        code != 0 || wall < 0) {
        f.failed = true;
        return;
    }
    f.cpu = std::min(f.cpu, cpu);
    f.wall = std::min(f.wall, wall);
    f.peakKb = std::max(f.peakKb, peak);
}

void print(const char* what, const Figures& f) {
    if (f.failed)
        std::printf("%-24s failed\n", what);
    else
        std::printf("%-24s %.3f s CPU, %.3f s wall, peak memory %ld kB\n", what, f.cpu, f.wall,
                    f.peakKb);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    // The programs lie one folder up, in the build tree's top.
    const QDir build(QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    const QString cli = build.absoluteFilePath(QStringLiteral("cadelo-cli"));
    const QString window = build.absoluteFilePath(QStringLiteral("cadelo"));
    const QString launcher =
        QCoreApplication::applicationDirPath() + QStringLiteral("/startup-launch");

    QTemporaryDir dir;
    const QString ogg = dir.filePath(QStringLiteral("tone.ogg"));
    const QString wav = dir.filePath(QStringLiteral("tone.wav"));
    const QString mp3 = dir.filePath(QStringLiteral("tone.mp3"));
    const QString wma = dir.filePath(QStringLiteral("tone.wma"));
    synth::writeOgg(ogg, std::int64_t(Seconds) * Rate, Rate, Channels);
    synth::writeWav(wav, synth::tone(std::int64_t(Seconds) * Rate, Rate, Channels), Rate, Channels);
    const bool haveMp3 = synth::makeMp3(wav, mp3);
    const bool haveWma = synth::makeWma(wav, wma);
    const QString ogginfo = QStandardPaths::findExecutable(QStringLiteral("ogginfo"));

    // The window's own home: no real settings file, no lock of a running copy.
    QDir(dir.path()).mkpath(QStringLiteral("home/runtime"));
    QFile::setPermissions(dir.filePath(QStringLiteral("home/runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString home = dir.filePath(QStringLiteral("home"));
    const QStringList windowEnv{
        QStringLiteral("QT_QPA_PLATFORM=offscreen"), QStringLiteral("CADELO_FIRST_FRAME_EXIT=1"),
        QStringLiteral("HOME=") + home,
        QStringLiteral("XDG_CONFIG_HOME=") + home + QStringLiteral("/config"),
        QStringLiteral("XDG_RUNTIME_DIR=") + home + QStringLiteral("/runtime")};
    const QStringList cliEnv{QStringLiteral("HOME=") + home,
                             QStringLiteral("XDG_CONFIG_HOME=") + home + QStringLiteral("/config")};

    Figures help, infoOgg, infoMp3, infoWma, shown, peer;
    // Alternated, so that a busy spell of a shared machine hits all alike.
    for (int round = 0; round < rounds; ++round) {
        runOnce(help, launcher, {cli, QStringLiteral("--help")}, cliEnv);
        runOnce(infoOgg, launcher, {cli, QStringLiteral("info"), ogg}, cliEnv);
        if (haveMp3)
            runOnce(infoMp3, launcher, {cli, QStringLiteral("info"), mp3}, cliEnv);
        if (haveWma)
            runOnce(infoWma, launcher, {cli, QStringLiteral("info"), wma}, cliEnv);
        runOnce(shown, launcher, {window}, windowEnv, "first frame");
        if (!ogginfo.isEmpty())
            runOnce(peer, launcher, {ogginfo, ogg});
    }

    std::printf("best of %d rounds; Ogg file of %d s, %lld bytes\n", rounds, Seconds,
                static_cast<long long>(QFileInfo(ogg).size()));
    print("cadelo-cli --help:", help);
    print("cadelo-cli info (Ogg):", infoOgg);
    if (haveMp3)
        print("cadelo-cli info (MP3):", infoMp3);
    else
        std::printf("cadelo-cli info (MP3):   skipped, lame is not installed\n");
    if (haveWma)
        print("cadelo-cli info (WMA):", infoWma);
    else
        std::printf("cadelo-cli info (WMA):   skipped, ffmpeg is not installed\n");
    print("window, first frame:", shown);
    if (ogginfo.isEmpty()) {
        std::printf("ogginfo:                 skipped, not installed\n");
        return 0;
    }
    print("ogginfo (Ogg):", peer);
    if (!infoOgg.failed && !peer.failed)
        std::printf("startup/ogginfo ratio: %.2f\n", infoOgg.cpu / std::max(peer.cpu, 0.001));
    return 0;
}
