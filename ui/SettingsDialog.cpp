#include "ui/SettingsDialog.h"

SettingsDialog::SettingsDialog(MainState& state, QWidget* parent) : QDialog(parent), s(state) {
    setObjectName(QStringLiteral("fm_set"));
    setWindowTitle(QStringLiteral("Cadelo"));
}
