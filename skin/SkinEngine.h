// The skin engine: loads a skin description (JSON) with its forms and objects,
// and tells which form a window is drawn with. Needs no widgets: a window is
// any QObject, the drawing is the business of the view (SkinView).
#pragma once

#include "skin/SkinError.h"
#include "skin/SkinForm.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

class SkinEngine : public QObject {
    Q_OBJECT
  public:
    explicit SkinEngine(QObject* parent = nullptr);
    ~SkinEngine() override;

    // Reads the skin description at `path` (a file or a ":/" resource) and
    // replaces the forms held so far. Throws SkinError when the file cannot be
    // read, is not a skin description or describes an object badly.
    void loadSkin(const QString& path);
    // The window is drawn by the skin, with its first form until told otherwise.
    void applySkin(QObject* window);
    // The window is drawn with the form of that name, which GetSkinForm then
    // returns. Throws SkinError when the skin has no such form.
    void applyFormSkin(QObject* window, const QString& formName);
    // The form the window is drawn with, or null.
    SkinForm* skinForm(QObject* window) const;

    QString skinPath() const { return m_path; }
    QStringList formNames() const;

  signals:
    // The window's form changed; its view must draw again.
    void formApplied(QObject* window, SkinForm* form);

  private:
    SkinForm* formNamed(const QString& name) const;
    void forget(QObject* window);

    QString m_path;
    QList<SkinForm*> m_forms;
    QHash<QObject*, SkinForm*> m_applied;
};
