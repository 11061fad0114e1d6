// Renders the main window offscreen into a PNG for the documentation:
//   screenshot [output.png] [--scale N] [--empty] [--locale de_DE]
// With a few synthesised files in the list unless --empty is given. Touches
// nothing of the user's: settings and audio live in a temporary folder.
#include "core/IniFile.h"
#include "core/Prompt.h"
#include "core/Resources.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "skin/SkinObject.h"
#include "synth/Synth.h"
#include "ui/MainWindow.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <cstdio>

namespace {

class SilentPrompt : public Prompt {
  public:
    void information(const QString& text) override {
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    bool question(const QString&) override { return false; }
    QStringList openFiles(const QString&, const QStringList&) override { return {}; }
    QString saveFile(const QString&, const QStringList&, int&) override { return {}; }
    QString pickFolder(const QString&) override { return {}; }
    void openUrl(const QUrl&) override {}
};

void fillDemoList(MainWindow& window, const QString& folder) {
    struct Demo {
        const char* name;
        int seconds;
    };
    const Demo demos[] = {
        {"Morning Walk.ogg", 14}, {"Café – Live.ogg", 9}, {"Interview Part 2.ogg", 6}};
    QStringList paths;
    for (const Demo& d : demos) {
        paths << QDir(folder).filePath(QString::fromUtf8(d.name));
        synth::writeOgg(paths.last(), std::int64_t(d.seconds) * 22050, 22050, 1);
    }
    JobList& jobs = window.jobList();
    jobs.addFiles(paths);
    jobs.selectRow(0);
    jobs.selectFile();
    // Two pieces marked on the first file.
    jobs.addSpan(0, Span{1, 5});
    jobs.addSpan(0, Span{6, 12});
    // The temporary folder's name says nothing; show where such a file lives.
    if (SkinObject* nm = window.skinParts().pathLabel) {
        nm->setText(QStringLiteral("~/Music/Morning Walk.ogg"));
        nm->redraw();
    }
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QString output = QStringLiteral("docs/main-window.png");
    bool empty = false;
    QString locale;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--scale") && i + 1 < argc)
            qputenv("QT_SCALE_FACTOR", argv[++i]);
        else if (arg == QLatin1String("--empty"))
            empty = true;
        else if (arg == QLatin1String("--locale") && i + 1 < argc)
            locale = QString::fromLocal8Bit(argv[++i]);
        else
            output = arg;
    }
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    initCadeloResources();
    if (!locale.isEmpty())
        installTranslations(app, QLocale(locale));

    QTemporaryDir temp;
    const QString outDir = QDir(temp.path()).filePath(QStringLiteral("Music"));
    QDir().mkpath(outDir);

    Session session;
    SessionState& state = session.state();
    SilentPrompt prompt;
    state.prompt = &prompt;
    state.ini =
        std::make_unique<IniFile>(QDir(temp.path()).filePath(QStringLiteral("VAZOzojoin.ini")));
    state.ini->writeString(QStringLiteral("Output"), QStringLiteral("Dir"), outDir);

    MainWindow window(session);
    window.prepareFirstShow();
    if (!empty) {
        try {
            fillDemoList(window, temp.path());
        } catch (const std::exception& e) {
            std::fprintf(stderr, "demo list left empty: %s\n", e.what());
        }
    }
    window.show();
    QCoreApplication::processEvents();

    const QPixmap shot = window.grab();
    QDir().mkpath(QFileInfo(output).absolutePath());
    if (!shot.save(output, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(output));
        return 1;
    }
    std::printf("%s: %d x %d pixels\n", qPrintable(output), int(shot.width()), int(shot.height()));
    return 0;
}
