#include "ui/FolderDialog.h"

FolderDialog::FolderDialog(MainState& state, QWidget* parent) : QDialog(parent), s(state) {
    setObjectName(QStringLiteral("fm_dir"));
    setWindowTitle(QStringLiteral("Cadelo"));
}
