// Tags of added sources (caption and tag record) and the tags every split
// piece carries, on Ogg, MP3, WMA and WAV files made here.
#include "support/RunFixture.h"
#include "synth/Synth.h"
#include "tags/Id3Tag.h"
#include "tags/OggTag.h"
#include "tags/WmaTag.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace {

constexpr std::int64_t Frames = 3 * 44100;

// An ID3v1 block whose only text is its title.
QByteArray id3v1WithTitle(const QByteArray& title) {
    QByteArray block = "TAG" + title.left(30);
    block.append(128 - block.size(), '\0');
    block[127] = char(255);
    return block;
}

QStringList listedComments(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("vorbiscomment"), {QStringLiteral("-l"), QStringLiteral("-R"), path});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
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
    const char* title = "";
    const char* artist = "";
    const char* album = "";
    const char* comment = "";
    const char* genre = "";
};

class SourceTagsTest : public RunFixture {
  protected:
    QString wav(const QString& name) {
        const QString path = dir.filePath(QStringLiteral("src/") + name);
        synth::writeWav(path, synth::tone(Frames, 44100, 2, ToneHz), 44100, 2);
        return path;
    }
    // A source of the extension's format carrying `t`; MP3s get `v1Title`
    // in an ID3v1 block as well. Empty when the encoder is missing.
    QString source(const QString& name, const Tagged& t, const QByteArray& v1Title = {}) {
        const QString ext = QFileInfo(name).suffix().toLower();
        const QString path = dir.filePath(QStringLiteral("src/") + name);
        if (ext == QLatin1String("ogg")) {
            makeSource(name, Frames);
            writeOggTag(path, OggTag{u8(t.album), u8(t.title), u8(t.artist), u8(t.comment), u8(t.genre), {}, {}});
        } else if (ext == QLatin1String("mp3")) {
            if (!synth::makeMp3(wav(QStringLiteral("m.wav")), path))
                return {};
            writeId3v2(path, Id3v2Tag{u8(t.title), u8(t.artist), u8(t.album), {}, {}, u8(t.comment), u8(t.genre)});
            if (!v1Title.isEmpty()) {
                QFile f(path);
                f.open(QIODevice::Append);
                f.write(id3v1WithTitle(v1Title));
            }
        } else if (ext == QLatin1String("wma")) {
            if (!synth::makeWma(wav(QStringLiteral("w.wav")), path))
                return {};
            WmaTagInfo tag;
            setWmaFieldText(tag.title, u8(t.title));
            setWmaFieldText(tag.artist, u8(t.artist));
            setWmaFieldText(tag.album, u8(t.album));
            setWmaFieldText(tag.description, u8(t.comment));
            setWmaFieldText(tag.genre, u8(t.genre));
            writeWmaTag(path, tag);
        } else {
            wav(name);
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
    Tagged tags;
    QByteArray v1Title;
    AddWay way;
    const char* caption;
    const char* title; // the record's title
};

void PrintTo(const AdmitCase& c, std::ostream* os) { *os << c.name; }

class Admit : public SourceTagsTest, public ::testing::WithParamInterface<AdmitCase> {};

TEST_P(Admit, CaptionAndRecordComeFromTheFormatsTag) {
    const AdmitCase& c = GetParam();
    const QString path = source(QString::fromUtf8(c.file), c.tags, c.v1Title);
    if (path.isEmpty())
        GTEST_SKIP() << "encoder missing";
    const QList<JobList::Refusal> refused =
        c.way == AddWay::Folder ? jobs.addFolder(dir.filePath(QStringLiteral("src")))
                                : jobs.addFiles({path});
    ASSERT_TRUE(refused.isEmpty()) << refused.first().message.toStdString();
    ASSERT_EQ(jobs.rowCount(), 1);
    const FileRow& row = jobs.file(0);
    EXPECT_EQ(row.caption, QString::fromUtf8(c.caption));
    EXPECT_EQ(row.tags.title, QString::fromUtf8(c.title));
    EXPECT_EQ(row.tags.artist, u8(c.tags.artist));
    EXPECT_EQ(row.tags.comment, u8(c.tags.comment));
    EXPECT_TRUE(row.tags.year.isEmpty());
}

const Tagged Full{"Song", "Band", "Disc", "Note", "Jazz"};

INSTANTIATE_TEST_SUITE_P(
    Sources, Admit,
    ::testing::Values(
        AdmitCase{"Id3v1TitleCleaned", "a.mp3", {}, "a/b", AddWay::Files, "ab", ""},
        AdmitCase{"Id3v2WinsOverId3v1", "a.mp3", {"Two", "Band"}, "One", AddWay::Files, "Two", "Two"},
        AdmitCase{"CapitalExtensionIsMp3", "LOUD.MP3", {"Loud", "Band"}, {}, AddWay::Files, "Loud",
                  "Loud"},
        AdmitCase{"OggFromTheDialogCleaned", "live.ogg", {" Live: Paris ", "Band", "", "Note"}, {},
                  AddWay::Files, "Live Paris", "Live Paris"},
        AdmitCase{"OggFromAFolderAsRead", "live.ogg", {"Live: Paris", "Band", "", "Note"}, {},
                  AddWay::Folder, "Live: Paris", "Live Paris"},
        AdmitCase{"WmaKeepsTheTitleAsRead", "q.wma", {"Why?", "Band", "", "Note"}, {},
                  AddWay::Files, "Why", "Why?"},
        AdmitCase{"CyrillicAndCjkTitles", "u.ogg", {"Привет 東京", "Café – Live"}, {},
                  AddWay::Files, "Привет 東京", "Привет 東京"},
        AdmitCase{"WavKeepsItsName", "plain.wav", {}, {}, AddWay::Files, "plain.wav", ""}),
    [](const auto& info) { return std::string(info.param.name); });

struct PieceCase {
    const char* name;
    const char* file;
};

class Pieces : public SourceTagsTest, public ::testing::WithParamInterface<PieceCase> {};

TEST_P(Pieces, EveryPieceCarriesTheFiveTagsAndNoComment) {
    const QString path = source(QString::fromUtf8(GetParam().file), Full);
    if (path.isEmpty())
        GTEST_SKIP() << "encoder missing";
    ASSERT_TRUE(jobs.addFiles({path}).isEmpty());
    jobs.file(0).tags.year = QStringLiteral("1999");

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
                                           PieceCase{"Wma", "s.wma"}),
                         [](const auto& info) { return std::string(info.param.name); });

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
    const QString path = source(QStringLiteral("x.ogg"), {"../../up/../x"});
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
    EXPECT_TRUE(conversion.lastError().contains(QDir::toNativeSeparators(outDir + QStringLiteral("Song_1.ogg"))))
        << conversion.lastError().toStdString();
    const QString piece = outDir + QStringLiteral("Song_1.ogg");
    EXPECT_TRUE(oggInfoClean(piece));
    EXPECT_TRUE(listedComments(piece).isEmpty());
    EXPECT_EQ(synth::decodeOgg(piece).frames(), 44100);
    EXPECT_EQ(filesInOutput(), QStringList{QStringLiteral("Song_1.ogg")});
}

} // namespace
