// The tag record of a source: what the tag steps read from it and write into
// each of its pieces, and what the tag dialog edits.
#pragma once

#include <QString>
#include <cstddef>

struct FileTags {
    QString title;
    QString artist;
    QString year;
    QString album;
    QString comment;
    QString genre;
};

// Where a format's record keeps one text of FileTags. Each format's header
// states the table of its fields beside its record; the two copies below,
// one each way, go through that table, so that a field added to FileTags
// needs one line a format. A record's other fields are left as they are made.
template <typename Record> struct TagField {
    QString FileTags::*tags;
    QString Record::*record;
};

template <typename Record, std::size_t N>
Record recordOf(const FileTags& tags, const TagField<Record> (&fields)[N]) {
    Record record{};
    for (const TagField<Record>& field : fields)
        record.*field.record = tags.*field.tags;
    return record;
}

template <typename Record, std::size_t N>
FileTags fileTagsOf(const Record& record, const TagField<Record> (&fields)[N]) {
    FileTags tags;
    for (const TagField<Record>& field : fields)
        tags.*field.tags = record.*field.record;
    return tags;
}
