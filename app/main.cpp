// The program's entry: one copy per user and display, the windows created
// once in their order, the main window shown, the event loop run.
#include "audio/NativeName.h"
#include "commands/Session.h"
#include "core/AppInfo.h"
#include "core/ArgumentChannel.h"
#include "core/Platform.h"
#include "core/Resources.h"
#include "core/SingleInstance.h"
#include "ui/AboutDialog.h"
#include "ui/FolderDialog.h"
#include "ui/MainWindow.h"
#include "ui/SettingsDialog.h"
#include "ui/SilenceScan.h"
#include "ui/TagEditDialog.h"

#include <QApplication>
#include <QIcon>
#include <QTimer>

int main(int argc, char** argv) {
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
