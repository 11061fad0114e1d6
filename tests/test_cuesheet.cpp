// CUE sheets: each track a piece exact to the frame, with the sheet's tags
// and names, in UTF-8 and Latin-1; the sheets refused, with their line; and
// cadelo-cli split --cue --name.
#include "core/IniFile.h"
#include "joblist/CueSheet.h"
#include "support/CaseTable.h"
#include "support/Files.h"
#include "support/RunFixture.h"
#include "synth/Synth.h"
#include "tags/OggTag.h"

#include <QDir>
#include <QProcess>
#include <gtest/gtest.h>

class CueTest : public RunFixture {
  protected:
    QString sheet(const QByteArray& text) {
        const QString path = dir.filePath(QStringLiteral("src/album.cue"));
        writeBytes(path, text);
        return path;
    }
    // The refusal's message, empty when the sheet was taken.
    QString import(const QString& path) {
        const QList<JobList::Refusal> refused = jobs.addCueSheet(path);
        return refused.isEmpty() ? QString() : refused.first().message;
    }
};

struct FrameCase {
    int rate;
    const char* index; // the second track's INDEX 01
    std::int64_t sample;
};
using CueFrames = testsupport::CaseTable<CueTest, FrameCase>;

TEST_P(CueFrames, EachTrackIsAPieceExactToTheSample) {
    const FrameCase& c = GetParam();
    const std::int64_t frames = 3 * std::int64_t(c.rate);
    makeSource(QStringLiteral("a.ogg"), frames, c.rate);
    ASSERT_EQ(import(sheet("FILE a.ogg WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
                           " TRACK 02 AUDIO\n  INDEX 01 " +
                           QByteArray(c.index) + "\n")),
              QString());
    ASSERT_EQ(jobs.rowCount(), 1);
    EXPECT_EQ(jobs.file(0).spans[1].beginFrame, c.sample);
    // The pieces are encoded at the settings' 44100 Hz: only there do their
    // frames count as the source's.
    if (c.rate != 44100)
        return;
    split();
    ASSERT_EQ(conversion.lastOutputs().size(), 2);
    EXPECT_EQ(synth::decodeOgg(conversion.lastOutputs()[0]).frames(), c.sample);
    EXPECT_EQ(synth::decodeOgg(conversion.lastOutputs()[1]).frames(), frames - c.sample);
}

INSTANTIATE_TEST_SUITE_P(Rates, CueFrames,
                         ::testing::Values(FrameCase{44100, "00:01:37", 65856},
                                           FrameCase{44100, "00:02:74", 131712},
                                           FrameCase{48000, "00:01:01", 48640},
                                           FrameCase{22050, "00:02:74", 65856},
                                           FrameCase{32000, "00:00:01", 426}));

struct RefusalCase {
    const char* text;
    const char* where; // the line named
    const char* why;
};
using CueRefusal = testsupport::CaseTable<CueTest, RefusalCase>;

TEST_P(CueRefusal, NamesTheLineAndAddsNothing) {
    makeSource(QStringLiteral("a.ogg"), 3 * 44100);
    const QString message = import(sheet(GetParam().text));
    EXPECT_TRUE(message.contains(QString::fromUtf8(GetParam().where))) << message.toStdString();
    EXPECT_TRUE(message.contains(QString::fromUtf8(GetParam().why))) << message.toStdString();
    EXPECT_EQ(jobs.rowCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sheets, CueRefusal,
    ::testing::Values(
        RefusalCase{"TITLE x\nFILE \"gone.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n",
                    "line 2:", "missing"},
        RefusalCase{"TITLE x\nFILE a.ogg WAVE\n", "line 2:", "no TRACK"},
        RefusalCase{"FILE a.ogg WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:01:00\n"
                    " TRACK 02 AUDIO\n  INDEX 01 00:00:50\n",
                    "line 5:", "not after"},
        RefusalCase{"FILE a.ogg WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:61:00\n",
                    "line 3:", "mm:ss:ff"},
        RefusalCase{"FILE a.ogg WAVE\n TRACK 01 AUDIO\n  TITLE x\n TRACK 02 AUDIO\n",
                    "line 2:", "no INDEX 01"},
        RefusalCase{"FILE a.ogg WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n"
                    " TRACK 02 AUDIO\n  INDEX 01 00:04:00\n",
                    "line 5:", "after the end"}));

// A FILE line naming a file that is missing: the one it meant, lossless
// first, or the refusal.
struct MeantCase {
    const char* name;
    std::vector<const char*> present;
    const char* taken; // nullptr: refused as missing
};
using CueMeantFile = testsupport::CaseTable<CueTest, MeantCase>;

TEST_P(CueMeantFile, TakesTheSameNameInOtherLettersOrWithAnotherAudioExtension) {
    const MeantCase& c = GetParam();
    for (const char* name : c.present)
        touch(dir.filePath(QStringLiteral("src/") + QString::fromUtf8(name)), "x");
    const QString path = sheet("FILE \"Album.wav\" WAVE\n TRACK 01 AUDIO\n  INDEX 01 00:00:00\n");
    if (!c.taken) {
        EXPECT_THROW(Cue::read(path), CueError);
        return;
    }
    EXPECT_EQ(Cue::read(path).tracks.value(0).file,
              dir.filePath(QStringLiteral("src/") + QString::fromUtf8(c.taken)));
}

INSTANTIATE_TEST_SUITE_P(
    Names, CueMeantFile,
    ::testing::Values(MeantCase{"OtherLetters", {"album.WAV", "Album.flac"}, "album.WAV"},
                      MeantCase{"Compressed", {"Album.flac"}, "Album.flac"},
                      MeantCase{
                          "LosslessFirst", {"album.mp3", "Album.flac", "Album.ogg"}, "Album.flac"},
                      MeantCase{"NotAudio", {"Album.log", "Album.jpg", "Album.wav.bak"}, nullptr},
                      MeantCase{"OtherName", {"Album 2.flac"}, nullptr}),
    testsupport::CaseName());

struct EncodingCase {
    const char* name;
    QByteArray bom;
    bool latin1;
};
using CueText = testsupport::CaseTable<CueTest, EncodingCase>;

TEST_P(CueText, TagsAndNamesAreTheSheets) {
    makeSource(QStringLiteral("a.ogg"), 3 * 44100);
    makeSource(QStringLiteral("b side.ogg"), 2 * 44100);
    const QString text = QStringLiteral(
        "REM GENRE Jazz\nREM DATE 1959\nPERFORMER \"Quartet\"\nTITLE \"Café Noir\"\n"
        "FILE \"a.ogg\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"Déjà vu\"\n    INDEX 01 00:00:00\n"
        "  TRACK 02 AUDIO\n    TITLE Ça va\n    PERFORMER Solo\n    INDEX 00 00:01:00\n"
        "    INDEX 01 00:01:30\nFILE b side.ogg WAVE\n  TRACK 03 AUDIO\n    TITLE Über\n"
        "    INDEX 01 00:00:00\n");
    const QByteArray bytes = GetParam().latin1 ? text.toLatin1() : text.toUtf8();
    ASSERT_EQ(import(sheet(GetParam().bom + bytes)), QString());
    ASSERT_EQ(jobs.rowCount(), 2);
    state.settings.nameTemplate = QStringLiteral("{n} - {title} ({artist}, {album})");
    split();
    QStringList names;
    for (const QString& path : conversion.lastOutputs())
        names << QFileInfo(path).fileName();
    EXPECT_EQ(names, (QStringList{QStringLiteral("1 - Déjà vu (Quartet, Café Noir).ogg"),
                                  QStringLiteral("2 - Ça va (Solo, Café Noir).ogg"),
                                  QStringLiteral("1 - Über (Quartet, Café Noir).ogg")}));
    const OggTag second = readOggTag(conversion.lastOutputs().value(1));
    EXPECT_EQ(second.title, QStringLiteral("Ça va"));
    EXPECT_EQ(second.artist, QStringLiteral("Solo"));
    EXPECT_EQ(second.album, QStringLiteral("Café Noir"));
    EXPECT_EQ(second.date, QStringLiteral("1959"));
    EXPECT_EQ(second.genre, QStringLiteral("Jazz"));
}

INSTANTIATE_TEST_SUITE_P(Encodings, CueText,
                         ::testing::Values(EncodingCase{"utf8", QByteArray(), false},
                                           EncodingCase{"utf8bom", "\xEF\xBB\xBF", false},
                                           EncodingCase{"latin1", QByteArray(), true}));

TEST_F(CueTest, CadeloCliSplitsBySheetAndTemplate) {
    makeSource(QStringLiteral("a.ogg"), 3 * 44100);
    const QString cue = sheet("FILE a.ogg WAVE\n TRACK 01 AUDIO\n  TITLE Intro\n"
                              "  INDEX 01 00:00:00\n TRACK 02 AUDIO\n  TITLE Outro\n"
                              "  INDEX 01 00:02:00\n");
    touch(state.ini->path());
    QProcess p;
    p.start(QDir(qEnvironmentVariable("CADELO_BUILD_DIR")).filePath(QStringLiteral("cadelo-cli")),
            QStringList{QStringLiteral("split"), QStringLiteral("-q"), QStringLiteral("--cue"), cue,
                        QStringLiteral("--name"), QStringLiteral("{n} - {title}"),
                        QStringLiteral("-o"), outDir, QStringLiteral("--settings"),
                        state.ini->path()});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    EXPECT_EQ(filesInOutput(),
              (QStringList{QStringLiteral("1 - Intro.ogg"), QStringLiteral("2 - Outro.ogg")}));
}
