// The calls that differ between operating systems, in one place: asking the
// program to end, and whether a stream is a terminal.
#pragma once

#include <functional>

class QObject;

class Platform {
  public:
    // From now on a request to end the program (SIGTERM, SIGINT, SIGHUP on
    // POSIX systems) calls `onRequest` from `context`'s event loop instead of
    // ending it at once. False where that cannot be set up (and on systems
    // without such signals).
    static bool onTerminationRequest(QObject* context, std::function<void()> onRequest);
    static bool stderrIsTerminal();
};
