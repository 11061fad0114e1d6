#include "ui/SilenceScan.h"

#include "core/SessionState.h"
#include "joblist/JobList.h"

#include <QProgressDialog>

SilenceScan::SilenceScan(JobList& jobs, SessionState& state, QWidget* parent)
    : jobs(jobs), s(state), m_parent(parent) {}

void SilenceScan::run() {
    if (jobs.rowCount() == 0 || s.adding || s.converting)
        return;
    for (const JobList::Refusal& refusal : scan({}))
        s.inform(refusal.message);
    // The selected file shows its new spans.
    jobs.selectFile();
    jobs.refreshTotal();
}

QList<JobList::Refusal> SilenceScan::scan(const std::function<bool(int row)>& rows) {
    QProgressDialog progress(tr("Looking for the pauses..."), tr("Stop"), 0, 10000, m_parent);
    progress.setObjectName(QStringLiteral("dlg_silencescan"));
    progress.setWindowTitle(QStringLiteral("Cadelo"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(300);
    connect(&progress, &QProgressDialog::canceled, &jobs, [this] { jobs.stopScanning(); });
    const int count = jobs.rowCount();
    const QList<JobList::Refusal> refused = jobs.planBySound(
        [&](int row, int done) {
            progress.setLabelText(jobs.caption(row));
            progress.setValue(int((std::int64_t(row) * 10000 + done) / count));
        },
        rows);
    progress.reset();
    return refused;
}
