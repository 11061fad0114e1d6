// Adding the files of a CUE sheet, each with a span for every track of it.
#include "joblist/CueSheet.h"
#include "joblist/JobList.h"

#include "audio/NativeName.h"
#include "core/SessionState.h"
#include "joblist/TimeText.h"

#include <QDir>
#include <QFileInfo>

namespace {

// The spans of one file's tracks (all in the file's time order), plus the
// open span. A track that begins at or after the file's end refuses the
// sheet.
std::vector<Span> trackSpans(const FileRow& r, const QList<const CueTrack*>& tracks,
                             const QString& sheetName) {
    std::vector<Span> spans;
    const int rate = std::max(1, r.rate);
    for (qsizetype k = 0; k < tracks.size(); ++k) {
        const std::int64_t begin = Cue::toSample(tracks[k]->start, rate);
        if (begin >= r.samples)
            throw CueError(QStringLiteral("%1, line %2: the track begins after the end of %3 (%4)")
                               .arg(sheetName)
                               .arg(tracks[k]->line)
                               .arg(NativeName::shown(QDir::toNativeSeparators(r.path)),
                                    formatTime(r.seconds)));
        Span span;
        span.beginFrame = begin;
        span.begin = std::int32_t(begin / rate);
        if (k + 1 < tracks.size()) {
            span.endFrame = std::min(r.samples, Cue::toSample(tracks[k + 1]->start, rate));
            span.end = std::int32_t(span.endFrame / rate);
        } else {
            span.end = r.seconds;
            span.toEnd = true;
        }
        span.tags = tracks[k]->tags;
        spans.push_back(span);
    }
    spans.push_back(Span{0, r.seconds});
    return spans;
}

} // namespace

QList<JobList::Refusal> JobList::addCueSheet(const QString& sheetPath) {
    QList<Refusal> refused;
    if (s.adding || s.converting)
        return {Refusal{sheetPath, QString()}};
    const QString sheetName = NativeName::shown(QDir::toNativeSeparators(sheetPath));
    const int before = rowCount();
    try {
        const CueSheet sheet = Cue::read(sheetPath);
        QStringList files;
        for (const CueTrack& track : sheet.tracks)
            if (!files.contains(track.file))
                files << track.file;
        refused = addFiles(files);
        if (!refused.isEmpty() || rowCount() != before + files.size()) {
            // A sheet is taken whole or not at all.
            while (rowCount() > before)
                removeFileAt(rowCount() - 1);
            return refused;
        }
        for (qsizetype f = 0; f < files.size(); ++f) {
            QList<const CueTrack*> tracks;
            for (const CueTrack& track : sheet.tracks)
                if (track.file == files[f]) {
                    if (!tracks.isEmpty() && track.start <= tracks.last()->start)
                        throw CueError(QStringLiteral("%1, line %2: the track begins before the "
                                                      "one before it in the same file")
                                           .arg(sheetName)
                                           .arg(track.line));
                    tracks << &track;
                }
            FileRow& r = file(before + int(f));
            r.spans = trackSpans(r, tracks, sheetName);
            r.spanCount = std::int32_t(r.spans.size());
        }
    } catch (const CueError& e) {
        while (rowCount() > before)
            removeFileAt(rowCount() - 1);
        refused.append({sheetPath, e.message()});
        return refused;
    }
    selectRow(before);
    selectFile();
    refreshTotal();
    return refused;
}
