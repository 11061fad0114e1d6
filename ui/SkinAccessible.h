// The skin's objects as the keyboard and assistive technology see them: one
// small child widget of the skin view per object takes the focus in the tab
// chain and carries the object's accessible name, role, value and actions.
#pragma once

#include <QPointer>
#include <QWidget>

class SkinObject;
class SkinView;

class SkinItem : public QWidget {
    Q_OBJECT
  public:
    // Lies over `object` in `view`; buttons and the slider take the focus.
    SkinItem(SkinObject* object, SkinView* view);

    SkinObject* object() const { return m_object; }
    SkinView* view() const { return m_view; }
    // The bar's width when full: what its value is measured against.
    int fullWidth() const { return m_fullWidth; }
    // Follows the object's rectangle and tells assistive technology of a new value.
    void follow();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    QPointer<SkinObject> m_object;
    SkinView* m_view;
    int m_fullWidth = 0;
    QString m_lastValue;
};

// Lets Qt's accessibility find the interface of every SkinItem; runs once.
void installSkinAccessibility();
