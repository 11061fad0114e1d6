// Terminal streams and Ctrl-C for cadelo-cli.
#include "cli/Terminal.h"

#include "audio/NativeName.h"
#include "core/Platform.h"

#include <QByteArray>
#include <csignal>
#include <cstdio>

namespace {

// A signal handler may only store to a volatile sig_atomic_t, so the flag
// cannot live in SessionState; the pump copies it into the run state by calling
// StopConversion.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) {
    interrupted = 1;
}

void write(std::FILE* stream, const QString& text) {
    // A name that is not UTF-8 is shown, never written as its lone surrogates.
    const QByteArray bytes = NativeName::shown(text).toLocal8Bit();
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
    return Platform::stderrIsTerminal();
}

void installInterruptHandler() {
    std::signal(SIGINT, onInterrupt);
}

bool interruptRequested() {
    return interrupted != 0;
}

} // namespace Terminal
