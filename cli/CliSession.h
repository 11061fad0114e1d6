// One run of cadelo-cli: loads the settings, admits the files through the job
// list as the open dialog does, marks the spans by hand and starts the core's
// split or join run, or prints what the job list holds about each file.
#pragma once

#include "core/MainState.h"
#include "skin/SkinObject.h"
#include "cli/CliOptions.h"
#include "cli/CliPrompt.h"
#include "cli/ProgressBar.h"
#include "convert/Conversion.h"
#include "joblist/JobList.h"

#include <QTemporaryDir>
#include <cstdint>

class CliSession {
  public:
    CliSession(const CliOptions& options, bool progressOnStderr);

    // Runs the command; the result is the process's exit status.
    int run();

  private:
    int info();
    int split();
    int join();

    // The settings file read into the cached settings, and a private copy of it
    // for the encoding keys. False after a message; `exitCode` says which.
    bool loadSettings(int& exitCode);
    void applyOptions();
    // Settings loaded, options applied and a known split mode; false with the exit code set.
    bool prepareRun(int& exitCode);
    // The settings dialog's test of the encoding, before anything is written.
    bool encodingAccepted();
    bool prepareOutputDir();
    // Admits the FILE arguments as the open dialog does; the number refused.
    int admitFiles();
    // Marks and confirms the --span spans. A file none of them lies in is left
    // out (counted in `leftOut`); false when nothing is left to run.
    bool markSpans(int& leftOut);
    bool markOn(int row, const CliSpan& span);
    bool moveSliderTo(std::int32_t seconds);
    listrecord& markedRecord();
    void connectRun();
    int runResult(int refused) const;

    const CliOptions& opts;
    MainState state;
    CliPrompt prompt;
    JobList jobs{state};
    Conversion conversion{state, jobs};
    SkinObject pb{QStringLiteral("pb"), SkinObject::Slider, QRect(0, 0, 400, 12)};
    ProgressBar bar;
    QTemporaryDir privateDir; // holds the settings copy the run reads
};
