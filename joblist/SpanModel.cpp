#include "joblist/SpanModel.h"

#include "joblist/TimeText.h"

#include <QCoreApplication>
#include <algorithm>

SpanModel::SpanModel(QObject* parent) : RowTableModel(3, parent) {}

QVariant SpanModel::cell(const SpanRow& row, int column) const {
    switch (column) {
    case 0:
        return formatTime(row.span.begin) + QStringLiteral(" - ") + formatTime(row.span.end);
    case 1:
        // A span marked in the wrong order shows an empty length until it is corrected.
        return formatTime(
            std::int32_t(std::max<std::int64_t>(0, std::int64_t(row.span.end) - row.span.begin)));
    default:
        // The status is kept as the runs and planning compare it; only what
        // is shown is in the window's language.
        return QCoreApplication::translate("SpanStatus", row.status.toUtf8().constData());
    }
}

QString SpanModel::header(int section) const {
    switch (section) {
    case 0:
        return QCoreApplication::translate("JobList", "Begin Time - End");
    case 1:
        return QCoreApplication::translate("JobList", "Length");
    default:
        return QCoreApplication::translate("JobList", "Status");
    }
}

void SpanModel::setSpan(int row, const Span& span) {
    if (!contains(row))
        return;
    m_rows[size_t(row)].span = span;
    cellsChanged(row, 0, 1);
}

void SpanModel::setStatus(int row, const QString& status) {
    if (!contains(row))
        return;
    m_rows[size_t(row)].status = status;
    cellsChanged(row, 2, 2);
}
