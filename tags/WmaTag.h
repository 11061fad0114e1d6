// WMA attributes of a file: the record its callers exchange, read through the
// attribute object (or our own parser of legacy ASF files) and written
// through the attribute object.
#pragma once

#include "tags/FileTags.h"

#include <QString>
#include <cstdint>

struct WmaTagInfo {
    bool found = false; // the attributes could be read
    QString year;
    std::uint16_t trackNumber = 0;
    QString artist;
    QString title;
    QString album;
    QString description;
    QString genre;

    friend bool operator==(const WmaTagInfo&, const WmaTagInfo&) = default;
};

// The fields of FileTags in a WMA record, the comment as the description.
inline constexpr TagField<WmaTagInfo> wmaTagFields[] = {
    {&FileTags::title, &WmaTagInfo::title},         {&FileTags::artist, &WmaTagInfo::artist},
    {&FileTags::year, &WmaTagInfo::year},           {&FileTags::album, &WmaTagInfo::album},
    {&FileTags::comment, &WmaTagInfo::description}, {&FileTags::genre, &WmaTagInfo::genre}};

// The attributes of `path`. A record with `found` false (and all else empty)
// means no source could read the file; a caller then keeps what it had. A
// text is read whole, as long as a string attribute can be. Never changes the
// file or its permissions.
WmaTagInfo readWmaTag(const QString& path);

// Sets the seven attributes of `tag` in `path`, each text cut at a whole
// character to what a string attribute can hold. A read-only file is made
// writable for the write only. False when the attribute object cannot open the
// file for writing or the file cannot be saved.
bool writeWmaTag(const QString& path, const WmaTagInfo& tag);
