#include "core/SessionState.h"

#include "core/IniFile.h"
#include "core/Prompt.h"

SessionState::SessionState(QObject* parent) : QObject(parent) {}

SessionState::~SessionState() = default;

void SessionState::inform(const QString& text) {
    if (prompt)
        prompt->information(text);
}
