// What the job list's units share: the span rows' statuses, the refusals
// they show and the selection helpers. Only joblist/ sources include it.
#pragma once

#include <QItemSelectionModel>
#include <QString>
#include <algorithm>
#include <cstdint>
#include <limits>

namespace JobListTexts {

inline const QString StatusUncertain = QStringLiteral("Uncertain");
inline const QString StatusOKPlanned = QStringLiteral("OK");
inline const QString StatusOkConfirmed = QStringLiteral("Ok");
inline const QString StatusUnconvert = QStringLiteral("Unconvert");

inline QString modeRefusedText() {
    return QStringLiteral(
        "Only chose \"Custom\" or \"unification\" function, this button is usable.");
}

inline QString reversedSpanText() {
    return QStringLiteral("Start-time must not be larger than end-time.");
}

inline QString openSpanText() {
    return QStringLiteral("This item, the procedure will automatically process. Need not delete.");
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
