// What the job list, the runs, the preview and the commands of one session
// share: the cached settings, the chosen output format, the run flags and the
// ways to reach a person (prompt) and the event loop (pump). Each of them keeps
// its own state beside it; the Session owns this one.
#pragma once

#include "core/Settings.h"

#include <QObject>
#include <functional>
#include <memory>

class IniFile;
class Prompt;

class SessionState : public QObject {
    Q_OBJECT
  public:
    explicit SessionState(QObject* parent = nullptr);
    ~SessionState() override;

    // --- settings ----------------------------------------------------------
    CachedSettings settings;
    std::unique_ptr<IniFile> ini; // created by whoever loads the settings
    int formatIndex = 0;          // the output format box: 0 is "OGG"

    // --- run flags ---------------------------------------------------------
    bool converting = false;
    bool adding = false; // an add loop is pumping: other list commands are refused

    // --- the outside world ---------------------------------------------------
    Prompt* prompt = nullptr;   // never null once the window or a test set it up
    std::function<void()> pump; // lets pending events run; may be empty

    void pumpEvents() {
        if (pump)
            pump();
    }
    // Tells the person, when there is a prompt.
    void inform(const QString& text);
};
