// Measures the pieces that keep their source's format, or a lossless one:
// - `cadelo-cli split --copy` of a 60-minute MP3 file into pieces of 60 s
//   against mp3splt's cut of the same file, each run as a program of its own,
//   alternating, a few rounds; processor time (user + system) of each and
//   their ratio;
// - FLAC pieces of a 20-minute FLAC source (its own frames, fresh ones at
//   the pieces' ends, the MD5 of each piece from its decode) against
//   re-encoding the same pieces to Ogg Vorbis at the default encoding, each
//   by the real split run, one piece after the other; and where the FLAC
//   pieces' time goes: reading the source's frames, writing the pieces, and
//   the decode for their MD5.
//
// formats [ROUNDS] [CADELO-CLI]: the program built beside this one unless given.
#include "audio/FlacCopyCut.h"
#include "audio/FlacEncoder.h"
#include "bench/BenchSupport.h"
#include "bench/ChildRuns.h"
#include "bench/SplitBench.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

namespace {

constexpr int Rate = 44100;
constexpr int Channels = 2;
constexpr int Minutes = 60;

QString fileCount(const QString& dir) {
    return QString::number(QDir(dir).entryList(QDir::Files).size());
}

// A 60-minute 128 kbit/s MP3 file: one minute of the test tone encoded by
// lame, its audio frames repeated (lame takes minutes for the whole hour;
// each repeat begins with a frame that needs no bit reservoir). False
// without lame.
bool makeLongMp3(const QString& dir, const QString& path) {
    const QString wav = QDir(dir).filePath(QStringLiteral("minute.wav"));
    const QString minute = QDir(dir).filePath(QStringLiteral("minute.mp3"));
    synth::writeWav(wav, synth::tone(std::int64_t(60) * Rate, Rate, Channels), Rate, Channels);
    if (!synth::run(QStringLiteral("lame"),
                    {QStringLiteral("--quiet"), QStringLiteral("-t"), QStringLiteral("-b"),
                     QStringLiteral("128"), wav, minute}))
        return false;
    QFile in(minute);
    QFile out(path);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray frames = in.readAll();
    for (int i = 0; i < Minutes; ++i)
        if (out.write(frames) != frames.size())
            return false;
    QFile::remove(wav);
    return true;
}

// The MP3 half: 0 when measured (or a peer is missing), 1 on a failure.
int mp3CopyFigures(const QString& cli, int rounds) {
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString source = dir.filePath(QStringLiteral("long.mp3"));
    std::printf("MP3 --copy: making %d minutes of MP3...\n", Minutes);
    std::fflush(stdout);
    if (!makeLongMp3(dir.path(), source)) {
        std::printf("MP3 --copy: lame is not installed or failed\n");
        return 0;
    }
    std::printf("source: %lld bytes\n", static_cast<long long>(QFile(source).size()));
    const QString mp3splt = QStandardPaths::findExecutable(QStringLiteral("mp3splt"));
    // An empty settings file: the user's own never changes what is measured.
    const QString settings = dir.filePath(QStringLiteral("settings.ini"));
    QFile(settings).open(QIODevice::WriteOnly);
    const QString ourOut = dir.filePath(QStringLiteral("ours"));
    const QString peerOut = dir.filePath(QStringLiteral("peer"));

    bench::Series ours, peer;
    try {
        for (int round = 0; round < rounds; ++round) {
            QDir(ourOut).removeRecursively();
            QDir().mkpath(ourOut);
            ours.add(bench::runProgram({bench::local(cli), "split", "--copy", "--every", "60", "-q",
                                        "--settings", bench::local(settings), "-o",
                                        bench::local(ourOut), bench::local(source)}));
            if (!mp3splt.isEmpty()) {
                QDir(peerOut).removeRecursively();
                QDir().mkpath(peerOut);
                peer.add(bench::runProgram({bench::local(mp3splt), "-q", "-t", "1.0", "-d",
                                            bench::local(peerOut), bench::local(source)}));
            }
        }
    } catch (const std::exception& e) {
        std::printf("failed: %s\n", e.what());
        return 1;
    }
    std::printf("cadelo-cli pieces: %s\n", qPrintable(fileCount(ourOut)));
    ours.print("cadelo-cli split --copy (MP3)");
    if (mp3splt.isEmpty()) {
        std::printf("mp3splt: not installed\n");
        return 0;
    }
    std::printf("mp3splt pieces: %s\n", qPrintable(fileCount(peerOut)));
    peer.print("mp3splt -t 1.0");
    std::printf("mp3-copy/mp3splt ratio: %.2f (goal <= 1.0)\n",
                bench::median(ours.cpu) / bench::median(peer.cpu));
    return 0;
}

constexpr int PieceSeconds = 60;

// A 16-bit FLAC file of `minutes` minutes: the test tone with a little noise
// under it, so that the encoder has more than a pure tone to predict.
void writeFlacSource(const QString& path, int minutes) {
    FlacEncoder e;
    e.setFormat({Rate, Channels, 16, 5});
    e.open(path);
    std::vector<float> block(size_t(Rate) * Channels);
    std::uint32_t noise = 12345;
    const std::int64_t frames = std::int64_t(minutes) * 60 * Rate;
    for (std::int64_t at = 0; at < frames; at += Rate) {
        for (int i = 0; i < Rate; ++i)
            for (int c = 0; c < Channels; ++c) {
                noise = noise * 1664525u + 1013904223u;
                const float n = float(int(noise >> 20) - 2048) / 2048.0f * 0.01f;
                block[size_t(i * Channels + c)] =
                    std::nearbyint((0.8f * synth::toneSample(at + i, c, Rate) + n) * 32767.0f) /
                    32768.0f;
            }
        e.write(block.data(), Rate);
    }
    e.close();
}

QStringList splitTo(const QString& source, const QString& outDir, OutputFormat format) {
    QDir(outDir).removeRecursively();
    QDir().mkpath(outDir);
    bench::RunSetup run(outDir);
    run.state.settings.splitSeconds = PieceSeconds;
    run.admit({source});
    RunOptions options = RunOptions::fromSettings(run.state.settings, nullptr, int(format));
    run.conversion.setOptions(options);
    run.conversion.splitRun();
    if (run.conversion.lastRunFailed())
        throw std::runtime_error("split failed: " + run.conversion.lastError().toStdString());
    return run.conversion.lastOutputs();
}

// The FLAC pieces' time by its parts, the cut run directly: finding the
// source's frames, the pieces without their MD5, and with it.
// Last the ratio the split would reach without the MD5 decode.
bool printFlacShares(const QString& source, const QString& outDir, int rounds, double flacCpu,
                     double vorbisCpu) {
    bench::Measure scan, copy, signature;
    std::unique_ptr<FlacCopyCut> cut;
    const auto pieces = [&](bool signatures) {
        cut->setSignatures(signatures);
        const std::int64_t piece = std::int64_t(PieceSeconds) * Rate;
        for (std::int64_t at = 0; at < cut->lengthFrames(); at += piece) {
            QFile out(outDir + QStringLiteral("piece.flac"));
            if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered))
                throw std::runtime_error("cannot write a piece");
            cut->writePiece(out, at, at + piece, {});
        }
    };
    for (int round = 0; round < rounds; ++round) {
        bench::runOnce(scan, [&] { cut = std::make_unique<FlacCopyCut>(source, 5); });
        bench::runOnce(copy, [&] { pieces(false); });
        bench::runOnce(signature, [&] { pieces(true); });
    }
    if (scan.failed || copy.failed || signature.failed) {
        std::printf("failed: %s\n", (scan.failed   ? scan
                                     : copy.failed ? copy
                                                   : signature)
                                        .error.c_str());
        return false;
    }
    std::printf("FLAC pieces by their parts, best of %d:\n", rounds);
    std::printf("  finding the source's frames (CRC-16 of each): %.2f s CPU\n", scan.cpu);
    std::printf("  pieces without the MD5: %.2f s CPU\n", copy.cpu);
    std::printf("  pieces with the MD5 (decode and hash): %.2f s CPU, of which the MD5 %.2f s\n",
                signature.cpu, signature.cpu - copy.cpu);
    std::printf("Vorbis/FLAC CPU ratio were the MD5 left out: %.1f\n",
                vorbisCpu / std::max(1e-3, flacCpu - (signature.cpu - copy.cpu)));
    return true;
}

} // namespace

// FLAC pieces of a FLAC source against the same pieces re-encoded to Ogg Vorbis.
int flacFigures(int rounds, int minutes) {
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString source = dir.filePath(QStringLiteral("long.flac"));
    const QString outDir = dir.filePath(QStringLiteral("out")) + QLatin1Char('/');
    std::printf("synthesising %d min of %d Hz stereo FLAC...\n", minutes, Rate);
    std::fflush(stdout);
    writeFlacSource(source, minutes);

    bench::Measure flac, vorbis;
    qsizetype flacPieces = 0, vorbisPieces = 0;
    for (int round = 0; round < rounds; ++round) {
        bench::runOnce(vorbis,
                       [&] { vorbisPieces = splitTo(source, outDir, OutputFormat::Ogg).size(); });
        bench::runOnce(flac,
                       [&] { flacPieces = splitTo(source, outDir, OutputFormat::Flac).size(); });
    }
    if (flac.failed || vorbis.failed) {
        std::printf("failed: %s\n", (flac.failed ? flac : vorbis).error.c_str());
        return 1;
    }
    std::printf("FLAC source of %d min into %d s pieces, one at a time, best of %d:\n", minutes,
                PieceSeconds, rounds);
    std::printf("FLAC pieces (%lld): %.2f s wall, %.2f s CPU, peak memory %ld kB\n",
                static_cast<long long>(flacPieces), flac.wall, flac.cpu, flac.peakKb);
    std::printf("Ogg Vorbis pieces (%lld): %.2f s wall, %.2f s CPU, peak memory %ld kB\n",
                static_cast<long long>(vorbisPieces), vorbis.wall, vorbis.cpu, vorbis.peakKb);
    std::printf("Vorbis/FLAC CPU ratio: %.1f (goal: at least 40)\n", vorbis.cpu / flac.cpu);
    std::printf("Vorbis/FLAC ratio: %.1f\n", vorbis.wall / flac.wall);
    return printFlacShares(source, outDir, rounds, flac.cpu, vorbis.cpu) ? 0 : 1;
}

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = bench::roundsArgument(argc, argv, 5);
    const QString cli = bench::cliProgram(argc, argv);
    if (cli.isEmpty())
        return 1;
    const int mp3 = mp3CopyFigures(cli, rounds);
    std::printf("\n");
    const int flac = flacFigures(rounds, 20);
    return mp3 != 0 ? mp3 : flac;
}
