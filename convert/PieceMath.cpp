#include "convert/PieceMath.h"

#include "audio/MulDiv.h"

#include <algorithm>
#include <cmath>

namespace PieceMath {

std::int64_t readerFrames(std::int32_t seconds, std::int64_t lengthSamples, std::int64_t lengthMs) {
    if (lengthMs <= 0)
        return 0;
    return MulDiv(std::int64_t(seconds) * 1000, lengthSamples, lengthMs);
}

std::int64_t recordFrames(std::int32_t seconds, const FileRow& r) {
    if (r.seconds <= 0)
        return seconds > 0 ? r.samples : 0;
    return MulDiv(seconds, r.samples, r.seconds);
}

std::int64_t spanBeginFrames(const Span& span, const FileRow& r) {
    return span.beginFrame >= 0 ? span.beginFrame : recordFrames(span.begin, r);
}

std::int64_t spanEndFrames(const Span& span, const FileRow& r) {
    if (span.endFrame >= 0)
        return std::min(span.endFrame, r.samples);
    return span.toEnd ? r.samples : recordFrames(span.end, r);
}

int keptSpanCount(const FileRow& r) {
    const int count = r.usableSpanCount();
    return count <= 1 ? count : count - 1;
}

// A marked span that ends where the file's whole seconds end takes the
// fraction of a second after them too.
static Span marked(Span span, const FileRow& file) {
    span.toEnd = span.end >= file.seconds && span.begin <= span.end;
    return span;
}

// One of the first file's spans as it cuts `file` in Unification: at the
// same seconds, and a cut between seconds at the same time of this file's
// frames.
static Span unified(const Span& span, const FileRow& file, const FileRow& first) {
    Span out{span.begin, std::min(span.end, file.seconds)};
    const auto sameTime = [&](std::int64_t frame) -> std::int64_t {
        if (frame < 0)
            return -1;
        if (first.rate > 0 && file.rate > 0 && first.rate != file.rate)
            frame = MulDiv(frame, file.rate, first.rate);
        return std::min(frame, file.samples);
    };
    out.beginFrame = sameTime(span.beginFrame);
    // An end past this file's length is its end.
    if (span.end <= file.seconds)
        out.endFrame = sameTime(span.endFrame);
    return marked(out, file);
}

std::int64_t splitPieceCount(SplitMode mode, const FileRow& file, const FileRow& first,
                             int splitSeconds, int splitCount) {
    const std::int64_t seconds = std::max<std::int32_t>(0, file.seconds);
    switch (mode) {
    case SplitMode::Custom:
        return file.usableSpanCount();
    case SplitMode::Time:
        return seconds / std::max(1, splitSeconds) + 1;
    case SplitMode::Count:
        return std::max(1, splitCount);
    case SplitMode::Unification:
        return first.usableSpanCount();
    default:
        return 0;
    }
}

bool splitPiece(SplitMode mode, std::int64_t j, const FileRow& file, const FileRow& first,
                int splitSeconds, int splitCount, Span& out) {
    const std::int64_t seconds = std::max<std::int32_t>(0, file.seconds);
    switch (mode) {
    case SplitMode::Custom:
        if (j < 0 || j >= file.usableSpanCount())
            return false;
        out = marked(file.spans[size_t(j)], file);
        return true;
    case SplitMode::Time: {
        const std::int64_t n = std::max(1, splitSeconds);
        out = {std::int32_t(std::min<std::int64_t>(j * n, seconds)),
               std::int32_t(std::min<std::int64_t>((j + 1) * n, seconds)), j == seconds / n};
        return true;
    }
    case SplitMode::Count: {
        const std::int64_t c = std::max(1, splitCount);
        const std::int64_t p = seconds / c;
        const bool last = j == c - 1;
        out = {std::int32_t(j * p), std::int32_t(last ? seconds : (j + 1) * p), last};
        return true;
    }
    case SplitMode::Unification: {
        if (j < 0 || j >= first.usableSpanCount())
            return false;
        const Span& span = first.spans[size_t(j)];
        if (span.begin > file.seconds)
            return false;
        out = unified(span, file, first);
        return true;
    }
    default:
        return false;
    }
}

std::vector<Span> joinSpans(SplitMode mode, const FileRow& file, const FileRow& first) {
    std::vector<Span> spans;
    if (mode == SplitMode::Custom) {
        const int kept = keptSpanCount(file);
        for (int j = 0; j < kept; ++j)
            spans.push_back(marked(file.spans[size_t(j)], file));
    } else if (mode == SplitMode::Unification) {
        const int kept = keptSpanCount(first);
        for (int j = 0; j < kept; ++j) {
            const Span& span = first.spans[size_t(j)];
            if (span.begin > file.seconds)
                break;
            spans.push_back(unified(span, file, first));
        }
    }
    return spans;
}

std::int64_t joinSpanFrames(const Span& span, const FileRow& file) {
    const std::int64_t begin =
        std::clamp<std::int64_t>(spanBeginFrames(span, file), 0, file.samples);
    const std::int64_t end = std::clamp<std::int64_t>(spanEndFrames(span, file), 0, file.samples);
    return std::max<std::int64_t>(0, end - begin);
}

std::int64_t joinTotal(SplitMode mode, const std::vector<FileRow>& files) {
    std::int64_t total = 0;
    for (const FileRow& file : files) {
        if (mode == SplitMode::Time || mode == SplitMode::Count) {
            total += std::max<std::int64_t>(0, file.samples);
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
