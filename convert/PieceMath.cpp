#include "convert/PieceMath.h"

#include "core/Settings.h"
#include "audio/MulDiv.h"
#include "core/JobRecords.h"

#include <algorithm>
#include <cmath>

namespace PieceMath {

std::int64_t readerFrames(std::int32_t seconds, std::int64_t lengthSamples, std::int64_t lengthMs) {
    if (lengthMs <= 0)
        return 0;
    return MulDiv(std::int64_t(seconds) * 1000, lengthSamples, lengthMs);
}

std::int64_t recordFrames(std::int32_t seconds, const listrecord& r) {
    if (r.Seconds <= 0)
        return seconds > 0 ? r.Samples : 0;
    return MulDiv(seconds, r.Samples, r.Seconds);
}

int storedSpanCount(const listrecord& r) {
    const auto stored = std::min(r.BeginTimes.size(), r.EndTimes.size());
    return std::clamp<int>(r.SpanCount, 0, int(stored));
}

int keptSpanCount(const listrecord& r) {
    const int count = storedSpanCount(r);
    return count <= 1 ? count : count - 1;
}

int splitPieceCount(int mode, const listrecord& file, const listrecord& first, int splitSeconds,
                    int splitCount) {
    const std::int32_t seconds = std::max<std::int32_t>(0, file.Seconds);
    switch (mode) {
    case Custom:
        return storedSpanCount(file);
    case Time:
        return seconds / std::max(1, splitSeconds) + 1;
    case Count:
        return std::max(1, splitCount);
    case Unification:
        return storedSpanCount(first);
    default:
        return 0;
    }
}

bool splitPiece(int mode, int j, const listrecord& file, const listrecord& first, int splitSeconds,
                int splitCount, Span& out) {
    const std::int64_t seconds = std::max<std::int32_t>(0, file.Seconds);
    switch (mode) {
    case Custom:
        if (j < 0 || j >= storedSpanCount(file))
            return false;
        out = {file.BeginTimes[size_t(j)], file.EndTimes[size_t(j)]};
        return true;
    case Time: {
        const std::int64_t n = std::max(1, splitSeconds);
        out = {std::int32_t(std::min<std::int64_t>(j * n, seconds)),
               std::int32_t(std::min<std::int64_t>((j + 1) * n, seconds))};
        return true;
    }
    case Count: {
        const std::int64_t p = seconds / std::max(1, splitCount);
        out = {std::int32_t(j * p), std::int32_t(std::min<std::int64_t>((j + 1) * p, seconds))};
        return true;
    }
    case Unification:
        if (j < 0 || j >= storedSpanCount(first))
            return false;
        if (first.BeginTimes[size_t(j)] > file.Seconds)
            return false;
        out = {first.BeginTimes[size_t(j)], std::min(first.EndTimes[size_t(j)], file.Seconds)};
        return true;
    default:
        return false;
    }
}

std::vector<Span> joinSpans(int mode, const listrecord& file, const listrecord& first) {
    std::vector<Span> spans;
    if (mode == Custom) {
        const int kept = keptSpanCount(file);
        for (int j = 0; j < kept; ++j)
            spans.push_back({file.BeginTimes[size_t(j)], file.EndTimes[size_t(j)]});
    } else if (mode == Unification) {
        const int kept = keptSpanCount(first);
        for (int j = 0; j < kept; ++j) {
            if (first.BeginTimes[size_t(j)] > file.Seconds)
                break;
            spans.push_back({first.BeginTimes[size_t(j)], first.EndTimes[size_t(j)]});
        }
    }
    return spans;
}

std::int64_t joinSpanFrames(const Span& span, const listrecord& file) {
    const std::int64_t begin =
        std::clamp<std::int64_t>(recordFrames(span.begin, file), 0, file.Samples);
    const std::int64_t end =
        std::clamp<std::int64_t>(recordFrames(span.end, file), 0, file.Samples);
    return std::max<std::int64_t>(0, end - begin);
}

std::int64_t joinTotal(int mode, const std::vector<listrecord>& files) {
    std::int64_t total = 0;
    for (const listrecord& file : files) {
        if (mode == Time || mode == Count) {
            total += std::max<std::int64_t>(0, file.Samples);
            continue;
        }
        for (const Span& span : joinSpans(mode, file, files.front()))
            total += joinSpanFrames(span, file);
    }
    return total;
}

std::int64_t roundHalfEven(double value) {
    return static_cast<std::int64_t>(std::nearbyint(value));
}

} // namespace PieceMath
