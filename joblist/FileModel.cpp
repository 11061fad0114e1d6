#include "joblist/FileModel.h"

#include "joblist/TimeText.h"

#include <algorithm>

int FileRow::usableSpanCount() const {
    return std::clamp<int>(spanCount, 0, int(spans.size()));
}

FileModel::FileModel(QObject* parent) : QAbstractTableModel(parent) {}

int FileModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int FileModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant FileModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !contains(index.row()))
        return {};
    const FileRow& r = m_rows[size_t(index.row())];
    return index.column() == 0 ? r.caption : formatTime(r.seconds);
}

QVariant FileModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return {};
    return section == 0 ? QStringLiteral("File name") : QStringLiteral("Time");
}

Qt::ItemFlags FileModel::flags(const QModelIndex& index) const {
    // Read-only: a row changes only through the job list's commands.
    return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void FileModel::append(const FileRow& row) {
    const int at = int(m_rows.size());
    beginInsertRows({}, at, at);
    m_rows.push_back(row);
    endInsertRows();
}

void FileModel::remove(int row) {
    if (!contains(row))
        return;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
}

void FileModel::move(int from, int to) {
    if (!contains(from) || !contains(to) || from == to)
        return;
    // Qt counts the destination before the move: one past `to` when moving down.
    beginMoveRows({}, from, from, {}, to > from ? to + 1 : to);
    FileRow moved = std::move(m_rows[size_t(from)]);
    m_rows.erase(m_rows.begin() + from);
    m_rows.insert(m_rows.begin() + to, std::move(moved));
    endMoveRows();
}

void FileModel::clear() {
    if (m_rows.empty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void FileModel::setCaption(int row, const QString& caption) {
    if (!contains(row))
        return;
    m_rows[size_t(row)].caption = caption;
    emit dataChanged(index(row, 0), index(row, 0));
}

void FileModel::updateRow(int row) {
    if (contains(row))
        emit dataChanged(index(row, 0), index(row, 1));
}
