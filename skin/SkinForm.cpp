// One form of a skin (see SkinForm.h).
#include "skin/SkinForm.h"

SkinForm::SkinForm(const QString& name, const QSize& size, QObject* parent)
    : QObject(parent), m_name(name), m_size(size) {
    setObjectName(name);
}

SkinObject* SkinForm::FindObject(const QString& name) const {
    for (SkinObject* object : m_objects) {
        if (object->skinName() == name)
            return object;
    }
    return nullptr;
}

SkinObject* SkinForm::objectAt(const QPoint& point) const {
    for (auto it = m_objects.crbegin(); it != m_objects.crend(); ++it) {
        if ((*it)->rect().contains(point))
            return *it;
    }
    return nullptr;
}

void SkinForm::addObject(SkinObject* object) {
    object->setParent(this);
    m_objects.append(object);
}

quint32 SkinForm::color(const QString& role, quint32 fallback) const {
    const auto it = colors.constFind(role);
    return it == colors.constEnd() ? fallback : *it;
}
