// Output file names of split pieces: taken from the source row's caption,
// numbered, and never the name of a file that already exists.
#pragma once

#include <QString>

namespace OutputNaming {

// The caption up to its first "."; the whole caption when it has none or
// begins with one.
QString baseOf(const QString& caption);
// Replaces the part from the last "." on by ".ogg", or appends ".ogg" when the
// name holds no ".".
QString withOggExtension(const QString& name);
// True when something (a file, a folder, even a dangling link) holds the path.
bool taken(const QString& path);
// `dir` with exactly one separator before `name`.
QString inFolder(const QString& dir, const QString& name);

// The output path for the next piece of the row captioned `caption`: base_1.ogg
// when free, else the first free of base_1.ogg, base_2.ogg, ... (the count goes
// on past 100 until a name is free).
QString choosePiecePath(const QString& dir, const QString& caption);
// The path tried when the caption's name could not be created: the source's
// file name with ".ogg", numbered like the pieces when that name is taken (it
// may be the source itself).
QString fallbackPath(const QString& dir, const QString& sourcePath);

// The join's output for the name chosen in the save dialog, relative to
// `dir`: ".ogg" is appended whatever was typed, so mix.ogg becomes mix.ogg.ogg.
QString joinOutputPath(const QString& dir, const QString& chosen);
// The question asked before an existing join output is replaced.
QString replaceQuestion(const QString& path);

} // namespace OutputNaming
