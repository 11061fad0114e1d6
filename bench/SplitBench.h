// What the split benchmarks share: a long synthesised source in a temporary
// folder, and one Time split of it by the real run.
#pragma once

#include "convert/Conversion.h"
#include "convert/RunOptions.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "synth/Synth.h"

#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <stdexcept>

namespace bench {

struct SplitBench {
    QTemporaryDir dir;
    QString source = dir.filePath(QStringLiteral("long.ogg"));
    QString outDir = dir.filePath(QStringLiteral("out")) + QLatin1Char('/');

    bool valid() const { return dir.isValid(); }

    void synthesise(std::int64_t seconds, int rate, int channels) {
        std::printf("synthesising %lld s of %d Hz %s...\n", static_cast<long long>(seconds), rate,
                    channels == 1 ? "mono" : "stereo");
        std::fflush(stdout);
        synth::writeOgg(source, seconds * rate, rate, channels);
    }

    void emptyOutput() const {
        QDir(outDir).removeRecursively();
        QDir().mkpath(outDir);
    }

    // The split of the source into pieces of `seconds` with `jobs` workers,
    // into an empty output folder; its outputs. Throws when the run fails.
    QStringList split(int seconds, int jobs,
                      const std::function<void(const QString&)>& onClosed = {}) const {
        emptyOutput();
        SessionState state;
        JobList jobList(state);
        Conversion conversion(state, jobList);
        state.settings.splitMode = SplitMode::Time;
        state.settings.splitSeconds = seconds;
        state.settings.outputDir = outDir;
        state.pump = [] {};
        jobList.admitFile(source, JobList::AddFilesFloor);
        jobList.selectRow(0);
        RunOptions options = RunOptions::fromSettings(state.settings, nullptr, 0);
        options.jobs = jobs;
        conversion.setOptions(options);
        conversion.onOutputClosed = onClosed;
        conversion.splitRun();
        if (conversion.lastRunFailed())
            throw std::runtime_error("split failed: " + conversion.lastError().toStdString());
        return conversion.lastOutputs();
    }
};

} // namespace bench
