// The writer's Ogg Vorbis encoding as the eight "ogg" keys of the settings
// file describe it, in the order the encoder is to be given it.
#pragma once

#include "audio/OggFormat.h"

#include <vector>

class IniFile;

// Reads the keys now (the settings dialog may have changed them since the last
// call). Nominal bitrate when neither "oggvbr" nor "oggquality" is set; the
// quality call when "oggquality" is; then the variable-bitrate call when
// "oggvbr" is, so a file holding both ends in the variable-bitrate set-up.
// Without a settings file every key takes its default.
std::vector<OggFormat> oggFormatCalls(const IniFile* ini);
