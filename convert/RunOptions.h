// What a split or join run is asked to do, as values: the mode, the piece
// length or count, the fades, the output folder and the encoding.
#pragma once

#include "audio/Encoder.h"
#include "audio/OggFormat.h"
#include "core/Settings.h"

#include <QString>
#include <vector>

class IniFile;

// The entries of the window's output format box, by index: Ogg Vorbis
// encoded from the settings, pieces cut from an Ogg Vorbis source's own
// packets (a join encodes Ogg Vorbis then), FLAC and Ogg Opus.
enum class OutputFormat : int { Ogg = 0, OggCopy = 1, Flac = 2, Opus = 3 };

// The extension of the outputs of `codec`, without the dot.
QString outputExtension(Codec codec);

struct RunOptions {
    SplitMode mode = SplitMode::Custom;
    int splitSeconds = 60; // below 1: 60
    int splitCount = 6;    // below 1: 1
    bool fadeIn = false;
    bool fadeOut = false;
    int fadeInSeconds = 5;
    int fadeOutSeconds = 5;
    QString outputDir;
    // The encoder calls in their order; empty leaves the writer's encoding as
    // it is (an output format other than Ogg Vorbis).
    std::vector<OggFormat> encoding;
    // What the outputs are encoded into; FLAC keeps the sources' rate,
    // channels and (lossless integer sources) sample depth, Opus their
    // channels at 48 kHz.
    Codec codec = Codec::Vorbis;
    int flacCompression = 5; // 0 to 8
    int opusKbps = 128;
    // Split: pieces of one file encoded at the same time, each by a worker of
    // its own; 1 is the one-at-a-time run on the shared reader and writer.
    int jobs = 1;
    // Split: pieces of Ogg Vorbis sources cut from their own packets, without
    // re-encoding (the source's encoding; pieces one after the other). Fades
    // do not apply to them.
    bool copy = false;
    // Split side by side: the progress reported is the whole run's, growing
    // only, rather than that of the oldest piece under way.
    bool wholeRunProgress = false;
    // Split: the pieces' names as a NameTemplate; empty names them after the
    // source's caption, numbered.
    QString nameTemplate;

    int effectiveSplitSeconds() const { return splitSeconds < 1 ? 60 : splitSeconds; }
    int effectiveSplitCount() const { return splitCount < 1 ? 1 : splitCount; }

    // The options the settings describe now: the cached settings and the
    // eight "ogg" keys of the settings file (for the formats "OGG" and "OGG
    // (no re-encoding)"; the second also asks a split for the cut), the
    // "ogg" bitrate for "OPUS" and the "flac" compression for "FLAC".
    static RunOptions fromSettings(const CachedSettings& settings, const IniFile* ini,
                                   int formatIndex);
};
