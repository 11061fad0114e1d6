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

OggKeys OggKeys::read(const IniFile* ini) {
    OggKeys k;
    k.channel = readInt(ini, "channel", k.channel);
    k.frequency = readInt(ini, "frequency", k.frequency);
    k.bitrate = readInt(ini, "bitrate", k.bitrate);
    k.minBitrate = readInt(ini, "min bitrate", k.minBitrate);
    k.maxBitrate = readInt(ini, "max bitrate", k.maxBitrate);
    k.quality = readInt(ini, "quality", k.quality);
    k.vbr = readBool(ini, "oggvbr", k.vbr);
    k.byQuality = readBool(ini, "oggquality", k.byQuality);
    return k;
}

std::vector<OggFormat> oggFormatCalls(const OggKeys& k) {
    const int rate = lookUp(SampleRateTable, k.frequency, 7);
    const int channels = (k.channel == 0 || k.channel == 1) ? k.channel + 1 : 2;
    const int kbps = lookUp(BitrateTable, k.bitrate, 9);
    const int minKbps = lookUp(BitrateTable, k.minBitrate, 9);
    const int maxKbps = lookUp(BitrateTable, k.maxBitrate, 9);
    // Stored as a signed 16-bit value; the encoder takes 0 to 1000.
    const int quality = std::clamp<int>(static_cast<std::int16_t>(k.quality), 0, 1000);

    std::vector<OggFormat> calls;
    if (!k.vbr && !k.byQuality)
        calls.push_back({rate, channels, kbps, 0, 0, -1});
    if (k.byQuality)
        calls.push_back({rate, channels, 0, 0, 0, quality});
    if (k.vbr)
        calls.push_back({rate, channels, kbps, minKbps, maxKbps, -1});
    return calls;
}

std::vector<OggFormat> oggFormatCalls(const IniFile* ini) {
    return oggFormatCalls(OggKeys::read(ini));
}

int flacCompressionOf(const IniFile* ini) {
    const int level =
        ini ? ini->readInteger(QStringLiteral("flac"), QStringLiteral("compression"), 5) : 5;
    return level >= 0 && level <= 8 ? level : 5;
}

int opusKbpsOf(const IniFile* ini) {
    return lookUp(BitrateTable, OggKeys::read(ini).bitrate, 9);
}
