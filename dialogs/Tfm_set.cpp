#include "dialogs/Tfm_set.h"

Tfm_set::Tfm_set(MainState& state, QWidget* parent) : QDialog(parent), s(state) {
    setObjectName(QStringLiteral("fm_set"));
    setWindowTitle(QStringLiteral("Cadelo"));
}
