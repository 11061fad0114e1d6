#include "ui/SilenceScan.h"

#include "core/SessionState.h"
#include "joblist/JobList.h"

#include <QProgressDialog>

SilenceScan::SilenceScan(JobList& jobs, SessionState& state, QWidget* parent)
    : jobs(jobs), s(state), m_parent(parent) {}

void SilenceScan::run() {
    if (jobs.rowCount() == 0 || s.adding || s.converting)
        return;
    QProgressDialog progress(QStringLiteral("Looking for the pauses..."), QStringLiteral("Stop"), 0,
                             10000, m_parent);
    progress.setObjectName(QStringLiteral("dlg_silencescan"));
    progress.setWindowTitle(QStringLiteral("Cadelo"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    connect(&progress, &QProgressDialog::canceled, &jobs, [this] { jobs.stopScanning(); });
    const int rows = jobs.rowCount();
    const QList<JobList::Refusal> refused = jobs.planBySound([&](int row, int done) {
        progress.setLabelText(jobs.caption(row));
        progress.setValue(int((std::int64_t(row) * 10000 + done) / rows));
    });
    progress.reset();
    for (const JobList::Refusal& refusal : refused)
        s.inform(refusal.message);
    // The selected file shows its new spans.
    jobs.selectFile();
    jobs.refreshTotal();
}
