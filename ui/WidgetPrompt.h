// The Prompt of the running program: real message boxes, file dialogs and the
// desktop's handler for folders, pages and mail links.
#pragma once

#include "core/Prompt.h"

#include <QPointer>
#include <QWidget>

class WidgetPrompt : public Prompt {
  public:
    explicit WidgetPrompt(QWidget* parent = nullptr) : m_parent(parent) {}

    void information(const QString& text) override;
    bool question(const QString& text) override;
    QStringList openFiles(const QString& dir, const QStringList& filters) override;
    QString saveFile(const QString& dir, const QStringList& filters, int& filterIndex) override;
    QString pickFolder(const QString& start) override;
    void openUrl(const QUrl& url) override;

  private:
    QPointer<QWidget> m_parent;
};
