// The program's entry: one copy per user and display, the windows created
// once in their order, the main window shown, the event loop run.
#include "audio/NativeName.h"
#include "commands/Session.h"
#include "core/AppInfo.h"
#include "core/Platform.h"
#include "core/Resources.h"
#include "core/SingleInstance.h"
#include "ui/AboutDialog.h"
#include "ui/ArgumentChannel.h"
#include "ui/FolderDialog.h"
#include "ui/MainWindow.h"
#include "ui/SettingsDialog.h"
#include "ui/SilenceScan.h"
#include "ui/TagEditDialog.h"
#include "ui/Translations.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QIcon>
#include <QLocale>
#include <QTimer>
#include <cstdio>

namespace {

// For the start-up benchmark only (bench/startup): with CADELO_FIRST_FRAME_EXIT
// set, the program tells on standard error when the main window has painted
// its first frame, then ends as its close box would end it.
class FirstFrameReport : public QObject {
  public:
    FirstFrameReport(QWidget* window, const QElapsedTimer& since)
        : QObject(window), m_window(window), m_since(since) {
        // The window's face is drawn by its children: any of them will do.
        QCoreApplication::instance()->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (event->type() == QEvent::Paint && !m_seen && widget && widget->window() == m_window) {
            m_seen = true;
            // After the paint event has been handled: the frame is drawn.
            QTimer::singleShot(0, m_window, [this] {
                std::fprintf(stderr, "first frame %lld ms\n",
                             static_cast<long long>(m_since.elapsed()));
                std::fflush(stderr);
                m_window->close();
            });
        }
        return false;
    }

  private:
    QWidget* m_window;
    const QElapsedTimer& m_since;
    bool m_seen = false;
};

} // namespace

int main(int argc, char** argv) {
    QElapsedTimer started;
    started.start();
    // Before anything is shown: a second copy ends silently and leaves the
    // first one alone.
    SingleInstance instance(AppInfo::applicationTitle());
    const QString channelName = instance.lockPath() + QStringLiteral(".socket");
    if (!instance.tryLock()) {
        // The running copy takes this start's files and comes to the front;
        // without files a second start ends as quietly as ever.
        if (argc > 1) {
            QCoreApplication sender(argc, argv);
            ArgumentChannel::send(channelName, NativeName::arguments(argc, argv).mid(1));
        }
        return 0;
    }

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(AppInfo::productName());
    QCoreApplication::setApplicationVersion(QStringLiteral(CADELO_VERSION));
    // Lets the desktop match the window to its entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.cadelo.Cadelo"));
    initCadeloResources();
    // Before the first window: every caption is looked up as it is made.
    installTranslations(app, QLocale::system());

    // The application's own hidden window carries the title that marks a
    // running copy; the main window's caption stays "Cadelo".
    QWidget applicationWindow;
    applicationWindow.setWindowTitle(AppInfo::applicationTitle());

    // Outlives the window and its dialogs, which work on its state.
    Session session;
    SessionState& state = session.state();
    state.pump = [] { QCoreApplication::processEvents(); };

    MainWindow mainWindow(session);
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("io.github.cadelo.Cadelo"),
                         QIcon(QStringLiteral(":/desktop/io.github.cadelo.Cadelo.svg"))));
    SettingsDialog settingsDialog(state, &mainWindow);
    FolderDialog folderDialog(state, &mainWindow);
    AboutDialog aboutDialog(state, &mainWindow);
    TagEditDialog tagEditDialog(state, &mainWindow);
    mainWindow.setDialogs(&settingsDialog, &folderDialog, &aboutDialog, &tagEditDialog);
    settingsDialog.setFolderDialog(&folderDialog);
    QObject::connect(&folderDialog, &FolderDialog::folderChosen, &settingsDialog,
                     &SettingsDialog::setOutputFolderText);
    QObject::connect(&settingsDialog, &SettingsDialog::settingsApplied, &mainWindow,
                     &MainWindow::replanSelectedFile);
    // Scanned as soon as "Ok" applies the silence split, so that every cut can
    // be checked and moved in the span list before anything is written.
    SilenceScan silenceScan(session.jobs(), state, &mainWindow);
    QObject::connect(&settingsDialog, &SettingsDialog::silencePlanRequested, &silenceScan,
                     &SilenceScan::run);
    // A split scans what is still unscanned under the same dialog.
    session.commands().hooks.planBySound = [&silenceScan](const std::function<bool(int)>& rows) {
        return silenceScan.scan(rows);
    };

    // An open dialog must not keep the program running once the main window
    // has closed.
    QObject::connect(&mainWindow, &MainWindow::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    try {
        mainWindow.prepareFirstShow();
    } catch (const std::exception& e) {
        // A skin that cannot be read is told like every other failure.
        mainWindow.reportError(e);
    }
    if (qEnvironmentVariableIsSet("CADELO_FIRST_FRAME_EXIT"))
        new FirstFrameReport(&mainWindow, started);
    mainWindow.show();
    // A request to end the program (SIGTERM from a session that ends or from
    // kill, SIGINT from the terminal, SIGHUP when the terminal goes) closes the
    // main window as its close box does: a run is stopped and the settings saved.
    Platform::onTerminationRequest(&mainWindow, [&mainWindow] { mainWindow.close(); });

    ArgumentChannel channel;
    QObject::connect(&channel, &ArgumentChannel::received, &mainWindow, &MainWindow::addPaths);
    channel.listen(channelName);
    // From argv's bytes, which QApplication has rid of its own options: Qt's
    // list has lost those of a name that is not UTF-8.
    const QStringList startPaths = NativeName::arguments(argc, argv).mid(1);
    if (!startPaths.isEmpty())
        QTimer::singleShot(0, &mainWindow, [&] { mainWindow.addPaths(startPaths); });
    return app.exec();
}
