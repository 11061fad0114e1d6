#include "ui/WaveformWindow.h"

#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "ui/WaveformView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

WaveformWindow::WaveformWindow(SessionState& state, JobList& jobs, Preview* preview,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), m_jobs(jobs) {
    setObjectName(QStringLiteral("fm_waveform"));
    m_view = new WaveformView(state, jobs, preview, this);
    m_view->setObjectName(QStringLiteral("waveform"));
    m_scroll = new QScrollBar(Qt::Horizontal, this);
    m_channels = new QComboBox(this);
    m_channels->setObjectName(QStringLiteral("cb_channels"));
    m_channels->addItem(tr("Each channel"));
    m_channels->addItem(tr("Mix"));
    m_snap = new QCheckBox(tr("snap to zero crossings"), this);
    m_snap->setObjectName(QStringLiteral("ck_snap"));

    auto* bar = new QHBoxLayout;
    auto* channelsLabel = new QLabel(tr("Channels:"), this);
    channelsLabel->setBuddy(m_channels);
    bar->addWidget(channelsLabel);
    bar->addWidget(m_channels);
    bar->addSpacing(12);
    bar->addWidget(m_snap);
    bar->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_scroll);

    connect(m_channels, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_view->setMixed(index == 1); });
    connect(m_snap, &QCheckBox::toggled, m_view, &WaveformView::setSnapping);
    connect(m_view, &WaveformView::viewChanged, this, &WaveformWindow::followView);
    connect(m_scroll, &QScrollBar::valueChanged, this, [this](int value) {
        m_view->setView(std::int64_t(value) * m_scrollUnit, m_view->visibleFrames());
    });
    resize(900, 320);
}

void WaveformWindow::showFile(const QString& path, const QString& caption) {
    setWindowTitle(tr("Waveform – ") + caption);
    m_view->setFile(path);
    m_scrollUnit =
        std::max<std::int64_t>(1, m_view->frames() / std::numeric_limits<int>::max() + 1);
    // What the sound suggested stays marked while the spans are edited.
    std::vector<std::int64_t> markers;
    const int row = m_view->row();
    if (m_jobs.plansBySound()) {
        for (int i = 0; i < m_jobs.confirmedSpanCount(row); ++i) {
            std::int64_t b = 0, e = 0;
            if (m_jobs.spanFrames(row, i, b, e))
                markers.insert(markers.end(), {b, e});
        }
    }
    m_view->setMarkers(std::move(markers));
    followView();
}

void WaveformWindow::followView() {
    const QSignalBlocker quiet(m_scroll);
    const std::int64_t hidden = m_view->frames() - m_view->visibleFrames();
    m_scroll->setRange(0, int(std::max<std::int64_t>(0, hidden) / m_scrollUnit));
    m_scroll->setPageStep(int(std::max<std::int64_t>(1, m_view->visibleFrames() / m_scrollUnit)));
    m_scroll->setSingleStep(std::max(1, m_scroll->pageStep() / 10));
    m_scroll->setValue(int(m_view->firstFrame() / m_scrollUnit));
}
