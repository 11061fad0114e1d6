// Measures the window's split: the main window offscreen, its menu item Split
// through the session's commands, on a 60-minute 44.1 kHz stereo file into
// pieces of 60 s, beside `cadelo-cli split --jobs 1` and FFmpeg's segment
// muxer encoding the same pieces through libvorbis. Runs in a settings folder
// of its own and plays nothing.
#include "bench/BenchSupport.h"
#include "bench/SplitBench.h"
#include "commands/Session.h"
#include "core/IniFile.h"
#include "core/Prompt.h"
#include "core/Resources.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <sys/resource.h>

namespace {

constexpr int Rate = 44100;
constexpr int Channels = 2;
constexpr int Minutes = 60;

// Nothing is asked and nothing opened on the desktop; a message ends the run.
class BenchPrompt : public Prompt {
  public:
    QStringList messages;
    void information(const QString& text) override { messages << text; }
    bool question(const QString&) override { return false; }
    QStringList openFiles(const QString&, const QStringList&) override { return {}; }
    QString saveFile(const QString&, const QStringList&, int&) override { return {}; }
    QString pickFolder(const QString&) override { return {}; }
    void openUrl(const QUrl&) override {}
};

// Processor time of the finished child processes so far.
double childCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs `program`; its processor time is added to `cpu`.
void runProgram(const QString& program, const QStringList& args, double& cpu) {
    const double before = childCpuSeconds();
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw std::runtime_error(QFileInfo(program).fileName().toStdString() + " failed");
    cpu = std::min(cpu, childCpuSeconds() - before);
}

QString loadAverage() {
    QFile f(QStringLiteral("/proc/loadavg"));
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(f.readAll()).section(u' ', 0, 2);
}

} // namespace

int main(int argc, char** argv) {
    // Before Qt starts: no screen, no sound device, and a home of its own so
    // that the user's settings file is never read or written.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("SDL_AUDIODRIVER", "dummy");
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(home.filePath(QStringLiteral("runtime"))));
    QDir(home.path()).mkpath(QStringLiteral("config"));
    QDir(home.path()).mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QApplication app(argc, argv);
    initCadeloResources();
    bench::SplitBench b;
    if (!b.valid())
        return 1;
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1;
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    const QString cli =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../cadelo-cli"));
    b.synthesise(Minutes * 60, Rate, Channels);
    std::printf("load average before: %s\n", qPrintable(loadAverage()));

    const QString iniPath = home.filePath(QStringLiteral("config/VAZOzojoin.ini"));
    {
        IniFile ini(iniPath);
        ini.writeInteger(QStringLiteral("Function"), QStringLiteral("Choice"), 1); // Time
        ini.writeInteger(QStringLiteral("Choice"), QStringLiteral("time"), 60);
        ini.writeString(QStringLiteral("Output"), QStringLiteral("Dir"), b.outDir);
    }
    Session session;
    SessionState& state = session.state();
    BenchPrompt prompt;
    state.prompt = &prompt;
    state.pump = [] { QCoreApplication::processEvents(); };
    state.ini = std::make_unique<IniFile>(iniPath);
    MainWindow window(session);
    window.prepareFirstShow();
    window.show();
    QCoreApplication::processEvents();
    session.commands().addPaths({b.source});
    session.jobs().selectRow(0);
    session.jobs().selectFile();

    bench::Measure win, one, ff;
    double oneCpu = 1e300, ffCpu = 1e300; // the child's, the faster run
    qsizetype pieces = 0;
    for (int round = 0; round < rounds; ++round) {
        b.emptyOutput();
        bench::runOnce(win, [&] {
            session.commands().splitItem();
            if (session.conversion().lastRunFailed() || !prompt.messages.isEmpty())
                throw std::runtime_error("the window's split failed: " +
                                         session.conversion().lastError().toStdString());
            pieces = session.conversion().lastOutputs().size();
        });
        if (QFileInfo(cli).isExecutable()) {
            b.emptyOutput();
            bench::runOnce(one, [&] {
                runProgram(cli,
                           {QStringLiteral("split"), QStringLiteral("--quiet"),
                            QStringLiteral("--every"), QStringLiteral("60"),
                            QStringLiteral("--jobs"), QStringLiteral("1"), QStringLiteral("-o"),
                            b.outDir, b.source},
                           oneCpu);
            });
        }
        if (!ffmpeg.isEmpty()) {
            b.emptyOutput();
            bench::runOnce(ff, [&] {
                runProgram(ffmpeg,
                           {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"),
                            QStringLiteral("error"), QStringLiteral("-i"), b.source,
                            QStringLiteral("-f"), QStringLiteral("segment"),
                            QStringLiteral("-segment_time"), QStringLiteral("60"),
                            QStringLiteral("-c:a"), QStringLiteral("libvorbis"),
                            QStringLiteral("-b:a"), QStringLiteral("128k"),
                            QDir(b.outDir).filePath(QStringLiteral("piece%03d.ogg"))},
                           ffCpu);
            });
        }
    }
    std::printf("load average after: %s\n", qPrintable(loadAverage()));
    if (win.failed) {
        std::printf("failed: %s\n", win.error.c_str());
        return 1;
    }
    const int jobs = session.commands().splitJobs;
    std::printf("pieces written: %lld (best of %d rounds)\n", static_cast<long long>(pieces),
                rounds);
    std::printf("window split (%d workers): %.2f s wall, %.2f s CPU, peak memory %ld kB\n", jobs,
                win.wall, win.cpu, win.peakKb);
    if (one.failed || !QFileInfo(cli).isExecutable())
        std::printf("cadelo-cli: %s\n", one.failed ? one.error.c_str() : "not built");
    else
        std::printf("cadelo-cli split --jobs 1: %.2f s wall, %.2f s CPU (window/cli wall ratio "
                    "%.2f)\n",
                    one.wall, oneCpu, win.wall / one.wall);
    if (ffmpeg.isEmpty() || ff.failed) {
        std::printf("ffmpeg: %s\n", ff.failed ? ff.error.c_str() : "not installed");
        return 0;
    }
    std::printf("ffmpeg segment (libvorbis 128k): %.2f s wall, %.2f s CPU\n", ff.wall, ffCpu);
    std::printf("window-split/ffmpeg ratio: %.2f\n", win.wall / ff.wall);
    return 0;
}
