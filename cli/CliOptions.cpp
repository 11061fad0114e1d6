// Parsing of cadelo-cli's command line. Values are refused here, before any
// file is touched, so that a typing mistake never starts half a run.
#include "cli/CliOptions.h"

#include "convert/NameTemplate.h"
#include "convert/RunOptions.h"
#include "core/Settings.h"

#include <QRegularExpression>
#include <algorithm>
#include <limits>

namespace {

QString joinedTable(const auto& table) {
    QStringList values;
    for (int v : table)
        values << QString::number(v);
    return values.join(QStringLiteral(", "));
}

// Digits only: no sign, no spaces, no hex, so "1e3" or " 5" are mistakes.
std::optional<qint64> plainNumber(const QString& text) {
    if (text.isEmpty() || text.size() > 12)
        return std::nullopt;
    for (QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    return text.toLongLong();
}

int numberIn(const QString& option, const QString& text, int low, int high) {
    const std::optional<qint64> v = plainNumber(text);
    if (!v || *v < low || *v > high)
        throw UsageError(QStringLiteral("%1 takes a whole number from %2 to %3, not \"%4\"")
                             .arg(option)
                             .arg(low)
                             .arg(high)
                             .arg(text));
    return int(*v);
}

// Digits with at most one decimal point, a minus sign only where allowed.
std::optional<double> decimalNumber(const QString& text, bool negative) {
    QString digits = text;
    if (negative && digits.startsWith(QLatin1Char('-')))
        digits = digits.mid(1);
    if (digits.isEmpty() || digits.size() > 12 || digits.count(QLatin1Char('.')) > 1 ||
        digits.startsWith(QLatin1Char('.')) || digits.endsWith(QLatin1Char('.')))
        return std::nullopt;
    for (QChar c : digits)
        if ((c < QLatin1Char('0') || c > QLatin1Char('9')) && c != QLatin1Char('.'))
            return std::nullopt;
    const double v = digits.toDouble();
    return text.startsWith(QLatin1Char('-')) ? -v : v;
}

double secondsIn(const QString& option, const QString& text, double low, double high) {
    const std::optional<double> v = decimalNumber(text, false);
    if (!v || *v < low || *v > high)
        throw UsageError(
            QStringLiteral("%1 takes seconds from %2 to %3 (decimals allowed), not \"%4\"")
                .arg(option, QString::number(low), QString::number(high), text));
    return *v;
}

double thresholdFrom(const QString& text) {
    const std::optional<double> v = decimalNumber(text, true);
    if (!v || *v >= 0 || *v < -120)
        throw UsageError(QStringLiteral("--threshold takes a negative level in dBFS from -120 up "
                                        "to 0, not \"%1\"")
                             .arg(text));
    return *v;
}

template <size_t N>
int indexIn(const QString& option, const QString& text, const std::array<int, N>& table,
            const QString& unit) {
    const std::optional<qint64> v = plainNumber(text);
    if (v) {
        const auto it = std::find(table.begin(), table.end(), *v);
        if (it != table.end())
            return int(it - table.begin());
    }
    throw UsageError(QStringLiteral("%1 %2 is not offered; the allowed values (%3) are %4")
                         .arg(option, text, unit, joinedTable(table)));
}

int modeNamed(const QString& text) {
    const QString name = text.toLower();
    if (name == QLatin1String("custom"))
        return int(SplitMode::Custom);
    if (name == QLatin1String("time"))
        return int(SplitMode::Time);
    if (name == QLatin1String("count"))
        return int(SplitMode::Count);
    if (name == QLatin1String("unification"))
        return int(SplitMode::Unification);
    throw UsageError(QStringLiteral("--mode %1 is unknown; the modes are custom, time, count and "
                                    "unification")
                         .arg(text));
}

QString modeName(int mode) {
    switch (mode) {
    case int(SplitMode::Time):
        return QStringLiteral("time");
    case int(SplitMode::Count):
        return QStringLiteral("count");
    case int(SplitMode::Unification):
        return QStringLiteral("unification");
    default:
        return QStringLiteral("custom");
    }
}

CliSpan spanFrom(const QString& text) {
    // The bounds themselves hold no "-", so the first one separates them.
    const qsizetype dash = text.indexOf(QLatin1Char('-'));
    CliSpan span;
    if (dash < 0 || !parseTimeBound(text.left(dash), span.begin) ||
        !parseTimeBound(text.mid(dash + 1), span.end))
        throw UsageError(QStringLiteral("--span takes BEGIN-END, each in seconds or HH:MM:SS, "
                                        "not \"%1\"")
                             .arg(text));
    if (span.end <= span.begin)
        throw UsageError(
            QStringLiteral("--span %1 is empty: its end must lie after its begin").arg(text));
    return span;
}

enum class Arg { None, Value };

struct OptionSpec {
    const char* longName; // without "--"
    char shortName;       // 0 when none
    Arg arg;
};

constexpr OptionSpec Specs[] = {
    {"mode", 0, Arg::Value},       {"every", 0, Arg::Value},       {"pieces", 0, Arg::Value},
    {"span", 0, Arg::Value},       {"output-dir", 0, Arg::Value},  {"output", 0, Arg::Value},
    {"fade-in", 0, Arg::Value},    {"fade-out", 0, Arg::Value},    {"rate", 0, Arg::Value},
    {"channels", 0, Arg::Value},   {"bitrate", 0, Arg::Value},     {"vbr", 0, Arg::Value},
    {"quality", 0, Arg::Value},    {"settings", 0, Arg::Value},    {"quiet", 'q', Arg::None},
    {"force", 0, Arg::None},       {"help", 'h', Arg::None},       {"version", 0, Arg::None},
    {"jobs", 'j', Arg::Value},     {"copy", 0, Arg::None},         {"silence", 0, Arg::None},
    {"threshold", 0, Arg::Value},  {"min-pause", 0, Arg::Value},   {"min-length", 0, Arg::Value},
    {"max-length", 0, Arg::Value}, {"keep-pauses", 0, Arg::None},  {"snap", 0, Arg::Value},
    {"name", 0, Arg::Value},       {"cue", 0, Arg::Value},         {"width", 0, Arg::Value},
    {"format", 0, Arg::Value},     {"compression", 0, Arg::Value},
};

// The most columns peaks prints: far more than any screen, and output a script can still read.
constexpr int MaxPeaksWidth = 1000000;

bool splitOnly(const QString& name) {
    for (const char* option : {"output-dir", "jobs", "copy", "silence", "threshold", "min-pause",
                               "min-length", "max-length", "keep-pauses", "snap", "name", "cue"})
        if (name == QLatin1String(option))
            return true;
    return false;
}

const OptionSpec* findLong(const QString& name) {
    for (const OptionSpec& option : Specs)
        if (name == QLatin1String(option.longName))
            return &option;
    return nullptr;
}

const OptionSpec* findShort(QChar c) {
    for (const OptionSpec& option : Specs)
        if (option.shortName && c == QLatin1Char(option.shortName))
            return &option;
    return nullptr;
}

// Which options each command takes; -o is read per command further down.
bool allowed(CliCommand command, const QString& name) {
    if (name == QLatin1String("help") || name == QLatin1String("version") ||
        name == QLatin1String("settings") || name == QLatin1String("quiet"))
        return true;
    if (command == CliCommand::Info)
        return false;
    if (command == CliCommand::Peaks || name == QLatin1String("width"))
        return command == CliCommand::Peaks && name == QLatin1String("width");
    if (splitOnly(name))
        return command == CliCommand::Split;
    if (name == QLatin1String("output") || name == QLatin1String("force"))
        return command == CliCommand::Join;
    return true;
}

// --every, --pieces and --span each name a mode; two of them contradict each other.
void impliesMode(std::optional<int>& implied, QString& impliedBy, int mode, const QString& option) {
    if (implied && *implied != mode)
        throw UsageError(QStringLiteral("%1 cannot be combined with %2").arg(option, impliedBy));
    implied = mode;
    impliedBy = option;
}

// The first of the encoding options given, in the order the refusals name
// them (--bitrate only where `withBitrate`); empty when none is.
QString firstEncodingOption(const CliOptions& o, bool withBitrate) {
    return o.frequencyIndex                ? QStringLiteral("--rate")
           : o.channelIndex                ? QStringLiteral("--channels")
           : o.bitrateIndex && withBitrate ? QStringLiteral("--bitrate")
           : o.vbrIndices                  ? QStringLiteral("--vbr")
           : o.quality                     ? QStringLiteral("--quality")
                                           : QString();
}

} // namespace

bool parseTimeBound(const QString& text, std::int32_t& seconds) {
    const QStringList parts = text.split(QLatin1Char(':'));
    qint64 total = 0;
    if (parts.size() == 1) {
        const std::optional<qint64> v = plainNumber(parts[0]);
        if (!v)
            return false;
        total = *v;
    } else if (parts.size() == 3) {
        const std::optional<qint64> h = plainNumber(parts[0]);
        const std::optional<qint64> m = plainNumber(parts[1]);
        const std::optional<qint64> s = plainNumber(parts[2]);
        if (!h || !m || !s || parts[1].size() > 2 || parts[2].size() > 2 || *m > 59 || *s > 59)
            return false;
        total = *h * 3600 + *m * 60 + *s;
    } else {
        return false;
    }
    if (total > std::numeric_limits<std::int32_t>::max())
        return false;
    seconds = std::int32_t(total);
    return true;
}

CliOptions parseCliOptions(const QStringList& arguments) {
    CliOptions o;
    if (arguments.isEmpty())
        throw UsageError(QStringLiteral("a command is needed"));

    // --help and --version win wherever they stand, so that "split --help" helps.
    for (const QString& a : arguments) {
        if (a == QLatin1String("--"))
            break;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            o.command = CliCommand::Help;
            return o;
        }
        if (a == QLatin1String("--version")) {
            o.command = CliCommand::Version;
            return o;
        }
    }

    const QString command = arguments.first();
    if (command == QLatin1String("info"))
        o.command = CliCommand::Info;
    else if (command == QLatin1String("split"))
        o.command = CliCommand::Split;
    else if (command == QLatin1String("join"))
        o.command = CliCommand::Join;
    else if (command == QLatin1String("peaks"))
        o.command = CliCommand::Peaks;
    else if (command.startsWith(QLatin1Char('-')))
        throw UsageError(QStringLiteral("a command (info, split or join) must come first"));
    else
        throw UsageError(QStringLiteral("unknown command \"%1\"").arg(command));

    // The tokens are read by hand, not by QCommandLineParser, whose forms and
    // messages are not the ones scripts see here: it takes "-j2", "-qj" or
    // "-jobs" for options, goes on past an unknown option and names it without
    // its dashes or value, and cannot tell whether a wrong value stood before
    // an unknown option, which decides the message.
    std::optional<int> explicitMode;
    std::optional<int> impliedMode;
    QString impliedBy;
    bool endOfOptions = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        if (endOfOptions || a == QLatin1String("-") || !a.startsWith(QLatin1Char('-'))) {
            o.files << a;
            continue;
        }
        if (a == QLatin1String("--")) {
            endOfOptions = true;
            continue;
        }

        const OptionSpec* option = nullptr;
        QString name;
        std::optional<QString> value;
        if (a.startsWith(QLatin1String("--"))) {
            name = a.mid(2);
            const qsizetype eq = name.indexOf(QLatin1Char('='));
            if (eq >= 0) {
                value = name.mid(eq + 1);
                name = name.left(eq);
            }
            option = findLong(name);
        } else {
            if (a.size() == 2 && a[1] == QLatin1Char('o')) {
                // -o names the output folder of a split and the output file of a join.
                name = o.command == CliCommand::Join ? QStringLiteral("output")
                                                     : QStringLiteral("output-dir");
                option = findLong(name);
            } else if (a.size() == 2) {
                option = findShort(a[1]);
                if (option)
                    name = QLatin1String(option->longName);
            }
        }
        if (!option)
            throw UsageError(QStringLiteral("unknown option %1").arg(a));
        if (!allowed(o.command, name))
            throw UsageError(QStringLiteral("%1 is not an option of %2").arg(a, command));
        // "--silence auto" and "--silence=auto": the one option whose value may be left out.
        if (name == QLatin1String("silence") && !value && i + 1 < arguments.size() &&
            arguments[i + 1] == QLatin1String("auto"))
            value = arguments[++i];
        if (name == QLatin1String("silence") && value) {
            if (*value != QLatin1String("auto"))
                throw UsageError(QStringLiteral("--silence takes no value but \"auto\", not \"%1\"")
                                     .arg(*value));
        } else if (option->arg == Arg::None) {
            if (value)
                throw UsageError(QStringLiteral("--%1 takes no value").arg(name));
        } else if (!value) {
            if (i + 1 >= arguments.size())
                throw UsageError(QStringLiteral("%1 needs a value").arg(a));
            value = arguments[++i];
        }

        const QString opt = QStringLiteral("--") + name;
        if (name == QLatin1String("mode")) {
            explicitMode = modeNamed(*value);
        } else if (name == QLatin1String("every")) {
            impliesMode(impliedMode, impliedBy, int(SplitMode::Time), opt);
            o.splitSeconds = numberIn(opt, *value, 1, std::numeric_limits<int>::max());
        } else if (name == QLatin1String("pieces")) {
            impliesMode(impliedMode, impliedBy, int(SplitMode::Count), opt);
            o.splitCount = numberIn(opt, *value, 1, std::numeric_limits<int>::max());
        } else if (name == QLatin1String("width")) {
            o.peaksWidth = numberIn(opt, *value, 1, MaxPeaksWidth);
        } else if (name == QLatin1String("span")) {
            impliesMode(impliedMode, impliedBy, int(SplitMode::Custom), opt);
            o.spans.push_back(spanFrom(*value));
        } else if (name == QLatin1String("output-dir") || name == QLatin1String("output")) {
            if (value->isEmpty())
                throw UsageError(QStringLiteral("%1 needs a non-empty value").arg(a));
            (name == QLatin1String("output") ? o.output : o.outputDir) = *value;
        } else if (name == QLatin1String("fade-in")) {
            o.fadeInSeconds = numberIn(opt, *value, 1, 20);
        } else if (name == QLatin1String("fade-out")) {
            o.fadeOutSeconds = numberIn(opt, *value, 1, 20);
        } else if (name == QLatin1String("rate")) {
            o.frequencyIndex = indexIn(opt, *value, SampleRateTable, QStringLiteral("Hz"));
        } else if (name == QLatin1String("channels")) {
            if (*value != QLatin1String("1") && *value != QLatin1String("2"))
                throw UsageError(
                    QStringLiteral("--channels %1 is not offered; the allowed values are 1 "
                                   "(mono) and 2 (stereo)")
                        .arg(*value));
            o.channelIndex = value->toInt() - 1;
        } else if (name == QLatin1String("bitrate")) {
            o.bitrateIndex = indexIn(opt, *value, BitrateTable, QStringLiteral("kbps"));
        } else if (name == QLatin1String("vbr")) {
            const qsizetype dash = value->indexOf(QLatin1Char('-'));
            if (dash < 0)
                throw UsageError(
                    QStringLiteral("--vbr takes MIN-MAX in kbps, not \"%1\"").arg(*value));
            o.vbrIndices =
                std::make_pair(indexIn(QStringLiteral("--vbr minimum"), value->left(dash),
                                       BitrateTable, QStringLiteral("kbps")),
                               indexIn(QStringLiteral("--vbr maximum"), value->mid(dash + 1),
                                       BitrateTable, QStringLiteral("kbps")));
        } else if (name == QLatin1String("jobs")) {
            o.jobs = numberIn(opt, *value, 1, 256);
        } else if (name == QLatin1String("quality")) {
            o.quality = numberIn(opt, *value, 0, 1000);
        } else if (name == QLatin1String("settings")) {
            if (value->isEmpty())
                throw UsageError(QStringLiteral("--settings needs a file"));
            o.settingsFile = *value;
        } else if (name == QLatin1String("quiet")) {
            o.quiet = true;
        } else if (name == QLatin1String("force")) {
            o.force = true;
        } else if (name == QLatin1String("copy")) {
            o.copy = true;
        } else if (name == QLatin1String("format")) {
            const QString f = value->toLower();
            if (f == QLatin1String("ogg"))
                o.formatIndex = int(OutputFormat::Ogg);
            else if (f == QLatin1String("flac"))
                o.formatIndex = int(OutputFormat::Flac);
            else if (f == QLatin1String("opus"))
                o.formatIndex = int(OutputFormat::Opus);
            else
                throw UsageError(
                    QStringLiteral("--format must be ogg, flac or opus, not \"%1\"").arg(*value));
        } else if (name == QLatin1String("compression")) {
            o.flacCompression = numberIn(opt, *value, 0, 8);
        } else if (name == QLatin1String("name")) {
            // Refused before any file is read, as every other wrong value is.
            const QString wrong = NameTemplate::problem(*value);
            if (!wrong.isEmpty())
                throw UsageError(wrong);
            o.nameTemplate = *value;
        } else if (name == QLatin1String("cue")) {
            // The sheet's tracks are Custom spans.
            impliesMode(impliedMode, impliedBy, int(SplitMode::Custom), opt);
            if (value->isEmpty())
                throw UsageError(QStringLiteral("--cue needs a sheet"));
            o.cueSheet = *value;
        } else if (name == QLatin1String("silence")) {
            impliesMode(impliedMode, impliedBy, int(SplitMode::Custom), opt);
            o.silence = true;
            o.silenceAuto = value.has_value();
        } else if (name == QLatin1String("threshold")) {
            o.thresholdDb = thresholdFrom(*value);
        } else if (name == QLatin1String("min-pause")) {
            o.minPause = secondsIn(opt, *value, 0.01, 3600);
        } else if (name == QLatin1String("min-length")) {
            o.minLength = secondsIn(opt, *value, 0, 86400);
        } else if (name == QLatin1String("max-length")) {
            o.maxLength = secondsIn(opt, *value, 1, 86400);
        } else if (name == QLatin1String("keep-pauses")) {
            o.keepPauses = true;
        } else if (name == QLatin1String("snap")) {
            o.snapSeconds = secondsIn(opt, *value, 0.01, 3600);
        }
    }

    // The settings dialog offers variable bitrate and quality only one at a time,
    // and a quality-driven encoding has no bitrate to set.
    if (o.vbrIndices && o.quality)
        throw UsageError(QStringLiteral("--vbr and --quality exclude each other"));
    if (o.bitrateIndex && o.quality)
        throw UsageError(QStringLiteral("--bitrate and --quality exclude each other"));

    // Each format takes the options that apply to it.
    const bool flac = o.formatIndex == int(OutputFormat::Flac);
    const bool opus = o.formatIndex == int(OutputFormat::Opus);
    if (o.flacCompression && !flac)
        throw UsageError(QStringLiteral("--compression needs --format flac"));
    if (o.copy && (flac || opus))
        throw UsageError(QStringLiteral("--copy cannot be combined with --format %1: pieces cut "
                                        "without re-encoding keep the source's encoding")
                             .arg(flac ? QStringLiteral("flac") : QStringLiteral("opus")));
    if (flac || opus) {
        const QString what = firstEncodingOption(o, flac);
        if (!what.isEmpty())
            throw UsageError(
                QStringLiteral("--format %1 cannot be combined with %2: %3")
                    .arg(flac ? QStringLiteral("flac") : QStringLiteral("opus"), what,
                         flac ? QStringLiteral("FLAC keeps the source's rate, channels and samples")
                              : QStringLiteral("Opus is written at 48 kHz in the source's "
                                               "channels, at --bitrate")));
    }

    // A piece cut without re-encoding keeps the source's audio as it is.
    if (o.copy) {
        const QString what = o.fadeInSeconds    ? QStringLiteral("--fade-in")
                             : o.fadeOutSeconds ? QStringLiteral("--fade-out")
                                                : firstEncodingOption(o, true);
        if (!what.isEmpty())
            throw UsageError(
                QStringLiteral("--copy cannot be combined with %1: %2")
                    .arg(what, o.fadeInSeconds || o.fadeOutSeconds
                                   ? QStringLiteral("pieces cut without re-encoding cannot fade")
                                   : QStringLiteral("pieces cut without re-encoding keep the "
                                                    "source's rate, channels and encoding")));
    }

    // The silence split places its own cuts; its options mean nothing without it.
    if (o.silence && !o.spans.empty())
        throw UsageError(QStringLiteral("--silence cannot be combined with --span"));
    if (o.silenceAuto && o.thresholdDb)
        throw UsageError(QStringLiteral("--threshold cannot be combined with --silence auto"));
    const QString withoutSilence = o.thresholdDb  ? QStringLiteral("--threshold")
                                   : o.minPause   ? QStringLiteral("--min-pause")
                                   : o.minLength  ? QStringLiteral("--min-length")
                                   : o.maxLength  ? QStringLiteral("--max-length")
                                   : o.keepPauses ? QStringLiteral("--keep-pauses")
                                                  : QString();
    if (!o.silence && !withoutSilence.isEmpty())
        throw UsageError(QStringLiteral("%1 needs --silence").arg(withoutSilence));
    if (o.minLength && o.maxLength && *o.maxLength < *o.minLength)
        throw UsageError(QStringLiteral("--max-length cannot be shorter than --min-length"));
    if (o.snapSeconds && !o.splitSeconds && !o.splitCount)
        throw UsageError(QStringLiteral("--snap needs --every or --pieces"));

    if (explicitMode && impliedMode && *explicitMode != *impliedMode) {
        // Spans marked by hand are what Unification shares among the files.
        const bool sharedSpans =
            *explicitMode == int(SplitMode::Unification) && *impliedMode == int(SplitMode::Custom);
        if (!sharedSpans)
            throw UsageError(QStringLiteral("--mode %1 contradicts the other options")
                                 .arg(modeName(*explicitMode)));
    }
    if (explicitMode)
        o.mode = explicitMode;
    else
        o.mode = impliedMode;

    if (!o.cueSheet.isEmpty()) {
        if (!o.spans.empty() || o.silence)
            throw UsageError(
                QStringLiteral("--cue cannot be combined with %1")
                    .arg(o.silence ? QStringLiteral("--silence") : QStringLiteral("--span")));
        if (!o.files.isEmpty())
            throw UsageError(
                QStringLiteral("--cue takes no FILE: the files are the ones the sheet names"));
    } else if (o.files.isEmpty()) {
        throw UsageError(QStringLiteral("no FILE given"));
    }
    if (o.command == CliCommand::Join && o.output.isEmpty())
        throw UsageError(QStringLiteral("join needs -o OUTPUT"));
    if (o.command == CliCommand::Peaks && !o.peaksWidth)
        throw UsageError(QStringLiteral("peaks needs --width N"));
    if (o.command == CliCommand::Peaks && o.files.size() > 1)
        throw UsageError(QStringLiteral("peaks takes one FILE"));
    return o;
}

QString cliUsageText() {
    return QStringLiteral("Usage: cadelo-cli info FILE...\n"
                          "       cadelo-cli split [OPTIONS] FILE...\n"
                          "       cadelo-cli join  [OPTIONS] -o OUTPUT FILE...\n"
                          "Try 'cadelo-cli --help' for more information.\n");
}

QString cliHelpText() {
    return QStringLiteral(
               "Usage: cadelo-cli info FILE...\n"
               "       cadelo-cli split [OPTIONS] FILE...\n"
               "       cadelo-cli join  [OPTIONS] -o OUTPUT FILE...\n"
               "       cadelo-cli peaks --width N FILE\n"
               "\n"
               "Cuts pieces out of audio files (split) or joins audio files (join), writing\n"
               "Ogg Vorbis, with the same job list, planners and runs as Cadelo's window.\n"
               "info prints the length, format and tags of each FILE.\n"
               "peaks prints FILE's waveform as one JSON object, {\"rate\": R, \"frames\": F,\n"
               "\"channels\": [[[min, max], ...], ...]}: N [min, max] pairs (samples in -1..1)\n"
               "a channel, column k covering frames k*F/N to (k+1)*F/N.\n"
               "A FOLDER given as FILE stands for its Ogg files, in name order (its\n"
               "subfolders are not entered), as the window's Add Folder adds them.\n"
               "\n"
               "Options of split and join:\n"
               "  --mode custom|time|count|unification\n"
               "                        how the files are divided (default: the settings\n"
               "                        file's); --every, --pieces and --span imply a mode\n"
               "  --every SECONDS       time mode: pieces of SECONDS seconds\n"
               "  --pieces N            count mode: N equal pieces\n"
               "  --span BEGIN-END      custom mode: keep this span of every FILE (seconds or\n"
               "                        HH:MM:SS); repeatable; with --mode unification the\n"
               "                        spans are marked on the first FILE and shared\n"
               "  --silence [auto]      split: cut in the middle of every pause; \"auto\" takes\n"
               "                        the threshold from the file's own levels\n"
               "  --threshold DB        split: a pause is quieter than DB dBFS (negative;\n"
               "                        default -48)\n"
               "  --min-pause S         split: a pause lasts at least S seconds (default 1)\n"
               "  --min-length S        split: shorter pieces join their neighbour\n"
               "  --max-length S        split: longer pieces are cut at their quietest moment\n"
               "  --keep-pauses         split: the pauses stay in the pieces (default: dropped)\n"
               "  --snap S              split: with --every or --pieces, move each cut to the\n"
               "                        quietest moment within S seconds\n"
               "                        (seconds may have decimals)\n"
               "  -o, --output-dir DIR  split: the folder for the pieces (created if needed)\n"
               "  -o, --output OUTPUT   join: the output file; \".ogg\" (\".flac\", \".opus\")\n"
               "                        is appended\n"
               "  --format ogg|flac|opus\n"
               "                        what is written: Ogg Vorbis (default) with the\n"
               "                        encoding below, FLAC (the source's rate, channels\n"
               "                        and samples) or Opus (48 kHz, at --bitrate)\n"
               "  --compression 0-8     --format flac: the compression level (default: the\n"
               "                        settings file's, else 5)\n"
               "  --fade-in SECONDS     fade in over 1 to 20 seconds\n"
               "  --fade-out SECONDS    fade out over 1 to 20 seconds\n"
               "  --rate HZ             ") +
           joinedTable(SampleRateTable) +
           QStringLiteral("\n"
                          "  --channels 1|2        mono or stereo\n"
                          "  --bitrate KBPS        ") +
           joinedTable(BitrateTable) +
           QStringLiteral(
               "\n"
               "  --vbr MIN-MAX         variable bitrate between two of the bitrates above\n"
               "  --quality 0-1000      quality-driven encoding\n"
               "  --settings FILE       read this settings file instead of the user's\n"
               "                        (never written)\n"
               "  -j, --jobs N          split: encode N pieces at once (default: one per\n"
               "                        processor core); 1 writes one piece after the other\n"
               "  --copy                split: cut Ogg Vorbis and MP3 files without\n"
               "                        re-encoding (no fades, no --rate, --channels or\n"
               "                        other encoding)\n"
               "  --cue SHEET           split: one piece for each track of a CUE sheet, with\n"
               "                        its title, performer, album, date and genre; the\n"
               "                        files are the ones the sheet names (no FILE)\n"
               "  --name TEMPLATE       split: name the pieces by TEMPLATE, of the fields\n"
               "                        {source}, {n} (the piece's number), {title},\n"
               "                        {artist}, {album} and {start} (hh-mm-ss); \".ogg\" is\n"
               "                        appended, and a taken name is numbered\n"
               "  -q, --quiet           no progress bar\n"
               "  --force               join: replace an existing output\n"
               "  -h, --help            this text\n"
               "  --version             the version\n"
               "\n"
               "split prints each written file, join the output file, one per line.\n"
               "Exit status: 0 all done, 1 a file refused or an output not written,\n"
               "2 usage error, 130 stopped by Ctrl-C (the pieces under way are closed).\n");
}

QString cliVersionText() {
    return QStringLiteral("cadelo-cli %1\n").arg(QLatin1String(CADELO_VERSION));
}
