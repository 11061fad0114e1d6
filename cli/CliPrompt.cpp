#include "cli/CliPrompt.h"

#include "cli/Terminal.h"

void CliPrompt::say(const QString& text) {
    if (beforeMessage)
        beforeMessage();
    // A message box shows a carriage return as a line break; a terminal would
    // go back to the start of the line and overwrite the text instead.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    Terminal::writeErr(QStringLiteral("cadelo-cli: ") + shown + QLatin1Char('\n'));
}

void CliPrompt::information(const QString& text) {
    ++m_messages;
    say(text);
}

bool CliPrompt::question(const QString& text) {
    // Nobody is there to answer: a question is said and taken as No.
    say(text);
    return false;
}
