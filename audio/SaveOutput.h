// Writing outputs: an encoder's output is written beside its name and put in
// place only once complete, so that a file given up on leaves nothing behind,
// and a write the system refuses says why.
#pragma once

#include "audio/AudioError.h"

#include <QDir>
#include <QFileDevice>
#include <QIODevice>
#include <QSaveFile>
#include <QString>

// An encoder writes one file at a time; a second open() names the one asked for.
inline void refuseSecondOutput(bool writing, const QString& path) {
    if (writing)
        throw AudioError(
            QStringLiteral("Cannot create %1: a file is already being written").arg(path));
}

// The refusal of a format an encoder cannot take: `detail` is its own
// measure, such as "16 bits" or "128 kbps".
inline AudioError formatRefusal(const QString& path, const QString& encoder, int rate, int channels,
                                const QString& detail) {
    return AudioError(
        QStringLiteral("Cannot create %1: the %2 encoder does not accept %3 Hz, %4 channel(s), %5")
            .arg(path, encoder, QString::number(rate), QString::number(channels), detail));
}

// Opens `file` to write the output meant for `path` beside it. Unbuffered, so
// that a write the disk refuses (full, over a quota or a size limit) fails at
// once with the system's reason instead of being lost in a buffer flushed at
// commit; the encoders hand over whole pages or frames.
inline void openOutput(QSaveFile& file, const QString& path) {
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw AudioError(QStringLiteral("Cannot create %1: %2").arg(path, file.errorString()));
}

// Puts `file`, the output meant for `path`, in place; throws AudioError
// naming the file and the system's reason when it cannot be.
inline void putInPlace(QSaveFile& file, const QString& path) {
    if (!file.commit())
        throw AudioError(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

// Writes all of `data` to `out`. A disk that fills up takes part of a write
// first; writing the rest then fails with the system's reason, which the
// AudioError gives with the file's name.
inline void writeAllTo(QIODevice& out, const char* data, qint64 size) {
    while (size > 0) {
        const qint64 done = out.write(data, size);
        if (done <= 0) {
            const auto* file = qobject_cast<const QFileDevice*>(&out);
            if (!file)
                throw AudioError(out.errorString());
            throw AudioError(
                QStringLiteral("Cannot write %1: %2")
                    .arg(QDir::toNativeSeparators(file->fileName()), out.errorString()));
        }
        data += done;
        size -= done;
    }
}
