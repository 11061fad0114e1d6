#include "core/MainState.h"

#include "core/IniFile.h"
#include "core/Prompt.h"

MainState::MainState(QObject* parent) : QObject(parent) {}

MainState::~MainState() = default;

void MainState::inform(const QString& text) {
    if (prompt)
        prompt->information(text);
}
