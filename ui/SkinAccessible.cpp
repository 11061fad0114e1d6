// The skin's objects for the keyboard and assistive technology (see SkinAccessible.h).
#include "ui/SkinAccessible.h"

#include "skin/SkinObject.h"
#include "ui/SkinView.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>

namespace {

class SkinItemAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit SkinItemAccessible(SkinItem* item) : QAccessibleWidget(item, roleOf(item)) {}

    static QAccessible::Role roleOf(const SkinItem* item) {
        switch (item->object() ? item->object()->kind() : SkinObject::Kind::Text) {
        case SkinObject::Kind::Button:
            return QAccessible::Button;
        case SkinObject::Kind::Slider:
            return QAccessible::Slider;
        case SkinObject::Kind::Bar:
            return QAccessible::ProgressBar;
        case SkinObject::Kind::Text:
            break;
        }
        return QAccessible::StaticText;
    }

    SkinItem* item() const { return static_cast<SkinItem*>(widget()); }
    SkinObject* skinObject() const { return item()->object(); }
    SkinObject::Kind kind() const {
        return skinObject() ? skinObject()->kind() : SkinObject::Kind::Text;
    }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface &&
            (kind() == SkinObject::Kind::Slider || kind() == SkinObject::Kind::Bar))
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override {
        const SkinObject* o = skinObject();
        if (!o)
            return QString();
        switch (t) {
        case QAccessible::Name:
            return o->label.isEmpty() ? o->tooltip : o->label;
        case QAccessible::Description:
            return o->tooltip;
        case QAccessible::Value:
            return item()->view()->valueText(o);
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QStringList actionNames() const override {
        switch (kind()) {
        case SkinObject::Kind::Button:
            return {pressAction(), setFocusAction()};
        case SkinObject::Kind::Slider:
            return {increaseAction(), decreaseAction(), setFocusAction()};
        default:
            return {};
        }
    }

    void doAction(const QString& name) override {
        SkinObject* o = skinObject();
        SkinView* view = item()->view();
        if (!o)
            return;
        if (name == pressAction() && kind() == SkinObject::Kind::Button)
            view->press(o);
        else if (name == increaseAction() && kind() == SkinObject::Kind::Slider)
            view->moveSliderTo(o, o->sliderPosition() + SkinView::sliderStep(o));
        else if (name == decreaseAction() && kind() == SkinObject::Kind::Slider)
            view->moveSliderTo(o, o->sliderPosition() - SkinView::sliderStep(o));
        else
            QAccessibleWidget::doAction(name);
    }

    // The slider counts positions; the bar counts percent.
    QVariant currentValue() const override {
        const SkinObject* o = skinObject();
        if (!o)
            return 0;
        if (kind() == SkinObject::Kind::Slider)
            return o->sliderPosition();
        const int full = item()->fullWidth();
        return full > 0 ? o->rect().width() * 100 / full : 0;
    }
    void setCurrentValue(const QVariant& value) override {
        if (kind() == SkinObject::Kind::Slider && skinObject())
            item()->view()->moveSliderTo(skinObject(), value.toInt());
    }
    QVariant maximumValue() const override {
        if (kind() == SkinObject::Kind::Slider && skinObject())
            return SkinView::sliderTravel(skinObject());
        return 100;
    }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override {
        return kind() == SkinObject::Kind::Slider && skinObject()
                   ? SkinView::sliderStep(skinObject())
                   : 1;
    }
};

QAccessibleInterface* skinFactory(const QString& className, QObject* object) {
    if (className == QLatin1String("SkinItem") && object && object->isWidgetType())
        return new SkinItemAccessible(static_cast<SkinItem*>(object));
    return nullptr;
}

} // namespace

void installSkinAccessibility() {
    static const bool installed = (QAccessible::installFactory(skinFactory), true);
    Q_UNUSED(installed);
}

SkinItem::SkinItem(SkinObject* object, SkinView* view)
    : QWidget(view), m_object(object), m_view(view) {
    setObjectName(object->skinName());
    // The view takes every click and draws every object; the item only holds
    // the focus and speaks for its object.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    const bool takesFocus =
        object->kind() == SkinObject::Kind::Button || object->kind() == SkinObject::Kind::Slider;
    setFocusPolicy(takesFocus ? Qt::TabFocus : Qt::NoFocus);
    m_fullWidth = object->rect().width();
    setGeometry(object->rect());
    m_lastValue = view->valueText(object);
}

void SkinItem::follow() {
    if (!m_object)
        return;
    if (geometry() != m_object->rect())
        setGeometry(m_object->rect());
    const QString value = m_view->valueText(m_object);
    if (value == m_lastValue)
        return;
    m_lastValue = value;
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent changed(this, value);
        QAccessible::updateAccessibility(&changed);
    }
}

void SkinItem::keyPressEvent(QKeyEvent* event) {
    SkinObject* o = m_object;
    if (!o || event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (o->kind() == SkinObject::Kind::Button) {
        switch (event->key()) {
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (!event->isAutoRepeat())
                m_view->press(o);
            return;
        default:
            break;
        }
    } else if (o->kind() == SkinObject::Kind::Slider) {
        const int step = SkinView::sliderStep(o);
        const int page = SkinView::sliderPageStep(o);
        const int at = o->sliderPosition();
        switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Down:
            m_view->moveSliderTo(o, at - step);
            return;
        case Qt::Key_Right:
        case Qt::Key_Up:
            m_view->moveSliderTo(o, at + step);
            return;
        case Qt::Key_PageUp:
            m_view->moveSliderTo(o, at + page);
            return;
        case Qt::Key_PageDown:
            m_view->moveSliderTo(o, at - page);
            return;
        case Qt::Key_Home:
            m_view->moveSliderTo(o, 0);
            return;
        case Qt::Key_End:
            m_view->moveSliderTo(o, SkinView::sliderTravel(o));
            return;
        default:
            break;
        }
    }
    QWidget::keyPressEvent(event);
}

void SkinItem::focusInEvent(QFocusEvent* event) {
    m_view->update();
    QWidget::focusInEvent(event);
}

void SkinItem::focusOutEvent(QFocusEvent* event) {
    m_view->update();
    QWidget::focusOutEvent(event);
}
