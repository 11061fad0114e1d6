// What cadelo-cli needs from the terminal: output streams, whether stderr is
// a terminal, and Ctrl-C.
#pragma once

#include <QString>

namespace Terminal {

// Writes `text` to stdout or stderr at once (no buffering across a run, so a
// script sees each written path as soon as the file is complete).
void writeOut(const QString& text);
void writeErr(const QString& text);
bool stderrIsTerminal();

// From now on Ctrl-C only raises a flag; the run's pump looks at it.
void installInterruptHandler();
bool interruptRequested();

} // namespace Terminal
