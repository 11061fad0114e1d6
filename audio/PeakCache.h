// Summaries kept on disk between sessions, one file a source, so a file seen
// before is drawn at once. A cache file is only a hint: anything in it that
// does not check out (another source, a changed one, damage) makes it unused.
#pragma once

#include "audio/PeakSummary.h"

#include <QString>
#include <cstdint>

namespace PeakCache {

// What a summary was made from: the file's absolute path, size and time.
struct Key {
    QString path;
    std::int64_t size = -1;
    std::int64_t modified = 0; // ms since the epoch, UTC
    bool valid() const { return size >= 0; }
};

// The key of the file as it is now; invalid when it does not exist.
Key keyOf(const QString& path);
// The cache file of a source in `folder`.
QString fileFor(const QString& folder, const Key& key);
// True (and `out` filled) only when `file` is a whole, undamaged summary made
// from exactly `key`.
bool load(const QString& file, const Key& key, PeakSummary& out);
// Writes atomically, creating the folder; false when it cannot.
bool save(const QString& file, const Key& key, const PeakSummary& summary);

} // namespace PeakCache
