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
#include <optional>

class CliSession {
  public:
    CliSession(const CliOptions& options, bool progressOnStderr);

    // Runs the command; the result is the process's exit status.
    CliExit run();

  private:
    CliExit info();
    CliExit split();
    CliExit join();
    CliExit peaks();

    // The settings file read into the cached settings and the encoding; it is
    // never written. After a message: the exit status.
    std::optional<CliExit> loadSettings();
    void applyOptions();
    RunOptions runOptions() const;
    // What split and join do before their own checks: the settings with the
    // options applied, a known split mode, an accepted encoding (but for
    // --copy), split's output folder, the files admitted and the spans marked.
    // After a message: the exit status. `refused` counts the files refused or
    // left out.
    std::optional<CliExit> prepareRun(int& refused);
    // The settings dialog's test of the encoding, before anything is written.
    bool encodingAccepted();
    bool prepareOutputDir();
    // --copy: the fades off and every source an Ogg Vorbis file of one stream.
    bool copyPossible();
    // Admits the FILE arguments, with the window's messages; the number refused.
    int admitFiles();
    // Admits the files of --cue's sheet with their tracks; the number refused.
    int admitCueSheet();
    // Adds the --span spans. A file none of them lies in is left out (counted
    // in `leftOut`); false when nothing is left to run.
    bool markSpans(int& leftOut);
    bool markOn(int row, const CliSpan& span);
    // The silence split or the snapped cuts: each file scanned, its cuts made
    // its Custom spans. False when stopped or nothing is left to run.
    bool planBySound(int& refused);
    void connectRun();
    CliExit runResult(int refused) const;

    const CliOptions& opts;
    Session session;
    SessionState& state = session.state();
    JobList& jobs = session.jobs();
    Conversion& conversion = session.conversion();
    CliPrompt prompt;
    ProgressBar bar;
    OggKeys oggKeys; // the settings file's encoding with the options applied
};
