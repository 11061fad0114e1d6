// The main window over its own session, with a scripted prompt and a settings
// file in a temporary folder, for the tests of the real window. SetUp makes
// the window but does not show it: the settings file is read on the first show,
// so a test may still write to it.
#pragma once

#include "commands/Session.h"
#include "core/SessionState.h"
#include "support/ScriptedPrompt.h"
#include "ui/MainWindow.h"

#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

class WindowFixture : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    QString iniPath() const { return dir.filePath(QStringLiteral("VAZOzojoin.ini")); }

    QTemporaryDir dir;
    Session session;
    SessionState& s = session.state();
    ScriptedPrompt prompt;
    std::unique_ptr<MainWindow> w;
};
