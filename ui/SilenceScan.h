// The window's silence scan: the listed files scanned one after the other
// under a progress dialog whose "Stop" ends the scan, their cuts made
// Custom spans. What could not be read is told.
#pragma once

#include "joblist/JobList.h"

#include <QObject>
#include <functional>

class SessionState;
class QWidget;

class SilenceScan : public QObject {
    Q_OBJECT
  public:
    SilenceScan(JobList& jobs, SessionState& state, QWidget* parent);

    // The rows `rows` accepts (empty: all) scanned under the dialog, as the
    // split's scan asks; what could not be read comes back untold.
    QList<JobList::Refusal> scan(const std::function<bool(int row)>& rows);

  public slots:
    void run();

  private:
    JobList& jobs;
    SessionState& s;
    QWidget* m_parent;
};
