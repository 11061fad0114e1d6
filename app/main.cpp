// The program's entry: one copy per user and display, the windows created
// once in their order, the main window shown, the event loop run.
#include "core/AppInfo.h"
#include "core/MainState.h"
#include "core/Resources.h"
#include "core/SingleInstance.h"
#include "ui/MainWindow.h"
#include "ui/AboutDialog.h"
#include "ui/FolderDialog.h"
#include "ui/SettingsDialog.h"
#include "ui/TagEditDialog.h"

#include <QApplication>
#include <QMessageBox>

int main(int argc, char** argv) {
    // Before anything is shown: a second copy ends silently and leaves the
    // first one alone.
    SingleInstance instance(AppInfo::applicationTitle());
    if (!instance.tryLock())
        return 0;

    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(AppInfo::productName());
    QCoreApplication::setApplicationVersion(QStringLiteral(CADELO_VERSION));
    initCadeloResources();

    // The application's own hidden window carries the title that marks a
    // running copy; the main window's caption stays "Cadelo".
    QWidget applicationWindow;
    applicationWindow.setWindowTitle(AppInfo::applicationTitle());

    MainState state;
    state.pump = [] { QCoreApplication::processEvents(); };

    MainWindow fm_main(state);
    SettingsDialog fm_set(state, &fm_main);
    FolderDialog fm_dir(state, &fm_main);
    AboutDialog fm_about(state, &fm_main);
    TagEditDialog fm_id3(state, &fm_main);
    fm_main.setDialogs(&fm_set, &fm_dir, &fm_about, &fm_id3);

    // An open dialog must not keep the program running once the main window
    // has closed.
    QObject::connect(&fm_main, &MainWindow::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    try {
        fm_main.FormShow();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, AppInfo::productName(), QString::fromUtf8(e.what()));
    }
    fm_main.show();
    return app.exec();
}
