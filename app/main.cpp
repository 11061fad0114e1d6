// The program's entry: one copy per user and display, the windows created
// once in their order, the main window shown, the event loop run.
#include "app/AppInfo.h"
#include "app/MainState.h"
#include "app/Resources.h"
#include "app/SingleInstance.h"
#include "app/Tfm_main.h"
#include "dialogs/Tfm_about.h"
#include "dialogs/Tfm_dir.h"
#include "dialogs/Tfm_set.h"
#include "tags/Tfm_id3.h"

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

    Tfm_main fm_main(state);
    Tfm_set fm_set(state, &fm_main);
    Tfm_dir fm_dir(state, &fm_main);
    Tfm_about fm_about(state, &fm_main);
    Tfm_id3 fm_id3(state, &fm_main);
    fm_main.setDialogs(&fm_set, &fm_dir, &fm_about, &fm_id3);

    // An open dialog must not keep the program running once the main window
    // has closed.
    QObject::connect(&fm_main, &Tfm_main::closed, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);

    try {
        fm_main.FormShow();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, AppInfo::productName(), QString::fromUtf8(e.what()));
    }
    fm_main.show();
    return app.exec();
}
