// The Prompt of the running program: real message boxes, file dialogs and the
// desktop's handler for folders, pages and mail links.
#pragma once

#include "core/Prompt.h"

#include <QFileDialog>
#include <QPointer>
#include <QWidget>

// The open dialog of "Add File": several files at once, resizable. Names typed
// into its name field come back as typed, in their order, whatever the filter
// shows: a file of another type may be typed in, and a name that does not
// exist is left for the add to refuse with its own message.
class OpenFilesDialog : public QFileDialog {
  public:
    OpenFilesDialog(QWidget* parent, const QString& dir, const QStringList& filters);

    // What the dialog was closed with: the typed names when there are any,
    // otherwise the files selected in the view.
    QStringList chosenFiles() const;
    // The names in the text of the name field: one name, or several each in
    // double quotes; a relative one is taken in `dir`, "~" is the home folder.
    static QStringList typedFiles(const QString& text, const QString& dir);

    void accept() override;

  private:
    QString typedText() const;
};

class WidgetPrompt : public Prompt {
  public:
    explicit WidgetPrompt(QWidget* parent = nullptr) : m_parent(parent) {}

    void information(const QString& text) override;
    bool question(const QString& text) override;
    QStringList openFiles(const QString& dir, const QStringList& filters) override;
    QString saveFile(const QString& dir, const QStringList& filters, int& filterIndex) override;
    QString pickFolder(const QString& start) override;
    void openUrl(const QUrl& url) override;

    // A message as a box shows it: a long path may break after each folder
    // separator, and a long run without any break opportunity every few
    // characters, so that the box keeps a readable width.
    static QString breakable(const QString& text);

  private:
    QPointer<QWidget> m_parent;
};
