#include "ui/FolderDialog.h"

#include "core/AppInfo.h"

FolderDialog::FolderDialog(MainState& state, QWidget* parent) : QDialog(parent), s(state) {
    setObjectName(QStringLiteral("fm_dir"));
    setWindowTitle(AppInfo::productName());
}
