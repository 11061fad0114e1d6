// Name templates of split pieces: "{n} - {title}" and the like, filled from a
// piece's number, start and tags into a name that is one file of the folder.
#pragma once

#include "tags/FileTags.h"

#include <QString>
#include <cstdint>

namespace NameTemplate {

// What a template's fields are filled from.
struct PieceFields {
    QString source;          // the source row's caption
    std::int64_t number = 1; // the piece's number, from 1
    std::int64_t count = 1;  // the pieces of its file: {n}'s width
    FileTags tags;           // the piece's own tags
    std::int64_t startSeconds = 0;
};

// Empty when every "{...}" of `text` is a known field; otherwise the message
// that names the first unknown one.
QString problem(const QString& text);

// The name the template gives, without ".ogg" and without numbering: every
// field's value and the template's own text cleaned of what the file system
// refuses (a "/" included, so no name reaches into another folder), and
// trimmed. Empty when nothing is left, or when the template is not valid.
QString expand(const QString& text, const PieceFields& fields);

} // namespace NameTemplate
