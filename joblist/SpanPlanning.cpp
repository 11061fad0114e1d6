// Planning the span rows of the current file by split mode, and the total
// length a run would produce.
#include "joblist/JobList.h"

#include "core/SessionState.h"
#include "joblist/JobListTexts.h"
#include "joblist/TimeText.h"

#include <algorithm>

using namespace JobListTexts;

namespace {

// What one span adds to the total; a span marked in the wrong order adds nothing.
std::int64_t spanSeconds(std::int64_t begin, std::int64_t end) {
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
                    total += spanSeconds(span.begin, std::min(span.end, r.seconds));
            }
        }
        break;
    }
    default:
        for (const FileRow& r : files) {
            const int counted = countedSpans(r);
            for (int j = 0; j < counted; ++j)
                total += spanSeconds(r.spans[size_t(j)].begin, r.spans[size_t(j)].end);
        }
        break;
    }
    return total;
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
