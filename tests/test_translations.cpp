// The window in German and French: its captions, menus, dialogs and messages
// from the embedded translations, English where a language has none, the
// catalogues complete, and cadelo-cli's output the same in every locale.
#include "core/IniFile.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "support/CaseTable.h"
#include "support/ScriptedPrompt.h"
#include "support/WidgetSupport.h"
#include "ui/MainWindow.h"
#include "ui/SettingsDialog.h"
#include "ui/Translations.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTranslator>
#include <gtest/gtest.h>

namespace {

class TranslationTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    Session session;
    SessionState& s = session.state();
    ScriptedPrompt prompt;

    void TearDown() override {
        for (QTranslator* t : qApp->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly)) {
            QCoreApplication::removeTranslator(t);
            delete t;
        }
    }
    // The window made after the translations of `locale` were installed, as
    // the program makes it.
    std::unique_ptr<MainWindow> window(const QLocale& locale, bool* found = nullptr) {
        const bool own = installTranslations(*qApp, locale);
        if (found)
            *found = own;
        s.prompt = &prompt;
        s.ini = std::make_unique<IniFile>(dir.filePath(QStringLiteral("VAZOzojoin.ini")));
        auto w = std::make_unique<MainWindow>(session);
        w->prepareFirstShow();
        return w;
    }
    static QString action(MainWindow& w, const char* name) {
        auto* a = w.findChild<QAction*>(QLatin1String(name));
        return a ? a->text() : QString();
    }
    // An unreadable file added: the refusal is the message shown.
    QString refusalMessage(MainWindow& w) {
        const QString path = dir.filePath(QStringLiteral("notes.ogg"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write("not audio") > 0);
        f.close();
        w.addPaths({path});
        return prompt.messages.isEmpty() ? QString() : prompt.messages.last();
    }
};

struct LanguageCase {
    const char* name;
    QLocale::Language language;
    const char* add;      // the skin's "Add"
    const char* addFile;  // the File menu's first item
    const char* settings; // the settings dialog's title
    const char* refusal;  // the end of an unreadable file's message
};

using TranslationLanguageTest = testsupport::CaseTable<TranslationTest, LanguageCase>;

TEST_P(TranslationLanguageTest, CaptionsMenusDialogsAndMessages) {
    const LanguageCase& c = GetParam();
    bool found = false;
    auto w = window(QLocale(c.language), &found);
    EXPECT_EQ(found, c.language != QLocale::English && c.language != QLocale::Japanese);
    EXPECT_EQ(skinObject(*w, "addfile")->label, QString::fromUtf8(c.add));
    EXPECT_EQ(action(*w, "AddFile2"), QString::fromUtf8(c.addFile));
    SettingsDialog settings(s, w.get());
    EXPECT_EQ(settings.windowTitle(), QString::fromUtf8(c.settings));
    EXPECT_TRUE(refusalMessage(*w).endsWith(QString::fromUtf8(c.refusal)))
        << prompt.messages.join(u'|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Languages, TranslationLanguageTest,
    ::testing::Values(LanguageCase{"German", QLocale::German, "Hinzufügen", "Datei hinzufügen",
                                   "Einstellungen", ": Diese Datei wird nicht unterstützt."},
                      LanguageCase{"French", QLocale::French, "Ajouter", "Ajouter des fichiers",
                                   "Réglages", " : ce fichier n’est pas pris en charge."},
                      // No catalogue: every text stays as written.
                      LanguageCase{"JapaneseFallsBackToEnglish", QLocale::Japanese, "Add",
                                   "Add File", "Settings", " this File is not supported."},
                      LanguageCase{"English", QLocale::English, "Add", "Add File", "Settings",
                                   " this File is not supported."}),
    testsupport::CaseName());

TEST_F(TranslationTest, GermanWindowReadsGermanThroughout) {
    auto w = window(QLocale(QLocale::German));
    const QString panel = w->instructions()->toPlainText();
    EXPECT_TRUE(panel.contains(QStringLiteral("\"Hinzufügen\""))) << panel.toStdString();
    EXPECT_EQ(w->jobList().spanModel().headerData(1, Qt::Horizontal).toString(),
              QStringLiteral("Länge"));
    EXPECT_EQ(skinObject(*w, "Split")->tooltip.left(13), QStringLiteral("Jedes Stück a"));
    EXPECT_EQ(
        SettingsDialog::emptyFolderText(),
        QStringLiteral("Bitte geben Sie einen Ausgabeordner an. Der bisherige Ordner bleibt."));
    // Keys stay keys: object names and the help page's English original.
    EXPECT_EQ(skinObject(*w, "addfile")->skinName(), QStringLiteral("addfile"));
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/help/cadelo_de.html")));
}

struct CatalogueCase {
    const char* name;
    const char* file;
};

using CatalogueTest = testsupport::CaseTable<TranslationTest, CatalogueCase>;

TEST_P(CatalogueTest, EveryTextIsTranslatedAndEmbedded) {
    const QString source = qEnvironmentVariable("CADELO_SOURCE_DIR");
    if (source.isEmpty())
        GTEST_SKIP() << "run through ctest";
    QFile ts(QDir(source).filePath(
        QStringLiteral("translations/%1.ts").arg(QLatin1String(GetParam().file))));
    ASSERT_TRUE(ts.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(ts.readAll());
    EXPECT_FALSE(text.contains(QStringLiteral("unfinished")));
    EXPECT_FALSE(text.contains(QStringLiteral("<translation></translation>")));
    const qsizetype messages = text.count(QStringLiteral("<message>"));
    EXPECT_GT(messages, 150);
    EXPECT_EQ(text.count(QRegularExpression(QStringLiteral("<translation>[^<]"))), messages);
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/i18n/%1.qm").arg(QLatin1String(GetParam().file))));
}

INSTANTIATE_TEST_SUITE_P(Catalogues, CatalogueTest,
                         ::testing::Values(CatalogueCase{"German", "cadelo_de"},
                                           CatalogueCase{"French", "cadelo_fr"}),
                         testsupport::CaseName());

// cadelo-cli's output in a locale's environment, every byte of it.
QByteArray cliOutput(const QString& locale, const QStringList& args, const QString& home) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LANG", "LC_ALL", "LC_MESSAGES", "LANGUAGE"})
        env.insert(QLatin1String(name), locale);
    env.insert(QStringLiteral("HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    p.setProcessEnvironment(env);
    p.start(QDir(qEnvironmentVariable("CADELO_BUILD_DIR")).filePath(QStringLiteral("cadelo-cli")),
            args);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return "did not finish";
    }
    return QByteArray::number(p.exitCode()) + '\n' + p.readAllStandardOutput() + "\n--\n" +
           p.readAllStandardError();
}

TEST_F(TranslationTest, CliPrintsTheSameBytesInEveryLocale) {
    if (qEnvironmentVariable("CADELO_BUILD_DIR").isEmpty())
        GTEST_SKIP() << "run through ctest";
    const QString notAudio = dir.filePath(QStringLiteral("notes.ogg"));
    QFile f(notAudio);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("not audio") > 0);
    f.close();
    const QList<QStringList> commands = {
        {QStringLiteral("--help")},
        {QStringLiteral("split"), notAudio, QStringLiteral("--out"), dir.path()},
        {QStringLiteral("join"), notAudio},
        {QStringLiteral("no-such-command")}};
    for (const QStringList& args : commands) {
        const QByteArray english = cliOutput(QStringLiteral("C"), args, dir.path());
        for (const char* locale : {"de_DE.UTF-8", "fr_FR.UTF-8"})
            EXPECT_EQ(cliOutput(QLatin1String(locale), args, dir.path()), english)
                << locale << " " << args.join(u' ').toStdString();
    }
}

} // namespace
