#include "joblist/SpanModel.h"

#include "joblist/TimeText.h"

#include <QCoreApplication>
#include <algorithm>

namespace {

// A bound cut at a frame that is not a whole second of the file.
bool betweenSeconds(std::int64_t frame, int rate) {
    return frame >= 0 && rate > 0 && frame % rate != 0;
}

std::int64_t boundMs(std::int32_t seconds, std::int64_t frame, int rate) {
    return frame >= 0 && rate > 0 ? (frame * 1000 + rate / 2) / rate : std::int64_t(seconds) * 1000;
}

} // namespace

SpanModel::SpanModel(QObject* parent) : RowTableModel(3, parent) {}

QVariant SpanModel::cell(const SpanRow& row, int column) const {
    const Span& span = row.span;
    if (column < 2 &&
        (betweenSeconds(span.beginFrame, m_rate) || betweenSeconds(span.endFrame, m_rate))) {
        const std::int64_t begin = boundMs(span.begin, span.beginFrame, m_rate);
        const std::int64_t end = boundMs(span.end, span.endFrame, m_rate);
        if (column == 0)
            return formatTimeMs(begin) + QStringLiteral(" - ") + formatTimeMs(end);
        return formatTimeMs(std::max<std::int64_t>(0, end - begin));
    }
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

QVariant SpanModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::ToolTipRole && index.column() < 2)
        return RowTableModel::data(index, Qt::DisplayRole);
    return RowTableModel::data(index, role);
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
