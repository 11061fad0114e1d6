// A split or join run on synthesised files: a temporary folder with "src" and
// "out", a settings file, the state with a scripted prompt and the two objects
// a run draws on (position text, progress bar), the job list and the runs.
#pragma once

#include "commands/CommandTable.h"
#include "convert/Conversion.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "support/ScriptedPrompt.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdint>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

// Spans of a file as (begin, end) seconds.
using Spans = std::vector<std::pair<int, int>>;

class RunFixture : public ::testing::Test {
  protected:
    static constexpr double ToneHz = 1500.0; // a shift of one frame shows clearly

    void SetUp() override;

    // Synthesises a tone of exactly `frames` frames as src/<name>.
    QString makeSource(const QString& name, std::int64_t frames, int rate = 44100,
                       int channels = 2);
    // Admits the file as the last row and selects the first row.
    void add(const QString& path);
    // The split or join of the settings in force, as the window starts them.
    void split();
    void join(const QString& path);
    // Confirmed spans plus the open span over the whole file, as marking leaves them.
    void setSpans(int file, const Spans& spans);
    // Fades in and out as chosen, both of `seconds`.
    void setFades(bool in, bool out, int seconds);
    // A split in `mode` of sources f0.ogg, f1.ogg, ... of those lengths, added
    // in order, `spans` set on every file (Custom) or on the first
    // (Unification); the sources.
    std::vector<QString> addSplitSources(SplitMode mode, int splitSeconds, int splitCount,
                                         const std::vector<std::int64_t>& fileFrames,
                                         const Spans& spans);
    QStringList filesInOutput() const;

    QTemporaryDir dir;
    QString outDir;
    SessionState state;
    ScriptedPrompt prompt;
    JobList jobs{state};
    Conversion conversion{state, jobs};
    CommandTable commands{state, jobs}; // the window's commands, on the real runs
    QList<int> progress;                // every value reported, 0 to 10000
    int runsEnded = 0;
};

// Root mean square of `count` values of `v` from `from` on.
double rms(const std::vector<float>& v, std::int64_t from, std::int64_t count);

// Expects the first and the last `edge` values of `samples`, a synthesised tone
// (0.5 on each channel), to be faded to near silence or at the tone's level.
void expectEdges(const std::vector<float>& samples, std::int64_t edge, bool quietStart,
                 bool quietEnd);
