// What the job list's table models share: a vector of rows shown read-only,
// one row a line. A model names its columns and says what each cell shows;
// its rows change only through the job list's commands.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

template <typename Row> class RowTableModel : public QAbstractTableModel {
  public:
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(m_rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : m_columns;
    }
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override {
        if (role != Qt::DisplayRole || !contains(index.row()))
            return {};
        return cell(m_rows[size_t(index.row())], index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override {
        if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
            return {};
        return header(section);
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
    }

    bool contains(int row) const { return row >= 0 && row < int(m_rows.size()); }

    void remove(int row) {
        if (!contains(row))
            return;
        beginRemoveRows({}, row, row);
        m_rows.erase(m_rows.begin() + row);
        endRemoveRows();
    }
    void clear() {
        if (m_rows.empty())
            return;
        beginResetModel();
        m_rows.clear();
        endResetModel();
    }

  protected:
    RowTableModel(int columns, QObject* parent) : QAbstractTableModel(parent), m_columns(columns) {}

    virtual QVariant cell(const Row& row, int column) const = 0;
    virtual QString header(int section) const = 0;

    void appendRow(Row row) {
        const int at = int(m_rows.size());
        beginInsertRows({}, at, at);
        m_rows.push_back(std::move(row));
        endInsertRows();
    }
    // Tells the views that the cells of `row` from `first` to `last` changed.
    void cellsChanged(int row, int first, int last) {
        emit dataChanged(index(row, first), index(row, last));
    }

    std::vector<Row> m_rows;

  private:
    int m_columns;
};
