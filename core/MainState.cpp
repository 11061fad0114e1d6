#include "core/MainState.h"

#include "core/IniFile.h"

MainState::MainState(QObject* parent) : QObject(parent) {
    lv.setHorizontalHeaderLabels({QStringLiteral("File name"), QStringLiteral("Time")});
    lv_time.setHorizontalHeaderLabels(
        {QStringLiteral("Begin Time - End"), QStringLiteral("Length"), QStringLiteral("Status")});
}

MainState::~MainState() = default;

void MainState::setInstructionsVisible(bool visible) {
    if (instructionsVisible == visible)
        return;
    instructionsVisible = visible;
    emit instructionsVisibleChanged(visible);
}

void MainState::setNameColumnWidth(int width) {
    if (nameColumnWidth == width)
        return;
    nameColumnWidth = width;
    emit nameColumnWidthChanged(width);
}
