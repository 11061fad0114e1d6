// CUE sheets: the tracks of an album image (which file, where each begins,
// its title and performer) read from the sheet's text, UTF-8 or Latin-1.
#pragma once

#include "audio/MessageError.h"
#include "tags/FileTags.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstdint>

// A sheet that cannot be used; the message names the sheet and the line.
class CueError : public MessageError {
  public:
    using MessageError::MessageError;
};

struct CueTrack {
    QString file;           // the audio file's full path
    std::int64_t start = 0; // INDEX 01, in CUE frames of 1/75 s
    FileTags tags;          // title, performer as artist, the sheet's album, date and genre
    int line = 0;           // the line of its INDEX 01
};

struct CueSheet {
    QList<CueTrack> tracks; // in the sheet's order; a file's tracks in time order
};

namespace Cue {

// CUE frames per second.
inline constexpr std::int64_t FramesPerSecond = 75;

// A CUE frame as a frame of audio at `rate` (whole at the CD rates; at
// others the frame before).
inline std::int64_t toSample(std::int64_t cueFrames, int rate) {
    return cueFrames * rate / FramesPerSecond;
}

// The sheet's text: UTF-8 (a byte order mark is dropped), or Latin-1 when
// the bytes are not UTF-8.
QString decode(const QByteArray& bytes);

// Reads the sheet at `path`; its files are looked up in the sheet's folder,
// a missing one under its name in other letters or with another audio
// extension (the sheet of a WAVE image that was compressed to FLAC).
// Throws CueError for a sheet that cannot be read, names a missing file,
// holds no track, a track without INDEX 01, a malformed time or times out of
// order within a file.
CueSheet read(const QString& path);
// The same for a sheet's bytes; `shownName` is what the messages call it.
CueSheet parse(const QByteArray& bytes, const QString& folder, const QString& shownName);

} // namespace Cue
