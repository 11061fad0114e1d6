// Our own reader of the attribute records of legacy ASF files, for the files
// the attribute object cannot open. Read only.
#pragma once

#include "tags/WmaTag.h"

class QIODevice;
class QString;

// The attributes the device's bytes carry from its start; `found` is true once
// the header object is recognised, and what was read before a damaged part
// is kept.
WmaTagInfo readAsfFallback(QIODevice& device);
// The same for a file, opened for reading only; an empty record when it cannot be opened.
WmaTagInfo readAsfFallback(const QString& path);
