#include "joblist/TimeText.h"

#include <algorithm>
#include <limits>

QString formatTime(std::int32_t s) {
    const std::int32_t hours = s / 3600;
    const std::int32_t minutes = (s - hours * 3600) / 60;
    const std::int32_t seconds = s % 60;
    auto part = [](std::int32_t v) { return QString::asprintf("%.2d", v); };
    return part(hours) + QLatin1Char(':') + part(minutes) + QLatin1Char(':') + part(seconds);
}

QString formatTimeMs(std::int64_t milliseconds) {
    const std::int64_t ms = std::max<std::int64_t>(0, milliseconds);
    const std::int64_t seconds =
        std::min<std::int64_t>(ms / 1000, std::numeric_limits<std::int32_t>::max());
    return formatTime(std::int32_t(seconds)) + QLatin1Char('.') +
           QString::asprintf("%.3d", int(ms % 1000));
}
