#include "cli/CliSession.h"

#include "core/IniFile.h"
#include "core/Settings.h"
#include "audio/MulDiv.h"
#include "cli/Terminal.h"
#include "convert/OggSettings.h"
#include "joblist/TimeText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <exception>

namespace {

const QString Ogg = QStringLiteral("ogg");

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString absolute(const QString& path) {
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

bool sameFile(const QString& a, const QString& b) {
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

bool makeFolder(const QString& dir) {
    if (!QFileInfo(dir).isDir())
        QDir().mkpath(dir);
    return QFileInfo(dir).isDir();
}

} // namespace

CliSession::CliSession(const CliOptions& options, bool progressOnStderr)
    : opts(options), bar(progressOnStderr && !options.quiet) {
    state.prompt = &prompt;
    state.pb = &pb;
    prompt.beforeMessage = [this] { bar.clear(); };
}

int CliSession::run() {
    try {
        switch (opts.command) {
        case CliCommand::Info:
            return info();
        case CliCommand::Split:
            return split();
        case CliCommand::Join:
            return join();
        default:
            return ExitUsage;
        }
    } catch (const std::exception& e) {
        // The runs catch their own failures; this is what happens around them
        // (a settings copy that cannot be written, memory).
        bar.clear();
        prompt.say(QString::fromLocal8Bit(e.what()));
        return ExitFailed;
    }
}

// ---------------------------------------------------------------------------
// Settings
// ---------------------------------------------------------------------------

bool CliSession::loadSettings(int& exitCode) {
    QString path = settingsFilePath();
    if (!opts.settingsFile.isEmpty()) {
        path = absolute(opts.settingsFile);
        if (!QFileInfo(path).isFile() || !QFileInfo(path).isReadable()) {
            prompt.say(QStringLiteral("cannot read the settings file %1").arg(shown(path)));
            Terminal::writeErr(cliUsageText());
            exitCode = ExitUsage;
            return false;
        }
    }
    if (!privateDir.isValid()) {
        prompt.say(
            QStringLiteral("cannot create a temporary folder: %1").arg(privateDir.errorString()));
        exitCode = ExitFailed;
        return false;
    }

    // The runs read the encoding keys from the settings file at each use; they
    // get a private copy, so that the options can be written into it and the
    // user's file is never touched, whatever any part of the run writes.
    const QString copy = privateDir.filePath(QStringLiteral("VAZOzojoin.ini"));
    if (QFileInfo(path).isFile()) {
        if (!QFile::copy(path, copy)) {
            prompt.say(QStringLiteral("cannot read the settings file %1").arg(shown(path)));
            exitCode = opts.settingsFile.isEmpty() ? ExitFailed : ExitUsage;
            return false;
        }
        // A read-only original gives a read-only copy.
        QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    }
    state.ini = std::make_unique<IniFile>(copy);
    LoadSettings(*state.ini, state.settings);
    return true;
}

void CliSession::applyOptions() {
    CachedSettings& s = state.settings;
    if (opts.mode)
        s.SplitMode = *opts.mode;
    if (opts.splitSeconds)
        s.SplitSeconds = *opts.splitSeconds;
    if (opts.splitCount)
        s.SplitCount = *opts.splitCount;
    if (opts.fadeInSeconds) {
        s.FadeIn = true;
        s.FadeInSeconds = *opts.fadeInSeconds;
    }
    if (opts.fadeOutSeconds) {
        s.FadeOut = true;
        s.FadeOutSeconds = *opts.fadeOutSeconds;
    }

    IniFile& ini = *state.ini;
    if (opts.frequencyIndex)
        ini.writeInteger(Ogg, QStringLiteral("frequency"), *opts.frequencyIndex);
    if (opts.channelIndex)
        ini.writeInteger(Ogg, QStringLiteral("channel"), *opts.channelIndex);
    if (opts.bitrateIndex)
        ini.writeInteger(Ogg, QStringLiteral("bitrate"), *opts.bitrateIndex);
    // A bitrate alone means the nominal bitrate: a variable-bitrate or quality
    // set-up from the settings file would otherwise quietly ignore it.
    if (opts.bitrateIndex && !opts.vbrIndices) {
        ini.writeBool(Ogg, QStringLiteral("oggvbr"), false);
        ini.writeBool(Ogg, QStringLiteral("oggquality"), false);
    }
    if (opts.vbrIndices) {
        ini.writeInteger(Ogg, QStringLiteral("min bitrate"), opts.vbrIndices->first);
        ini.writeInteger(Ogg, QStringLiteral("max bitrate"), opts.vbrIndices->second);
        ini.writeBool(Ogg, QStringLiteral("oggvbr"), true);
        ini.writeBool(Ogg, QStringLiteral("oggquality"), false);
    }
    if (opts.quality) {
        ini.writeInteger(Ogg, QStringLiteral("quality"), *opts.quality);
        ini.writeBool(Ogg, QStringLiteral("oggquality"), true);
        ini.writeBool(Ogg, QStringLiteral("oggvbr"), false);
    }
}

bool CliSession::encodingAccepted() {
    // Asked of exactly the set-up the run will hand the writer; a quality-driven
    // one is not asked about, as the settings dialog does not ask either.
    for (const OggFormat& c : oggFormatCalls(state.ini.get())) {
        if (c.quality >= 0)
            continue;
        if (!AudioFile::CheckOggFormat(c.rate, c.channels, c.kbps, c.minKbps, c.maxKbps)) {
            prompt.information(QStringLiteral(
                "This OGG format is not supported. \rYou have set too high frequency and too low "
                "bitrate or otherwise. \rPlease adjust the frequency or bitrate."));
            return false;
        }
    }
    return true;
}

bool CliSession::prepareOutputDir() {
    QString dir = opts.outputDir.isEmpty() ? state.settings.OutputDir : absolute(opts.outputDir);
    if (!makeFolder(dir)) {
        prompt.say(
            QStringLiteral("cannot create the output folder %1").arg(shown(QDir::cleanPath(dir))));
        return false;
    }
    dir = shown(QDir::cleanPath(dir));
    if (!dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    state.settings.OutputDir = dir;
    return true;
}

// ---------------------------------------------------------------------------
// Files and spans
// ---------------------------------------------------------------------------

int CliSession::admitFiles() {
    prompt.files.clear();
    for (const QString& file : opts.files)
        prompt.files << absolute(file);
    const int before = jobs.rowCount();
    // The open dialog's own path: the same refusals and the same messages.
    jobs.AddFiles();
    return int(opts.files.size()) - (jobs.rowCount() - before);
}

listrecord& CliSession::markedRecord() {
    const int row = state.settings.SplitMode == Unification ? 0 : std::max(0, jobs.selectedRow());
    return state.FileList[size_t(row)];
}

bool CliSession::moveSliderTo(std::int32_t seconds) {
    const int usable = jobs.UsableRange();
    const std::int32_t length = markedRecord().Seconds;
    if (usable <= 0 || length <= 0)
        return false;
    // The slider's time is MulDiv(position, Seconds, usable range); the nearest
    // position to the inverse is tried with its neighbours, since rounding can
    // land either side.
    const std::int64_t guess = MulDiv(seconds, usable, length);
    for (const std::int64_t position : {guess, guess - 1, guess + 1, guess - 2, guess + 2}) {
        if (position < 0 || position > usable)
            continue;
        state.SliderPosition = int(position);
        if (jobs.TimeAtSlider() == seconds) {
            pb.SetSliderPosition(int(position));
            return true;
        }
    }
    pb.SetSliderPosition(int(std::clamp<std::int64_t>(guess, 0, usable)));
    return false;
}

bool CliSession::markOn(int row, const CliSpan& span) {
    listrecord& r = markedRecord();
    if (span.begin >= r.Seconds) {
        prompt.say(
            QStringLiteral("%1: the span %2 - %3 begins at or after the end of the file (%4)")
                .arg(jobs.caption(row), FormatTime(span.begin), FormatTime(span.end),
                     FormatTime(r.Seconds)));
        return false;
    }
    // As on the slider, an end past the file's end is the file's end.
    const std::int32_t end = std::min(span.end, r.Seconds);

    // Marked as by hand: the slider is put where its time is the bound, then
    // Begin, End and Ok. Where the slider has no position for that exact second
    // (a file so long that a step spans more than a second), the bound goes
    // into the open span of the same record the marking just wrote, which is
    // what Ok confirms and what the run reads.
    const bool beginOnSlider = moveSliderTo(span.begin);
    jobs.MarkBegin();
    const size_t open = size_t(std::max(0, r.SpanCount - 1));
    if (!beginOnSlider && open < r.BeginTimes.size())
        r.BeginTimes[open] = span.begin;
    const bool endOnSlider = moveSliderTo(end);
    jobs.MarkEnd();
    if (!endOnSlider && open < r.EndTimes.size())
        r.EndTimes[open] = end;
    jobs.ConfirmSpan();
    return true;
}

bool CliSession::markSpans(int& leftOut) {
    leftOut = 0;
    if (opts.spans.empty())
        return true;
    const bool shared = state.settings.SplitMode == Unification;
    // In Unification every file uses the first file's spans, so they are
    // marked once, there.
    const int rows = shared ? std::min(1, jobs.rowCount()) : jobs.rowCount();
    QList<int> nothingMarked;
    for (int row = 0; row < rows; ++row) {
        jobs.selectRow(row);
        jobs.SelectFile();
        int marked = 0;
        for (const CliSpan& span : opts.spans)
            if (markOn(row, span))
                ++marked;
        if (marked == 0)
            nothingMarked << row;
    }
    if (nothingMarked.isEmpty())
        return true;
    if (shared) {
        prompt.say(QStringLiteral("%1: none of the spans lies within the file whose spans all "
                                  "files share; nothing is written")
                       .arg(jobs.caption(0)));
        return false;
    }
    // With no span left such a file would be converted whole (a lone span is
    // the whole file), which nobody asked for.
    for (auto it = nothingMarked.crbegin(); it != nothingMarked.crend(); ++it) {
        prompt.say(QStringLiteral("%1: none of the spans lies within the file; it is left out")
                       .arg(jobs.caption(*it)));
        jobs.selectRow(*it);
        jobs.RemoveFile();
        ++leftOut;
    }
    return jobs.rowCount() > 0;
}

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------

void CliSession::connectRun() {
    state.pump = [this] {
        if (Terminal::interruptRequested() && state.Converting)
            conversion.StopConversion();
    };
    conversion.onOutputStarted = [this](const QString& path) {
        bar.start(QFileInfo(path).fileName());
    };
    conversion.onProgress = [this](std::int64_t value) { bar.update(value); };
}

int CliSession::runResult(int refused) const {
    if (Terminal::interruptRequested())
        return ExitInterrupted;
    return conversion.lastRunFailed() || refused > 0 ? ExitFailed : ExitOk;
}

int CliSession::info() {
    int exitCode = ExitOk;
    if (!loadSettings(exitCode))
        return exitCode;
    bool failed = admitFiles() > 0;
    if (Terminal::interruptRequested())
        return ExitInterrupted;

    AudioFile& reader = state.reader;
    bool first = true;
    for (int row = 0; row < jobs.rowCount() && size_t(row) < state.FileList.size(); ++row) {
        const listrecord& r = state.FileList[size_t(row)];
        int rate = 0;
        int channels = 0;
        try {
            if (reader.IsOpen())
                reader.Close();
            reader.OpenRead(r.Path);
            rate = reader.SampleRate();
            channels = reader.Channels();
            reader.Close();
        } catch (const std::exception& e) {
            prompt.information(QString::fromLocal8Bit(e.what()));
            failed = true;
            continue;
        }
        const AudioFileinfo tags =
            size_t(row) < state.TagList.size() ? state.TagList[size_t(row)] : AudioFileinfo{};
        QString text = first ? QString() : QStringLiteral("\n");
        first = false;
        text += QStringLiteral("path: %1\n").arg(shown(r.Path));
        text += QStringLiteral("caption: %1\n").arg(jobs.caption(row));
        text += QStringLiteral("duration: %1 (%2 s)\n").arg(FormatTime(r.Seconds)).arg(r.Seconds);
        text += QStringLiteral("rate: %1\n").arg(rate);
        text += QStringLiteral("channels: %1\n").arg(channels);
        text += QStringLiteral("frames: %1\n").arg(r.Samples);
        text += QStringLiteral("title: %1\n").arg(tags.Title);
        text += QStringLiteral("artist: %1\n").arg(tags.Artist);
        text += QStringLiteral("album: %1\n").arg(tags.Album);
        text += QStringLiteral("year: %1\n").arg(tags.Year);
        text += QStringLiteral("comment: %1\n").arg(tags.Comment);
        text += QStringLiteral("genre: %1\n").arg(tags.Genre);
        Terminal::writeOut(text);
    }
    return failed ? ExitFailed : ExitOk;
}

bool CliSession::prepareRun(int& exitCode) {
    if (!loadSettings(exitCode))
        return false;
    applyOptions();
    if (state.settings.SplitMode < Custom || state.settings.SplitMode > Unification) {
        prompt.say(QStringLiteral("the settings file names split mode %1, which does not exist; "
                                  "give --mode")
                       .arg(state.settings.SplitMode));
        exitCode = ExitFailed;
        return false;
    }
    return true;
}

int CliSession::split() {
    int exitCode = ExitOk;
    if (!prepareRun(exitCode))
        return exitCode;
    if (!encodingAccepted() || !prepareOutputDir())
        return ExitFailed;

    int refused = admitFiles();
    if (Terminal::interruptRequested())
        return ExitInterrupted;
    int leftOut = 0;
    if (!markSpans(leftOut) || jobs.rowCount() == 0)
        return ExitFailed;
    refused += leftOut;

    connectRun();
    conversion.onOutputClosed = [this](const QString& path) {
        bar.clear();
        Terminal::writeOut(shown(path) + QLatin1Char('\n'));
    };
    // A failure ends the core's run at the file it happened in. The files before
    // it are done, so they leave the list and the run starts again on the rest.
    // Not in Unification, where the first row holds the spans every file uses.
    bool failed = false;
    for (;;) {
        conversion.SplitRun();
        if (!conversion.lastRunFailed() || Terminal::interruptRequested())
            break;
        failed = true;
        const int failedRow = jobs.selectedRow();
        if (state.settings.SplitMode == Unification || failedRow < 0 ||
            failedRow >= jobs.rowCount() - 1)
            break;
        for (int row = failedRow; row >= 0; --row) {
            jobs.selectRow(row);
            jobs.RemoveFile();
        }
    }
    bar.clear();
    return failed && !Terminal::interruptRequested() ? ExitFailed : runResult(refused);
}

int CliSession::join() {
    int exitCode = ExitOk;
    if (!prepareRun(exitCode))
        return exitCode;
    if (!encodingAccepted())
        return ExitFailed;

    int refused = admitFiles();
    if (Terminal::interruptRequested())
        return ExitInterrupted;
    int leftOut = 0;
    if (!markSpans(leftOut) || jobs.rowCount() == 0)
        return ExitFailed;
    refused += leftOut;

    // The save dialog's answer is the -o text, taken from the current folder;
    // ".ogg" is appended by the core as it is for the window.
    prompt.saveAnswer = absolute(opts.output);
    prompt.replaceAnswer = opts.force;
    if (!conversion.ChooseJoinOutput()) {
        if (!prompt.questionsAsked().isEmpty())
            prompt.say(prompt.questionsAsked().constLast() +
                       QStringLiteral(" Not without --force."));
        return ExitFailed;
    }
    const QString output = conversion.joinOutput();
    // Replacing a source while it is being read would lose it, --force or not.
    for (int row = 0; row < jobs.rowCount() && size_t(row) < state.FileList.size(); ++row) {
        if (sameFile(output, state.FileList[size_t(row)].Path)) {
            prompt.say(QStringLiteral("%1 is one of the files to join; it is not replaced")
                           .arg(shown(output)));
            return ExitFailed;
        }
    }
    const QString folder = QFileInfo(output).absolutePath();
    if (!makeFolder(folder)) {
        prompt.say(QStringLiteral("cannot create the output folder %1").arg(shown(folder)));
        return ExitFailed;
    }

    connectRun();
    conversion.JoinRun();
    bar.clear();
    if (conversion.lastOutputs().contains(output))
        Terminal::writeOut(shown(output) + QLatin1Char('\n'));
    return runResult(refused);
}
