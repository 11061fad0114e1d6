// The tag steps of the job list and the runs, on the tag units: the tags of a
// source being added, and those written into each split piece after it has
// been closed. The job list and the runs call them directly.
#pragma once

#include "tags/SourceTags.h"

#include <QByteArray>
#include <QList>
#include <QString>

struct OggTag;

// Reads ".ogg", ".mp3" and ".wma" sources (the extension compared in lower
// case); any other source gives an empty result. Every text is cut to
// TagTextLimit characters, and so is the caption; a caption holds no control
// character. Never throws: a tag that cannot be read gives an empty result,
// as an untagged file does, and whether the file can be played is for its
// reader to say. Never changes the file.
SourceTags readSourceTags(const QString& path, AddWay way) noexcept;

// Chooses the tag format by the output's lower-cased extension; an output of
// any other extension gets nothing. A tag that cannot be written raises an
// AudioError naming the output; the output then stays as its writer left it.
void copyTagsToOutput(const QString& path, const FileTags& tags);

// What a piece carries: the source's Title, Artist, Album, Genre and its year
// as Date; the source's comment is never copied.
OggTag oggOutputTag(const FileTags& tags);
// The comment header's comments of such a piece, in the order they are written.
QList<QByteArray> oggOutputComments(const FileTags& tags);
// The ID3v2 tag, whole, that an MP3 piece cut without re-encoding begins with:
// what writing the tags into an MP3 output would put there.
QByteArray id3v2OutputTag(const FileTags& tags);
