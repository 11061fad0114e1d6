// Placing a dialog (see DialogPlacement.h).
#include "ui/DialogPlacement.h"

#include <QLayout>
#include <QWidget>

void placeAtWindowCorner(QWidget& dialog, const QWidget& window) {
    // move() places a window's frame only while the window keeps the size it
    // was made with: a size that the layout settles later, at the first
    // showing, sends the platform a new geometry that places the client area
    // instead (some twenty pixels too high under a title bar). So the size is
    // settled first.
    dialog.ensurePolished();
    if (QLayout* layout = dialog.layout())
        layout->activate();
    if (!dialog.testAttribute(Qt::WA_Resized))
        dialog.adjustSize();
    dialog.move(window.frameGeometry().topLeft());
}
