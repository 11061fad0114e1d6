#include "dialogs/Tfm_dir.h"

Tfm_dir::Tfm_dir(MainState& state, QWidget* parent) : QDialog(parent), s(state) {
    setObjectName(QStringLiteral("fm_dir"));
    setWindowTitle(QStringLiteral("Cadelo"));
}
