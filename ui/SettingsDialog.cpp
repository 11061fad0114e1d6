#include "ui/SettingsDialog.h"

#include "core/AppInfo.h"

SettingsDialog::SettingsDialog(MainState& state, QWidget* parent) : QDialog(parent), s(state) {
    setObjectName(QStringLiteral("fm_set"));
    setWindowTitle(AppInfo::productName());
}
