// Benchmark: admitting 100 five-minute files of each readable format into the
// job list (opening, measuring, filling the row) and the milliseconds per file.
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <exception>

namespace {

constexpr int FileCount = 100;
constexpr int Rate = 44100;
constexpr int Channels = 2;
constexpr std::int64_t Frames = std::int64_t(Rate) * 300;

// One synthesised file copied FileCount times: every copy is opened anew.
QStringList copies(const QTemporaryDir& dir, const QString& source, const QString& ext) {
    QStringList paths;
    for (int i = 0; i < FileCount; ++i) {
        const QString p =
            dir.filePath(QStringLiteral("song %1.%2").arg(i, 3, 10, QLatin1Char('0')).arg(ext));
        QFile::remove(p);
        if (!QFile::copy(source, p))
            return {};
        paths << p;
    }
    return paths;
}

void measure(const char* format, const QStringList& paths) {
    if (paths.isEmpty()) {
        std::printf("%-4s  could not be synthesised, skipped\n", format);
        return;
    }
    SessionState state;
    JobList list(state);
    QElapsedTimer timer;
    timer.start();
    int failed = 0;
    for (int i = 0; i < paths.size(); ++i) {
        try {
            list.admitFile(paths[i], JobList::AddFilesFloor);
        } catch (const std::exception& e) {
            if (failed++ == 0)
                std::printf("%-4s  failure: %s\n", format, e.what());
        }
    }
    const double ms = double(timer.nsecsElapsed()) / 1e6;
    const int admitted = list.rowCount() - failed;
    std::printf("%-4s  %3d files  %9.1f ms total  %7.2f ms per file  (Seconds of the first: %d)\n",
                format, admitted, ms, ms / paths.size(),
                list.rowCount() == 0 ? -1 : list.file(0).seconds);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    std::printf("synthesising one 5-minute file per format (44.1 kHz stereo)...\n");
    std::fflush(stdout);
    const QString wav = dir.filePath(QStringLiteral("source.wav"));
    synth::writeWav(wav, synth::tone(Frames, Rate, Channels), Rate, Channels);
    const QString ogg = dir.filePath(QStringLiteral("source.ogg"));
    synth::writeOgg(ogg, Frames, Rate, Channels);
    const QString mp3 = dir.filePath(QStringLiteral("source.mp3"));
    const bool haveMp3 = synth::makeMp3(wav, mp3);
    const QString wma = dir.filePath(QStringLiteral("source.wma"));
    const bool haveWma = synth::makeWma(wav, wma);

    std::printf(
        "AdmitFile, %d files per format (goal: Ogg <= 5 ms, MP3 and WMA <= 30 ms per file)\n",
        FileCount);
    measure("Ogg", copies(dir, ogg, QStringLiteral("ogg")));
    measure("MP3", haveMp3 ? copies(dir, mp3, QStringLiteral("mp3")) : QStringList{});
    measure("WMA", haveWma ? copies(dir, wma, QStringLiteral("wma")) : QStringList{});
    return 0;
}
