// The skin view of a window: draws the window's skin form (face, buttons,
// slider, texts, bar) behind the ordinary controls and turns the mouse into
// click, press, release and drag notifications that carry the skin object.
#pragma once

#include <QHash>
#include <QList>
#include <QPointer>
#include <QWidget>

class SkinEngine;
class SkinForm;
class SkinItem;
class SkinObject;

class SkinView : public QWidget {
    Q_OBJECT
  public:
    // Draws the form that `engine` applies to `window`.
    SkinView(SkinEngine& engine, QObject* window, QWidget* parent = nullptr);

    SkinForm* form() const;
    SkinObject* objectAt(const QPoint& pos) const;
    SkinObject* hoveredObject() const { return m_hovered; }
    SkinObject* pressedObject() const { return m_pressed; }
    // The slider position that a press or drag at x gives on `slider`.
    int sliderPositionAt(const SkinObject* slider, int x) const;

    QSize sizeHint() const override;

    // The keyboard's and assistive technology's way in: one item per object,
    // in the skin's order; the buttons and the slider take the focus.
    const QList<SkinItem*>& items() const { return m_items; }
    SkinObject* focusedObject() const;
    // A button pressed and let go on itself, as a click does.
    void press(SkinObject* button);
    // The slider grabbed, moved to `position` (held to its travel) and let go.
    void moveSliderTo(SkinObject* slider, int position);
    static int sliderTravel(const SkinObject* slider);
    static int sliderStep(const SkinObject* slider);
    static int sliderPageStep(const SkinObject* slider);
    // What a screen reader reads as the object's value: the slider's the text
    // of `text` (the time at the thumb), a text its own, the bar its percent.
    void setValueText(SkinObject* slider, SkinObject* text);
    QString valueText(const SkinObject* object) const;

  signals:
    void clicked(SkinObject* object);
    void pressed(SkinObject* object);
    void released(SkinObject* object);
    void sliderTracked(SkinObject* object, int position);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void attach(QObject* window, SkinForm* form);
    void setHovered(SkinObject* object);
    void track(SkinObject* slider, int x);
    void moved(SkinObject* slider, int position);

    SkinEngine& m_engine;
    QObject* m_window;
    QPointer<SkinForm> m_form;
    QPointer<SkinObject> m_hovered;
    QPointer<SkinObject> m_pressed;
    bool m_pressInside = false; // the pressed button is drawn down only while the mouse is on it
    QList<SkinItem*> m_items;
    QHash<const SkinObject*, QPointer<SkinObject>> m_valueTexts;
};
