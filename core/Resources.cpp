#include "core/Resources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares a function at its place: it must stand outside any
// namespace, and a second call is harmless.
static void registerCadeloResources() {
    Q_INIT_RESOURCE(cadelo);
}

void initCadeloResources() {
    static const bool done = (registerCadeloResources(), true);
    Q_UNUSED(done);
}
