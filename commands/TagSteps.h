// The tag steps of the job list and the runs, on the tag units: the tags of a
// source being added, and those written into each split piece after it has
// been closed. connectTagSteps hands them to a job list and a run.
#pragma once

#include "joblist/SourceTags.h"

#include <QByteArray>
#include <QList>
#include <QString>

class Conversion;
class JobList;
struct FileTags;
struct OggTag;

// Sets the job list's and the run's tag hooks to the functions below.
void connectTagSteps(JobList& jobs, Conversion& conversion);
void connectTagSteps(JobList& jobs);
void connectTagSteps(Conversion& conversion);

// A title as a caption: the characters a file name cannot hold removed, then
// everything up to U+0020 trimmed from both ends.
QString captionOfTitle(const QString& title);

// Reads ".ogg", ".mp3" and ".wma" sources (the extension compared in lower
// case); any other source gives an empty result. Raises the readers' errors
// (OggTagError, Id3Error) for a file they cannot open. Never changes the file.
SourceTags readSourceTags(const QString& path, AddWay way);

// Chooses the tag format by the output's lower-cased extension; an output of
// any other extension gets nothing. A tag that cannot be written raises an
// AudioError naming the output; the output then stays as its writer left it.
void copyTagsToOutput(const QString& path, const FileTags& tags);

// What a piece carries: the source's Title, Artist, Album, Genre and its year
// as Date; the source's comment is never copied.
OggTag oggOutputTag(const FileTags& tags);
// The comment header's comments of such a piece, in the order they are written.
QList<QByteArray> oggOutputComments(const FileTags& tags);
