// The tag step of split outputs: the source's title, artist, album, year and
// genre written into each piece after it has been closed.
#pragma once

#include <QString>

struct FileTags;

// Chooses the tag format by the output's lower-cased extension; an output of
// any other extension gets nothing.
void copyTagsToOutput(const QString& path, const FileTags& tags);
