#include "core/Platform.h"

#include <QObject>
#include <QSocketNotifier>

#ifdef Q_OS_WIN
#include <cstdio>
#include <io.h>
#else
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

#ifndef Q_OS_WIN
namespace {

// The two ends of the socket pair on which the signal handler wakes the
// event loop: a handler may do little more than write a byte.
int terminationSocket[2] = {-1, -1};

void onTerminationSignal(int) {
    const char byte = 1;
    // A full socket already wakes the loop.
    [[maybe_unused]] const ssize_t written = ::write(terminationSocket[0], &byte, 1);
}

} // namespace
#endif

bool Platform::onTerminationRequest(QObject* context, std::function<void()> onRequest) {
#ifdef Q_OS_WIN
    Q_UNUSED(context);
    Q_UNUSED(onRequest);
    return false;
#else
    if (terminationSocket[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, terminationSocket) != 0)
        return false;
    auto* notifier = new QSocketNotifier(terminationSocket[1], QSocketNotifier::Read, context);
    QObject::connect(
        notifier, &QSocketNotifier::activated, context, [request = std::move(onRequest)] {
            char byte = 0;
            [[maybe_unused]] const ssize_t read = ::read(terminationSocket[1], &byte, 1);
            request();
        });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    return true;
#endif
}

bool Platform::stderrIsTerminal() {
#ifdef Q_OS_WIN
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}
