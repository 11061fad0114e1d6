// The tags of a source being added: what its row shows as caption and what
// its tag record holds, read by the format its extension names.
#pragma once

#include "joblist/JobRecords.h"

#include <QString>

// How a source reaches the list: through the open dialog (or the command line
// and drops), or as one of a folder's Ogg files.
enum class AddWay { Files, Folder };

struct SourceTags {
    QString caption; // empty: the row keeps its file name
    FileTags tags;
};

// A title as a caption: the characters a file name cannot hold removed, then
// everything up to U+0020 trimmed from both ends.
QString captionOfTitle(const QString& title);

// Reads ".ogg", ".mp3" and ".wma" sources (the extension compared in lower
// case); any other source gives an empty result. Raises the readers' errors
// (OggTagError, Id3Error) for a file they cannot open. Never changes the file.
SourceTags readSourceTags(const QString& path, AddWay way);
