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
    m_questions << text;
    return replaceAnswer;
}

QStringList CliPrompt::openFiles(const QString&, const QStringList&) {
    return files;
}

QString CliPrompt::saveFile(const QString&, const QStringList&, int&) {
    return saveAnswer;
}

QString CliPrompt::pickFolder(const QString&) {
    return {};
}

void CliPrompt::openUrl(const QUrl&) {
    // A terminal run opens no folder or page on anybody's desktop.
}
