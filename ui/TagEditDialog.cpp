#include "ui/TagEditDialog.h"

TagEditDialog::TagEditDialog(MainState& state, QWidget* parent) : QDialog(parent), s(state) {
    setObjectName(QStringLiteral("fm_id3"));
    setWindowTitle(QStringLiteral("Cadelo"));
}
