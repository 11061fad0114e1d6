// The tag step of split outputs: the source's title, artist, album, year and
// genre written into each piece after it has been closed.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

struct FileTags;
struct OggTag;

// Chooses the tag format by the output's lower-cased extension; an output of
// any other extension gets nothing. A tag that cannot be written raises an
// AudioError naming the output; the output then stays as its writer left it.
void copyTagsToOutput(const QString& path, const FileTags& tags);

// What a piece carries: the source's Title, Artist, Album, Genre and its year
// as Date; the source's comment is never copied.
OggTag oggOutputTag(const FileTags& tags);
// The comment header's comments of such a piece, in the order they are written.
QList<QByteArray> oggOutputComments(const FileTags& tags);
