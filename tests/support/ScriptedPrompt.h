// A Prompt for tests: records every message and answers dialogs from queues
// that the test fills beforehand. Never blocks.
#pragma once

#include "core/Prompt.h"

#include <QList>
#include <QStringList>
#include <QUrl>
#include <deque>

class ScriptedPrompt : public Prompt {
  public:
    QStringList messages;                     // every information text, in order
    QStringList questions;                    // every question asked
    QList<QUrl> openedUrls;                   // every folder or page opened
    std::deque<QStringList> openFilesAnswers; // empty list = cancel
    std::deque<QString> saveFileAnswers;      // empty = cancel
    std::deque<int> saveFilterAnswers;        // filter index returned (default 1)
    std::deque<QString> folderAnswers;
    std::deque<bool> questionAnswers; // default: false (No)
    QString lastOpenDir;              // where the open dialog was last shown
    QStringList lastOpenFilters;      // and with which filters

    void information(const QString& text) override { messages << text; }
    bool question(const QString& text) override {
        questions << text;
        if (questionAnswers.empty())
            return false;
        const bool a = questionAnswers.front();
        questionAnswers.pop_front();
        return a;
    }
    QStringList openFiles(const QString& dir, const QStringList& filters) override {
        lastOpenDir = dir;
        lastOpenFilters = filters;
        if (openFilesAnswers.empty())
            return {};
        QStringList a = openFilesAnswers.front();
        openFilesAnswers.pop_front();
        return a;
    }
    QString saveFile(const QString&, const QStringList&, int& filterIndex) override {
        if (saveFileAnswers.empty())
            return {};
        QString a = saveFileAnswers.front();
        saveFileAnswers.pop_front();
        if (!saveFilterAnswers.empty()) {
            filterIndex = saveFilterAnswers.front();
            saveFilterAnswers.pop_front();
        }
        return a;
    }
    QString pickFolder(const QString&) override {
        if (folderAnswers.empty())
            return {};
        QString a = folderAnswers.front();
        folderAnswers.pop_front();
        return a;
    }
    void openUrl(const QUrl& url) override { openedUrls << url; }
};
