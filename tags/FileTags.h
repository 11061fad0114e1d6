// The tag record of a source: what the tag steps read from it and write into
// each of its pieces, and what the tag dialog edits.
#pragma once

#include <QString>

struct FileTags {
    QString title;
    QString artist;
    QString year;
    QString album;
    QString comment;
    QString genre;
};
