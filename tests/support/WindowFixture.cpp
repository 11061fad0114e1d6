#include "support/WindowFixture.h"

#include "core/IniFile.h"

void WindowFixture::SetUp() {
    ASSERT_TRUE(dir.isValid());
    s.prompt = &prompt;
    s.ini = std::make_unique<IniFile>(iniPath());
    w = std::make_unique<MainWindow>(session);
}

void WindowFixture::TearDown() {
    w.reset();
}
