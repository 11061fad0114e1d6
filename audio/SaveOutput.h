// Writing a cut's pieces: a write the system refuses says why.
#pragma once

#include "audio/AudioError.h"

#include <QDir>
#include <QFileDevice>
#include <QIODevice>
#include <QString>

// Writes all of `data` to `out`. A disk that fills up takes part of a write
// first; writing the rest then fails: false, with the system's reason in
// out.errorString().
inline bool writeAll(QIODevice& out, const char* data, qint64 size) {
    while (size > 0) {
        const qint64 done = out.write(data, size);
        if (done <= 0)
            return false;
        data += done;
        size -= done;
    }
    return true;
}

// The same, failing with an AudioError that gives the system's reason with
// the file's name.
inline void writeAllTo(QIODevice& out, const char* data, qint64 size) {
    if (writeAll(out, data, size))
        return;
    const auto* file = qobject_cast<const QFileDevice*>(&out);
    if (!file)
        throw AudioError(out.errorString());
    throw AudioError(QStringLiteral("Cannot write %1: %2")
                         .arg(QDir::toNativeSeparators(file->fileName()), out.errorString()));
}
