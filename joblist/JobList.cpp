// The job list's rows, their selection and the current file; the other
// operations live in FileAdding, SpanPlanning, SpanEditing and SliderAxis.
#include "joblist/JobList.h"

#include "core/SessionState.h"
#include "joblist/JobListTexts.h"
#include "joblist/TimeText.h"

#include <algorithm>

using namespace JobListTexts;

JobList::JobList(SessionState& state, QObject* parent) : QObject(parent), s(state) {}

int JobList::selectedRow() const {
    return firstSelectedRow(m_fileSelection);
}

void JobList::selectRow(int row) {
    if (!m_files.contains(row))
        return;
    selectOnly(m_fileSelection, m_files.index(row, 0));
    m_selectedFile = row;
}

QString JobList::caption(int row) const {
    return m_files.contains(row) ? m_files.row(row).caption : QString();
}

void JobList::moveFile(int step) {
    const int from = selectedRow();
    const int to = from + step;
    if (from < 0 || !m_files.contains(to) || (step != -1 && step != 1) || s.converting || s.adding)
        return;
    // The previewed file stays the previewed file wherever it moves.
    if (from == m_playedRow)
        m_playedRow = to;
    else if (to == m_playedRow)
        m_playedRow = from;
    m_files.move(from, to);
    selectRow(to);
    // Unification shows and counts the spans of whichever file is first.
    if (s.settings.splitMode == SplitMode::Unification && (from == 0 || to == 0)) {
        plan();
        refreshTotal();
    }
    emit fileListFocusRequested();
}

void JobList::removeFile() {
    removeFileAt(selectedRow());
}

void JobList::removeFileAt(int i) {
    if (s.adding || s.converting || !m_files.contains(i))
        return;
    const int n = m_files.rowCount();

    m_files.remove(i);
    if (i < m_playedRow)
        --m_playedRow;

    if (m_files.rowCount() == 0) {
        m_spans.clear();
        showNoFile();
        refreshTotal();
        return;
    }

    if (m_selectedFile >= 0 && m_selectedFile < n - 2) {
        selectRow(m_selectedFile);
    } else {
        m_selectedFile = 0;
        selectRow(0);
    }
    selectFile();
    refreshTotal();
}

void JobList::clearList() {
    if (s.adding || s.converting)
        return;
    m_files.clear();
    m_spans.clear();
    showNoFile();
    emit instructionsVisibleChanged(true);
    refreshTotal();
}

void JobList::showNoFile() {
    // No file is shown: nothing may still name the last one.
    m_sliderPosition = 0;
    emit currentFileChanged(QString());
    setPositionText(formatTime(0));
}

int JobList::effectiveSplitSeconds() const {
    return s.settings.splitSeconds < 1 ? 60 : s.settings.splitSeconds;
}

int JobList::effectiveSplitCount() const {
    return s.settings.splitCount < 1 ? 1 : s.settings.splitCount;
}

int JobList::selectedSpanRow() const {
    return firstSelectedRow(m_spanSelection);
}

void JobList::selectFile() {
    m_spanListActive = false;
    const int count = m_files.rowCount();
    if (count == 0)
        return;
    m_selectedFile = std::clamp(m_selectedFile, 0, count - 1);
    if (s.converting) {
        // The selection cannot move during a run.
        selectRow(m_selectedFile);
        return;
    }
    if (previewing()) {
        if (m_playedRow >= 0 && m_playedRow <= count - 1) {
            const int keep = m_selectedFile;
            selectRow(m_playedRow);
            m_selectedFile = keep;
        }
        return;
    }
    if (selectedRow() < 0)
        selectRow(m_selectedFile);
    m_selectedFile = selectedRow();
    if (!m_files.contains(m_selectedFile))
        return;

    plan();
    emit currentFileChanged(m_files.row(m_selectedFile).path);
    emit instructionsVisibleChanged(false);
}
