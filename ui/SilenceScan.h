// The window's silence scan: the listed files scanned one after the other
// under a progress dialog whose "Stop" ends the scan, their cuts made
// Custom spans. What could not be read is told.
#pragma once

#include <QObject>

class JobList;
class SessionState;
class QWidget;

class SilenceScan : public QObject {
    Q_OBJECT
  public:
    SilenceScan(JobList& jobs, SessionState& state, QWidget* parent);

  public slots:
    void run();

  private:
    JobList& jobs;
    SessionState& s;
    QWidget* m_parent;
};
