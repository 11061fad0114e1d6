// Tags of added sources (caption and tag record) and the tags every split
// piece carries, on Ogg, MP3, WMA and WAV files made here.
#include "support/CaseTable.h"
#include "support/Printing.h"
#include "support/RunFixture.h"
#include "synth/Synth.h"
#include "tags/Id3Tag.h"
#include "tags/OggTag.h"
#include "tags/WmaTag.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <algorithm>
#include <string>

namespace {

using testsupport::PrintTo;

constexpr std::int64_t Frames = 3 * 44100;

// An ID3v1 block; `genre` is the number of a genre of its list.
QByteArray id3v1(const QByteArray& title, const QByteArray& artist = {},
                 const QByteArray& album = {}, const QByteArray& year = {},
                 const QByteArray& comment = {}, int genre = 255) {
    const auto field = [](const QByteArray& text, int size) {
        return text.left(size) + QByteArray(size - std::min<int>(int(text.size()), size), '\0');
    };
    return "TAG" + field(title, 30) + field(artist, 30) + field(album, 30) + field(year, 4) +
           field(comment, 30) + char(genre);
}

QStringList listedComments(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("vorbiscomment"), {QStringLiteral("-l"), QStringLiteral("-R"), path});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput())
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool oggInfoClean(const QString& path) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("ogginfo"), {path});
    p.waitForFinished(60000);
    const QString out = QString::fromUtf8(p.readAll());
    return p.exitCode() == 0 && !out.contains(QStringLiteral("warning"), Qt::CaseInsensitive);
}

QString u8(const char* text) {
    return QString::fromUtf8(text);
}

struct Tagged {
    QString title, artist, album, comment, genre, year;
};

// Tag texts written as "title|artist|album|comment|genre|year", the missing
// ones empty.
Tagged tagged(const char* fields) {
    QStringList f = u8(fields).split(QLatin1Char('|'));
    f.resize(6);
    return {f[0], f[1], f[2], f[3], f[4], f[5]};
}

// How a source named ".ogg" is made: Ogg Vorbis, by FFmpeg in another Ogg
// codec, or a WAV file under that name.
enum class Make { Vorbis, Opus, Flac, Speex, Wav };

class SourceTagsTest : public RunFixture {
  protected:
    QString wav(const QString& name) {
        const QString path = dir.filePath(QStringLiteral("src/") + name);
        synth::writeWav(path, synth::tone(Frames, 44100, 2, ToneHz), 44100, 2);
        return path;
    }
    // An Ogg file of another codec carrying `t`, as FFmpeg tags it.
    QString ffmpegOgg(const QString& path, Make make, const Tagged& t) {
        const char* encoder = make == Make::Opus   ? "libopus"
                              : make == Make::Flac ? "flac"
                                                   : "libspeex";
        const QStringList args{QStringLiteral("-nostdin"),
                               QStringLiteral("-i"),
                               wav(QStringLiteral("f.wav")),
                               QStringLiteral("-c:a"),
                               QLatin1String(encoder),
                               QStringLiteral("-metadata"),
                               QStringLiteral("title=") + t.title,
                               QStringLiteral("-metadata"),
                               QStringLiteral("date=") + t.year,
                               QStringLiteral("-f"),
                               QStringLiteral("ogg"),
                               path};
        return synth::run(QStringLiteral("ffmpeg"), args) ? path : QString();
    }
    // A source of the extension's format carrying `t`; MP3s get `v1` appended
    // as their ID3v1 block. Empty when the encoder is missing.
    QString source(const QString& name, const Tagged& t, const QByteArray& v1 = {},
                   Make make = Make::Vorbis) {
        const QString ext = QFileInfo(name).suffix().toLower();
        const QString path = dir.filePath(QStringLiteral("src/") + name);
        if (make == Make::Wav)
            return wav(name);
        if (make != Make::Vorbis)
            return ffmpegOgg(path, make, t);
        if (ext == QLatin1String("ogg")) {
            makeSource(name, Frames);
            writeOggTag(path, OggTag{t.album, t.title, t.artist, t.comment, t.genre, t.year, {}});
        } else if (ext == QLatin1String("mp3")) {
            if (!synth::makeMp3(wav(QStringLiteral("m.wav")), path))
                return {};
            const Id3v2Tag v2{t.title, t.artist, t.album, t.year, {}, t.comment, t.genre};
            if (!(v2 == Id3v2Tag{}))
                writeId3v2(path, v2);
            QFile f(path);
            f.open(QIODevice::Append);
            f.write(v1);
        } else {
            if (!synth::makeWma(wav(QStringLiteral("w.wav")), path))
                return {};
            writeWmaTag(path, {true, t.year, 0, t.artist, t.title, t.album, t.comment, t.genre});
        }
        return path;
    }
    void splitEverySecond() {
        state.settings.splitMode = SplitMode::Count;
        state.settings.splitCount = 3;
        split();
    }
};

struct AdmitCase {
    const char* name;
    const char* file;
    const char* tags; // the file's own tag, as tagged() reads it
    QByteArray v1;
    AddWay way;
    const char* caption;
    const char* record; // what the row's record holds
    Make make = Make::Vorbis;
};

using Admit = testsupport::CaseTable<SourceTagsTest, AdmitCase>;

TEST_P(Admit, CaptionAndRecordComeFromTheFormatsTag) {
    const AdmitCase& c = GetParam();
    const QString path = source(u8(c.file), tagged(c.tags), c.v1, c.make);
    if (path.isEmpty())
        GTEST_SKIP() << "encoder missing";
    const QList<JobList::Refusal> refused =
        c.way == AddWay::Folder ? jobs.addFolder(dir.filePath(QStringLiteral("src")))
                                : jobs.addFiles({path});
    ASSERT_TRUE(refused.isEmpty()) << refused.first().message.toStdString();
    ASSERT_EQ(jobs.rowCount(), 1);
    const FileRow& row = jobs.file(0);
    EXPECT_EQ(row.caption, u8(c.caption));
    const FileTags& t = row.tags;
    const Tagged r = tagged(c.record);
    EXPECT_EQ(QStringList({t.title, t.artist, t.album, t.comment, t.genre, t.year}),
              QStringList({r.title, r.artist, r.album, r.comment, r.genre, r.year}));
}

const Tagged Full = tagged("Song|Band|Disc|Note|Jazz|1999");
// A title far past what a caption keeps, a character outside the BMP where
// the cut falls.
const std::string LongTitle = std::string(1023, 'a') + "\xF0\x9F\x98\x80" + std::string(5000, 'b');
const std::string LongTitleCut = std::string(1023, 'a') + "\xF0\x9F\x98\x80";
const auto Files = AddWay::Files;

INSTANTIATE_TEST_SUITE_P(
    Sources, Admit,
    ::testing::Values(
        AdmitCase{"Id3v1TitleCleaned", "a.mp3", "", id3v1("a/b"), Files, "ab", "ab"},
        AdmitCase{"Id3v2WinsOverId3v1", "a.mp3", "Two|Band", id3v1("One", "Old"), Files, "Two",
                  "Two|Band"},
        AdmitCase{"Id3v1AloneFillsEveryField", "a.mp3", "",
                  id3v1("Old Song ", "Old Band", "Old Disc", "1987", "Old note", 17), Files,
                  "Old Song", "Old Song|Old Band|Old Disc|Old note|Rock|1987"},
        AdmitCase{"Id3v1FillsWhatId3v2Lacks", "a.mp3", "New||||Jazz",
                  id3v1("Old", "Old Band", "", "1987"), Files, "New", "New|Old Band|||Jazz|1987"},
        AdmitCase{"CapitalExtensionIsMp3", "LOUD.MP3", "Loud|Band||||1999", QByteArray(), Files,
                  "Loud", "Loud|Band||||1999"},
        AdmitCase{"OggFromTheDialogCleaned", "live.ogg", " Live: Paris |Band||Note||2001",
                  QByteArray(), Files, "Live Paris", "Live Paris|Band||Note||2001"},
        AdmitCase{"OggFromAFolderAsRead", "live.ogg", "Live: Paris|Band||Note", QByteArray(),
                  AddWay::Folder, "Live: Paris", "Live Paris|Band||Note"},
        AdmitCase{"FolderCaptionWithoutControls", "c.ogg", "Line1\nLine2\x1b\x7f\xc2\x85!",
                  QByteArray(), AddWay::Folder, "Line1Line2!", "Line1Line2!"},
        AdmitCase{"LongTitleCutAtAWholeCharacter", "long.ogg", LongTitle.c_str(), QByteArray(),
                  Files, LongTitleCut.c_str(), LongTitleCut.c_str()},
        AdmitCase{"OpusNamedOgg", "o.ogg", "Voice: 1|||||2020", QByteArray(), Files, "Voice 1",
                  "Voice 1|||||2020", Make::Opus},
        AdmitCase{"FlacNamedOgg", "f.ogg", "Lossless", QByteArray(), AddWay::Folder, "Lossless",
                  "Lossless", Make::Flac},
        AdmitCase{"SpeexNamedOgg", "s.ogg", "Said", QByteArray(), Files, "Said", "Said",
                  Make::Speex},
        AdmitCase{"WavNamedOggIsAnUntaggedRow", "w.ogg", "", QByteArray(), Files, "w.ogg", "",
                  Make::Wav},
        AdmitCase{"WmaKeepsTheTitleAsRead", "q.wma", "Why?|Band||Note||2003", QByteArray(), Files,
                  "Why", "Why?|Band||Note||2003"},
        AdmitCase{"CyrillicAndCjkTitles", "u.ogg", "Привет 東京|Café – Live", QByteArray(), Files,
                  "Привет 東京", "Привет 東京|Café – Live"},
        AdmitCase{"WavKeepsItsName", "plain.wav", "", QByteArray(), Files, "plain.wav", "",
                  Make::Wav}),
    testsupport::CaseName());

struct PieceCase {
    const char* name;
    const char* file;
    bool id3v1Only = false; // the tag as an ID3v1 block alone
};

using Pieces = testsupport::CaseTable<SourceTagsTest, PieceCase>;

TEST_P(Pieces, EveryPieceCarriesTheFiveTagsAndNoComment) {
    const bool v1 = GetParam().id3v1Only;
    const QString path =
        source(QString::fromUtf8(GetParam().file), v1 ? Tagged{} : Full,
               v1 ? id3v1("Song", "Band", "Disc", "1999", "Note", 8) : QByteArray());
    if (path.isEmpty())
        GTEST_SKIP() << "encoder missing";
    ASSERT_TRUE(jobs.addFiles({path}).isEmpty());

    splitEverySecond();

    ASSERT_FALSE(conversion.lastRunFailed()) << conversion.lastError().toStdString();
    const QStringList outputs = conversion.lastOutputs();
    ASSERT_EQ(outputs.size(), 3);
    const QStringList expected{QStringLiteral("Title=Song"), QStringLiteral("Artist=Band"),
                               QStringLiteral("Album=Disc"), QStringLiteral("Date=1999"),
                               QStringLiteral("Genre=Jazz")};
    for (const QString& out : outputs) {
        EXPECT_EQ(listedComments(out), expected) << out.toStdString();
        EXPECT_TRUE(oggInfoClean(out)) << out.toStdString();
        EXPECT_NEAR(double(synth::decodeOgg(out).frames()), 44100.0, 2000.0);
    }
    EXPECT_EQ(filesInOutput().size(), 3); // no temporary file left
}

INSTANTIATE_TEST_SUITE_P(Sources, Pieces,
                         ::testing::Values(PieceCase{"Ogg", "s.ogg"}, PieceCase{"Mp3", "s.mp3"},
                                           PieceCase{"Mp3WithId3v1Only", "s.mp3", true},
                                           PieceCase{"Wma", "s.wma"}),
                         testsupport::CaseName());

TEST_F(SourceTagsTest, UntaggedSourceAndJoinsGiveNoComments) {
    const QString tagged = source(QStringLiteral("t.ogg"), Full);
    const QString plain = source(QStringLiteral("p.ogg"), {});
    ASSERT_TRUE(jobs.addFiles({plain, tagged}).isEmpty());
    splitEverySecond();
    ASSERT_FALSE(conversion.lastRunFailed());
    for (const QString& out : conversion.lastOutputs().mid(0, 3))
        EXPECT_TRUE(listedComments(out).isEmpty()) << out.toStdString();

    join(dir.filePath(QStringLiteral("joined")));
    ASSERT_FALSE(conversion.lastRunFailed());
    EXPECT_TRUE(listedComments(dir.filePath(QStringLiteral("joined.ogg"))).isEmpty());
}

TEST_F(SourceTagsTest, TitleWithPathPartsStaysInTheOutputFolder) {
    const QString path = source(QStringLiteral("x.ogg"), tagged("../../up/../x"));
    ASSERT_TRUE(jobs.addFolder(dir.filePath(QStringLiteral("src"))).isEmpty());
    ASSERT_EQ(jobs.caption(0), QStringLiteral("../../up/../x"));
    splitEverySecond();
    ASSERT_FALSE(conversion.lastRunFailed());
    EXPECT_EQ(filesInOutput().size(), 3);
    for (const QString& out : conversion.lastOutputs())
        EXPECT_EQ(QFileInfo(out).absolutePath() + QLatin1Char('/'), outDir);
    Q_UNUSED(path);
}

TEST_F(SourceTagsTest, FailedTagWriteEndsTheRunAndKeepsThePieceValid) {
    const QString path = source(QStringLiteral("s.ogg"), Full);
    ASSERT_TRUE(jobs.addFiles({path}).isEmpty());
    // A folder where the tag writer's temporary file would go.
    ASSERT_TRUE(QDir(outDir).mkdir(QStringLiteral("Song_1.temp")));

    splitEverySecond();

    ASSERT_TRUE(conversion.lastRunFailed());
    EXPECT_TRUE(conversion.lastError().contains(
        QDir::toNativeSeparators(outDir + QStringLiteral("Song_1.ogg"))))
        << conversion.lastError().toStdString();
    const QString piece = outDir + QStringLiteral("Song_1.ogg");
    EXPECT_TRUE(oggInfoClean(piece));
    EXPECT_TRUE(listedComments(piece).isEmpty());
    EXPECT_EQ(synth::decodeOgg(piece).frames(), 44100);
    EXPECT_EQ(filesInOutput(), QStringList{QStringLiteral("Song_1.ogg")});
}

} // namespace
