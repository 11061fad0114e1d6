// The writer's Ogg Vorbis encoding as the eight "ogg" keys of the settings
// file describe it, in the order the encoder is to be given it.
#pragma once

#include "audio/OggFormat.h"

#include <vector>

class IniFile;

// The eight keys as stored: indices into the settings dialog's tables.
struct OggKeys {
    int frequency = 7;
    int channel = 1;
    int bitrate = 9;
    int minBitrate = 9;
    int maxBitrate = 9;
    int quality = 300;
    bool vbr = false;
    bool byQuality = false;

    // Without a settings file every key takes its default.
    static OggKeys read(const IniFile* ini);
};

// Nominal bitrate when neither "oggvbr" nor "oggquality" is set; the quality
// call when "oggquality" is; then the variable-bitrate call when "oggvbr" is,
// so a file holding both ends in the variable-bitrate set-up.
std::vector<OggFormat> oggFormatCalls(const OggKeys& keys);
// The calls the settings file describes now.
std::vector<OggFormat> oggFormatCalls(const IniFile* ini);

// FLAC's compression level under "flac" "compression", 0 to 8 (default 5).
int flacCompressionOf(const IniFile* ini);
// Opus's bitrate in kbps: the "ogg" nominal bitrate's entry of BitrateTable.
int opusKbpsOf(const IniFile* ini);
