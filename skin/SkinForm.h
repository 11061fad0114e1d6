// One form of a skin: its size, its background decorations and its named
// objects. FindObject is how the program reaches the objects it writes to.
#pragma once

#include "skin/SkinObject.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>

// Drawing that belongs to the form's face and answers no clicks.
struct SkinDecoration {
    QString type; // "header", "panel", "caption", "track", "divider", "logo"
    QRect rect;
    QString text;
    QString style; // optional variant of the type
};

class SkinForm : public QObject {
    Q_OBJECT
  public:
    SkinForm(const QString& name, const QSize& size, QObject* parent = nullptr);

    QString name() const { return m_name; }
    QSize size() const { return m_size; }

    // The object of that exact name (case counts), or null.
    SkinObject* FindObject(const QString& name) const;
    // The topmost object whose rectangle holds `point`, or null.
    SkinObject* objectAt(const QPoint& point) const;
    const QList<SkinObject*>& objects() const { return m_objects; }
    // Takes ownership; a later object is drawn over an earlier one.
    void addObject(SkinObject* object);

    QList<SkinDecoration> decorations;
    // Named colours of the look ("accent", "text", ...) as 0xAARRGGBB (the
    // layout of QRgb, which the view draws with); see color().
    QHash<QString, quint32> colors;
    quint32 color(const QString& role, quint32 fallback) const;

  private:
    QString m_name;
    QSize m_size;
    QList<SkinObject*> m_objects;
};
