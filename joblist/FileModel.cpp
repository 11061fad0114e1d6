#include "joblist/FileModel.h"

#include "joblist/TimeText.h"

#include <QCoreApplication>
#include <algorithm>

int FileRow::usableSpanCount() const {
    return std::clamp<int>(spanCount, 0, int(spans.size()));
}

FileModel::FileModel(QObject* parent) : RowTableModel(2, parent) {}

QVariant FileModel::cell(const FileRow& row, int column) const {
    return column == 0 ? row.caption : formatTime(row.seconds);
}

QString FileModel::header(int section) const {
    return section == 0 ? QCoreApplication::translate("JobList", "File name")
                        : QCoreApplication::translate("JobList", "Time");
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

void FileModel::setCaption(int row, const QString& caption) {
    if (!contains(row))
        return;
    m_rows[size_t(row)].caption = caption;
    cellsChanged(row, 0, 0);
}

void FileModel::updateRow(int row) {
    if (contains(row))
        cellsChanged(row, 0, 1);
}
