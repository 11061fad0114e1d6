// The command line of cadelo-cli: what was asked for, checked against the
// values the settings dialog offers, plus the usage and help texts.
#pragma once

#include "audio/MessageError.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// The exit statuses scripts rely on.
enum class CliExit { Ok = 0, Failed = 1, Usage = 2, Interrupted = 130 };

enum class CliCommand { Info, Split, Join, Help, Version, Peaks };

// A command line that cannot be run as written; the message says why.
class UsageError : public MessageError {
  public:
    using MessageError::MessageError;
};

struct CliSpan {
    std::int32_t begin = 0; // whole seconds
    std::int32_t end = 0;
};

struct CliOptions {
    CliCommand command = CliCommand::Help;
    QStringList files;

    std::optional<int> mode;         // SplitModes, given or implied
    std::optional<int> splitSeconds; // --every
    std::optional<int> splitCount;   // --pieces
    std::vector<CliSpan> spans;      // --span, in the order given
    QString outputDir;               // split: -o / --output-dir
    QString output;                  // join: -o / --output
    std::optional<int> fadeInSeconds;
    std::optional<int> fadeOutSeconds;

    // The encoding as indices of the settings dialog's lists.
    std::optional<int> frequencyIndex;
    std::optional<int> channelIndex;
    std::optional<int> bitrateIndex;
    std::optional<std::pair<int, int>> vbrIndices; // min, max
    std::optional<int> quality;

    std::optional<int> jobs; // split: pieces encoded at once; none given: one per core
    bool copy = false;       // split: Ogg Vorbis or MP3 pieces cut without re-encoding
    // --format: 0 ogg, 2 flac, 3 opus (the window's format box entries).
    int formatIndex = 0;
    std::optional<int> flacCompression;  // --compression, with --format flac
    std::optional<QString> nameTemplate; // split: --name, checked
    QString cueSheet;                    // split: --cue, in place of FILE arguments

    // split: the silence split, and Time or Count cuts snapped to quiet moments.
    bool silence = false;     // --silence
    bool silenceAuto = false; // --silence auto
    std::optional<double> thresholdDb;
    std::optional<double> minPause;
    std::optional<double> minLength;
    std::optional<double> maxLength;
    bool keepPauses = false;
    std::optional<double> snapSeconds;

    std::optional<int> peaksWidth; // peaks: --width, the columns printed

    QString settingsFile; // empty: the user's
    bool quiet = false;
    bool force = false;

    bool changesEncoding() const {
        return frequencyIndex || channelIndex || bitrateIndex || vbrIndices || quality;
    }
};

// Parses the arguments after the program name. Throws UsageError.
CliOptions parseCliOptions(const QStringList& arguments);
// A span bound: whole seconds or HH:MM:SS. False when it is neither.
bool parseTimeBound(const QString& text, std::int32_t& seconds);

// The short text shown after a usage error.
QString cliUsageText();
// The full text of --help.
QString cliHelpText();
QString cliVersionText();
