// The job list's operations over its two models.
#include "joblist/JobList.h"

#include "audio/AudioError.h"
#include "audio/AudioFile.h"
#include "audio/MulDiv.h"
#include "audio/NativeName.h"
#include "core/MainState.h"
#include "joblist/TimeText.h"
#include "tags/TagSteps.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <exception>
#include <filesystem>
#include <limits>
#include <system_error>
#include <vector>

namespace {

const QString StatusUncertain = QStringLiteral("Uncertain");
const QString StatusOKPlanned = QStringLiteral("OK");
const QString StatusOkConfirmed = QStringLiteral("Ok");
const QString StatusUnconvert = QStringLiteral("Unconvert");

QString modeRefusedText() {
    return QStringLiteral(
        "Only chose \"Custom\" or \"unification\" function, this button is usable.");
}

QString reversedSpanText() {
    return QStringLiteral("Start-time must not be larger than end-time.");
}

QString openSpanText() {
    return QStringLiteral("This item, the procedure will automatically process. Need not delete.");
}

std::int32_t toInt32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// What one span adds to the total; a span marked in the wrong order adds nothing.
std::int64_t spanSeconds(std::int64_t begin, std::int64_t end) {
    return std::max<std::int64_t>(0, end - begin);
}

// With confirmed spans the open one does not count.
int countedSpans(const FileRow& r) {
    const int stored = r.usableSpanCount();
    return stored > 1 ? stored - 1 : stored;
}

// Marks the add loop as running for as long as it lives, on every way out.
class AddingGuard {
  public:
    explicit AddingGuard(MainState& state) : m_state(state), m_previous(state.adding) {
        m_state.adding = true;
    }
    ~AddingGuard() { m_state.adding = m_previous; }
    AddingGuard(const AddingGuard&) = delete;
    AddingGuard& operator=(const AddingGuard&) = delete;

  private:
    MainState& m_state;
    bool m_previous;
};

// The topmost selected row, -1 when none is selected.
int firstSelectedRow(const QItemSelectionModel& selection) {
    const QModelIndexList rows = selection.selectedRows(0);
    if (rows.isEmpty())
        return -1;
    int row = rows.first().row();
    for (const QModelIndex& index : rows)
        row = std::min(row, index.row());
    return row;
}

// The names in a folder that are not folders themselves, hidden ones,
// pipes and broken links included, by name without regard to case. Read from
// the system, as Qt's own listing leaves out names that are not UTF-8.
QStringList entriesOf(const QString& folder) {
    std::vector<std::pair<QString, QString>> entries; // (name in lower case, name)
    std::error_code error;
    for (std::filesystem::directory_iterator it(NativeName::toPath(folder), error), end;
         !error && it != end; it.increment(error)) {
        std::error_code typeError;
        if (it->is_directory(typeError))
            continue;
        const QString name = NativeName::fromPath(it->path().filename());
        entries.emplace_back(name.toLower(), name);
    }
    std::sort(entries.begin(), entries.end());
    QStringList names;
    for (const auto& entry : entries)
        names << entry.second;
    return names;
}

void selectOnly(QItemSelectionModel& selection, const QModelIndex& index) {
    selection.setCurrentIndex(index,
                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

} // namespace

JobList::JobList(MainState& state, QObject* parent) : QObject(parent), s(state) {}

// ---------------------------------------------------------------------------
// Source rows
// ---------------------------------------------------------------------------

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

void JobList::admitFile(const QString& path, int floor, AddWay way) {
    s.pumpEvents();

    FileRow r;
    r.path = path;
    r.caption = NativeName::shown(QFileInfo(path).fileName());
    m_files.append(r);
    const int row = m_files.rowCount() - 1;
    try {
        const SourceTags read = readSourceTags(path, way);
        FileRow& tagged = m_files.row(row);
        tagged.tags = read.tags;
        if (!read.caption.isEmpty())
            tagged.caption = read.caption;

        AudioFile reader;
        reader.openRead(path);
        const std::int64_t lengthMs = std::max<std::int64_t>(0, reader.lengthMs());
        FileRow& added = m_files.row(row);
        added.seconds = toInt32(lengthMs / 1000);
        added.sliderRange = std::max(toInt32(lengthMs / 500), floor);
        added.samples = reader.lengthSamples();
        added.spans = {Span{0, added.seconds}};
        added.spanCount = 1;
        reader.close();
    } catch (...) {
        m_files.remove(row);
        throw;
    }
    m_files.updateRow(row);
}

QList<JobList::Refusal> JobList::addFiles(const QStringList& paths, int floor) {
    QList<Refusal> refused;
    if (s.adding || s.converting) {
        for (const QString& path : paths)
            refused.append({path, QString()});
        return refused;
    }
    if (paths.isEmpty())
        return refused;

    beginAdding();
    AddingGuard adding(s);
    for (const QString& path : paths) {
        if (m_stopAdding)
            break;
        admitOne(path, floor, false, refused);
    }
    finishAdding();
    return refused;
}

QList<JobList::Refusal> JobList::addFolder(const QString& folder) {
    QList<Refusal> refused;
    if (s.adding || s.converting || folder.isEmpty())
        return refused;

    beginAdding();
    AddingGuard adding(s);
    // Only the folder's own Ogg files, in name order so that numbered tracks
    // come in their order; the folder's subfolders are not entered.
    const QDir dir(folder);
    for (const QString& name : entriesOf(folder)) {
        s.pumpEvents();
        s.pumpEvents();
        if (m_stopAdding)
            break;
        if (QFileInfo(name).suffix().toLower() != QLatin1String("ogg"))
            continue;
        admitOne(dir.filePath(name), AddFolderFloor, true, refused);
    }
    finishAdding();
    return refused;
}

QList<JobList::Refusal> JobList::addPaths(const QStringList& paths) {
    QList<Refusal> refused;
    QStringList files;
    const auto addPendingFiles = [&] {
        if (!files.isEmpty())
            refused += addFiles(files);
        files.clear();
    };
    for (const QString& path : paths) {
        if (!NativeName::isFolder(path)) {
            files << path;
            continue;
        }
        addPendingFiles();
        refused += addFolder(path);
    }
    addPendingFiles();
    return refused;
}

void JobList::stopAdding() {
    if (s.adding)
        m_stopAdding = true;
}

void JobList::beginAdding() {
    m_stopAdding = false;
    if (previewing()) {
        emit previewStopRequested();
        m_playedRow = -1;
    }
}

void JobList::admitOne(const QString& path, int floor, bool keepUnderASecond,
                       QList<Refusal>& refused) {
    const QString name = NativeName::shown(QFileInfo(path).fileName());
    try {
        admitFile(path, floor, keepUnderASecond ? AddWay::Folder : AddWay::Files);
        if (!keepUnderASecond && m_files.row(m_files.rowCount() - 1).seconds == 0) {
            m_files.remove(m_files.rowCount() - 1);
            refused.append({path, name + QStringLiteral(" this File is Error or not supported.")});
        }
    } catch (const std::exception&) {
        // AudioError is a std::runtime_error: one handler covers the reader
        // and anything else that failed while the file was measured.
        refused.append({path, name + QStringLiteral(" this File is not supported.")});
    }
}

void JobList::finishAdding() {
    m_stopAdding = false;
    if (m_files.rowCount() > 0) {
        if (selectedRow() < 0)
            selectRow(0);
        selectFile();
        emit fileListFocusRequested();
        m_selectedFile = std::max(0, selectedRow());
    }
    refreshTotal();
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
    if (s.adding || s.converting)
        return;
    const int i = selectedRow();
    if (i < 0)
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

// ---------------------------------------------------------------------------
// The current file and its span rows
// ---------------------------------------------------------------------------

int JobList::effectiveSplitSeconds() const {
    return s.settings.splitSeconds < 1 ? 60 : s.settings.splitSeconds;
}

int JobList::effectiveSplitCount() const {
    return s.settings.splitCount < 1 ? 1 : s.settings.splitCount;
}

int JobList::selectedSpanRow() const {
    return firstSelectedRow(m_spanSelection);
}

void JobList::setSliderRange() {
    const int row = axisRow();
    if (!m_files.contains(row))
        return;
    m_sliderMax = m_files.row(row).sliderRange;
    m_sliderPage = toInt32(MulDiv(52, m_sliderMax, 1100));
    emit sliderRangeChanged(m_sliderMax, m_sliderPage);
}

int JobList::axisRow() const {
    const int selected = selectedRow();
    if (!m_files.contains(selected))
        return -1;
    return editedRow(selected);
}

std::int32_t JobList::axisSeconds() const {
    const int row = axisRow();
    return m_files.contains(row) ? std::max<std::int32_t>(0, m_files.row(row).seconds) : 0;
}

std::int32_t JobList::timeAtSlider() const {
    const std::int32_t seconds = axisSeconds();
    const int usable = usableRange();
    if (usable <= 0)
        return 0;
    // A thumb beyond the usable range still names a time inside the file.
    const std::int64_t t = MulDiv(m_sliderPosition, seconds, usable);
    return toInt32(std::clamp<std::int64_t>(t, 0, std::max<std::int32_t>(seconds, 0)));
}

void JobList::setPositionText(const QString& text) {
    m_positionText = text;
    emit positionTextChanged(text);
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

// ---------------------------------------------------------------------------
// Spans by time
// ---------------------------------------------------------------------------

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

// ---------------------------------------------------------------------------
// The hand commands
// ---------------------------------------------------------------------------

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

void JobList::showWholeFileSpan(int row, const QString& status) {
    if (!m_files.contains(row))
        return;
    m_spans.clear();
    m_spans.append({0, m_files.row(row).seconds}, status);
}
