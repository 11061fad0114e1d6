// Editing spans: by time (the domain's calls) and by the hand commands over
// the span list (Begin, End, confirm, remove, reset).
#include "joblist/JobList.h"

#include "audio/MulDiv.h"
#include "core/SessionState.h"
#include "joblist/JobListTexts.h"

#include <algorithm>

using namespace JobListTexts;

namespace {

// Whole seconds as frames, as a run's reader counts them.
std::int64_t secondsFrames(std::int32_t seconds, const FileRow& r) {
    const std::int64_t lengthMs = r.rate > 0 ? r.samples * 1000 / r.rate : 0;
    if (lengthMs <= 0)
        return seconds > 0 ? r.samples : 0;
    return MulDiv(std::int64_t(seconds) * 1000, r.samples, lengthMs);
}

// A frame of `from` as the frame at the same time of `to`.
std::int64_t sameTime(std::int64_t frame, const FileRow& from, const FileRow& to) {
    if (&from == &to || from.rate <= 0 || to.rate <= 0 || from.rate == to.rate)
        return frame;
    return MulDiv(frame, to.rate, from.rate);
}

} // namespace

int JobList::editedRow(int row) const {
    return s.settings.splitMode == SplitMode::Unification ? 0 : row;
}

bool JobList::addSpan(int row, Span span, QString* message) {
    const int edited = editedRow(row);
    const auto refuse = [&](const QString& text) {
        if (message)
            *message = text;
        return false;
    };
    if (s.settings.splitMode != SplitMode::Custom && s.settings.splitMode != SplitMode::Unification)
        return refuse(modeRefusedText());
    if (!m_files.contains(edited) || m_files.row(edited).usableSpanCount() < 1)
        return refuse(QString());
    if (span.end < span.begin)
        return refuse(reversedSpanText());

    FileRow& r = m_files.row(edited);
    const bool shown =
        editedRow(selectedRow()) == edited && m_spans.rowCount() == r.usableSpanCount();
    const int open = r.usableSpanCount() - 1;
    r.spans.resize(size_t(open + 1));
    r.spans[size_t(open)] = span;
    r.spans.push_back(Span{0, r.seconds});
    r.spanCount = std::int32_t(r.spans.size());
    if (shown) {
        m_spans.setSpan(open, span);
        m_spans.setStatus(open, StatusOkConfirmed);
        m_spans.append(r.spans.back(), StatusUncertain);
    }
    refreshTotal();
    return true;
}

bool JobList::setSpan(int row, int index, Span span) {
    const int edited = editedRow(row);
    if (!m_files.contains(edited))
        return false;
    FileRow& r = m_files.row(edited);
    if (index < 0 || index >= r.usableSpanCount())
        return false;
    const bool shown =
        editedRow(selectedRow()) == edited && m_spans.rowCount() == r.usableSpanCount();
    // A bound the edit left on its second keeps the frame a planner cut at.
    const Span& old = r.spans[size_t(index)];
    if (span.beginFrame < 0 && span.begin == old.begin)
        span.beginFrame = old.beginFrame;
    if (span.endFrame < 0 && span.end == old.end && span.toEnd == old.toEnd)
        span.endFrame = old.endFrame;
    // A track's span moved by hand is still that track.
    if (!span.tags)
        span.tags = old.tags;
    r.spans[size_t(index)] = span;
    if (shown)
        m_spans.setSpan(index, span);
    refreshTotal();
    return true;
}

bool JobList::removeSpan(int row, int index, QString* message) {
    const int edited = editedRow(row);
    if (!m_files.contains(edited))
        return false;
    FileRow& r = m_files.row(edited);
    const int n = r.usableSpanCount();
    if (index < 0 || index >= n)
        return false;
    if (index == n - 1) {
        if (message)
            *message = openSpanText();
        return false;
    }
    const bool shown = editedRow(selectedRow()) == edited && m_spans.rowCount() == n;
    r.spans.erase(r.spans.begin() + index);
    r.spans.resize(size_t(n - 1));
    r.spanCount = n - 1;
    if (shown)
        m_spans.remove(index);
    refreshTotal();
    return true;
}

// --- spans by frame --------------------------------------------------------------

int JobList::confirmedSpanCount(int row) const {
    const int edited = editedRow(row);
    if (!m_files.contains(row) || !m_files.contains(edited))
        return 0;
    return std::max(0, m_files.row(edited).usableSpanCount() - 1);
}

bool JobList::spanFrames(int row, int index, std::int64_t& begin, std::int64_t& end) const {
    const int edited = editedRow(row);
    if (!m_files.contains(row) || !m_files.contains(edited))
        return false;
    const FileRow& r = m_files.row(row);
    const FileRow& e = m_files.row(edited);
    if (index < 0 || index >= e.usableSpanCount())
        return false;
    const Span& span = e.spans[size_t(index)];
    const std::int64_t b = span.beginFrame >= 0 ? span.beginFrame : secondsFrames(span.begin, e);
    const std::int64_t f = span.endFrame >= 0 ? std::min(span.endFrame, e.samples)
                           : span.toEnd       ? e.samples
                                              : secondsFrames(span.end, e);
    begin = std::clamp<std::int64_t>(sameTime(b, e, r), 0, r.samples);
    end = std::clamp<std::int64_t>(sameTime(f, e, r), 0, r.samples);
    return true;
}

Span JobList::spanOfFrames(int row, std::int64_t begin, std::int64_t end) const {
    const FileRow& r = m_files.row(row);
    const FileRow& e = m_files.row(editedRow(row));
    const auto stored = [&](std::int64_t frame) {
        return std::clamp<std::int64_t>(
            sameTime(std::clamp<std::int64_t>(frame, 0, r.samples), r, e), 0, e.samples);
    };
    const std::int64_t rate = std::max(1, e.rate);
    Span span;
    span.beginFrame = stored(begin);
    span.endFrame = stored(end);
    span.begin = toInt32(span.beginFrame / rate);
    span.end = toInt32(span.endFrame / rate);
    // A span that reaches the file's last frame takes it, as a marked one does.
    if (span.endFrame >= e.samples) {
        span.toEnd = true;
        span.end = std::max(span.end, e.seconds);
    }
    return span;
}

bool JobList::setSpanFrames(int row, int index, std::int64_t begin, std::int64_t end) {
    if (begin > end || !m_files.contains(row) || !m_files.contains(editedRow(row)))
        return false;
    return setSpan(row, index, spanOfFrames(row, begin, end));
}

bool JobList::addSpanFrames(int row, std::int64_t begin, std::int64_t end, QString* message) {
    const bool known = m_files.contains(row) && m_files.contains(editedRow(row));
    if (!known || begin > end) {
        if (message)
            *message = known ? reversedSpanText() : QString();
        return false;
    }
    return addSpan(row, spanOfFrames(row, begin, end), message);
}

// --- the hand commands ---------------------------------------------------------

void JobList::selectSpan() {
    const int count = m_spans.rowCount();
    if (count == 0)
        return;
    m_selectedSpan = std::clamp(m_selectedSpan, 0, count - 1);
    if (selectedSpanRow() < 0)
        selectOnly(m_spanSelection, m_spans.index(m_selectedSpan, 0));
    m_selectedSpan = selectedSpanRow();
    m_spanListActive = true;
}

bool JobList::refuseOutsideHandModes() {
    if (s.settings.splitMode == SplitMode::Time || s.settings.splitMode == SplitMode::Count) {
        s.inform(modeRefusedText());
        return true;
    }
    return false;
}

FileRow* JobList::handEditedRow() {
    const int row = editedRow(selectedRow());
    if (!m_files.contains(selectedRow()) || !m_files.contains(row))
        return nullptr;
    FileRow* r = &m_files.row(row);
    const int stored = r->usableSpanCount();
    if (stored < 1)
        return nullptr;
    // A mode switch may have left another file's or another mode's rows.
    if (m_spans.rowCount() != stored)
        plan();
    return m_spans.rowCount() == stored ? r : nullptr;
}

void JobList::markBound(bool begin) {
    if (s.adding || s.converting || selectedRow() < 0 || refuseOutsideHandModes())
        return;
    FileRow* r = handEditedRow();
    if (!r)
        return;
    const int last = m_spans.rowCount() - 1;
    Span& span = r->spans[size_t(last)];
    (begin ? span.begin : span.end) = timeAtSlider();
    (begin ? span.beginFrame : span.endFrame) = -1;
    m_spans.setSpan(last, span);
    refreshTotal();
}

void JobList::markBegin() {
    markBound(true);
}

void JobList::markEnd() {
    markBound(false);
}

void JobList::confirmSpan() {
    if (s.adding || s.converting || selectedRow() < 0 || refuseOutsideHandModes())
        return;
    FileRow* r = handEditedRow();
    if (!r)
        return;
    const Span open = r->spans[size_t(m_spans.rowCount() - 1)];
    QString message;
    if (!addSpan(selectedRow(), open, &message) && !message.isEmpty())
        s.inform(message);
}

void JobList::removeSelectedSpan() {
    if (s.adding || s.converting)
        return;
    if (s.settings.splitMode != SplitMode::Custom && s.settings.splitMode != SplitMode::Unification)
        return;
    const int i = selectedSpanRow();
    if (selectedRow() < 0 || i < 0)
        return;
    const int n = m_spans.rowCount();
    // The open span is always the last row, also while its status reads
    // "Playing" during a preview.
    if (spanStatus(i) == StatusUncertain || i == n - 1) {
        s.inform(openSpanText());
        return;
    }
    if (!handEditedRow() || m_spans.rowCount() != n)
        return;
    if (!removeSpan(selectedRow(), i))
        return;
    const int count = m_spans.rowCount();
    m_selectedSpan = std::clamp(m_selectedSpan, 0, count - 1);
    selectOnly(m_spanSelection, m_spans.index(m_selectedSpan, 0));
}

void JobList::resetSpans() {
    if (s.adding || s.converting)
        return;
    const int row = selectedRow();
    if (!m_files.contains(row))
        return;
    m_spans.clear();
    FileRow& r = m_files.row(row);
    r.spans = {Span{0, r.seconds}};
    r.spanCount = 1;
    selectFile();
    refreshTotal();
}
