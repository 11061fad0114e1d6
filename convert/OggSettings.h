// The writer's Ogg Vorbis encoding as the eight "ogg" keys of the settings
// file describe it, in the order the encoder is to be given it.
#pragma once

#include <vector>

class IniFile;

struct OggFormatCall {
    int rate = 44100;
    int channels = 2;
    int kbps = 128;
    int minKbps = 0;
    int maxKbps = 0;
    int quality = -1;

    bool operator==(const OggFormatCall&) const = default;
};

// Reads the keys now (the settings dialog may have changed them since the last
// call). Nominal bitrate when neither "oggvbr" nor "oggquality" is set; the
// quality call when "oggquality" is; then the variable-bitrate call when
// "oggvbr" is, so a file holding both ends in the variable-bitrate set-up.
// Without a settings file every key takes its default.
std::vector<OggFormatCall> oggFormatCalls(const IniFile* ini);
