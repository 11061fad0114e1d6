// What the split and join benchmarks share: the real run set up as a front end
// sets it up, a long synthesised source in a temporary folder, and one Time
// split of it by the real run.
#pragma once

#include "convert/Conversion.h"
#include "convert/RunOptions.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <functional>
#include <stdexcept>

namespace bench {

// A session's job list and run writing into `outDir` in Time mode, its
// events pumped by nobody.
struct RunSetup {
    SessionState state;
    JobList jobs{state};
    Conversion conversion{state, jobs};

    explicit RunSetup(const QString& outDir) {
        state.settings.splitMode = SplitMode::Time;
        state.settings.outputDir = outDir;
        state.pump = [] {};
    }
    void admit(const QStringList& sources) {
        for (const QString& s : sources)
            jobs.admitFile(s, JobList::AddFilesFloor);
        jobs.selectRow(0);
    }
};

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
        RunSetup run(outDir);
        run.state.settings.splitSeconds = seconds;
        run.admit({source});
        RunOptions options = RunOptions::fromSettings(run.state.settings, nullptr, 0);
        options.jobs = jobs;
        Conversion& conversion = run.conversion;
        conversion.setOptions(options);
        conversion.onOutputClosed = onClosed;
        conversion.splitRun();
        if (conversion.lastRunFailed())
            throw std::runtime_error("split failed: " + conversion.lastError().toStdString());
        return conversion.lastOutputs();
    }
};

// The frame of a split benchmark's main: the application, then the bench
// with its source of `seconds` synthesised; `body`'s result is the exit code.
inline int splitBenchMain(int argc, char** argv, std::int64_t seconds, int rate, int channels,
                          const std::function<int(SplitBench&)>& body) {
    QCoreApplication app(argc, argv);
    SplitBench b;
    if (!b.valid())
        return 1;
    b.synthesise(seconds, rate, channels);
    return body(b);
}

} // namespace bench
