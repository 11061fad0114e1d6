// The tags of a source being added: what its row shows as caption and what
// its tag record holds, as readSourceTags gives them.
#pragma once

#include "tags/FileTags.h"

#include <QString>

// How a source reaches the list: through the open dialog (or the command line
// and drops), or as one of a folder's Ogg files.
enum class AddWay { Files, Folder };

struct SourceTags {
    QString caption; // empty: the row keeps its file name
    FileTags tags;
};
