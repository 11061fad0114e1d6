#include "convert/RunOptions.h"

#include "convert/OggSettings.h"
#include "core/IniFile.h"

#include <algorithm>

QString outputExtension(Codec codec) {
    switch (codec) {
    case Codec::Flac:
        return QStringLiteral("flac");
    case Codec::Opus:
        return QStringLiteral("opus");
    case Codec::Vorbis:
        break;
    }
    return QStringLiteral("ogg");
}

RunOptions RunOptions::fromSettings(const CachedSettings& settings, const IniFile* ini,
                                    int formatIndex) {
    RunOptions o;
    o.mode = settings.splitMode;
    o.splitSeconds = settings.splitSeconds;
    o.splitCount = settings.splitCount;
    o.fadeIn = settings.fadeIn;
    o.fadeOut = settings.fadeOut;
    o.fadeInSeconds = settings.fadeInSeconds;
    o.fadeOutSeconds = settings.fadeOutSeconds;
    o.outputDir = settings.outputDir;
    o.nameTemplate = settings.nameTemplate;
    if (formatIndex == int(OutputFormat::Ogg) || formatIndex == int(OutputFormat::OggCopy))
        o.encoding = oggFormatCalls(ini);
    o.copy = formatIndex == int(OutputFormat::OggCopy);
    o.flacCompression = flacCompressionOf(ini);
    o.opusKbps = opusKbpsOf(ini);
    if (formatIndex == int(OutputFormat::Flac))
        o.codec = Codec::Flac;
    else if (formatIndex == int(OutputFormat::Opus))
        o.codec = Codec::Opus;
    return o;
}
