#include "convert/RunOptions.h"

#include "convert/OggSettings.h"

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
    return o;
}
