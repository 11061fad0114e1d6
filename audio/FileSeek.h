// The seek of the codec libraries' read callbacks (fseek's offset and whence)
// on the QFile a back end reads through.
#pragma once

#include <QFile>
#include <cstdio>

// Moves `file` to `offset` from the start, the current position or the end
// (SEEK_SET, SEEK_CUR, SEEK_END); the new position, or -1 where it cannot go.
inline qint64 seekFile(QFile& file, qint64 offset, int whence) {
    qint64 target = offset;
    if (whence == SEEK_CUR)
        target += file.pos();
    else if (whence == SEEK_END)
        target += file.size();
    if (target < 0 || !file.seek(target))
        return -1;
    return target;
}
