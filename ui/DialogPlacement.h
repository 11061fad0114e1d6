// Where a dialog of the main window comes up: its frame at the window's
// frame corner, so that it never covers the window's title bar.
#pragma once

class QWidget;

// Call before the dialog is shown (not from its showEvent): the platform takes
// the place together with the size the dialog has when its window is made.
void placeAtWindowCorner(QWidget& dialog, const QWidget& window);
