#include "support/WidgetSupport.h"

#include "skin/SkinEngine.h"
#include "skin/SkinForm.h"
#include "skin/SkinObject.h"
#include "ui/MainWindow.h"
#include "ui/SkinView.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QMouseEvent>
#include <gtest/gtest.h>

void sendMouse(QWidget* target, QEvent::Type type, const QPoint& at, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), Qt::LeftButton, buttons,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void click(QWidget* target, const QPoint& at) {
    sendMouse(target, QEvent::MouseButtonPress, at);
    sendMouse(target, QEvent::MouseButtonRelease, at, Qt::NoButton);
}

void clickRow(QAbstractItemView* view, int row) {
    click(view->viewport(), view->visualRect(view->model()->index(row, 0)).center());
}

SkinObject* skinObject(MainWindow& window, const char* name) {
    SkinForm* form = window.skinEngine().skinForm(&window);
    return form ? form->FindObject(QString::fromLatin1(name)) : nullptr;
}

void clickSkin(MainWindow& window, const char* name) {
    SkinObject* o = skinObject(window, name);
    ASSERT_NE(o, nullptr) << name;
    click(window.skinView(), o->rect().center());
}

int slideTo(MainWindow& window, double fraction) {
    const SkinParts& skin = window.skinParts();
    const QRect r = skin.slider->rect();
    click(window.skinView(), QPoint(r.left() + int(fraction * r.width()), r.center().y()));
    QApplication::processEvents();
    return skin.slider->sliderPosition();
}
