// Everything the core needs from a person or the desktop. The window implements
// it with real dialogs; tests script it. Nothing here may block a test.
#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

class Prompt {
  public:
    virtual ~Prompt() = default;

    // An information box with one OK button, title "Cadelo".
    virtual void information(const QString& text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool question(const QString& text) = 0;
    // The dialogs and the desktop. A prompt without them (a terminal run)
    // keeps these: nothing is chosen and nothing opens on anybody's desktop.
    //
    // The open dialog, several files at once; empty when cancelled.
    // `filters` in Qt form, e.g. "OGG Files(*.ogg)".
    virtual QStringList openFiles(const QString& dir, const QStringList& filters) {
        (void)dir, (void)filters;
        return {};
    }
    // The save dialog; empty when cancelled. `filterIndex` is 1-based on entry
    // and on return, as the classic dialog counts its filters.
    virtual QString saveFile(const QString& dir, const QStringList& filters, int& filterIndex) {
        (void)dir, (void)filters, (void)filterIndex;
        return {};
    }
    // The folder picker; empty when cancelled.
    virtual QString pickFolder(const QString& start) {
        (void)start;
        return {};
    }
    // Opens a folder, a help page, a web page or a mail link with the desktop's
    // handler; failures are ignored.
    virtual void openUrl(const QUrl& url) { (void)url; }
};
