// Text helpers shared by the job list, the preview and the runs.
#pragma once

// The cleaning of names made from tags belongs to the tag texts.
#include "tags/TagText.h"

#include <QString>
#include <cstdint>

// Whole seconds as HH:MM:SS, each part "%.2d"; hours may take three or more
// digits; a negative value puts the sign inside the parts (-5 -> 00:00:-05).
QString formatTime(std::int32_t seconds);
// Milliseconds as HH:MM:SS.mmm, for a cut placed between whole seconds; a
// negative value counts as 0.
QString formatTimeMs(std::int64_t milliseconds);
