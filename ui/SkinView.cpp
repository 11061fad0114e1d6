// The skin view (see SkinView.h). All drawing is vector work in logical pixels,
// so the face stays sharp on any scaling.
#include "ui/SkinView.h"

#include "skin/SkinEngine.h"
#include "ui/SkinAccessible.h"
#include "ui/SkinIcons.h"

#include <QFontMetrics>
#include <QHelpEvent>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

namespace {

constexpr int ThumbSize = 14;

struct Look {
    const SkinForm& form;
    QColor c(const char* role, const char* fallback) const {
        return QColor::fromRgba(form.color(QString::fromLatin1(role),
                                           QColor::fromString(QLatin1String(fallback)).rgba()));
    }
};

QFont pixelFont(const QFont& base, int px, QFont::Weight weight = QFont::Normal) {
    QFont f = base;
    f.setPixelSize(px);
    f.setWeight(weight);
    return f;
}

void paintDecoration(QPainter& p, const SkinDecoration& d, const Look& look, const QFont& base) {
    const QRectF r = d.rect;
    if (d.type == QLatin1String("header")) {
        QLinearGradient g(r.topLeft(), r.bottomLeft());
        g.setColorAt(0, look.c("header", "#1e293b"));
        g.setColorAt(1, look.c("header2", "#334155"));
        p.fillRect(r, g);
    } else if (d.type == QLatin1String("panel")) {
        QPainterPath path;
        path.addRoundedRect(r.adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
        p.fillPath(path, look.c("panel", "#ffffff"));
        p.setPen(QPen(look.c("border", "#d3dae5"), 1));
        p.drawPath(path);
    } else if (d.type == QLatin1String("caption")) {
        QFont f = pixelFont(base, 9, QFont::DemiBold);
        f.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
        p.setFont(f);
        p.setPen(look.c("muted", "#64748b"));
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, d.text);
    } else if (d.type == QLatin1String("track")) {
        QPainterPath path;
        path.addRoundedRect(r, r.height() / 2, r.height() / 2);
        p.fillPath(path, look.c("track", "#dde3ec"));
    } else if (d.type == QLatin1String("divider")) {
        p.fillRect(r, look.c("border", "#d3dae5"));
    } else if (d.type == QLatin1String("logo")) {
        const QColor fg = look.c("headerText", "#f1f5f9");
        const qreal side = qMin<qreal>(r.height(), 18);
        paintSkinIcon(p, QStringLiteral("wave"),
                      QRectF(r.left(), r.center().y() - side / 2, side, side),
                      look.c("accentSoft", "#93c5fd"));
        p.setFont(pixelFont(base, 15, QFont::Bold));
        p.setPen(fg);
        p.drawText(r.adjusted(side + 3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, d.text);
    }
}

// Icon and label side by side, centred, or icon over label for tall buttons.
void paintButtonContent(QPainter& p, const SkinObject& o, const QRectF& r, const QColor& fg,
                        const QFont& base, bool stacked, bool leftAligned) {
    if (stacked) {
        const qreal icon = 16;
        const QRectF iconBox(r.center().x() - icon / 2, r.top() + 5, icon, icon);
        paintSkinIcon(p, o.icon, iconBox, fg);
        p.setFont(pixelFont(base, 10, QFont::Medium));
        p.setPen(fg);
        p.drawText(
            QRectF(r.left(), iconBox.bottom() + 1, r.width(), r.bottom() - iconBox.bottom() - 3),
            Qt::AlignHCenter | Qt::AlignVCenter, o.label);
        return;
    }
    const qreal icon = 16;
    const QFont f = pixelFont(base, 12, QFont::DemiBold);
    const qreal textWidth = QFontMetricsF(f).horizontalAdvance(o.label);
    const qreal gap = o.label.isEmpty() || o.icon.isEmpty() ? 0 : 6;
    const qreal iconWidth = o.icon.isEmpty() ? 0 : icon;
    const qreal total = iconWidth + gap + textWidth;
    const qreal x = leftAligned ? r.left() + 10 : r.center().x() - total / 2;
    if (iconWidth > 0)
        paintSkinIcon(p, o.icon, QRectF(x, r.center().y() - icon / 2, icon, icon), fg);
    p.setFont(f);
    p.setPen(fg);
    p.drawText(QRectF(x + iconWidth + gap, r.top(), r.right() - (x + iconWidth + gap), r.height()),
               Qt::AlignLeft | Qt::AlignVCenter, o.label);
}

void paintButton(QPainter& p, const SkinObject& o, const Look& look, const QFont& base,
                 bool hovered, bool pressed) {
    const QRectF r = QRectF(o.rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QPainterPath shape;
    shape.addRoundedRect(r, 6, 6);
    const QString& style = o.style;

    if (style == QLatin1String("header")) {
        if (pressed)
            p.fillPath(shape, QColor(255, 255, 255, 60));
        else if (hovered)
            p.fillPath(shape, QColor(255, 255, 255, 30));
        paintButtonContent(p, o, r, look.c("headerText", "#f1f5f9"), base, false, false);
        return;
    }
    if (style == QLatin1String("split") || style == QLatin1String("join") ||
        style == QLatin1String("danger")) {
        QColor fill = style == QLatin1String("split")  ? look.c("split", "#059669")
                      : style == QLatin1String("join") ? look.c("join", "#4f46e5")
                                                       : look.c("danger", "#dc2626");
        if (pressed)
            fill = fill.darker(125);
        else if (hovered)
            fill = fill.lighter(112);
        p.fillPath(shape, fill);
        paintButtonContent(p, o, r, Qt::white, base, false, false);
        return;
    }
    // "tool", "transport" and anything unknown: a light button.
    const QColor accent = look.c("accent", "#2563eb");
    QColor fill = look.c("panel", "#ffffff");
    QColor border = look.c("border", "#d3dae5");
    QColor fg = look.c("text", "#0f172a");
    if (pressed) {
        fill = accent;
        border = accent;
        fg = Qt::white;
    } else if (hovered) {
        fill = look.c("accentSoft", "#dbeafe");
        border = accent;
        fg = accent.darker(115);
    }
    p.fillPath(shape, fill);
    p.setPen(QPen(border, 1));
    p.drawPath(shape);
    const bool stacked = style == QLatin1String("transport");
    paintButtonContent(p, o, r, fg, base, stacked, style == QLatin1String("tool"));
}

// The thumb travels over the usable range, the range less its page: every
// position it can reach names a time inside the file.
int sliderTravel(const SkinObject& o) {
    return qMax(0, o.sliderMax() - qMax(0, o.sliderPage()));
}

// The keyboard's focus: a ring around the object, clear on the dark header
// and on the light panels alike.
void paintFocus(QPainter& p, const SkinObject& o, const Look& look) {
    QPainterPath ring;
    ring.addRoundedRect(QRectF(o.rect()).adjusted(-1.5, -1.5, 1.5, 1.5), 7, 7);
    p.setPen(QPen(look.c("focus", "#f59e0b"), 2));
    p.setBrush(Qt::NoBrush);
    p.drawPath(ring);
}

QRectF thumbRect(const SkinObject& o) {
    const QRect r = o.rect();
    const int max = sliderTravel(o);
    const int pos = qBound(0, o.sliderPosition(), max);
    const qreal usable = qMax(0, r.width() - ThumbSize);
    const qreal x = r.left() + (max > 0 ? usable * pos / max : 0.0);
    return QRectF(x, r.center().y() + 0.5 - ThumbSize / 2.0, ThumbSize, ThumbSize);
}

void paintSlider(QPainter& p, const SkinObject& o, const Look& look, bool hovered, bool pressed) {
    const QRectF r = o.rect();
    const QRectF groove(r.left() + ThumbSize / 2.0, r.center().y() - 2, r.width() - ThumbSize, 4);
    QPainterPath path;
    path.addRoundedRect(groove, 2, 2);
    p.fillPath(path, look.c("track", "#dde3ec"));
    const QRectF thumb = thumbRect(o);
    const QColor accent = look.c("accent", "#2563eb");
    QPainterPath done;
    done.addRoundedRect(
        QRectF(groove.left(), groove.top(), thumb.center().x() - groove.left(), groove.height()), 2,
        2);
    p.fillPath(done, accent);
    if (hovered || pressed) {
        QPainterPath halo;
        halo.addEllipse(thumb.adjusted(-3, -3, 3, 3));
        p.fillPath(halo, QColor(accent.red(), accent.green(), accent.blue(), pressed ? 70 : 40));
    }
    QPainterPath knob;
    knob.addEllipse(thumb.adjusted(0.5, 0.5, -0.5, -0.5));
    p.fillPath(knob, Qt::white);
    p.setPen(QPen(accent, 2));
    p.drawPath(knob);
}

void paintText(QPainter& p, const SkinObject& o, const Look& look, const QFont& base) {
    const QRectF r = o.rect();
    const QString& style = o.style;
    if (style == QLatin1String("time")) {
        QPainterPath pill;
        pill.addRoundedRect(r, r.height() / 2, r.height() / 2);
        p.fillPath(pill, look.c("accentSoft", "#dbeafe"));
        QFont f = pixelFont(base, 12, QFont::DemiBold);
        f.setStyleHint(QFont::Monospace);
        p.setFont(f);
        p.setPen(look.c("accent", "#2563eb").darker(120));
        p.drawText(r, Qt::AlignCenter, o.text());
    } else if (style == QLatin1String("total")) {
        p.setFont(pixelFont(base, 21, QFont::Bold));
        p.setPen(look.c("text", "#0f172a"));
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, o.text());
    } else if (style == QLatin1String("percent")) {
        p.setFont(pixelFont(base, 12, QFont::Bold));
        p.setPen(look.c("accent", "#2563eb"));
        p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, o.text());
    } else {
        // "path" and plain texts: one line, shortened in the middle so that
        // both the folder's start and the file's name stay visible.
        const QFont f = pixelFont(base, 12);
        p.setFont(f);
        const QRectF inner = r.adjusted(2, 0, -2, 0);
        if (o.text().isEmpty() && style == QLatin1String("path")) {
            QFont hint = f;
            hint.setItalic(true);
            p.setFont(hint);
            p.setPen(look.c("muted", "#64748b"));
            p.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter, SkinView::tr("No file selected"));
            return;
        }
        p.setPen(look.c("text", "#0f172a"));
        const QString shown =
            QFontMetrics(f).elidedText(o.text(), Qt::ElideMiddle, int(inner.width()));
        p.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter, shown);
    }
}

void paintBar(QPainter& p, const SkinObject& o, const Look& look) {
    const QRect r = o.rect();
    if (r.width() <= 0 || r.height() <= 0)
        return;
    QLinearGradient g(r.topLeft(), r.topRight());
    const QColor accent = look.c("accent", "#2563eb");
    g.setColorAt(0, accent.lighter(125));
    g.setColorAt(1, accent);
    QPainterPath path;
    const qreal radius = qMin<qreal>(r.height() / 2.0, r.width() / 2.0);
    path.addRoundedRect(QRectF(r), radius, radius);
    p.fillPath(path, g);
}

} // namespace

SkinView::SkinView(SkinEngine& engine, QObject* window, QWidget* parent)
    : QWidget(parent), m_engine(engine), m_window(window) {
    setObjectName(QStringLiteral("SkinView"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    installSkinAccessibility();
    connect(&m_engine, &SkinEngine::formApplied, this, &SkinView::attach);
    attach(m_window, m_engine.skinForm(m_window));
}

SkinForm* SkinView::form() const {
    return m_form;
}

QSize SkinView::sizeHint() const {
    return m_form ? m_form->size() : QSize(480, 418);
}

void SkinView::attach(QObject* window, SkinForm* form) {
    if (window != m_window)
        return;
    if (m_form)
        disconnect(m_form, nullptr, this, nullptr);
    for (SkinObject* o : m_form ? m_form->objects() : QList<SkinObject*>())
        disconnect(o, nullptr, this, nullptr);
    m_form = form;
    m_hovered = nullptr;
    m_pressed = nullptr;
    qDeleteAll(m_items);
    m_items.clear();
    if (m_form) {
        for (SkinObject* o : m_form->objects()) {
            auto* item = new SkinItem(o, this);
            item->show();
            m_items.append(item);
            connect(o, &SkinObject::redrawn, this, [this, item] {
                item->follow();
                update();
            });
        }
    }
    update();
}

SkinObject* SkinView::focusedObject() const {
    for (SkinItem* item : m_items)
        if (item->hasFocus())
            return item->object();
    return nullptr;
}

void SkinView::press(SkinObject* button) {
    if (!button)
        return;
    const QPointer<SkinObject> object = button;
    emit pressed(object);
    if (object)
        emit released(object);
    if (object)
        emit clicked(object);
}

void SkinView::moveSliderTo(SkinObject* slider, int position) {
    if (!slider)
        return;
    const QPointer<SkinObject> object = slider;
    m_pressed = object;
    emit pressed(object);
    // A press that stopped the preview may have released the slider already.
    if (object && m_pressed == object)
        moved(object, qBound(0, position, sliderTravel(object)));
    m_pressed = nullptr;
    if (object)
        emit released(object);
    update();
}

int SkinView::sliderTravel(const SkinObject* slider) {
    return ::sliderTravel(*slider);
}

int SkinView::sliderStep(const SkinObject* slider) {
    return qMax(1, sliderTravel(slider) / 100);
}

int SkinView::sliderPageStep(const SkinObject* slider) {
    return qMax(sliderStep(slider),
                slider->sliderPage() > 0 ? slider->sliderPage() : sliderTravel(slider) / 10);
}

void SkinView::setValueText(SkinObject* slider, SkinObject* text) {
    if (slider)
        m_valueTexts.insert(slider, text);
    // The value follows the text: a new time is told as the slider's value.
    if (slider && text) {
        connect(text, &SkinObject::redrawn, this, [this, slider = QPointer<SkinObject>(slider)] {
            for (SkinItem* item : m_items)
                if (item->object() == slider)
                    item->follow();
        });
    }
}

QString SkinView::valueText(const SkinObject* object) const {
    if (!object)
        return QString();
    switch (object->kind()) {
    case SkinObject::Kind::Slider: {
        const SkinObject* text = m_valueTexts.value(object);
        return text ? text->text() : QString::number(object->sliderPosition());
    }
    case SkinObject::Kind::Text:
        return object->text();
    case SkinObject::Kind::Bar:
        for (const SkinItem* item : m_items)
            if (item->object() == object && item->fullWidth() > 0)
                return QStringLiteral("%1%").arg(object->rect().width() * 100 / item->fullWidth());
        return QString();
    case SkinObject::Kind::Button:
        break;
    }
    return QString();
}

SkinObject* SkinView::objectAt(const QPoint& pos) const {
    return m_form ? m_form->objectAt(pos) : nullptr;
}

int SkinView::sliderPositionAt(const SkinObject* slider, int x) const {
    const QRect r = slider->rect();
    const int max = ::sliderTravel(*slider);
    const int usable = r.width() - ThumbSize;
    if (usable <= 0 || max <= 0)
        return 0;
    const double fraction = double(x - r.left() - ThumbSize / 2.0) / usable;
    return qBound(0, qRound(fraction * max), max);
}

void SkinView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    if (!m_form) {
        p.fillRect(rect(), palette().window());
        return;
    }
    const Look look{*m_form};
    p.fillRect(rect(), look.c("background", "#e9edf3"));
    const QFont base = font();
    for (const SkinDecoration& d : m_form->decorations)
        paintDecoration(p, d, look, base);
    for (SkinObject* o : m_form->objects()) {
        const bool hovered = o == m_hovered && (!m_pressed || m_pressed == o);
        const bool pressed = o == m_pressed && m_pressInside;
        switch (o->kind()) {
        case SkinObject::Kind::Button:
            paintButton(p, *o, look, base, hovered, pressed);
            break;
        case SkinObject::Kind::Slider:
            paintSlider(p, *o, look, hovered, o == m_pressed);
            break;
        case SkinObject::Kind::Text:
            paintText(p, *o, look, base);
            break;
        case SkinObject::Kind::Bar:
            paintBar(p, *o, look);
            break;
        }
    }
    if (const SkinObject* focused = focusedObject())
        paintFocus(p, *focused, look);
}

void SkinView::setHovered(SkinObject* object) {
    if (object == m_hovered)
        return;
    m_hovered = object;
    const bool clickable = object && (object->kind() == SkinObject::Kind::Button ||
                                      object->kind() == SkinObject::Kind::Slider);
    if (clickable)
        setCursor(Qt::PointingHandCursor);
    else
        unsetCursor();
    update();
}

void SkinView::track(SkinObject* slider, int x) {
    moved(slider, sliderPositionAt(slider, x));
}

void SkinView::moved(SkinObject* slider, int position) {
    if (position != slider->sliderPosition()) {
        slider->setSliderPosition(position);
        slider->redraw();
    }
    emit sliderTracked(slider, position);
}

void SkinView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    SkinObject* object = objectAt(event->position().toPoint());
    if (!object)
        return;
    m_pressed = object;
    m_pressInside = true;
    update();
    emit pressed(object);
    if (m_pressed && object->kind() == SkinObject::Kind::Slider)
        track(object, event->position().toPoint().x());
}

void SkinView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    setHovered(objectAt(pos));
    if (m_pressed) {
        m_pressInside = m_pressed->rect().contains(pos);
        if (m_pressed->kind() == SkinObject::Kind::Slider && (event->buttons() & Qt::LeftButton))
            track(m_pressed, pos.x());
        update();
    }
}

void SkinView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_pressed) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const QPointer<SkinObject> object = m_pressed;
    m_pressed = nullptr;
    update();
    const bool inside = object->rect().contains(event->position().toPoint());
    emit released(object);
    // The click comes last: it may open a modal dialog, and the button must
    // not stay drawn pressed meanwhile.
    if (object && inside)
        emit clicked(object);
}

void SkinView::leaveEvent(QEvent* event) {
    setHovered(nullptr);
    QWidget::leaveEvent(event);
}

bool SkinView::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        SkinObject* object = objectAt(help->pos());
        QString tip = object ? object->tooltip : QString();
        // The path label shortens a long path in its middle; its tip shows it whole.
        if (object && object->style == QLatin1String("path") && !object->text().isEmpty())
            tip = object->text();
        if (!tip.isEmpty())
            QToolTip::showText(help->globalPos(), tip, this, object->rect());
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}
