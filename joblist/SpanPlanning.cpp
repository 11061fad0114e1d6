// Planning the span rows of the current file by split mode, and the total
// length a run would produce.
#include "joblist/JobList.h"

#include "core/SessionState.h"
#include "joblist/JobListTexts.h"
#include "joblist/TimeText.h"

#include <algorithm>
#include <limits>

using namespace JobListTexts;

namespace {

// A bound in milliseconds: at its frame where it is cut at one.
std::int64_t boundMs(std::int32_t seconds, std::int64_t frame, int rate) {
    return frame >= 0 && rate > 0 ? (frame * 1000 + rate / 2) / rate : std::int64_t(seconds) * 1000;
}

// What one span adds to the total, in milliseconds, up to `limitMs`; a span
// marked in the wrong order adds nothing.
std::int64_t spanMs(const Span& span, int rate,
                    std::int64_t limitMs = std::numeric_limits<std::int64_t>::max()) {
    const std::int64_t begin = boundMs(span.begin, span.beginFrame, rate);
    const std::int64_t end = std::min(boundMs(span.end, span.endFrame, rate), limitMs);
    return std::max<std::int64_t>(0, end - begin);
}

// With confirmed spans the open one does not count.
int countedSpans(const FileRow& r) {
    const int stored = r.usableSpanCount();
    return stored > 1 ? stored - 1 : stored;
}

} // namespace

void JobList::plan() {
    // The axis follows the plan: Unification spans the first file's length.
    setSliderRange();
    switch (s.settings.splitMode) {
    case SplitMode::Time:
        planTime();
        break;
    case SplitMode::Count:
        planCount();
        break;
    case SplitMode::Unification:
        planUnification();
        break;
    default:
        planCustom();
        break;
    }
}

bool JobList::beginPlanning() {
    if (!m_files.contains(selectedRow()))
        return false;
    m_spans.clear();
    m_spans.setRate(m_files.row(editedRow(selectedRow())).rate);
    setPositionText(formatTime(timeAtSlider()));
    return true;
}

void JobList::planStored(const FileRow& r) {
    const int count = r.usableSpanCount();
    for (int j = 0; j < count; ++j)
        m_spans.append(r.spans[size_t(j)], j == count - 1 ? StatusUncertain : StatusOKPlanned);
}

void JobList::planCustom() {
    if (beginPlanning())
        planStored(m_files.row(selectedRow()));
}

void JobList::planUnification() {
    if (beginPlanning())
        planStored(m_files.row(0));
}

void JobList::planTime() {
    if (!beginPlanning())
        return;
    const std::int64_t n = effectiveSplitSeconds();
    const std::int64_t seconds = std::max<std::int32_t>(0, m_files.row(selectedRow()).seconds);
    // A plan the run refuses anyway shows no rows.
    if (seconds / n + 1 > MaxPiecesPerFile)
        return;
    for (std::int64_t k = 0; k <= seconds / n; ++k)
        m_spans.append({toInt32(k * n), toInt32(std::min((k + 1) * n, seconds))}, StatusUnconvert);
}

void JobList::planCount() {
    if (!beginPlanning())
        return;
    const std::int64_t c = effectiveSplitCount();
    if (c > MaxPiecesPerFile)
        return;
    const std::int64_t seconds = std::max<std::int32_t>(0, m_files.row(selectedRow()).seconds);
    const std::int64_t piece = seconds / c;
    // The last piece takes the seconds the division leaves over.
    for (std::int64_t k = 0; k < c; ++k)
        m_spans.append({toInt32(k * piece), toInt32(k == c - 1 ? seconds : (k + 1) * piece)},
                       StatusUnconvert);
}

std::int64_t JobList::totalSeconds() const {
    const std::vector<FileRow>& files = m_files.rows();
    std::int64_t total = 0;
    // Spans cut between seconds add up exactly; the total shows whole seconds.
    std::int64_t totalMs = 0;
    switch (s.settings.splitMode) {
    case SplitMode::Time:
    case SplitMode::Count:
        for (const FileRow& r : files)
            total += std::max<std::int32_t>(0, r.seconds);
        break;
    case SplitMode::Unification: {
        if (files.empty())
            break;
        const FileRow& first = files.front();
        const int counted = countedSpans(first);
        for (const FileRow& r : files) {
            for (int j = 0; j < counted; ++j) {
                const Span& span = first.spans[size_t(j)];
                if (r.seconds >= span.begin)
                    totalMs += spanMs(span, first.rate, std::int64_t(r.seconds) * 1000);
            }
        }
        break;
    }
    default:
        for (const FileRow& r : files) {
            const int counted = countedSpans(r);
            for (int j = 0; j < counted; ++j)
                totalMs += spanMs(r.spans[size_t(j)], r.rate);
        }
        break;
    }
    return total + totalMs / 1000;
}

void JobList::refreshTotal() {
    emit totalTextChanged(formatTime(toInt32(totalSeconds())));
}

void JobList::showWholeFileSpan(int row, const QString& status) {
    if (!m_files.contains(row))
        return;
    m_spans.clear();
    m_spans.append({0, m_files.row(row).seconds}, status);
}
