// What the job list's units share: the span rows' statuses, the refusals
// they show and the selection helpers. Only joblist/ sources include it.
#pragma once

#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <limits>

namespace JobListTexts {

// The statuses are keys that the planning compares; the span list shows
// them translated (context "SpanStatus").
inline const QString StatusUncertain = QStringLiteral("Uncertain");
inline const QString StatusOKPlanned = QStringLiteral("OK");
inline const QString StatusOkConfirmed = QStringLiteral("Ok");
inline const QString StatusUnconvert = QStringLiteral("Unconvert");
inline constexpr const char* ShownPlanStatuses[] = {
    QT_TRANSLATE_NOOP("SpanStatus", "Uncertain"), QT_TRANSLATE_NOOP("SpanStatus", "OK"),
    QT_TRANSLATE_NOOP("SpanStatus", "Ok"), QT_TRANSLATE_NOOP("SpanStatus", "Unconvert")};

inline QString modeRefusedText() {
    return QCoreApplication::translate(
        "JobList", "Only chose \"Custom\" or \"unification\" function, this button is usable.");
}

inline QString reversedSpanText() {
    return QCoreApplication::translate("JobList", "Start-time must not be larger than end-time.");
}

inline QString openSpanText() {
    return QCoreApplication::translate(
        "JobList", "This item, the procedure will automatically process. Need not delete.");
}

inline std::int32_t toInt32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// The topmost selected row, -1 when none is selected.
inline int firstSelectedRow(const QItemSelectionModel& selection) {
    const QModelIndexList rows = selection.selectedRows(0);
    if (rows.isEmpty())
        return -1;
    int row = rows.first().row();
    for (const QModelIndex& index : rows)
        row = std::min(row, index.row());
    return row;
}

inline void selectOnly(QItemSelectionModel& selection, const QModelIndex& index) {
    selection.setCurrentIndex(index,
                              QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

} // namespace JobListTexts
