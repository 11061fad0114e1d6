// Output names of split pieces: the caption's base, numbering, and never a
// name that is already taken.
#include "convert/OutputNaming.h"

#include "support/CaseTable.h"
#include "support/Files.h"
#include "support/Printing.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using testsupport::PrintTo;

} // namespace

// An output folder, empty until a test takes names in it.
class NamingFolder : public ::testing::Test {
  protected:
    QString piece(const QString& caption) const {
        return OutputNaming::choosePiecePath(out, caption);
    }
    void take(const QString& name) const { touch(out + name); }

    QTemporaryDir dir;
    const QString out = dir.path() + QLatin1Char('/');
};

struct FirstNameCase {
    const char* caption;
    const char* expected; // file name of the first piece in an empty folder
};
using FirstPieceName = testsupport::CaseTable<NamingFolder, FirstNameCase>;

TEST_P(FirstPieceName, ComesFromTheCaption) {
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(piece(QString::fromUtf8(GetParam().caption)),
              out + QString::fromUtf8(GetParam().expected));
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

TEST_F(NamingFolder, ThreePiecesOfSongLiveAreNumberedInTurn) {
    QStringList taken;
    for (int i = 0; i < 3; ++i) {
        const QString path = piece(QStringLiteral("Song.live"));
        taken << QFileInfo(path).fileName();
        touch(path);
    }
    EXPECT_EQ(taken, (QStringList{QStringLiteral("Song_1.ogg"), QStringLiteral("Song_2.ogg"),
                                  QStringLiteral("Song_3.ogg")}));
}

TEST_F(NamingFolder, AGapInTheNumbersIsFilledFirst) {
    take(QStringLiteral("base_1.ogg"));
    take(QStringLiteral("base_3.ogg"));
    EXPECT_EQ(piece(QStringLiteral("base")), out + QStringLiteral("base_2.ogg"));
}

TEST_F(NamingFolder, NumberingGoesOnPastAHundred) {
    for (int n = 1; n <= 100; ++n)
        take(QStringLiteral("base_%1.ogg").arg(n));
    EXPECT_EQ(piece(QStringLiteral("base.mp3")), out + QStringLiteral("base_101.ogg"));
}

TEST_F(NamingFolder, ACaptionWhoseNumberTheExtensionEatsStillFindsAFreeName) {
    take(QStringLiteral(".hidden.ogg"));
    const QString second = piece(QStringLiteral(".hidden.mp3"));
    EXPECT_EQ(second, out + QStringLiteral(".hidden.mp3_1.ogg"));
    touch(second);
    EXPECT_EQ(piece(QStringLiteral(".hidden.mp3")), out + QStringLiteral(".hidden.mp3_2.ogg"));
}

TEST_F(NamingFolder, NumberedNamesAreCleanedSoTheyStayInTheFolder) {
    ASSERT_TRUE(QDir(out).mkdir(QStringLiteral("AC")));
    take(QStringLiteral("ACDC_1.ogg"));
    EXPECT_EQ(piece(QStringLiteral("AC/DC")), out + QStringLiteral("ACDC_2.ogg"));
}

TEST_F(NamingFolder, FoldersAndDanglingLinksCountAsTaken) {
    ASSERT_TRUE(QDir(out).mkdir(QStringLiteral("x_1.ogg")));
    ASSERT_TRUE(QFile::link(out + QStringLiteral("missing"), out + QStringLiteral("x_2.ogg")));
    EXPECT_EQ(piece(QStringLiteral("x")), out + QStringLiteral("x_3.ogg"));
}

TEST_F(NamingFolder, FallbackNeverNamesAnExistingFileNotEvenTheSource) {
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

// Long captions and source names are cut at whole characters to 248 bytes of
// UTF-8 (255 less the room of a temporary beside them), number and ".ogg" kept.
struct LongNameCase {
    const char* name;
    QString caption; // or, for the fallback, the source's file name
    bool fallback;
    QString expected;
};
using LongNames = testsupport::CaseTable<NamingFolder, LongNameCase>;

TEST_P(LongNames, AreCutToWholeCharactersTheDiskTakes) {
    const LongNameCase& p = GetParam();
    const QString path = p.fallback
                             ? OutputNaming::fallbackPath(out, QStringLiteral("/m/") + p.caption)
                             : piece(p.caption);
    EXPECT_EQ(path, out + p.expected);
    touch(path);
}

INSTANTIATE_TEST_SUITE_P(
    Captions, LongNames,
    ::testing::Values(
        LongNameCase{"letters", QString(250, QLatin1Char('a')), false,
                     QString(242, QLatin1Char('a')) + QStringLiteral("_1.ogg")},
        LongNameCase{"two-byte letters", QString(250, QChar(0xe9)), false,
                     QString(121, QChar(0xe9)) + QStringLiteral("_1.ogg")},
        LongNameCase{"combining accents", QStringLiteral("e\u0301").repeated(100), false,
                     QStringLiteral("e\u0301").repeated(80) + QStringLiteral("_1.ogg")},
        LongNameCase{"outside the basic plane", QStringLiteral("\U0001F600").repeated(100), false,
                     QStringLiteral("\U0001F600").repeated(60) + QStringLiteral("_1.ogg")},
        LongNameCase{"source name", QString(251, QLatin1Char('s')) + QStringLiteral(".mp3"), true,
                     QString(244, QLatin1Char('s')) + QStringLiteral(".ogg")}));

TEST(OutputNaming, MessagesShowBothEndsOfALongName) {
    const QString huge = QString(100, QLatin1Char('a')) + QString(10 << 20, QLatin1Char('m')) +
                         QString(100, QLatin1Char('z'));
    EXPECT_EQ(OutputNaming::elidedName(huge),
              QString(100, QLatin1Char('a')) + QChar(0x2026) + QString(100, QLatin1Char('z')));
    const QString smiles = QStringLiteral("\U0001F600").repeated(200);
    EXPECT_EQ(OutputNaming::elidedName(QLatin1Char('a') + smiles),
              QLatin1Char('a') + smiles.left(98) + QChar(0x2026) + smiles.left(100));
    EXPECT_EQ(OutputNaming::elidedName(QStringLiteral("/out/a_1.ogg")),
              QStringLiteral("/out/a_1.ogg"));
}
