// Output names of split pieces: the caption's base, numbering, and never a
// name that is already taken.
#include "convert/OutputNaming.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void touch(const QString& path, const QByteArray& content = "x") {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(content);
}

QString dirWithSlash(const QTemporaryDir& dir) {
    return dir.path() + QLatin1Char('/');
}

} // namespace

struct FirstNameCase {
    const char* caption;
    const char* expected; // file name of the first piece in an empty folder
};
class FirstPieceName : public ::testing::TestWithParam<FirstNameCase> {};

TEST_P(FirstPieceName, ComesFromTheCaption) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path =
        OutputNaming::choosePiecePath(dirWithSlash(dir), QString::fromUtf8(GetParam().caption));
    EXPECT_EQ(path, dirWithSlash(dir) + QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Captions, FirstPieceName,
    ::testing::Values(FirstNameCase{"Song.live", "Song_1.ogg"},
                      FirstNameCase{"Song.live.ogg", "Song_1.ogg"},
                      FirstNameCase{"Song", "Song_1.ogg"},
                      // A caption beginning with "." keeps it whole; the extension
                      // change then eats the number, as the classic names did.
                      FirstNameCase{".hidden.mp3", ".hidden.ogg"},
                      FirstNameCase{"Live: Paris", "Live Paris_1.ogg"},
                      FirstNameCase{"AC/DC <live>", "ACDC live_1.ogg"},
                      FirstNameCase{"Café – Live", "Café – Live_1.ogg"},
                      FirstNameCase{"Кино.ogg", "Кино_1.ogg"},
                      FirstNameCase{"東京事変", "東京事変_1.ogg"}));

TEST(OutputNaming, ThreePiecesOfSongLiveAreNumberedInTurn) {
    QTemporaryDir dir;
    const QString out = dirWithSlash(dir);
    QStringList taken;
    for (int i = 0; i < 3; ++i) {
        const QString path = OutputNaming::choosePiecePath(out, QStringLiteral("Song.live"));
        taken << QFileInfo(path).fileName();
        touch(path);
    }
    EXPECT_EQ(taken, (QStringList{QStringLiteral("Song_1.ogg"), QStringLiteral("Song_2.ogg"),
                                  QStringLiteral("Song_3.ogg")}));
}

TEST(OutputNaming, AGapInTheNumbersIsFilledFirst) {
    QTemporaryDir dir;
    const QString out = dirWithSlash(dir);
    touch(out + QStringLiteral("base_1.ogg"));
    touch(out + QStringLiteral("base_3.ogg"));
    EXPECT_EQ(OutputNaming::choosePiecePath(out, QStringLiteral("base")),
              out + QStringLiteral("base_2.ogg"));
}

TEST(OutputNaming, NumberingGoesOnPastAHundred) {
    QTemporaryDir dir;
    const QString out = dirWithSlash(dir);
    for (int n = 1; n <= 100; ++n)
        touch(out + QStringLiteral("base_%1.ogg").arg(n));
    EXPECT_EQ(OutputNaming::choosePiecePath(out, QStringLiteral("base.mp3")),
              out + QStringLiteral("base_101.ogg"));
}

TEST(OutputNaming, ACaptionWhoseNumberTheExtensionEatsStillFindsAFreeName) {
    QTemporaryDir dir;
    const QString out = dirWithSlash(dir);
    touch(out + QStringLiteral(".hidden.ogg"));
    const QString second = OutputNaming::choosePiecePath(out, QStringLiteral(".hidden.mp3"));
    EXPECT_EQ(second, out + QStringLiteral(".hidden.mp3_1.ogg"));
    touch(second);
    EXPECT_EQ(OutputNaming::choosePiecePath(out, QStringLiteral(".hidden.mp3")),
              out + QStringLiteral(".hidden.mp3_2.ogg"));
}

TEST(OutputNaming, NumberedNamesAreCleanedSoTheyStayInTheFolder) {
    QTemporaryDir dir;
    const QString out = dirWithSlash(dir);
    ASSERT_TRUE(QDir(out).mkdir(QStringLiteral("AC")));
    touch(out + QStringLiteral("ACDC_1.ogg"));
    EXPECT_EQ(OutputNaming::choosePiecePath(out, QStringLiteral("AC/DC")),
              out + QStringLiteral("ACDC_2.ogg"));
}

TEST(OutputNaming, FoldersAndDanglingLinksCountAsTaken) {
    QTemporaryDir dir;
    const QString out = dirWithSlash(dir);
    ASSERT_TRUE(QDir(out).mkdir(QStringLiteral("x_1.ogg")));
    ASSERT_TRUE(QFile::link(out + QStringLiteral("missing"), out + QStringLiteral("x_2.ogg")));
    EXPECT_EQ(OutputNaming::choosePiecePath(out, QStringLiteral("x")),
              out + QStringLiteral("x_3.ogg"));
}

TEST(OutputNaming, FallbackNeverNamesAnExistingFileNotEvenTheSource) {
    QTemporaryDir dir;
    const QString out = dirWithSlash(dir);
    EXPECT_EQ(OutputNaming::fallbackPath(out, QStringLiteral("/music/a.b.mp3")),
              out + QStringLiteral("a.b.ogg"));
    const QString source = out + QStringLiteral("track.ogg");
    touch(source);
    EXPECT_EQ(OutputNaming::fallbackPath(out, source), out + QStringLiteral("track_1.ogg"));
}

TEST(OutputNaming, FolderWithoutFinalSeparatorGetsOne) {
    EXPECT_EQ(OutputNaming::inFolder(QStringLiteral("/tmp/out"), QStringLiteral("a.ogg")),
              QStringLiteral("/tmp/out/a.ogg"));
    EXPECT_EQ(OutputNaming::inFolder(QStringLiteral("/tmp/out/"), QStringLiteral("a.ogg")),
              QStringLiteral("/tmp/out/a.ogg"));
}
