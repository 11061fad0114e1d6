// Entry of cadelo-cli: the job list's splits and joins run from a terminal,
// on the same core as the window, with no window at all.
#include "audio/NativeName.h"
#include "cli/CliOptions.h"
#include "cli/CliSession.h"
#include "cli/Terminal.h"

#include <QCoreApplication>
#include <QStringList>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("cadelo-cli"));
    QCoreApplication::setApplicationVersion(QLatin1String(CADELO_VERSION));
    Terminal::installInterruptHandler();

    CliOptions options;
    try {
        // From argv's bytes: Qt's own list has lost those of a name that is not UTF-8.
        options = parseCliOptions(NativeName::arguments(argc, argv).mid(1));
    } catch (const UsageError& e) {
        Terminal::writeErr(QStringLiteral("cadelo-cli: ") + e.message() + QLatin1Char('\n') +
                           cliUsageText());
        return int(CliExit::Usage);
    }
    if (options.command == CliCommand::Help) {
        Terminal::writeOut(cliHelpText());
        return int(CliExit::Ok);
    }
    if (options.command == CliCommand::Version) {
        Terminal::writeOut(cliVersionText());
        return int(CliExit::Ok);
    }

    CliSession session(options, Terminal::stderrIsTerminal());
    return int(session.run());
}
