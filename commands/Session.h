// One program's domain objects: the shared state, the job list, the runs, the
// preview and the command table, built and wired together in one place. The
// window and cadelo-cli each build one and talk to it; what only a window can
// do (menus, dialogs, closing) the window adds as the command table's window hooks.
#pragma once

#include "commands/CommandTable.h"
#include "convert/Conversion.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "preview/Preview.h"

#include <QObject>

class SkinObject;

class Session : public QObject {
    Q_OBJECT
  public:
    explicit Session(QObject* parent = nullptr);
    ~Session() override;

    SessionState& state() { return m_state; }
    const SessionState& state() const { return m_state; }
    JobList& jobs() { return m_jobs; }
    Conversion& conversion() { return m_conversion; }
    Preview& preview() { return m_preview; }
    CommandTable& commands() { return m_commands; }

    // The skin's slider ("pb") that Begin and End take and the preview moves;
    // null (also before the skin that held it goes): the job list's own position.
    void setSlider(SkinObject* slider);

    // Before the program ends: a preview ends without a question and a run is
    // stopped at its next test of the run flag.
    void stopAll();

  signals:
    // A run's progress, 0 to Conversion::ProgressScale, after each block.
    void runProgress(int value);
    // A run took up source row `file` (selected in the job list).
    void runSourceStarted(int file);
    // A run stopped, finished or failed.
    void runEnded();

  private:
    SessionState m_state;
    JobList m_jobs{m_state};
    Conversion m_conversion{m_state, m_jobs};
    Preview m_preview{m_state, m_jobs};
    CommandTable m_commands{m_state, m_jobs};
};
