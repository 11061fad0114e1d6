// Mouse helpers for the widget tests: clicks as the user makes them, on a
// widget, a table row or one of the skin's objects in the main window.
#pragma once

#include <QEvent>
#include <QPoint>

class MainWindow;
class QAbstractItemView;
class QWidget;
class SkinObject;

// One mouse event of the left button at `at` (widget coordinates).
void sendMouse(QWidget* target, QEvent::Type type, const QPoint& at,
               Qt::MouseButtons buttons = Qt::LeftButton);

// Press and release at `at`; posted events are left for the caller to run.
void click(QWidget* target, const QPoint& at);

// Clicks the middle of `row`'s first cell.
void clickRow(QAbstractItemView* view, int row);

// The window's skin object of that name, or null.
SkinObject* skinObject(MainWindow& window, const char* name);

// Clicks the middle of the named skin object; fails the test when there is none.
void clickSkin(MainWindow& window, const char* name);

// Presses the skin's slider at a fraction of its width and lets go; returns
// the slider's position afterwards.
int slideTo(MainWindow& window, double fraction);
