#include "convert/OggSettings.h"

#include "core/IniFile.h"
#include "core/Settings.h"

#include <QString>
#include <algorithm>
#include <cstdint>

namespace {

const QString Section = QStringLiteral("ogg");

int readInt(const IniFile* ini, const char* key, int defaultValue) {
    return ini ? ini->readInteger(Section, QLatin1String(key), defaultValue) : defaultValue;
}

bool readBool(const IniFile* ini, const char* key, bool defaultValue) {
    return ini ? ini->readBool(Section, QLatin1String(key), defaultValue) : defaultValue;
}

// A hand-edited index outside its table takes the key's default instead of
// reading past the table.
template <size_t N> int lookUp(const std::array<int, N>& table, int index, int defaultIndex) {
    if (index < 0 || size_t(index) >= N)
        index = defaultIndex;
    return table[size_t(index)];
}

} // namespace

std::vector<OggFormat> oggFormatCalls(const IniFile* ini) {
    const int channelIndex = readInt(ini, "channel", 1);
    const int rate = lookUp(SampleRateTable, readInt(ini, "frequency", 7), 7);
    const int channels = (channelIndex == 0 || channelIndex == 1) ? channelIndex + 1 : 2;
    const int kbps = lookUp(BitrateTable, readInt(ini, "bitrate", 9), 9);
    const int minKbps = lookUp(BitrateTable, readInt(ini, "min bitrate", 9), 9);
    const int maxKbps = lookUp(BitrateTable, readInt(ini, "max bitrate", 9), 9);
    // Stored as a signed 16-bit value; the encoder takes 0 to 1000.
    const int quality =
        std::clamp<int>(static_cast<std::int16_t>(readInt(ini, "quality", 300)), 0, 1000);
    const bool vbr = readBool(ini, "oggvbr", false);
    const bool byQuality = readBool(ini, "oggquality", false);

    std::vector<OggFormat> calls;
    if (!vbr && !byQuality)
        calls.push_back({rate, channels, kbps, 0, 0, -1});
    if (byQuality)
        calls.push_back({rate, channels, 0, 0, 0, quality});
    if (vbr)
        calls.push_back({rate, channels, kbps, minKbps, maxKbps, -1});
    return calls;
}
