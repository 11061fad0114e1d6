// The seek of the codec libraries' read callbacks (fseek's offset and whence)
// on the QFile a back end reads through.
#pragma once

#include <QFile>
#include <cstdio>

// Moves `file` to `offset` from the start, the current position or the end
// (SEEK_SET, SEEK_CUR, SEEK_END); the new position, or -1 where it cannot go.
// A target outside the file (damaged offsets ask for those) is refused before
// QFile sees it, which would complain on standard error.
inline qint64 seekFile(QFile& file, qint64 offset, int whence) {
    const qint64 size = file.size();
    qint64 base = 0;
    if (whence == SEEK_CUR)
        base = file.pos();
    else if (whence == SEEK_END)
        base = size;
    else if (whence != SEEK_SET)
        return -1;
    if (offset < -base || offset > size - base)
        return -1;
    const qint64 target = base + offset;
    if (!file.seek(target))
        return -1;
    return target;
}
