// The text steps that turn tag texts into captions and file names: cleaning,
// trimming and cutting to a length every list and file system can take.
#pragma once

#include <QString>

// A tag text is cut to this many characters where it is read: a legal but
// huge title would otherwise be carried through every caption and name.
inline constexpr qsizetype TagTextLimit = 1024;

// Removes every * ? | : " / \ < > and every control character (U+0000 to
// U+001F, U+007F, U+0080 to U+009F) from the text; nothing else changes.
QString cleanFileName(const QString& text);
// Removes only the control characters, as above.
QString withoutControls(const QString& text);

// A tag text trimmed as the readers trim it: every character up to U+0020,
// the controls included, and nothing else (no other Unicode spaces).
QString trimmedTagText(const QString& text);

// The first `limit` characters of the text; a character outside the Basic
// Multilingual Plane counts as one and is never split.
QString cutTagText(const QString& text, qsizetype limit = TagTextLimit);

// A title as a caption: the characters a file name cannot hold removed, then
// everything up to U+0020 trimmed from both ends.
QString captionOfTitle(const QString& title);
