// The program's entry: one copy per user and display, the windows created
// once in their order, the main window shown, the event loop run.
#include "core/AppInfo.h"
#include "core/ArgumentChannel.h"
#include "core/MainState.h"
#include "core/Resources.h"
#include "core/SingleInstance.h"
#include "ui/AboutDialog.h"
#include "ui/FolderDialog.h"
#include "ui/MainWindow.h"
#include "ui/SettingsDialog.h"
#include "ui/TagEditDialog.h"

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// The two ends of the socket pair on which a signal handler wakes the event loop.
int terminationSocket[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    // Nothing else is safe in a signal handler; a full socket already wakes it.
    [[maybe_unused]] const ssize_t written = ::write(terminationSocket[0], &byte, 1);
}

// A request to end the program (SIGTERM from a session that ends or from
// kill, SIGINT from the terminal, SIGHUP when the terminal goes) closes the
// main window as its close box does: a run is stopped and the settings saved.
void closeOnTermination(QWidget& window) {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, terminationSocket) != 0)
        return;
    auto* notifier = new QSocketNotifier(terminationSocket[1], QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(terminationSocket[1], &byte, 1);
        window.close();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace

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
            ArgumentChannel::send(channelName, QCoreApplication::arguments().mid(1));
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

    MainState state;
    state.pump = [] { QCoreApplication::processEvents(); };

    MainWindow mainWindow(state);
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
    closeOnTermination(mainWindow);

    ArgumentChannel channel;
    QObject::connect(&channel, &ArgumentChannel::received, &mainWindow, &MainWindow::addPaths);
    channel.listen(channelName);
    const QStringList startPaths = QCoreApplication::arguments().mid(1);
    if (!startPaths.isEmpty())
        QTimer::singleShot(0, &mainWindow, [&] { mainWindow.addPaths(startPaths); });
    return app.exec();
}
