#include "joblist/SpanModel.h"

#include "joblist/TimeText.h"

SpanModel::SpanModel(QObject* parent) : QAbstractTableModel(parent) {}

int SpanModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int SpanModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant SpanModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !contains(index.row()))
        return {};
    const SpanRow& r = m_rows[size_t(index.row())];
    switch (index.column()) {
    case 0:
        return formatTime(r.span.begin) + QStringLiteral(" - ") + formatTime(r.span.end);
    case 1:
        // A span marked in the wrong order shows an empty length until it is corrected.
        return formatTime(
            std::int32_t(std::max<std::int64_t>(0, std::int64_t(r.span.end) - r.span.begin)));
    default:
        return r.status;
    }
}

QVariant SpanModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    switch (section) {
    case 0:
        return QStringLiteral("Begin Time - End");
    case 1:
        return QStringLiteral("Length");
    default:
        return QStringLiteral("Status");
    }
}

Qt::ItemFlags SpanModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void SpanModel::append(const Span& span, const QString& status) {
    const int at = int(m_rows.size());
    beginInsertRows({}, at, at);
    m_rows.push_back({span, status});
    endInsertRows();
}

void SpanModel::setSpan(int row, const Span& span) {
    if (!contains(row))
        return;
    m_rows[size_t(row)].span = span;
    emit dataChanged(index(row, 0), index(row, 1));
}

void SpanModel::setStatus(int row, const QString& status) {
    if (!contains(row))
        return;
    m_rows[size_t(row)].status = status;
    emit dataChanged(index(row, 2), index(row, 2));
}

void SpanModel::remove(int row) {
    if (!contains(row))
        return;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

void SpanModel::clear() {
    if (m_rows.empty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}
