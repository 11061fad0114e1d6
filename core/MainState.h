// The program's one shared state: the cached settings, the run flags, the
// audio components and the ways to reach a person (prompt) and the event loop
// (pump). The job list's rows live in the job list; views keep their own state.
#pragma once

#include "audio/AudioFile.h"
#include "audio/AudioPlayer.h"
#include "core/Settings.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>

class IniFile;
class Prompt;

class MainState : public QObject {
    Q_OBJECT
  public:
    explicit MainState(QObject* parent = nullptr);
    ~MainState() override;

    // --- settings ----------------------------------------------------------
    CachedSettings settings;
    std::unique_ptr<IniFile> ini; // created by whoever loads the settings
    int formatIndex = 0;          // the output format box: 0 is "OGG"

    // --- run state ---------------------------------------------------------
    bool converting = false;
    bool previewing = false;
    bool seeking = false;
    bool spanListActive = false; // the span list, not the file list, was used last
    bool adding = false;         // an add loop is pumping: other list commands are refused
    int selectedFile = 0;
    int selectedSpan = 0;
    int previewFile = 0;
    int previewSpan = 0;
    std::int64_t previewStartSample = 0;

    // --- audio components ----------------------------------------------------
    AudioFile reader;
    AudioFile writer;
    AudioPlayer player;

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
