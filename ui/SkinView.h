// The skin view of a window: draws the window's skin form (face, buttons,
// slider, texts, bar) behind the ordinary controls and turns the mouse into
// click, press, release and drag notifications that carry the skin object.
#pragma once

#include <QPointer>
#include <QWidget>

class SkinEngine;
class SkinForm;
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

    SkinEngine& m_engine;
    QObject* m_window;
    QPointer<SkinForm> m_form;
    QPointer<SkinObject> m_hovered;
    QPointer<SkinObject> m_pressed;
    bool m_pressInside = false; // the pressed button is drawn down only while the mouse is on it
};
