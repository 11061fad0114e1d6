#include "joblist/TimeText.h"

QString formatTime(std::int32_t s) {
    const std::int32_t hours = s / 3600;
    const std::int32_t minutes = (s - hours * 3600) / 60;
    const std::int32_t seconds = s % 60;
    auto part = [](std::int32_t v) { return QString::asprintf("%.2d", v); };
    return part(hours) + QLatin1Char(':') + part(minutes) + QLatin1Char(':') + part(seconds);
}
