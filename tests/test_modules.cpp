// Which libraries a job opens: FFmpeg's module only for a file that is neither
// Ogg Vorbis nor MP3, and a clear refusal of that file where it is missing.
#include "audio/AudioFile.h"
#include "support/RunFixture.h"
#include "synth/Synth.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace {

// Whether a library whose file name holds `part` is mapped into this process.
bool mapped(const char* part) {
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(part);
}

const char* const kFfmpegLibraries[] = {"cadelo-ffmpeg", "libavformat", "libavcodec",
                                        "libswresample", "libavutil"};

} // namespace

class ModuleLoading : public RunFixture {
  protected:
    void SetUp() override {
        RunFixture::SetUp();
        if (!QFile::exists(QStringLiteral("/proc/self/maps")))
            GTEST_SKIP() << "no /proc/self/maps on this system";
        wav = dir.filePath(QStringLiteral("tone.wav"));
        synth::writeWav(wav, synth::tone(3 * 44100, 44100, 2), 44100, 2);
    }
    QString wav;
};

TEST_F(ModuleLoading, OggAndMp3JobsLeaveFfmpegUnloadedUntilAFileNeedsIt) {
    const QString mp3 = dir.filePath(QStringLiteral("src/tone.mp3"));
    if (!synth::makeMp3(wav, mp3))
        GTEST_SKIP() << "lame is not installed";
    add(makeSource(QStringLiteral("tone.ogg"), 3 * 44100));
    add(mp3);
    ASSERT_EQ(jobs.rowCount(), 2);
    split();
    EXPECT_EQ(filesInOutput().size(), 2) << filesInOutput().join(u' ').toStdString();
    for (const char* library : kFfmpegLibraries)
        EXPECT_FALSE(mapped(library)) << library << " loaded by an Ogg and MP3 job";
    EXPECT_FALSE(mapped("libSDL2")) << "SDL loaded by a job that plays nothing";

    const QString wma = dir.filePath(QStringLiteral("src/tone.wma"));
    if (!synth::makeWma(wav, wma))
        GTEST_SKIP() << "ffmpeg is not installed";
    AudioFile reader;
    reader.openRead(wma);
    EXPECT_GT(reader.lengthSamples(), 44100);
    EXPECT_TRUE(mapped("libavformat"));
}

TEST_F(ModuleLoading, AMissingModuleRefusesOnlyTheFileThatNeedsIt) {
    const QString wma = dir.filePath(QStringLiteral("src/tone.wma"));
    if (!synth::makeWma(wav, wma))
        GTEST_SKIP() << "ffmpeg is not installed";
    const QString ogg = makeSource(QStringLiteral("tone.ogg"), 3 * 44100);
    // A copy of the program two folders down: no module beside it or above it.
    const QString alone = dir.filePath(QStringLiteral("a/b"));
    ASSERT_TRUE(QDir().mkpath(alone));
    const QString program = alone + QStringLiteral("/cadelo-cli");
    ASSERT_TRUE(QFile::copy(
        qEnvironmentVariable("CADELO_BUILD_DIR") + QStringLiteral("/cadelo-cli"), program));
    QProcess cli;
    cli.start(program, {QStringLiteral("info"), ogg, wma});
    ASSERT_TRUE(cli.waitForFinished(60000));
    EXPECT_EQ(cli.exitStatus(), QProcess::NormalExit);
    EXPECT_NE(cli.exitCode(), 0);
    EXPECT_TRUE(cli.readAllStandardOutput().contains("rate: 44100"))
        << "the Ogg file is still read";
    const QByteArray errors = cli.readAllStandardError();
    EXPECT_TRUE(
        errors.contains("tone.wma: cannot be read without FFmpeg (the module cadelo-ffmpeg"))
        << errors.constData();
}
