// The skin's icons, drawn as vector paths so that they stay sharp at any
// scaling: on skin buttons, in the pop-up menus and in the dialogs.
#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>
#include <QString>
#include <QStringList>

class QPainter;

// Draws icon `name` filling the square `box` in `color`. Unknown names draw
// nothing, so a skin naming a newer icon still loads.
void paintSkinIcon(QPainter& painter, const QString& name, const QRectF& box, const QColor& color);
// Every icon name paintSkinIcon knows.
QStringList skinIconNames();
// The icon as a QIcon that draws itself at the size and scale it is asked for.
QIcon skinIcon(const QString& name, const QColor& color = QColor(0x33, 0x41, 0x55));
