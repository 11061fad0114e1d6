// Terminal streams and Ctrl-C for cadelo-cli; everything that differs between
// platforms stays in this file.
#include "cli/Terminal.h"

#include <QByteArray>
#include <csignal>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// A signal handler may only store to a volatile sig_atomic_t, so the flag
// cannot live in MainState; the pump copies it into the run state by calling
// StopConversion.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) {
    interrupted = 1;
}

void write(std::FILE* stream, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

namespace Terminal {

void writeOut(const QString& text) {
    write(stdout, text);
}

void writeErr(const QString& text) {
    write(stderr, text);
}

bool stderrIsTerminal() {
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

void installInterruptHandler() {
    std::signal(SIGINT, onInterrupt);
}

bool interruptRequested() {
    return interrupted != 0;
}

} // namespace Terminal
