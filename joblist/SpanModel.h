// The span rows the job list shows for the current file, as a three-column
// model ("Begin Time - End", "Length", "Status"). A span cut between whole
// seconds shows its times with milliseconds.
#pragma once

#include "joblist/JobRecords.h"
#include "joblist/RowTableModel.h"

struct SpanRow {
    Span span;
    QString status;
};

class SpanModel : public RowTableModel<SpanRow> {
    Q_OBJECT
  public:
    explicit SpanModel(QObject* parent = nullptr);

    Span span(int row) const { return m_rows[size_t(row)].span; }
    QString status(int row) const { return contains(row) ? m_rows[size_t(row)].status : QString(); }

    void append(const Span& span, const QString& status) { appendRow({span, status}); }
    void setSpan(int row, const Span& span);
    void setStatus(int row, const QString& status);
    // The frames a second of the file whose spans are shown: what the
    // spans' frames are counted in.
    void setRate(int rate) { m_rate = rate; }
    int rate() const { return m_rate; }

    // The times in full as a tooltip: the list's columns are narrow for
    // milliseconds.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  protected:
    QVariant cell(const SpanRow& row, int column) const override;
    QString header(int section) const override;

  private:
    int m_rate = 0;
};
