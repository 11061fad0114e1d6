#include "tags/Tfm_id3.h"

Tfm_id3::Tfm_id3(MainState& state, QWidget* parent) : QDialog(parent), s(state) {
    setObjectName(QStringLiteral("fm_id3"));
    setWindowTitle(QStringLiteral("Cadelo"));
}
