// The program's own modules: shared libraries that wrap a large library only
// some jobs need (FFmpeg, SDL), opened the first time a job needs one, so that
// a short command never pays for loading them.
#pragma once

#include <QString>
#include <QtGlobal>

class LoadableModule {
  public:
    // The function `entry` of the module `name` (a file name without prefix
    // or suffix, as CMake builds it). The module is looked for beside the
    // program, in the installed module folder and, for the tests and the
    // benchmarks one folder down in the build tree, in the folder above; it is
    // loaded once and kept for the process. Null where it cannot be loaded,
    // with `error` saying why. Safe to call from several threads.
    static QFunctionPointer resolve(const QString& name, const char* entry, QString& error);
};
