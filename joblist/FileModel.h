// The source rows of the job list as a two-column model ("File name", "Time"):
// the one copy of every row, its spans and its tags.
#pragma once

#include "joblist/JobRecords.h"

#include <QAbstractTableModel>
#include <vector>

class FileModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit FileModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    bool contains(int row) const { return row >= 0 && row < int(m_rows.size()); }
    const FileRow& row(int row) const { return m_rows[size_t(row)]; }
    // For edits of the spans and tags; changes of caption or length go
    // through setCaption and updateRow so that the views follow.
    FileRow& row(int row) { return m_rows[size_t(row)]; }
    const std::vector<FileRow>& rows() const { return m_rows; }

    void append(const FileRow& row);
    void remove(int row);
    // Moves row `from` to `to` (neighbours or not).
    void move(int from, int to);
    void clear();
    void setCaption(int row, const QString& caption);
    void updateRow(int row);

  private:
    std::vector<FileRow> m_rows;
};
