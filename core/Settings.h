// The cached settings and the constant encoding tables, with their loading
// from and saving to the settings file.
#pragma once

#include <QString>
#include <array>

class IniFile;

// How the job list plans and a run cuts: spans marked by hand, pieces of a
// fixed length, a fixed number of pieces, or one span list shared by all files.
// The settings file may hold any number; a value outside these four plans and
// runs nothing.
enum class SplitMode : int { Custom = 0, Time = 1, Count = 2, Unification = 3 };

inline bool isKnownSplitMode(SplitMode mode) {
    return int(mode) >= int(SplitMode::Custom) && int(mode) <= int(SplitMode::Unification);
}

inline constexpr std::array<int, 9> SampleRateTable = {8000,  11025, 12000, 16000, 22050,
                                                       24000, 32000, 44100, 48000};
inline constexpr std::array<int, 15> BitrateTable = {8,   16,  24,  32,  48,  64,  80, 96,
                                                     112, 128, 160, 192, 224, 256, 320};

// Cuts where the sound says: the silence split (a mode of the settings
// dialog whose cuts become Custom spans, so the stored split mode stays
// Custom) and cuts of Time and Count moved to a nearby quiet moment. Seconds
// may have decimals; 0 turns a length limit or the snapping off.
struct SilenceSettings {
    bool chosen = false;        // the settings dialog's "Silence" mode
    bool autoThreshold = false; // the threshold from the file's own levels
    double thresholdDb = -48.0;
    double minPause = 1.0;
    double minLength = 0.0;
    double maxLength = 0.0;
    bool keepPauses = false;
    double snapSeconds = 0.0;

    bool operator==(const SilenceSettings&) const = default;
};

struct CachedSettings {
    SplitMode splitMode = SplitMode::Custom;
    QString outputDir; // ends with the native separator once loaded
    int splitSeconds = 60;
    int splitCount = 6;
    bool fadeIn = false;
    bool fadeOut = false;
    int fadeInSeconds = 5;
    int fadeOutSeconds = 5;
    bool skinOption = false;
    // The split pieces' name template; empty: named after the source.
    QString nameTemplate;
    SilenceSettings silence; // under [Silence]; a classic file has none
};

// The settings file's full path: VAZOzojoin.ini in the user's configuration folder.
QString settingsFilePath();
// The default output folder: the user's Music folder with a final separator.
QString defaultOutputDir();

// Fills `s` from the file in the classic order; creates OutputDir one level deep
// when it does not exist. Loading never creates the settings file.
void LoadSettings(const IniFile& ini, CachedSettings& s);
// Writes the nine cached settings; throws IniWriteError when a write is refused.
void SaveSettings(IniFile& ini, const CachedSettings& s);

// The output format box's entry (0 "OGG", 1 "OGG (no re-encoding)", 2 "FLAC",
// 3 "OPUS"), kept in keys of their own that the classic program never reads:
// [Output] NoReencoding=1 is the second, else [Output] Format=flac or opus the
// third or fourth; a file without them, or with any other value, is "OGG".
int LoadOutputFormat(const IniFile& ini);
// Writes the entry; a file that never held a key is left without it while
// the entry does not need it. Throws IniWriteError when a write is refused.
void SaveOutputFormat(IniFile& ini, int formatIndex);
