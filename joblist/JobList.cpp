// The job list's operations over the shared MainState: the source rows of lv with
// their FileList and TagList elements, and the span rows of lv_time.
#include "joblist/JobList.h"

#include "core/MainState.h"
#include "core/Prompt.h"
#include "skin/SkinObject.h"
#include "audio/AudioError.h"
#include "audio/MulDiv.h"
#include "joblist/TimeText.h"

#include <QFileInfo>
#include <QList>
#include <QStandardItem>
#include <algorithm>
#include <exception>
#include <limits>

namespace {

const QString StatusUncertain = QStringLiteral("Uncertain");
const QString StatusOKPlanned = QStringLiteral("OK");
const QString StatusOkConfirmed = QStringLiteral("Ok");
const QString StatusUnconvert = QStringLiteral("Unconvert");

QString modeRefusedText() {
    return QStringLiteral(
        "Only chose \"Custom\" or \"unification\" function, this button is usable.");
}

QStandardItem* makeItem(const QString& text) {
    auto* item = new QStandardItem(text);
    // The lists are read-only: a row is changed only through the commands.
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

std::int32_t toInt32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

QString spanCaption(std::int32_t begin, std::int32_t end) {
    return FormatTime(begin) + QStringLiteral(" - ") + FormatTime(end);
}

// A span whose end lies before its begin (marked in the wrong order) shows an
// empty length until it is corrected.
QString spanLength(std::int32_t begin, std::int32_t end) {
    const std::int64_t len = std::int64_t(end) - begin;
    return len < 0 ? FormatTime(0) : FormatTime(toInt32(len));
}

// What one span adds to the total; a span marked in the wrong order adds nothing.
std::int64_t spanSeconds(std::int64_t begin, std::int64_t end) {
    return std::max<std::int64_t>(0, end - begin);
}

// The spans a record really holds: SpanCount, but never past its arrays.
int usableSpanCount(const listrecord& r) {
    const auto stored = std::min(r.BeginTimes.size(), r.EndTimes.size());
    return std::clamp<int>(r.SpanCount, 0, static_cast<int>(stored));
}

void setLabel(SkinObject* label, const QString& text) {
    if (!label)
        return;
    label->SetObjectText(text);
    label->RedrawObject();
}

// Marks the add loop as running for as long as it lives, on every way out.
class AddingGuard {
  public:
    explicit AddingGuard(MainState& state) : m_state(state), m_previous(state.Adding) {
        m_state.Adding = true;
    }
    ~AddingGuard() { m_state.Adding = m_previous; }
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

} // namespace

JobList::JobList(MainState& state) : s(state) {}

// ---------------------------------------------------------------------------
// Source list
// ---------------------------------------------------------------------------

int JobList::rowCount() const {
    return s.lv.rowCount();
}

int JobList::selectedRow() const {
    return firstSelectedRow(s.lvSelection);
}

void JobList::selectRow(int row) {
    if (row < 0 || row >= s.lv.rowCount())
        return;
    const QModelIndex index = s.lv.index(row, 0);
    s.lvSelection.setCurrentIndex(index,
                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    s.SelectedFile = row;
}

QString JobList::caption(int row) const {
    if (row < 0 || row >= s.lv.rowCount())
        return {};
    return s.lv.data(s.lv.index(row, 0)).toString();
}

void JobList::matchArraysToRows() {
    const size_t rows = size_t(s.lv.rowCount());
    s.FileList.resize(rows);
    s.TagList.resize(rows);
}

void JobList::FitNameColumn() {
    s.setNameColumnWidth(s.lv.rowCount() < 13 ? 120 : 113);
}

void JobList::ReadTagsOnAdmit(const QString& path, int row) {
    // The tag units fill TagList[row] and may replace the caption by the title.
    // Until then the row keeps its file name and an empty tag record.
    Q_UNUSED(path);
    Q_UNUSED(row);
}

void JobList::AdmitFile(const QString& path, int index, int floor) {
    // The callers pass the row count as `index`; the new row's own index is
    // used, so that the arrays follow the rows even if the two ever differed.
    Q_UNUSED(index);
    s.pumpEvents();

    const int row = s.lv.rowCount();
    s.lv.appendRow(QList<QStandardItem*>{makeItem(QFileInfo(path).fileName()), makeItem({})});
    FitNameColumn();

    const size_t entry = size_t(row);
    if (s.FileList.size() <= entry)
        s.FileList.resize(entry + 1);
    if (s.TagList.size() <= entry)
        s.TagList.resize(entry + 1);
    s.TagList[entry] = AudioFileinfo{};

    ReadTagsOnAdmit(path, row);

    AudioFile& reader = s.reader;
    if (reader.IsOpen())
        reader.Close();
    reader.OpenRead(path);

    const std::int64_t lengthMs = std::max<std::int64_t>(0, reader.LengthMs());
    listrecord& r = s.FileList[entry];
    r = listrecord{};
    r.Path = path;
    r.Seconds = toInt32(lengthMs / 1000);
    r.SliderRange = std::max(toInt32(lengthMs / 500), floor);
    r.Samples = reader.LengthSamples();
    r.BeginTimes = {0};
    r.EndTimes = {r.Seconds};
    r.SpanCount = 1;

    s.lv.setData(s.lv.index(row, 1), FormatTime(r.Seconds));
    reader.Close();
}

void JobList::AddFiles() {
    if (s.Adding || s.Converting)
        return;

    const QStringList filters = {
        QStringLiteral("OGG Files(*.ogg)"), QStringLiteral("MP3 Files(*.mp3)"),
        QStringLiteral("WMA Files(*.wma)"), QStringLiteral("All Files(*)")};
    const QString dir = m_lastFolder.isEmpty() ? s.settings.OutputDir : m_lastFolder;
    if (!s.prompt)
        return;
    const QStringList files = s.prompt->openFiles(dir, filters);
    if (files.isEmpty())
        return;
    m_lastFolder = QFileInfo(files.first()).absolutePath();

    if (s.Previewing) {
        if (stopPreview) {
            stopPreview();
        } else {
            s.player.Stop();
            s.Previewing = false;
        }
    }

    AddingGuard adding(s);
    const int base = s.lv.rowCount();
    s.FileList.resize(size_t(base + files.size()));
    s.TagList.resize(size_t(base + files.size()));

    for (const QString& path : files) {
        const QString name = QFileInfo(path).fileName();
        // A refused file gives its slot to the next one.
        const int index = s.lv.rowCount();
        try {
            AdmitFile(path, index, AddFilesFloor);
            if (s.FileList[size_t(index)].Seconds == 0) {
                s.prompt->information(name +
                                      QStringLiteral(" this File is Error or not supported."));
                if (s.lv.rowCount() > index)
                    s.lv.removeRow(index);
                FitNameColumn();
            }
        } catch (const std::exception&) {
            // AudioError is a std::runtime_error: one handler covers the reader
            // and anything else that failed while the file was measured.
            AudioFile& reader = s.reader;
            if (reader.IsOpen())
                reader.Close();
            reader.SetEnabled(false);
            reader.SetEnabled(true);
            s.prompt->information(name + QStringLiteral(" this File is not supported."));
            if (s.lv.rowCount() > index)
                s.lv.removeRow(index);
            FitNameColumn();
        }
    }

    // Refused files leave no element behind: the arrays match the rows exactly.
    matchArraysToRows();

    if (s.lv.rowCount() > 0) {
        if (selectedRow() < 0)
            selectRow(0);
        SelectFile();
        s.focusFileList();
        s.SelectedFile = std::max(0, selectedRow());
    }
    RefreshTotal();
}

void JobList::MoveUp() {
    const int i = selectedRow();
    if (i <= 0 || s.Converting || s.Adding)
        return;
    matchArraysToRows();
    // The previewed file stays the previewed file wherever it moves.
    if (i == s.PreviewFile)
        s.PreviewFile = i - 1;
    else if (i - 1 == s.PreviewFile)
        s.PreviewFile = i;
    const QList<QStandardItem*> items = s.lv.takeRow(i);
    s.lv.insertRow(i - 1, items);
    std::swap(s.FileList[size_t(i)], s.FileList[size_t(i - 1)]);
    std::swap(s.TagList[size_t(i)], s.TagList[size_t(i - 1)]);
    selectRow(i - 1);
    s.focusFileList();
}

void JobList::MoveDown() {
    const int i = selectedRow();
    if (i < 0 || i >= s.lv.rowCount() - 1 || s.Converting || s.Adding)
        return;
    matchArraysToRows();
    if (i == s.PreviewFile)
        s.PreviewFile = i + 1;
    else if (i + 1 == s.PreviewFile)
        s.PreviewFile = i;
    const QList<QStandardItem*> items = s.lv.takeRow(i);
    s.lv.insertRow(i + 1, items);
    std::swap(s.FileList[size_t(i)], s.FileList[size_t(i + 1)]);
    std::swap(s.TagList[size_t(i)], s.TagList[size_t(i + 1)]);
    selectRow(i + 1);
    s.focusFileList();
}

void JobList::RemoveFile() {
    if (s.Adding || s.Converting)
        return;
    const int i = selectedRow();
    if (i < 0)
        return;
    const int n = s.lv.rowCount();

    matchArraysToRows();
    s.FileList.erase(s.FileList.begin() + i);
    s.TagList.erase(s.TagList.begin() + i);
    s.lv.removeRow(i);
    FitNameColumn();
    if (i < s.PreviewFile)
        --s.PreviewFile;

    if (s.lv.rowCount() == 0) {
        s.lv_time.removeRows(0, s.lv_time.rowCount());
        RefreshTotal();
        return;
    }

    if (s.SelectedFile >= 0 && s.SelectedFile < n - 2) {
        selectRow(s.SelectedFile);
    } else {
        s.SelectedFile = 0;
        selectRow(0);
    }
    SelectFile();
    RefreshTotal();
}

void JobList::ClearList() {
    if (s.Adding || s.Converting)
        return;
    s.lv.removeRows(0, s.lv.rowCount());
    s.lv_time.removeRows(0, s.lv_time.rowCount());
    s.FileList.clear();
    s.TagList.clear();
    FitNameColumn();
    s.setInstructionsVisible(true);
    RefreshTotal();
}

// ---------------------------------------------------------------------------
// Spans
// ---------------------------------------------------------------------------

int JobList::effectiveSplitSeconds() const {
    return s.settings.SplitSeconds < 1 ? 60 : s.settings.SplitSeconds;
}

int JobList::effectiveSplitCount() const {
    return s.settings.SplitCount < 1 ? 1 : s.settings.SplitCount;
}

int JobList::spanRowCount() const {
    return s.lv_time.rowCount();
}

int JobList::selectedSpanRow() const {
    return firstSelectedRow(s.lvTimeSelection);
}

QString JobList::spanStatus(int row) const {
    if (row < 0 || row >= s.lv_time.rowCount())
        return {};
    return s.lv_time.data(s.lv_time.index(row, 2)).toString();
}

void JobList::setSpanStatus(int row, const QString& status) {
    if (row < 0 || row >= s.lv_time.rowCount())
        return;
    s.lv_time.setData(s.lv_time.index(row, 2), status);
}

void JobList::removeSpanRow(int row) {
    if (row < 0 || row >= s.lv_time.rowCount())
        return;
    s.lv_time.removeRow(row);
}

void JobList::SetSliderRange() {
    const int row = selectedRow();
    if (!s.pb || row < 0 || size_t(row) >= s.FileList.size())
        return;
    const std::int32_t range = s.FileList[size_t(row)].SliderRange;
    s.pb->SetSliderMax(range);
    s.pb->SetSliderPage(toInt32(MulDiv(52, range, 1100)));
    s.pb->RedrawObject();
}

int JobList::UsableRange() const {
    if (!s.pb)
        return 0;
    return s.pb->GetSliderMax() - s.pb->GetSliderPage();
}

std::int32_t JobList::TimeAtSlider() const {
    int fileIndex = s.settings.SplitMode == Unification ? 0 : selectedRow();
    if (fileIndex < 0 || size_t(fileIndex) >= s.FileList.size() || fileIndex >= s.lv.rowCount())
        return 0;
    const std::int32_t seconds = s.FileList[size_t(fileIndex)].Seconds;
    const int usable = UsableRange();
    if (usable <= 0)
        return 0;
    // A thumb beyond the usable range still names a time inside the file.
    const std::int64_t t = MulDiv(s.SliderPosition, seconds, usable);
    return toInt32(std::clamp<std::int64_t>(t, 0, std::max<std::int32_t>(seconds, 0)));
}

void JobList::SelectFile() {
    s.SpanListActive = false;
    const int count = s.lv.rowCount();
    if (count == 0)
        return;
    if (s.SelectedFile > count - 1)
        s.SelectedFile = count - 1;
    if (s.SelectedFile < 0)
        s.SelectedFile = 0;
    if (s.Converting) {
        // The selection cannot move during a run.
        const int keep = s.SelectedFile;
        selectRow(keep);
        return;
    }
    if (s.Previewing) {
        if (s.PreviewFile >= 0 && s.PreviewFile <= count - 1) {
            const int keep = s.SelectedFile;
            selectRow(s.PreviewFile);
            s.SelectedFile = keep;
        }
        return;
    }
    if (selectedRow() < 0)
        selectRow(s.SelectedFile);
    s.SelectedFile = selectedRow();
    if (s.SelectedFile < 0 || size_t(s.SelectedFile) >= s.FileList.size())
        return;

    SetSliderRange();
    PlanBySplitMode();
    setLabel(s.nm, s.FileList[size_t(s.SelectedFile)].Path);
    s.setInstructionsVisible(false);
}

void JobList::PlanBySplitMode() {
    switch (s.settings.SplitMode) {
    case Time:
        PlanTime();
        break;
    case Count:
        PlanCount();
        break;
    case Unification:
        PlanUnification();
        break;
    default:
        PlanCustom();
        break;
    }
}

namespace {

void appendSpanRow(QStandardItemModel& model, std::int32_t begin, std::int32_t end,
                   const QString& status) {
    model.appendRow(QList<QStandardItem*>{makeItem(spanCaption(begin, end)),
                                          makeItem(spanLength(begin, end)), makeItem(status)});
}

} // namespace

// The start every planner shares; false when there is no file to plan.
static bool beginPlanning(JobList& list, MainState& s) {
    const int row = list.selectedRow();
    if (row < 0 || size_t(row) >= s.FileList.size() || s.lv.rowCount() == 0)
        return false;
    s.lv_time.removeRows(0, s.lv_time.rowCount());
    s.PositionText = FormatTime(list.TimeAtSlider());
    setLabel(s.timecaption, s.PositionText);
    return true;
}

static void planStored(QStandardItemModel& model, const listrecord& r) {
    const int count = usableSpanCount(r);
    for (int j = 0; j < count; ++j)
        appendSpanRow(model, r.BeginTimes[size_t(j)], r.EndTimes[size_t(j)],
                      j == count - 1 ? StatusUncertain : StatusOKPlanned);
}

void JobList::PlanCustom() {
    if (!beginPlanning(*this, s))
        return;
    planStored(s.lv_time, s.FileList[size_t(selectedRow())]);
}

void JobList::PlanUnification() {
    if (!beginPlanning(*this, s) || s.FileList.empty())
        return;
    planStored(s.lv_time, s.FileList[0]);
}

void JobList::PlanTime() {
    if (!beginPlanning(*this, s))
        return;
    const std::int64_t n = effectiveSplitSeconds();
    const std::int64_t seconds =
        std::max<std::int32_t>(0, s.FileList[size_t(selectedRow())].Seconds);
    for (std::int64_t k = 0; k <= seconds / n; ++k)
        appendSpanRow(s.lv_time, toInt32(k * n), toInt32(std::min((k + 1) * n, seconds)),
                      StatusUnconvert);
}

void JobList::PlanCount() {
    if (!beginPlanning(*this, s))
        return;
    const std::int64_t c = effectiveSplitCount();
    const std::int64_t seconds =
        std::max<std::int32_t>(0, s.FileList[size_t(selectedRow())].Seconds);
    const std::int64_t piece = seconds / c;
    for (std::int64_t k = 0; k < c; ++k)
        appendSpanRow(s.lv_time, toInt32(k * piece), toInt32(std::min((k + 1) * piece, seconds)),
                      StatusUnconvert);
}

std::int64_t JobList::TotalSeconds() const {
    const size_t files = std::min(size_t(s.lv.rowCount()), s.FileList.size());
    std::int64_t total = 0;
    switch (s.settings.SplitMode) {
    case Time:
    case Count:
        for (size_t i = 0; i < files; ++i)
            total += std::max<std::int32_t>(0, s.FileList[i].Seconds);
        break;
    case Unification: {
        if (files == 0)
            break;
        const listrecord& first = s.FileList[0];
        const int stored = usableSpanCount(first);
        // With confirmed spans the open one does not count.
        const int counted = stored > 1 ? stored - 1 : stored;
        for (size_t i = 0; i < files; ++i) {
            const std::int64_t len = s.FileList[i].Seconds;
            for (int j = 0; j < counted; ++j) {
                const std::int64_t begin = first.BeginTimes[size_t(j)];
                if (len >= begin)
                    total +=
                        spanSeconds(begin, std::min<std::int64_t>(first.EndTimes[size_t(j)], len));
            }
        }
        break;
    }
    default:
        for (size_t i = 0; i < files; ++i) {
            const listrecord& r = s.FileList[i];
            const int stored = usableSpanCount(r);
            const int counted = stored > 1 ? stored - 1 : stored;
            for (int j = 0; j < counted; ++j)
                total += spanSeconds(r.BeginTimes[size_t(j)], r.EndTimes[size_t(j)]);
        }
        break;
    }
    return total;
}

void JobList::RefreshTotal() {
    setLabel(s.tataltime, FormatTime(toInt32(TotalSeconds())));
}

void JobList::SelectSpan() {
    const int count = s.lv_time.rowCount();
    if (count == 0)
        return;
    if (s.SelectedSpan > count - 1)
        s.SelectedSpan = count - 1;
    if (s.SelectedSpan < 0)
        s.SelectedSpan = 0;
    if (selectedSpanRow() < 0)
        s.lvTimeSelection.setCurrentIndex(s.lv_time.index(s.SelectedSpan, 0),
                                          QItemSelectionModel::ClearAndSelect |
                                              QItemSelectionModel::Rows);
    s.SelectedSpan = selectedSpanRow();
    s.SpanListActive = true;
}

namespace {
enum class Bound { Begin, End };
}

// The record whose spans the hand commands edit, or null; also makes sure the
// rows of lv_time are that record's rows (a mode switch may have left others).
static listrecord* editedRecord(JobList& list, MainState& s) {
    const int row = list.selectedRow();
    if (row < 0 || size_t(row) >= s.FileList.size())
        return nullptr;
    listrecord* r = s.settings.SplitMode == Unification ? &s.FileList[0] : &s.FileList[size_t(row)];
    if (usableSpanCount(*r) < 1)
        return nullptr;
    if (s.lv_time.rowCount() != usableSpanCount(*r))
        list.PlanBySplitMode();
    if (s.lv_time.rowCount() != usableSpanCount(*r))
        return nullptr;
    return r;
}

static void markBound(JobList& list, MainState& s, Bound bound) {
    if (s.Adding || s.Converting || list.selectedRow() < 0)
        return;
    if (s.settings.SplitMode == Time || s.settings.SplitMode == Count) {
        if (s.prompt)
            s.prompt->information(modeRefusedText());
        return;
    }
    if (s.pb)
        s.SliderPosition = s.pb->GetSliderPosition();
    listrecord* r = editedRecord(list, s);
    if (!r)
        return;
    const int last = s.lv_time.rowCount() - 1;
    const std::int32_t t = list.TimeAtSlider();
    if (bound == Bound::Begin)
        r->BeginTimes[size_t(last)] = t;
    else
        r->EndTimes[size_t(last)] = t;
    const std::int32_t begin = r->BeginTimes[size_t(last)];
    const std::int32_t end = r->EndTimes[size_t(last)];
    s.lv_time.setData(s.lv_time.index(last, 0), spanCaption(begin, end));
    s.lv_time.setData(s.lv_time.index(last, 1), spanLength(begin, end));
    list.RefreshTotal();
}

void JobList::MarkBegin() {
    markBound(*this, s, Bound::Begin);
}

void JobList::MarkEnd() {
    markBound(*this, s, Bound::End);
}

void JobList::ConfirmSpan() {
    if (s.Adding || s.Converting || selectedRow() < 0)
        return;
    if (s.settings.SplitMode == Time || s.settings.SplitMode == Count) {
        if (s.prompt)
            s.prompt->information(modeRefusedText());
        return;
    }
    listrecord* r = editedRecord(*this, s);
    if (!r)
        return;
    const int last = s.lv_time.rowCount() - 1;
    if (std::int64_t(r->EndTimes[size_t(last)]) - r->BeginTimes[size_t(last)] < 0) {
        if (s.prompt)
            s.prompt->information(QStringLiteral("Start-time must not be larger than end-time."));
        return;
    }
    setSpanStatus(last, StatusOkConfirmed);
    appendSpanRow(s.lv_time, 0, r->Seconds, StatusUncertain);
    const int count = s.lv_time.rowCount();
    r->BeginTimes.resize(size_t(count));
    r->EndTimes.resize(size_t(count));
    r->BeginTimes[size_t(count - 1)] = 0;
    r->EndTimes[size_t(count - 1)] = r->Seconds;
    r->SpanCount = count;
    RefreshTotal();
}

void JobList::RemoveSpan() {
    if (s.Adding || s.Converting)
        return;
    if (s.settings.SplitMode != Custom && s.settings.SplitMode != Unification)
        return;
    if (selectedRow() < 0 || selectedSpanRow() < 0)
        return;
    const int i = selectedSpanRow();
    const int n = s.lv_time.rowCount();
    // The open span is always the last row, also while its status reads
    // "Playing" during a preview.
    if (spanStatus(i) == StatusUncertain || i == n - 1) {
        if (s.prompt)
            s.prompt->information(QStringLiteral(
                "This item, the procedure will automatically process. Need not delete."));
        return;
    }
    listrecord* r = editedRecord(*this, s);
    if (!r || s.lv_time.rowCount() != n)
        return;
    for (int j = i; j <= n - 2; ++j) {
        r->BeginTimes[size_t(j)] = r->BeginTimes[size_t(j + 1)];
        r->EndTimes[size_t(j)] = r->EndTimes[size_t(j + 1)];
    }
    s.lv_time.removeRow(i);
    const int count = s.lv_time.rowCount();
    if (s.SelectedSpan > count - 1)
        s.SelectedSpan = count - 1;
    if (s.SelectedSpan < 0)
        s.SelectedSpan = 0;
    s.lvTimeSelection.setCurrentIndex(s.lv_time.index(s.SelectedSpan, 0),
                                      QItemSelectionModel::ClearAndSelect |
                                          QItemSelectionModel::Rows);
    r->BeginTimes.resize(size_t(count));
    r->EndTimes.resize(size_t(count));
    r->SpanCount = count;
    RefreshTotal();
}

void JobList::ResetSpans() {
    if (s.Adding || s.Converting)
        return;
    const int row = selectedRow();
    if (row < 0 || size_t(row) >= s.FileList.size())
        return;
    s.lv_time.removeRows(0, s.lv_time.rowCount());
    listrecord& r = s.FileList[size_t(row)];
    r.SpanCount = 1;
    if (r.BeginTimes.empty())
        r.BeginTimes.resize(1);
    if (r.EndTimes.empty())
        r.EndTimes.resize(1);
    r.BeginTimes[0] = 0;
    r.EndTimes[0] = r.Seconds;
    SelectFile();
    RefreshTotal();
}
