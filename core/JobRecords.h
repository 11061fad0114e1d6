// The records of the job list: one listrecord and one AudioFileinfo per source row.
// Plain data that the shared state holds and every layer above it reads.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

struct listrecord {
    std::int32_t SpanCount = 1;           // spans in use; the last is the open span
    QString Path;                         // full path of the source file
    std::vector<std::int32_t> BeginTimes; // whole seconds
    std::vector<std::int32_t> EndTimes;   // whole seconds
    std::int32_t Seconds = 0;             // LengthMs div 1000
    std::int32_t SliderRange = 0;         // half-second steps, with a floor
    std::int64_t Samples = 0;             // LengthSamples (frames)
};

struct AudioFileinfo {
    QString Title;
    QString Artist;
    QString Year;
    QString Album;
    QString Comment;
    QString Genre;
};
