#include "cli/ProgressBar.h"

#include "cli/Terminal.h"

#include <algorithm>

namespace {

constexpr int BarCells = 30;
constexpr qsizetype NameWidth = 40;

} // namespace

QString ProgressBar::line(std::int64_t value, const QString& name) {
    const std::int64_t v = std::clamp<std::int64_t>(value, 0, 10000);
    const int filled = int(v * BarCells / 10000);
    QString shownName = name;
    // Long names would wrap, and a wrapped line cannot be redrawn in place.
    if (shownName.size() > NameWidth)
        shownName = QStringLiteral("...") + shownName.right(NameWidth - 3);
    return QStringLiteral("[%1%2] %3% %4")
        .arg(QString(filled, QLatin1Char('#')), QString(BarCells - filled, QLatin1Char('-')))
        .arg(int(v / 100), 3)
        .arg(shownName);
}

void ProgressBar::start(const QString& name) {
    m_name = name;
    m_percent = -1;
    update(0);
}

void ProgressBar::update(std::int64_t value) {
    if (!m_enabled)
        return;
    const int percent = int(std::clamp<std::int64_t>(value, 0, 10000) / 100);
    // One redraw per percent keeps a long run from flooding the terminal.
    if (percent == m_percent)
        return;
    m_percent = percent;
    draw(line(value, m_name));
}

void ProgressBar::clear() {
    if (!m_enabled || m_shown == 0)
        return;
    Terminal::writeErr(QLatin1Char('\r') + QString(m_shown, QLatin1Char(' ')) + QLatin1Char('\r'));
    m_shown = 0;
    m_percent = -1;
}

void ProgressBar::draw(const QString& text) {
    // Spaces wipe what a longer previous line left behind.
    const qsizetype pad = std::max<qsizetype>(0, m_shown - text.size());
    Terminal::writeErr(QLatin1Char('\r') + text + QString(pad, QLatin1Char(' ')));
    m_shown = text.size() + pad;
}
