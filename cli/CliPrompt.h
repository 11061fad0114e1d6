// The Prompt of cadelo-cli: messages go to stderr as "cadelo-cli: <message>";
// the command line replaces every dialog, and nothing opens on the desktop.
#pragma once

#include "core/Prompt.h"

#include <functional>

class CliPrompt : public Prompt {
  public:
    // Called before a message is printed (the progress bar clears its line).
    std::function<void()> beforeMessage;

    int messageCount() const { return m_messages; }

    void information(const QString& text) override;
    bool question(const QString& text) override;

    // Prints one message the way information() does.
    void say(const QString& text);

  private:
    int m_messages = 0;
};
