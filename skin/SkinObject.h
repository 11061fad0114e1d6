// One named object of the skin: a button, a slider, a text or a plain bar. The
// core writes to it; a widget draws it and repaints when it changes.
#pragma once

#include <QObject>
#include <QRect>
#include <QString>

class SkinObject : public QObject {
    Q_OBJECT
  public:
    enum class Kind { Button, Slider, Text, Bar };

    SkinObject(const QString& name, Kind kind, const QRect& rect, QObject* parent = nullptr);

    QString skinName() const { return m_name; }
    Kind kind() const { return m_kind; }

    QRect rect() const { return m_rect; }
    void setRect(const QRect& rect) { m_rect = rect; }
    // Tells the views to draw the object again with its current state.
    void redraw() { emit redrawn(this); }

    QString text() const { return m_text; }
    void setText(const QString& text) { m_text = text; }

    int sliderPosition() const { return m_position; }
    void setSliderPosition(int position) { m_position = position; }
    int sliderMax() const { return m_max; }
    void setSliderMax(int max) { m_max = max; }
    int sliderPage() const { return m_page; }
    void setSliderPage(int page) { m_page = page; }

    // Look of the object (set from the skin description).
    QString label;
    QString tooltip;
    QString icon;
    QString style; // the drawing role: "header", "tool", "transport", "primary", ...

  signals:
    void redrawn(SkinObject* object);

  private:
    QString m_name;
    Kind m_kind;
    QRect m_rect;
    QString m_text;
    int m_position = 0;
    int m_max = 100;
    int m_page = 0;
};
