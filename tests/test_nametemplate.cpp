// Name templates of split pieces: the fields, {n}'s padding, the cleaning of
// what the file system refuses, the folder never left, taken names numbered.
#include "convert/NameTemplate.h"
#include "convert/OutputNaming.h"
#include "support/Files.h"
#include "support/RunFixture.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

NameTemplate::PieceFields sample(std::int64_t number, std::int64_t count) {
    NameTemplate::PieceFields f;
    f.source = QStringLiteral("Concert");
    f.number = number;
    f.count = count;
    f.tags.title = QStringLiteral("Intro");
    f.tags.artist = QStringLiteral("Band");
    f.tags.album = QStringLiteral("Live");
    f.startSeconds = 3 * 3600 + 25 * 60 + 7;
    return f;
}

} // namespace

struct TemplateCase {
    const char* text;
    std::int64_t number;
    std::int64_t count;
    const char* title;    // the piece's title tag
    const char* existing; // a file already in the folder, or ""
    const char* expected; // the file name chosen
};
class TemplateName : public ::testing::TestWithParam<TemplateCase> {};

TEST_P(TemplateName, StaysOneFreeFileOfTheFolder) {
    const TemplateCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.path() + QStringLiteral("/out/");
    QDir().mkpath(out);
    if (*c.existing)
        touch(out + QString::fromUtf8(c.existing));
    NameTemplate::PieceFields f = sample(c.number, c.count);
    f.tags.title = QString::fromUtf8(c.title);
    const QString name = NameTemplate::expand(QString::fromUtf8(c.text), f);
    const QString path = OutputNaming::RunNames().templatePath(out, name);
    EXPECT_EQ(QFileInfo(path).absolutePath() + QLatin1Char('/'), out);
    EXPECT_EQ(QFileInfo(path).fileName(), QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Templates, TemplateName,
    ::testing::Values(TemplateCase{"{n} - {title}", 1, 12, "Intro", "", "01 - Intro.ogg"},
                      TemplateCase{"{n}", 7, 9, "Intro", "", "7.ogg"},
                      TemplateCase{"{n}", 7, 100, "Intro", "", "007.ogg"},
                      TemplateCase{"{source} {artist} {album} {start}", 1, 1, "Intro", "",
                                   "Concert Band Live 03-25-07.ogg"},
                      TemplateCase{"{n}. {title}", 2, 2, "Café – Кино", "", "2. Café – Кино.ogg"},
                      TemplateCase{"{title}", 1, 1, "AC/DC: <Live>?", "", "ACDC Live.ogg"},
                      // Neither a field nor the template itself reaches another folder.
                      TemplateCase{"{title}", 1, 1, "../../etc/passwd", "", "....etcpasswd.ogg"},
                      TemplateCase{"../{n}/x", 1, 1, "Intro", "", "..1x.ogg"},
                      // A taken name is numbered as the pieces' names are.
                      TemplateCase{"{title}", 1, 1, "Intro", "Intro.ogg", "Intro_1.ogg"},
                      TemplateCase{"{n}. {title}", 1, 1, "Intro", "1. Intro.ogg",
                                   "1. Intro_1.ogg"}));

struct ProblemCase {
    const char* text;
    bool refused;
};
class TemplateCheck : public ::testing::TestWithParam<ProblemCase> {};

TEST_P(TemplateCheck, NamesTheUnknownField) {
    const QString problem = NameTemplate::problem(QString::fromUtf8(GetParam().text));
    EXPECT_EQ(!problem.isEmpty(), GetParam().refused) << problem.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Fields, TemplateCheck,
                         ::testing::Values(ProblemCase{"{n} - {title}", false},
                                           ProblemCase{"plain", false}, ProblemCase{"{foo}", true},
                                           ProblemCase{"{N}", true}, ProblemCase{"{n", true},
                                           ProblemCase{"{}", true}));

class TemplateRun : public RunFixture {
  protected:
    // Splits a three-second source into `pieces`, named by `nameTemplate`.
    void splitNamed(int pieces, const QString& nameTemplate) {
        add(makeSource(QStringLiteral("a.ogg"), 3 * 44100));
        state.settings.splitMode = SplitMode::Count;
        state.settings.splitCount = pieces;
        state.settings.nameTemplate = nameTemplate;
        split();
    }
};

TEST_F(TemplateRun, AnUnknownFieldWritesNothing) {
    splitNamed(2, QStringLiteral("{n} {foo}"));
    EXPECT_TRUE(conversion.lastRunFailed());
    EXPECT_TRUE(conversion.lastError().contains(QStringLiteral("{foo}")));
    EXPECT_TRUE(filesInOutput().isEmpty());
}

TEST_F(TemplateRun, NamesEachPieceOfARun) {
    splitNamed(3, QStringLiteral("{source} {n} {start}"));
    EXPECT_EQ(filesInOutput(),
              (QStringList{QStringLiteral("a 1 00-00-00.ogg"), QStringLiteral("a 2 00-00-01.ogg"),
                           QStringLiteral("a 3 00-00-02.ogg")}));
}
