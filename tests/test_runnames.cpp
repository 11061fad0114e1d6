// The names of one run: the same names as looking each up afresh, and names
// handed out count as taken before their files exist.
#include "convert/OutputNaming.h"

#include "support/Files.h"
#include "support/Printing.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

using testsupport::PrintTo;

struct RunNamesCase {
    const char* name;
    const char* caption;
    const char* source;               // fallback names are asked for this file
    std::vector<const char*> present; // files in the folder before the run
};
class RunNamesFixture : public ::testing::TestWithParam<RunNamesCase> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        out = dir.path() + QLatin1Char('/');
        for (const char* name : GetParam().present)
            touch(out + QString::fromUtf8(name));
    }
    QTemporaryDir dir;
    QString out;
};

} // namespace

TEST_P(RunNamesFixture, GivesTheNamesOfLookingEachUpAfresh) {
    const QString caption = QString::fromUtf8(GetParam().caption);
    const QString source = QString::fromUtf8(GetParam().source);
    OutputNaming::RunNames names;
    // Pieces and fallbacks interleaved, each file created as the sequential run does.
    for (int i = 0; i < 12; ++i) {
        const bool fallback = i % 4 == 3;
        const QString expected = fallback ? OutputNaming::fallbackPath(out, source)
                                          : OutputNaming::choosePiecePath(out, caption);
        const QString got =
            fallback ? names.fallbackPath(out, source) : names.piecePath(out, caption);
        ASSERT_EQ(got, expected) << i;
        touch(got);
    }
}

TEST_P(RunNamesFixture, NamesHandedOutAreNotHandedOutAgainBeforeTheirFilesExist) {
    const QString caption = QString::fromUtf8(GetParam().caption);
    OutputNaming::RunNames names;
    QStringList handedOut;
    for (int i = 0; i < 6; ++i)
        handedOut << names.piecePath(out, caption);
    handedOut.removeDuplicates();
    EXPECT_EQ(handedOut.size(), 6);
    for (const QString& path : handedOut)
        EXPECT_FALSE(OutputNaming::taken(path)) << path.toStdString();
    // A name given back is the next one again.
    names.giveBack(handedOut[2]);
    EXPECT_EQ(names.piecePath(out, caption), handedOut[2]);
}

INSTANTIATE_TEST_SUITE_P(
    Folders, RunNamesFixture,
    ::testing::Values(
        RunNamesCase{"empty folder", "Song.live", "/music/Song.mp3", {}},
        RunNamesCase{"gaps",
                     "base",
                     "/music/base.ogg",
                     {"base_1.ogg", "base_3.ogg", "base.ogg", "base_6.ogg"}},
        RunNamesCase{"dotted caption",
                     ".hidden.mp3",
                     "/music/.hidden.mp3",
                     {".hidden.ogg", ".hidden.mp3_2.ogg"}},
        RunNamesCase{"cleaned caption", "AC/DC", "/music/AC:DC.wma", {"ACDC_1.ogg", "ACDC.ogg"}}));
