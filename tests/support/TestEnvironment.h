// The environment every test program runs in: offscreen windows, the dummy
// sound driver and Qt's test folders instead of the user's.
#pragma once

#include <QStandardPaths>
#include <QtGlobal>

inline void prepareTestEnvironment() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER"))
        qputenv("SDL_AUDIODRIVER", "dummy");
    QStandardPaths::setTestModeEnabled(true);
}
