// The help page's lookup: beside the program (build tree), in the installed
// prefix's data folder, or the shipped copy written to the cache.
#include "core/HelpPage.h"
#include "support/CaseTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct LookupCase {
    const char* name;
    QStringList pages;   // files made below the scratch root
    QStringList folders; // folders made there
    const char* found;   // the page expected, or nullptr for the shipped copy
};

class HelpPageTest : public ::testing::Test {
  protected:
    QTemporaryDir root;
    QString at(const QString& relative) const { return QDir::cleanPath(root.filePath(relative)); }
};

using HelpPageLookupTest = testsupport::CaseTable<HelpPageTest, LookupCase>;

TEST_P(HelpPageLookupTest, FirstExistingPageOrTheShippedCopy) {
    const LookupCase& c = GetParam();
    ASSERT_TRUE(QDir().mkpath(at(QStringLiteral("bin"))));
    for (const QString& folder : c.folders)
        ASSERT_TRUE(QDir().mkpath(at(folder)));
    for (const QString& page : c.pages) {
        QDir().mkpath(QFileInfo(at(page)).path());
        QFile f(at(page));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(page.toUtf8()) > 0);
    }
    const QUrl url = helpPageUrl(at(QStringLiteral("bin")));
    ASSERT_TRUE(url.isLocalFile());
    if (c.found) {
        EXPECT_EQ(url.toLocalFile(), at(QLatin1String(c.found)));
    } else {
        EXPECT_FALSE(url.toLocalFile().startsWith(root.path()));
        EXPECT_EQ(bytesOf(url.toLocalFile()), bytesOf(QStringLiteral(":/help/cadelo.html")));
        // The page's style sheet lies beside it.
        EXPECT_EQ(
            bytesOf(QFileInfo(url.toLocalFile()).dir().filePath(QStringLiteral("cadelo.css"))),
            bytesOf(QStringLiteral(":/help/cadelo.css")));
    }
}

const QString Beside = QStringLiteral("bin/help/cadelo.html");
const QString Installed = QStringLiteral("share/cadelo/help/cadelo.html");

INSTANTIATE_TEST_SUITE_P(
    Layouts, HelpPageLookupTest,
    ::testing::Values(
        LookupCase{"BesideTheProgram", {Beside}, {}, "bin/help/cadelo.html"},
        LookupCase{"InstalledPrefix", {Installed}, {}, "share/cadelo/help/cadelo.html"},
        LookupCase{"BesideWinsOverInstalled", {Beside, Installed}, {}, "bin/help/cadelo.html"},
        LookupCase{"FolderNamedLikeThePageSkipped",
                   {Installed},
                   {Beside},
                   "share/cadelo/help/cadelo.html"},
        LookupCase{"NeitherGivesTheShippedCopy", {}, {}, nullptr}),
    testsupport::CaseName());

TEST_F(HelpPageTest, BuildFolderHoldsTheSourcePage) {
    const QString build = qEnvironmentVariable("CADELO_BUILD_DIR");
    const QString source = qEnvironmentVariable("CADELO_SOURCE_DIR");
    if (build.isEmpty() || source.isEmpty())
        GTEST_SKIP() << "run through ctest";
    const QUrl url = helpPageUrl(build);
    EXPECT_EQ(url.toLocalFile(), QDir(build).filePath(QStringLiteral("help/cadelo.html")));
    EXPECT_EQ(bytesOf(url.toLocalFile()),
              bytesOf(source + QStringLiteral("/resources/help/cadelo.html")));
}

} // namespace
