// libvorbisfile reading through a QFile: every name a SourceFile opens works
// (names that are not UTF-8 included) and the file is never opened for writing.
#pragma once

#include "audio/FileSeek.h"

#include <QFile>
#include <vorbis/vorbisfile.h>

namespace vorbisfile_io {

inline size_t read(void* ptr, size_t size, size_t count, void* source) {
    auto* file = static_cast<QFile*>(source);
    if (size == 0 || count == 0)
        return 0;
    const qint64 got = file->read(static_cast<char*>(ptr), qint64(size * count));
    return got > 0 ? size_t(got) / size : 0;
}

inline int seek(void* source, ogg_int64_t offset, int whence) {
    return seekFile(*static_cast<QFile*>(source), offset, whence) < 0 ? -1 : 0;
}

inline long tell(void* source) {
    return long(static_cast<QFile*>(source)->pos());
}

} // namespace vorbisfile_io

// The file belongs to its owner; libvorbisfile must not close it.
inline constexpr ov_callbacks qFileCallbacks = {vorbisfile_io::read, vorbisfile_io::seek, nullptr,
                                                vorbisfile_io::tell};
