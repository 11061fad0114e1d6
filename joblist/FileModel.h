// The source rows of the job list as a two-column model ("File name", "Time"):
// the one copy of every row, its spans and its tags.
#pragma once

#include "joblist/JobRecords.h"
#include "joblist/RowTableModel.h"

class FileModel : public RowTableModel<FileRow> {
    Q_OBJECT
  public:
    explicit FileModel(QObject* parent = nullptr);

    const FileRow& row(int row) const { return m_rows[size_t(row)]; }
    // For edits of the spans and tags; changes of caption or length go
    // through setCaption and updateRow so that the views follow.
    FileRow& row(int row) { return m_rows[size_t(row)]; }
    const std::vector<FileRow>& rows() const { return m_rows; }

    void append(const FileRow& row) { appendRow(row); }
    // Moves row `from` to `to` (neighbours or not).
    void move(int from, int to);
    void setCaption(int row, const QString& caption);
    void updateRow(int row);

  protected:
    QVariant cell(const FileRow& row, int column) const override;
    QString header(int section) const override;
};
