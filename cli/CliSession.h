// One run of cadelo-cli: reads the settings, admits the files to the job list,
// adds the spans by time and starts the core's split or join run with the
// asked options, or prints what the job list holds about each file.
#pragma once

#include "cli/CliOptions.h"
#include "cli/CliPrompt.h"
#include "cli/ProgressBar.h"
#include "commands/Session.h"
#include "convert/OggSettings.h"

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

    // The settings file read into the cached settings and the encoding; it is
    // never written. False after a message; `exitCode` says which.
    bool loadSettings(int& exitCode);
    void applyOptions();
    RunOptions runOptions() const;
    // Settings loaded, options applied and a known split mode; false with the exit code set.
    bool prepareRun(int& exitCode);
    // The settings dialog's test of the encoding, before anything is written.
    bool encodingAccepted();
    bool prepareOutputDir();
    // --copy: the fades off and every source an Ogg Vorbis file of one stream.
    bool copyPossible();
    // Admits the FILE arguments, with the window's messages; the number refused.
    int admitFiles();
    // Adds the --span spans. A file none of them lies in is left out (counted
    // in `leftOut`); false when nothing is left to run.
    bool markSpans(int& leftOut);
    bool markOn(int row, const CliSpan& span);
    void connectRun();
    int runResult(int refused) const;

    const CliOptions& opts;
    Session session;
    MainState& state = session.state();
    JobList& jobs = session.jobs();
    Conversion& conversion = session.conversion();
    CliPrompt prompt;
    ProgressBar bar;
    OggKeys oggKeys; // the settings file's encoding with the options applied
};
