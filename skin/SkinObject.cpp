// One named object of the skin (see SkinObject.h).
#include "skin/SkinObject.h"

SkinObject::SkinObject(const QString& name, Kind kind, const QRect& rect, QObject* parent)
    : QObject(parent), m_name(name), m_kind(kind), m_rect(rect) {
    setObjectName(name);
}
