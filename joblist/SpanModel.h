// The span rows the job list shows for the current file, as a three-column
// model ("Begin Time - End", "Length", "Status").
#pragma once

#include "joblist/JobRecords.h"

#include <QAbstractTableModel>
#include <vector>

class SpanModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit SpanModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    bool contains(int row) const { return row >= 0 && row < int(m_rows.size()); }
    Span span(int row) const { return m_rows[size_t(row)].span; }
    QString status(int row) const { return contains(row) ? m_rows[size_t(row)].status : QString(); }

    void append(const Span& span, const QString& status);
    void setSpan(int row, const Span& span);
    void setStatus(int row, const QString& status);
    void remove(int row);
    void clear();

  private:
    struct SpanRow {
        Span span;
        QString status;
    };
    std::vector<SpanRow> m_rows;
};
