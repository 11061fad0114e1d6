#include "ui/TagEditDialog.h"

#include "core/AppInfo.h"

TagEditDialog::TagEditDialog(MainState& state, QWidget* parent) : QDialog(parent), s(state) {
    setObjectName(QStringLiteral("fm_id3"));
    setWindowTitle(AppInfo::productName());
}
