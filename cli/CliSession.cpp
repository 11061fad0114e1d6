#include "cli/CliSession.h"

#include "audio/PeakLoader.h"

#include "audio/NativeName.h"
#include "cli/Terminal.h"
#include "convert/OutputNaming.h"
#include "convert/RunOptions.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "joblist/TimeText.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <exception>

namespace {

QString shown(const QString& path) {
    return NativeName::shown(QDir::toNativeSeparators(path));
}

QString absolute(const QString& path) {
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

// A value given on the command line replaces the one from the settings file.
template <class T, class U> void takeGiven(const std::optional<T>& given, U& value) {
    if (given)
        value = *given;
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
    prompt.beforeMessage = [this] { bar.clear(); };
}

CliExit CliSession::run() {
    try {
        switch (opts.command) {
        case CliCommand::Info:
            return info();
        case CliCommand::Split:
            return split();
        case CliCommand::Join:
            return join();
        case CliCommand::Peaks:
            return peaks();
        default:
            return CliExit::Usage;
        }
    } catch (const std::exception& e) {
        // The runs catch their own failures; this is what happens around them
        // (a settings copy that cannot be written, memory).
        bar.clear();
        prompt.say(QString::fromLocal8Bit(e.what()));
        return CliExit::Failed;
    }
}

// ---------------------------------------------------------------------------
// Settings
// ---------------------------------------------------------------------------

std::optional<CliExit> CliSession::loadSettings() {
    QString path = settingsFilePath();
    if (!opts.settingsFile.isEmpty()) {
        path = absolute(opts.settingsFile);
        if (!QFileInfo(path).isFile() || !QFileInfo(path).isReadable()) {
            prompt.say(QStringLiteral("cannot read the settings file %1").arg(shown(path)));
            Terminal::writeErr(cliUsageText());
            return CliExit::Usage;
        }
    } else if (QFileInfo::exists(path) && !QFileInfo(path).isReadable()) {
        prompt.say(QStringLiteral("cannot read the settings file %1").arg(shown(path)));
        return CliExit::Failed;
    }
    // Only read: nothing of a run writes the settings.
    state.ini = std::make_unique<IniFile>(path);
    LoadSettings(*state.ini, state.settings);
    oggKeys = OggKeys::read(state.ini.get());
    return std::nullopt;
}

void CliSession::applyOptions() {
    CachedSettings& s = state.settings;
    if (opts.mode)
        s.splitMode = SplitMode(*opts.mode);
    if (opts.splitSeconds)
        s.splitSeconds = *opts.splitSeconds;
    if (opts.splitCount)
        s.splitCount = *opts.splitCount;
    // The silence split's values not given come from the settings file; a
    // mode given on the command line replaces a silence split chosen there.
    SilenceSettings& q = s.silence;
    if (opts.silence) {
        q.chosen = true;
        q.autoThreshold = opts.silenceAuto || (q.autoThreshold && !opts.thresholdDb);
    } else if (opts.mode) {
        q.chosen = false;
    }
    takeGiven(opts.thresholdDb, q.thresholdDb);
    takeGiven(opts.minPause, q.minPause);
    takeGiven(opts.minLength, q.minLength);
    takeGiven(opts.maxLength, q.maxLength);
    if (opts.keepPauses)
        q.keepPauses = true;
    q.snapSeconds = opts.snapSeconds ? *opts.snapSeconds : 0.0;
    if (opts.fadeInSeconds) {
        s.fadeIn = true;
        s.fadeInSeconds = *opts.fadeInSeconds;
    }
    if (opts.fadeOutSeconds) {
        s.fadeOut = true;
        s.fadeOutSeconds = *opts.fadeOutSeconds;
    }

    OggKeys& k = oggKeys;
    takeGiven(opts.frequencyIndex, k.frequency);
    takeGiven(opts.channelIndex, k.channel);
    takeGiven(opts.bitrateIndex, k.bitrate);
    // A bitrate alone means the nominal bitrate: a variable-bitrate or quality
    // set-up from the settings file would otherwise quietly ignore it.
    if (opts.bitrateIndex && !opts.vbrIndices)
        k.vbr = k.byQuality = false;
    if (opts.vbrIndices) {
        k.minBitrate = opts.vbrIndices->first;
        k.maxBitrate = opts.vbrIndices->second;
        k.vbr = true;
        k.byQuality = false;
    }
    if (opts.quality) {
        k.quality = *opts.quality;
        k.byQuality = true;
        k.vbr = false;
    }
}

RunOptions CliSession::runOptions() const {
    RunOptions o = RunOptions::fromSettings(state.settings, nullptr, state.formatIndex);
    o.encoding = oggFormatCalls(oggKeys);
    if (opts.command == CliCommand::Split)
        o.jobs = opts.jobs ? *opts.jobs : std::max(1, QThread::idealThreadCount());
    o.copy = opts.command == CliCommand::Split && opts.copy;
    takeGiven(opts.nameTemplate, o.nameTemplate);
    if (opts.formatIndex == int(OutputFormat::Flac))
        o.codec = Codec::Flac;
    else if (opts.formatIndex == int(OutputFormat::Opus))
        o.codec = Codec::Opus;
    o.flacCompression =
        opts.flacCompression ? *opts.flacCompression : flacCompressionOf(state.ini.get());
    o.opusKbps = BitrateTable[size_t(std::clamp<int>(oggKeys.bitrate, 0, BitrateTable.size() - 1))];
    return o;
}

bool CliSession::encodingAccepted() {
    // Asked of exactly the set-up the run will hand the writer; a quality-driven
    // one is not asked about, as the settings dialog does not ask either.
    for (const OggFormat& c : oggFormatCalls(oggKeys)) {
        if (c.quality >= 0)
            continue;
        if (!AudioFile::checkEncoding(c)) {
            prompt.information(QStringLiteral(
                "This OGG format is not supported. \rYou have set too high frequency and too low "
                "bitrate or otherwise. \rPlease adjust the frequency or bitrate."));
            return false;
        }
    }
    return true;
}

bool CliSession::prepareOutputDir() {
    QString dir = opts.outputDir.isEmpty() ? state.settings.outputDir : absolute(opts.outputDir);
    if (!makeFolder(dir)) {
        prompt.say(
            QStringLiteral("cannot create the output folder %1").arg(shown(QDir::cleanPath(dir))));
        return false;
    }
    dir = shown(QDir::cleanPath(dir));
    if (!dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    state.settings.outputDir = dir;
    return true;
}

// ---------------------------------------------------------------------------
// Files and spans
// ---------------------------------------------------------------------------

int CliSession::admitFiles() {
    // Files and folders in the order given; a folder adds its own Ogg files
    // as Add Folder does.
    int refusedCount = 0;
    QStringList paths;
    const auto addPending = [&] {
        for (const JobList::Refusal& refusal : jobs.addFiles(paths)) {
            prompt.information(refusal.message);
            ++refusedCount;
        }
        paths.clear();
    };
    for (const QString& file : opts.files) {
        const QString path = absolute(file);
        if (!NativeName::isFolder(path)) {
            paths << path;
            continue;
        }
        addPending();
        const int before = jobs.rowCount();
        const QList<JobList::Refusal> refused = jobs.addFolder(path);
        for (const JobList::Refusal& refusal : refused)
            prompt.information(refusal.message);
        refusedCount += int(refused.size());
        if (refused.isEmpty() && jobs.rowCount() == before) {
            prompt.information(QStringLiteral("%1 holds no Ogg file").arg(NativeName::shown(file)));
            ++refusedCount;
        }
    }
    addPending();
    return refusedCount;
}

int CliSession::admitCueSheet() {
    const QList<JobList::Refusal> refused = jobs.addCueSheet(absolute(opts.cueSheet));
    for (const JobList::Refusal& refusal : refused)
        prompt.information(refusal.message);
    return int(refused.size());
}

bool CliSession::markOn(int row, const CliSpan& span) {
    const int marked = state.settings.splitMode == SplitMode::Unification ? 0 : row;
    const std::int32_t seconds = jobs.file(marked).seconds;
    if (span.begin >= seconds) {
        prompt.say(
            QStringLiteral("%1: the span %2 - %3 begins at or after the end of the file (%4)")
                .arg(OutputNaming::elidedName(jobs.caption(row)), formatTime(span.begin),
                     formatTime(span.end), formatTime(seconds)));
        return false;
    }
    // As on the slider, an end past the file's end is the file's end.
    QString message;
    if (!jobs.addSpan(row, Span{span.begin, std::min(span.end, seconds)}, &message)) {
        if (!message.isEmpty())
            prompt.say(message);
        return false;
    }
    return true;
}

bool CliSession::markSpans(int& leftOut) {
    leftOut = 0;
    if (opts.spans.empty())
        return true;
    const bool shared = state.settings.splitMode == SplitMode::Unification;
    // In Unification every file uses the first file's spans, so they are
    // marked once, there.
    const int rows = shared ? std::min(1, jobs.rowCount()) : jobs.rowCount();
    QList<int> nothingMarked;
    for (int row = 0; row < rows; ++row) {
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
                       .arg(OutputNaming::elidedName(jobs.caption(0))));
        return false;
    }
    // With no span left such a file would be converted whole (a lone span is
    // the whole file), which nobody asked for.
    for (auto it = nothingMarked.crbegin(); it != nothingMarked.crend(); ++it) {
        prompt.say(QStringLiteral("%1: none of the spans lies within the file; it is left out")
                       .arg(OutputNaming::elidedName(jobs.caption(*it))));
        jobs.removeFileAt(*it);
        ++leftOut;
    }
    return jobs.rowCount() > 0;
}

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------

void CliSession::connectRun() {
    state.pump = [this] {
        if (Terminal::interruptRequested() && state.converting)
            conversion.stopConversion();
    };
    conversion.onOutputStarted = [this](const QString& path) {
        bar.start(QFileInfo(path).fileName());
    };
    conversion.onProgress = [this](int value) { bar.update(value); };
    conversion.setOptions(runOptions());
}

CliExit CliSession::runResult(int refused) const {
    if (Terminal::interruptRequested())
        return CliExit::Interrupted;
    return conversion.lastRunFailed() || refused > 0 ? CliExit::Failed : CliExit::Ok;
}

CliExit CliSession::info() {
    if (const std::optional<CliExit> early = loadSettings())
        return *early;
    bool failed = admitFiles() > 0;
    if (Terminal::interruptRequested())
        return CliExit::Interrupted;

    AudioFile reader;
    bool first = true;
    for (int row = 0; row < jobs.rowCount(); ++row) {
        const FileRow& r = jobs.file(row);
        int rate = 0;
        int channels = 0;
        try {
            if (reader.isOpen())
                reader.close();
            reader.openRead(r.path);
            rate = reader.sampleRate();
            channels = reader.channels();
            reader.close();
        } catch (const std::exception& e) {
            prompt.information(QString::fromLocal8Bit(e.what()));
            failed = true;
            continue;
        }
        const FileTags& tags = r.tags;
        QString text = first ? QString() : QStringLiteral("\n");
        first = false;
        text += QStringLiteral("path: %1\n").arg(shown(r.path));
        text += QStringLiteral("caption: %1\n").arg(jobs.caption(row));
        text += QStringLiteral("duration: %1 (%2 s)\n").arg(formatTime(r.seconds)).arg(r.seconds);
        text += QStringLiteral("rate: %1\n").arg(rate);
        text += QStringLiteral("channels: %1\n").arg(channels);
        text += QStringLiteral("frames: %1\n").arg(r.samples);
        text += QStringLiteral("title: %1\n").arg(tags.title);
        text += QStringLiteral("artist: %1\n").arg(tags.artist);
        text += QStringLiteral("album: %1\n").arg(tags.album);
        text += QStringLiteral("year: %1\n").arg(tags.year);
        text += QStringLiteral("comment: %1\n").arg(tags.comment);
        text += QStringLiteral("genre: %1\n").arg(tags.genre);
        Terminal::writeOut(text);
    }
    return failed ? CliExit::Failed : CliExit::Ok;
}

// The waveform's summary as JSON, for scripts: the one the window draws, from
// the same cache.
CliExit CliSession::peaks() {
    if (const std::optional<CliExit> early = loadSettings())
        return *early;
    if (admitFiles() > 0 || jobs.rowCount() == 0)
        return CliExit::Failed;
    PeakLoader loader;
    QEventLoop loop;
    QObject::connect(&loader, &PeakLoader::finished, &loop, &QEventLoop::quit);
    QObject::connect(&loader, &PeakLoader::failed, &loop, &QEventLoop::quit);
    QTimer interrupt; // Ctrl-C is only a flag: it is looked at while the readers work
    QObject::connect(&interrupt, &QTimer::timeout, &loop, [&loop] {
        if (Terminal::interruptRequested())
            loop.quit();
    });
    interrupt.start(50);
    loader.open(jobs.file(0).path);
    loop.exec();
    if (Terminal::interruptRequested())
        return CliExit::Interrupted;
    if (!loader.complete()) {
        prompt.information(loader.errorMessage());
        return CliExit::Failed;
    }
    const int width = *opts.peaksWidth;
    const auto number = [](float v) {
        // No "-0", and the C locale's digits whatever the user's.
        return v == 0 ? QByteArray("0") : QByteArray::number(double(v), 'g', 6);
    };
    QByteArray out = "{\"rate\": " + QByteArray::number(loader.rate()) +
                     ", \"frames\": " + QByteArray::number(qint64(loader.frames())) +
                     ", \"channels\": [";
    for (int c = 0; c < loader.channels(); ++c) {
        out += c ? ", [" : "[";
        const std::vector<PeakRange> columns = loader.columns(c, 0, loader.frames(), width);
        for (size_t k = 0; k < columns.size(); ++k)
            out += (k ? ", [" : "[") + number(columns[k].min) + ", " + number(columns[k].max) + "]";
        out += "]";
    }
    out += "]}\n";
    Terminal::writeOut(QString::fromLatin1(out));
    return CliExit::Ok;
}

// Every reason --copy cannot be followed, said before anything is written.
bool CliSession::copyPossible() {
    bool possible = true;
    if (state.settings.fadeIn || state.settings.fadeOut) {
        prompt.say(QStringLiteral("--copy cannot fade, and the settings file turns on a fade-in "
                                  "or fade-out; nothing is written"));
        possible = false;
    }
    for (const Conversion::CopyRefusal& refused : Conversion::copyRefusals(jobs.fileModel())) {
        prompt.say(
            QStringLiteral("%1: --copy cuts only Ogg Vorbis files of one stream and MP3 files, "
                           "and %2; "
                           "nothing is written")
                .arg(shown(refused.path), refused.problem));
        possible = false;
    }
    return possible;
}

std::optional<CliExit> CliSession::prepareRun(int& refused) {
    if (const std::optional<CliExit> early = loadSettings())
        return early;
    applyOptions();
    if (!isKnownSplitMode(state.settings.splitMode)) {
        prompt.say(QStringLiteral("the settings file names split mode %1, which does not exist; "
                                  "give --mode")
                       .arg(int(state.settings.splitMode)));
        return CliExit::Failed;
    }
    // A cut without re-encoding does not use the encoding.
    if (!opts.copy && opts.formatIndex == int(OutputFormat::Ogg) && !encodingAccepted())
        return CliExit::Failed;
    if (opts.command == CliCommand::Split && !prepareOutputDir())
        return CliExit::Failed;

    refused = opts.cueSheet.isEmpty() ? admitFiles() : admitCueSheet();
    if (Terminal::interruptRequested())
        return CliExit::Interrupted;
    int leftOut = 0;
    if (!markSpans(leftOut) || jobs.rowCount() == 0)
        return CliExit::Failed;
    refused += leftOut;
    if (opts.command == CliCommand::Split && jobs.plansBySound()) {
        if (!planBySound(refused))
            return Terminal::interruptRequested() ? CliExit::Interrupted : CliExit::Failed;
    }
    return std::nullopt;
}

bool CliSession::planBySound(int& refused) {
    state.pump = [this] {
        if (Terminal::interruptRequested())
            jobs.stopScanning();
    };
    int shownRow = -1;
    const QList<JobList::Refusal> failed = jobs.planBySound([this, &shownRow](int row, int done) {
        if (row != shownRow) {
            shownRow = row;
            bar.start(jobs.caption(row));
        }
        bar.update(done);
    });
    bar.clear();
    if (jobs.scanStopped())
        return false;
    // A file that could not be scanned has no cuts; it is left out rather
    // than written whole.
    for (const JobList::Refusal& refusal : failed) {
        prompt.information(refusal.message);
        for (int row = jobs.rowCount() - 1; row >= 0; --row)
            if (jobs.file(row).path == refusal.path) {
                jobs.removeFileAt(row);
                break;
            }
        ++refused;
    }
    // The cuts are the files' own spans now, which a Custom split converts.
    state.settings.splitMode = SplitMode::Custom;
    return jobs.rowCount() > 0;
}

CliExit CliSession::split() {
    int refused = 0;
    if (const std::optional<CliExit> early = prepareRun(refused))
        return *early;
    if (opts.copy && !copyPossible())
        return CliExit::Failed;

    connectRun();
    conversion.onOutputClosed = [this](const QString& path) {
        bar.clear();
        Terminal::writeOut(shown(path) + QLatin1Char('\n'));
    };
    // A failure ends the core's run at the file it happened in. The files it
    // had written and the failed one leave the list, and the run starts again
    // on the rest. Not in Unification, where the first row holds the spans
    // every file uses.
    bool failed = false;
    for (;;) {
        conversion.splitRun();
        if (!conversion.lastRunFailed() || Terminal::interruptRequested())
            break;
        failed = true;
        const int failedRow = conversion.failedFile();
        if (state.settings.splitMode == SplitMode::Unification || failedRow < 0)
            break;
        jobs.removeFileAt(failedRow);
        for (int row = std::min(conversion.filesSplit(), failedRow) - 1; row >= 0; --row)
            jobs.removeFileAt(row);
        if (jobs.rowCount() == 0)
            break;
    }
    bar.clear();
    return failed && !Terminal::interruptRequested() ? CliExit::Failed : runResult(refused);
}

CliExit CliSession::join() {
    int refused = 0;
    if (const std::optional<CliExit> early = prepareRun(refused))
        return *early;

    // The name is taken from the current folder and gets ".ogg" appended, as
    // the window's save dialog does.
    const QString output = OutputNaming::joinOutputPath(QDir::currentPath(), absolute(opts.output),
                                                        outputExtension(runOptions().codec));
    if (OutputNaming::taken(output) && !opts.force) {
        prompt.say(OutputNaming::replaceQuestion(output) + QStringLiteral(" Not without --force."));
        return CliExit::Failed;
    }
    // Replacing a source while it is being read would lose it, --force or not.
    for (int row = 0; row < jobs.rowCount(); ++row) {
        if (sameFile(output, jobs.file(row).path)) {
            prompt.say(QStringLiteral("%1 is one of the files to join; it is not replaced")
                           .arg(shown(output)));
            return CliExit::Failed;
        }
    }
    const QString folder = QFileInfo(output).absolutePath();
    if (!makeFolder(folder)) {
        prompt.say(QStringLiteral("cannot create the output folder %1").arg(shown(folder)));
        return CliExit::Failed;
    }

    connectRun();
    conversion.joinRun(output);
    bar.clear();
    if (conversion.lastOutputs().contains(output))
        Terminal::writeOut(shown(output) + QLatin1Char('\n'));
    return runResult(refused);
}
