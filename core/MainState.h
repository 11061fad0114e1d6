// The program's one shared state: the job list with its row models, the run
// flags, the cached settings, the skin objects the core writes to, the audio
// components and the ways to reach a person (prompt) and the event loop (pump).
#pragma once

#include "core/Settings.h"
#include "audio/AudioFile.h"
#include "audio/AudioPlayer.h"
#include "core/JobRecords.h"

#include <QItemSelectionModel>
#include <QObject>
#include <QRect>
#include <QStandardItemModel>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class IniFile;
class Prompt;
class SkinObject;

class MainState : public QObject {
    Q_OBJECT
  public:
    explicit MainState(QObject* parent = nullptr);
    ~MainState() override;

    // --- settings ----------------------------------------------------------
    CachedSettings settings;
    std::unique_ptr<IniFile> ini; // created by LoadSettings' caller

    // --- job list ----------------------------------------------------------
    std::vector<listrecord> FileList;   // element i describes row i of lv
    std::vector<AudioFileinfo> TagList; // element i holds the tags of row i
    QStandardItemModel lv;              // columns "File name", "Time"
    QItemSelectionModel lvSelection{&lv};
    QStandardItemModel lv_time; // columns "Begin Time - End", "Length", "Status"
    QItemSelectionModel lvTimeSelection{&lv_time};
    int nameColumnWidth = 120;       // width of lv's "File name" column
    bool instructionsVisible = true; // the memo `sm` over both lists
    int formatIndex = 0;             // cb_format: 0 is "OGG"

    // --- run state ---------------------------------------------------------
    bool Converting = false;
    bool Previewing = false;
    bool Seeking = false;
    bool SpanListActive = false;
    bool Adding = false; // an add loop is pumping: other list commands are refused
    int SelectedFile = 0;
    int SelectedSpan = 0;
    int PreviewFile = 0;
    int PreviewSpan = 0;
    std::int64_t PreviewStartSample = 0;
    int SliderPosition = 0;
    QString PositionText;
    QString SavedStatus;

    // --- skin objects the core writes to (null when there is no skin) -------
    SkinObject* pb = nullptr;
    SkinObject* timecaption = nullptr;
    SkinObject* tataltime = nullptr;
    SkinObject* nm = nullptr;
    SkinObject* pbpos = nullptr;
    SkinObject* convertpb = nullptr;
    QRect convertpbHome; // the bar's full rectangle as read at set-up

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
    void setInstructionsVisible(bool visible);
    void setNameColumnWidth(int width);
    // Asks the window to give the file list the keyboard focus.
    void focusFileList() { emit fileListFocusRequested(); }

  signals:
    void instructionsVisibleChanged(bool visible);
    void nameColumnWidthChanged(int width);
    void fileListFocusRequested();
};
