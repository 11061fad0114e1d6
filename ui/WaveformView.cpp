#include "ui/WaveformView.h"

#include "audio/SampleBlock.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "joblist/TimeText.h"
#include "preview/Preview.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// How near an edge a press takes hold of it, and how far a press must move
// to become a drag.
constexpr int EdgeReach = 4;
constexpr int DragStart = 3;

const QColor Background(0xf8, 0xfa, 0xfc);
const QColor PeakColor(0x60, 0x8b, 0xd6);
const QColor RmsColor(0x1e, 0x40, 0x8a);
const QColor SpanFill(0x22, 0xc5, 0x5e, 48);
const QColor SelectedFill(0xf5, 0x9e, 0x0b, 72);
const QColor SpanEdge(0x15, 0x80, 0x3d);
const QColor PlayColor(0xdc, 0x26, 0x26);
const QColor MarkerColor(0x7c, 0x3a, 0xed);

bool handModes(const SessionState& s) {
    return s.settings.splitMode == SplitMode::Custom ||
           s.settings.splitMode == SplitMode::Unification;
}

} // namespace

WaveformView::WaveformView(SessionState& state, JobList& jobs, Preview* preview, QWidget* parent)
    : QWidget(parent), s(state), m_jobs(jobs), m_preview(preview) {
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setMinimumSize(200, 120);
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&m_loader, &PeakLoader::opened, this, [this] { update(); });
    connect(&m_loader, &PeakLoader::progressed, this, [this] { update(); });
    connect(&m_loader, &PeakLoader::finished, this, [this] { update(); });
    connect(&m_loader, &PeakLoader::failed, this, [this](const QString& message) {
        m_failure = message;
        update();
    });
    // Spans edited elsewhere (Begin, End, Ok, a plan) show at once.
    SpanModel* spans = &m_jobs.spanModel();
    const auto repaint = [this] { update(); };
    connect(spans, &QAbstractItemModel::dataChanged, this, repaint);
    connect(spans, &QAbstractItemModel::rowsInserted, this, repaint);
    connect(spans, &QAbstractItemModel::rowsRemoved, this, repaint);
    connect(spans, &QAbstractItemModel::modelReset, this, repaint);
    connect(&m_jobs, &JobList::totalTextChanged, this, repaint);
    if (m_preview)
        connect(m_preview, &Preview::playedFrameChanged, this, [this](std::int64_t frame) {
            m_played = frame >= 0 && m_jobs.playedRow() == row() ? frame : -1;
            update();
        });
}

WaveformView::~WaveformView() = default;

void WaveformView::setFile(const QString& path) {
    m_path = path;
    m_failure.clear();
    m_selected = -1;
    m_edge = {};
    m_drag = Drag::None;
    m_playPosition = 0;
    m_markers.clear();
    if (m_snapReader.isOpen())
        m_snapReader.close();
    m_loader.open(path);
    setView(0, frames());
}

int WaveformView::row() const {
    for (int i = 0; i < m_jobs.rowCount(); ++i)
        if (m_jobs.file(i).path == m_path)
            return i;
    return -1;
}

std::int64_t WaveformView::frames() const {
    const int r = row();
    return r >= 0 ? std::max<std::int64_t>(0, m_jobs.file(r).samples) : 0;
}

int WaveformView::rate() const {
    const int r = row();
    return r >= 0 ? std::max(1, m_jobs.file(r).rate) : 1;
}

// --- the frames shown ------------------------------------------------------------------

void WaveformView::setView(std::int64_t first, std::int64_t visible) {
    const std::int64_t total = std::max<std::int64_t>(1, frames());
    visible = std::clamp<std::int64_t>(visible, std::min(MinVisibleFrames, total), total);
    first = std::clamp<std::int64_t>(first, 0, total - visible);
    if (first == m_first && visible == m_visible)
        return;
    m_first = first;
    m_visible = visible;
    update();
    emit viewChanged();
}

void WaveformView::zoom(double factor, int x) {
    const int w = std::max(1, width());
    // The frame under the pointer stays under it.
    const double anchor = double(m_first) + double(x) * double(m_visible) / w;
    const auto visible = std::int64_t(std::llround(double(m_visible) * factor));
    const std::int64_t total = std::max<std::int64_t>(1, frames());
    const std::int64_t clamped =
        std::clamp<std::int64_t>(visible, std::min(MinVisibleFrames, total), total);
    setView(std::int64_t(std::llround(anchor - double(x) * double(clamped) / w)), clamped);
}

std::int64_t WaveformView::frameAt(int x) const {
    const int w = std::max(1, width());
    x = std::clamp(x, 0, w);
    // Column k covers frames first + floor(k * visible / width) on; the
    // right border stands for the end of the frames shown.
    return m_first + std::int64_t(x) * m_visible / w;
}

int WaveformView::xOf(std::int64_t frame) const {
    const int w = std::max(1, width());
    if (m_visible <= 0)
        return 0;
    // The first column whose frames reach `frame`.
    const std::int64_t num = (frame - m_first) * w;
    const std::int64_t x = num >= 0 ? (num + m_visible - 1) / m_visible : num / m_visible;
    return int(std::clamp<std::int64_t>(x, -1, w + 1));
}

void WaveformView::setMixed(bool mixed) {
    m_mixed = mixed;
    update();
}

void WaveformView::setMarkers(std::vector<std::int64_t> frames) {
    m_markers = std::move(frames);
    update();
}

// --- the spans -----------------------------------------------------------------------

bool WaveformView::editable() const {
    return row() >= 0 && !s.converting && !s.adding;
}

int WaveformView::spanCount() const {
    // Time and Count cut by their own rules: the marked spans play no part.
    return handModes(s) ? m_jobs.confirmedSpanCount(row()) : 0;
}

bool WaveformView::bounds(int span, std::int64_t& begin, std::int64_t& end) const {
    return span >= 0 && span < spanCount() && m_jobs.spanFrames(row(), span, begin, end);
}

WaveformView::Edge WaveformView::edgeAt(int x) const {
    Edge best;
    int nearest = EdgeReach + 1;
    for (int i = 0; i < spanCount(); ++i) {
        std::int64_t b = 0, e = 0;
        if (!bounds(i, b, e))
            continue;
        for (const bool begin : {true, false}) {
            const int d = std::abs(xOf(begin ? b : e) - x);
            // Of two edges as near, the selected span's.
            if (d < nearest || (d == nearest && i == m_selected)) {
                nearest = d;
                best = {i, begin};
            }
        }
    }
    return best;
}

int WaveformView::spanAt(std::int64_t frame) const {
    for (int i = 0; i < spanCount(); ++i) {
        std::int64_t b = 0, e = 0;
        if (bounds(i, b, e) && frame >= b && frame < e)
            return i;
    }
    return -1;
}

std::int64_t WaveformView::zeroCrossingNear(std::int64_t frame) {
    const std::int64_t reach = std::int64_t(rate()) * SnapMs / 1000;
    const std::int64_t from = std::max<std::int64_t>(0, frame - reach);
    const std::int64_t to = std::min(frames(), frame + reach + 1);
    if (to - from < 2 || m_path.isEmpty())
        return frame;
    std::vector<float> mix;
    try {
        if (!m_snapReader.isOpen()) {
            m_snapReader.openRead(m_path);
            m_snapReader.setPcmFormat(0, 0);
        }
        m_snapReader.seek(from);
        while (std::int64_t(mix.size()) < to - from) {
            const SampleBlock block =
                m_snapReader.readSamples(to - from - std::int64_t(mix.size()));
            if (block.frames() <= 0)
                break;
            const int channels = std::max(1, block.channels);
            for (std::int64_t f = 0; f < block.frames(); ++f) {
                float sum = 0;
                for (int c = 0; c < channels; ++c)
                    sum += block.samples[size_t(f * channels + c)];
                mix.push_back(sum);
            }
        }
    } catch (const std::exception&) {
        return frame; // a file that cannot be read here keeps the cut where it is
    }
    // A crossing lies where the sign changes: the frame after the change.
    std::int64_t best = frame;
    std::int64_t distance = reach + 1;
    for (size_t k = 1; k < mix.size(); ++k) {
        const bool crosses = mix[k] == 0.0f || (mix[k - 1] < 0) != (mix[k] < 0);
        const std::int64_t at = from + std::int64_t(k);
        if (crosses && std::abs(at - frame) < distance) {
            distance = std::abs(at - frame);
            best = at;
        }
    }
    return best;
}

std::int64_t WaveformView::snapped(std::int64_t frame) {
    return m_snapping ? zeroCrossingNear(frame) : frame;
}

void WaveformView::moveEdge(std::int64_t frame) {
    std::int64_t b = 0, e = 0;
    if (!editable() || !bounds(m_edge.span, b, e))
        return;
    frame = std::clamp<std::int64_t>(snapped(frame), 0, frames());
    if (m_edge.begin)
        b = std::min(frame, e);
    else
        e = std::max(frame, b);
    m_jobs.setSpanFrames(row(), m_edge.span, b, e);
    update();
}

void WaveformView::addSpanBetween(std::int64_t from, std::int64_t to) {
    if (!editable())
        return;
    const std::int64_t b = snapped(std::min(from, to));
    const std::int64_t e = snapped(std::max(from, to));
    if (e <= b)
        return;
    QString message;
    if (!m_jobs.addSpanFrames(row(), b, e, &message)) {
        refuse(message);
        return;
    }
    m_selected = spanCount() - 1;
    m_edge = {};
    update();
}

void WaveformView::removeSelectedSpan() {
    if (!editable() || m_selected < 0 || m_selected >= spanCount())
        return;
    QString message;
    if (!m_jobs.removeSpan(row(), m_selected, &message)) {
        refuse(message);
        return;
    }
    m_selected = std::min(m_selected, spanCount() - 1);
    m_edge = {};
    update();
}

void WaveformView::refuse(const QString& message) {
    if (!message.isEmpty())
        s.inform(message);
}

void WaveformView::togglePlay() {
    if (!m_preview || row() < 0)
        return;
    if (m_preview->previewing()) {
        m_preview->stopPreview();
        return;
    }
    // The preview plays the job list's selected file.
    if (m_jobs.selectedRow() != row()) {
        m_jobs.selectRow(row());
        m_jobs.selectFile();
    }
    m_preview->startFilePreviewAt(m_playPosition);
}

// --- the mouse and the keys ---------------------------------------------------------------

void WaveformView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    setFocus();
    const int x = event->position().toPoint().x();
    m_pressX = x;
    m_moved = false;
    m_edge = editable() ? edgeAt(x) : Edge{};
    if (m_edge.span >= 0) {
        m_selected = m_edge.span;
        m_drag = Drag::Edge;
    } else {
        m_drag = Drag::Pending;
        m_newFrom = m_newTo = frameAt(x);
    }
    update();
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
    const int x = event->position().toPoint().x();
    if (m_drag == Drag::None) {
        setCursor(editable() && edgeAt(x).span >= 0 ? Qt::SizeHorCursor : Qt::ArrowCursor);
        return;
    }
    if (m_drag == Drag::Edge) {
        // Held without moving, the edge stays on its frame.
        m_moved = m_moved || x != m_pressX;
        if (m_moved)
            moveEdge(frameAt(x));
        return;
    }
    if (m_drag == Drag::Pending && std::abs(x - m_pressX) > DragStart)
        m_drag = Drag::NewSpan;
    if (m_drag == Drag::NewSpan) {
        m_newTo = frameAt(x);
        update();
    }
}

void WaveformView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || m_drag == Drag::None)
        return QWidget::mouseReleaseEvent(event);
    const Drag drag = std::exchange(m_drag, Drag::None);
    const int x = event->position().toPoint().x();
    if (drag == Drag::Edge) {
        if (m_moved || x != m_pressX)
            moveEdge(frameAt(x));
    } else if (drag == Drag::NewSpan) {
        addSpanBetween(m_newFrom, frameAt(x));
    } else {
        // A click: the play position, and the span under it selected.
        m_playPosition = frameAt(x);
        m_selected = spanAt(m_playPosition);
        m_edge = {};
        if (m_preview && m_preview->previewing() && m_jobs.playedRow() == row()) {
            m_preview->stopPreview();
            togglePlay();
        }
    }
    update();
}

void WaveformView::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0)
        return;
    zoom(std::pow(0.8, steps), int(event->position().x()));
    event->accept();
}

void WaveformView::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        removeSelectedSpan();
        return;
    case Qt::Key_Space:
        togglePlay();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        std::int64_t b = 0, e = 0;
        if (m_edge.span < 0 || !bounds(m_edge.span, b, e))
            return;
        const std::int64_t step = event->modifiers() & Qt::ShiftModifier
                                      ? rate()
                                      : std::max<std::int64_t>(1, m_visible / std::max(1, width()));
        const std::int64_t at = m_edge.begin ? b : e;
        // A nudge moves by the step; snapping may not pull it back to where it was.
        const bool snapping = std::exchange(m_snapping, false);
        moveEdge(at + (event->key() == Qt::Key_Left ? -step : step));
        m_snapping = snapping;
        return;
    }
    default:
        QWidget::keyPressEvent(event);
    }
}

void WaveformView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    update();
}

// --- painting -------------------------------------------------------------------------------

void WaveformView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Background);
    paintRuler(p);
    const QRect area(0, RulerHeight, width(), height() - RulerHeight);
    if (!m_failure.isEmpty()) {
        p.setPen(Qt::darkRed);
        p.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, m_failure);
        return;
    }
    paintSpans(p, area);
    const int channels = std::max(1, m_loader.channels());
    const int lanes = m_mixed ? 1 : channels;
    for (int i = 0; i < lanes; ++i) {
        const int top = area.top() + area.height() * i / lanes;
        const int bottom = area.top() + area.height() * (i + 1) / lanes;
        paintLane(p, QRect(0, top, width(), bottom - top), m_mixed ? -1 : i);
        if (i > 0) {
            p.setPen(QColor(0xd3, 0xda, 0xe5));
            p.drawLine(0, top, width(), top);
        }
    }
    p.setPen(QPen(MarkerColor, 1, Qt::DashLine));
    for (const std::int64_t m : m_markers) {
        const int x = xOf(m);
        if (x >= 0 && x <= width())
            p.drawLine(x, area.top(), x, area.bottom());
    }
    if (m_drag == Drag::NewSpan) {
        const int a = xOf(std::min(m_newFrom, m_newTo));
        const int b = xOf(std::max(m_newFrom, m_newTo));
        p.fillRect(QRect(a, area.top(), std::max(1, b - a), area.height()), SelectedFill);
    }
    p.setPen(QPen(Qt::black, 1, Qt::DotLine));
    const int cursor = xOf(m_playPosition);
    p.drawLine(cursor, area.top(), cursor, area.bottom());
    if (m_played >= 0) {
        p.setPen(QPen(PlayColor, 2));
        const int x = xOf(m_played);
        p.drawLine(x, 0, x, height());
    }
    if (hasFocus()) {
        p.setPen(QPen(palette().highlight().color(), 1));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void WaveformView::paintRuler(QPainter& p) {
    p.fillRect(QRect(0, 0, width(), RulerHeight), QColor(0xf4, 0xf6, 0xfa));
    p.setPen(QColor(0x47, 0x55, 0x69));
    p.drawLine(0, RulerHeight - 1, width(), RulerHeight - 1);
    const int w = std::max(1, width());
    const double msPerPixel = double(m_visible) * 1000.0 / rate() / w;
    // A tick step that leaves room for its label.
    static constexpr std::int64_t Steps[] = {
        1,    2,     5,     10,    20,    50,     100,    200,    500,    1000,    2000,
        5000, 10000, 15000, 30000, 60000, 120000, 300000, 600000, 900000, 1800000, 3600000};
    const int labelWidth = p.fontMetrics().horizontalAdvance(QStringLiteral("00:00:00.000")) + 12;
    std::int64_t step = Steps[std::size(Steps) - 1];
    for (const std::int64_t candidate : Steps)
        if (candidate / msPerPixel >= labelWidth) {
            step = candidate;
            break;
        }
    const std::int64_t firstMs = m_first * 1000 / rate();
    const std::int64_t lastMs = (m_first + m_visible) * 1000 / rate();
    for (std::int64_t t = (firstMs + step - 1) / step * step; t <= lastMs; t += step) {
        const int x = xOf(t * rate() / 1000);
        p.drawLine(x, RulerHeight - 6, x, RulerHeight - 1);
        const QString label =
            step % 1000 == 0 ? formatTime(std::int32_t(t / 1000)) : formatTimeMs(t);
        p.drawText(QRect(x + 3, 0, labelWidth, RulerHeight - 4), Qt::AlignLeft | Qt::AlignVCenter,
                   label);
    }
}

void WaveformView::paintLane(QPainter& p, const QRect& lane, int channel) {
    const int w = width();
    if (w <= 0 || lane.height() <= 2 || m_visible <= 0 || m_loader.frames() <= 0)
        return;
    const double middle = lane.top() + lane.height() / 2.0;
    const double half = lane.height() / 2.0 - 1;
    p.setPen(QColor(0xcb, 0xd5, 0xe1));
    p.drawLine(0, int(middle), w, int(middle));
    // Zoomed in further than a frame a column, each frame is one column
    // spread over its pixels.
    const int columns = int(std::min<std::int64_t>(w, m_visible));
    std::vector<bool> ready;
    const std::vector<PeakRange> peaks =
        m_loader.columns(channel, m_first, m_first + m_visible, columns, &ready);
    const auto y = [&](float v) { return middle - double(std::clamp(v, -1.0f, 1.0f)) * half; };
    if (columns < w / 4) {
        // Single frames: a line through the samples, a dot at each.
        QPainterPath path;
        for (int c = 0; c < int(peaks.size()); ++c) {
            const double x = (c + 0.5) * w / columns;
            const QPointF point(x, y(peaks[size_t(c)].max));
            if (c == 0)
                path.moveTo(point);
            else
                path.lineTo(point);
        }
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setPen(QPen(RmsColor, 1.5));
        p.drawPath(path);
        p.setBrush(RmsColor);
        for (int c = 0; c < int(peaks.size()); ++c)
            p.drawEllipse(QPointF((c + 0.5) * w / columns, y(peaks[size_t(c)].max)), 2, 2);
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setBrush(Qt::NoBrush);
        return;
    }
    for (int c = 0; c < int(peaks.size()); ++c) {
        if (c < int(ready.size()) && !ready[size_t(c)])
            continue;
        const PeakRange& r = peaks[size_t(c)];
        const int x0 = c * w / columns;
        const int x1 = std::max(x0 + 1, (c + 1) * w / columns);
        p.fillRect(QRectF(x0, y(r.max), x1 - x0, std::max(1.0, y(r.min) - y(r.max))), PeakColor);
        const float rms = std::min(r.rms, std::max(std::abs(r.min), std::abs(r.max)));
        p.fillRect(QRectF(x0, y(rms), x1 - x0, std::max(1.0, y(-rms) - y(rms))), RmsColor);
    }
}

void WaveformView::paintSpans(QPainter& p, const QRect& area) {
    for (int i = 0; i < spanCount(); ++i) {
        std::int64_t b = 0, e = 0;
        if (!bounds(i, b, e))
            continue;
        const int x0 = xOf(b);
        const int x1 = xOf(e);
        if (x1 < 0 || x0 > width())
            continue;
        p.fillRect(QRect(x0, area.top(), std::max(1, x1 - x0), area.height()),
                   i == m_selected ? SelectedFill : SpanFill);
        p.setPen(QPen(SpanEdge, i == m_selected ? 2 : 1));
        p.drawLine(x0, area.top(), x0, area.bottom());
        p.drawLine(x1, area.top(), x1, area.bottom());
        p.setPen(SpanEdge);
        p.drawText(QRect(std::max(0, x0) + 3, area.top() + 2, 40, 16), Qt::AlignLeft | Qt::AlignTop,
                   QString::number(i + 1));
    }
}
