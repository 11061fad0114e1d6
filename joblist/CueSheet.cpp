// Read line by line rather than by libcue: libcue names no line of a fault
// (and a wrong one on its error stream), prints "bad character" lines to
// standard output (the lines cadelo-cli's callers read) and still returns a
// sheet for a malformed one; the checks here must name the line they refuse.
#include "joblist/CueSheet.h"

#include "audio/NativeName.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringList>
#include <optional>

namespace Cue {

namespace {

// The words of a line: a quoted value is one word without its quotes.
QStringList wordsOf(const QString& line) {
    QStringList words;
    qsizetype i = 0;
    while (i < line.size()) {
        while (i < line.size() && line[i].isSpace())
            ++i;
        if (i >= line.size())
            break;
        QString word;
        if (line[i] == QLatin1Char('"')) {
            const qsizetype close = line.indexOf(QLatin1Char('"'), i + 1);
            word = line.mid(i + 1, close < 0 ? -1 : close - i - 1);
            i = close < 0 ? line.size() : close + 1;
        } else {
            const qsizetype from = i;
            while (i < line.size() && !line[i].isSpace())
                ++i;
            word = line.mid(from, i - from);
        }
        words << word;
    }
    return words;
}

// The file a FILE line names, or the one it meant. A sheet is often written
// for the WAVE image a ripper made, which was compressed afterwards, or on a
// system that ignores letter case: a name that is missing stands for the
// same name in other letters, else for an audio file of that name with
// another extension, lossless first. Empty when there is none.
QString audioFileFor(const QString& named) {
    if (NativeName::isFile(named))
        return named;
    static const QStringList kAudio = {
        QStringLiteral("flac"), QStringLiteral("wav"),  QStringLiteral("wv"),
        QStringLiteral("ape"),  QStringLiteral("aiff"), QStringLiteral("aif"),
        QStringLiteral("ogg"),  QStringLiteral("oga"),  QStringLiteral("opus"),
        QStringLiteral("m4a"),  QStringLiteral("mp3"),  QStringLiteral("wma")};
    const QFileInfo wanted(named);
    QString found;
    qsizetype rank = kAudio.size();
    for (const QFileInfo& entry : wanted.dir().entryInfoList(QDir::Files, QDir::Name)) {
        if (entry.fileName().compare(wanted.fileName(), Qt::CaseInsensitive) == 0)
            return entry.filePath();
        if (entry.completeBaseName().compare(wanted.completeBaseName(), Qt::CaseInsensitive) != 0)
            continue;
        const qsizetype at = kAudio.indexOf(entry.suffix().toLower());
        if (at >= 0 && at < rank) {
            rank = at;
            found = entry.filePath();
        }
    }
    return found;
}

// The value after the keyword(s): quoted, or the rest of the line unquoted.
QString valueAfter(const QString& line, int keywords) {
    qsizetype i = 0;
    for (int k = 0; k < keywords; ++k) {
        while (i < line.size() && line[i].isSpace())
            ++i;
        while (i < line.size() && !line[i].isSpace())
            ++i;
    }
    const QString rest = line.mid(i).trimmed();
    if (rest.startsWith(QLatin1Char('"'))) {
        const qsizetype close = rest.indexOf(QLatin1Char('"'), 1);
        return rest.mid(1, close < 0 ? -1 : close - 1);
    }
    return rest;
}

// mm:ss:ff as CUE frames; minutes may pass 99.
std::optional<std::int64_t> timeOf(const QString& text) {
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 3)
        return std::nullopt;
    std::int64_t values[3];
    for (int k = 0; k < 3; ++k) {
        bool ok = false;
        values[k] = parts[k].toLongLong(&ok);
        if (!ok || parts[k].isEmpty() || parts[k].size() > (k == 0 ? 6 : 2) || values[k] < 0)
            return std::nullopt;
    }
    if (values[1] > 59 || values[2] >= FramesPerSecond)
        return std::nullopt;
    return (values[0] * 60 + values[1]) * FramesPerSecond + values[2];
}

QString timeText(std::int64_t frames) {
    return QStringLiteral("%1:%2:%3")
        .arg(frames / FramesPerSecond / 60, 2, 10, QLatin1Char('0'))
        .arg(frames / FramesPerSecond % 60, 2, 10, QLatin1Char('0'))
        .arg(frames % FramesPerSecond, 2, 10, QLatin1Char('0'));
}

} // namespace

QString decode(const QByteArray& bytes) {
    QByteArray text = bytes;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = utf8(text);
    // The sheets of older rippers are in the Windows code page; its Latin-1
    // part is what they hold.
    return utf8.hasError() ? QString::fromLatin1(text) : decoded;
}

CueSheet parse(const QByteArray& bytes, const QString& folder, const QString& shownName) {
    const QStringList lines = decode(bytes).split(QLatin1Char('\n'));
    const auto refuse = [&](int line, const QString& reason) {
        return CueError(QStringLiteral("%1, line %2: %3").arg(shownName).arg(line).arg(reason));
    };

    CueSheet sheet;
    FileTags album; // the sheet's own TITLE, PERFORMER and REM lines
    QString file;
    int trackLine = 0; // the open track's TRACK line, 0 when none is open
    bool trackIndexed = false;
    std::int64_t lastStart = -1; // of the open file's tracks
    const auto closeTrack = [&] {
        if (trackLine > 0 && !trackIndexed)
            throw refuse(trackLine, QStringLiteral("the track has no INDEX 01"));
    };

    for (int n = 0; n < lines.size(); ++n) {
        const int lineNo = n + 1;
        QString line = lines[n];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QStringList words = wordsOf(line);
        if (words.isEmpty())
            continue;
        const QString keyword = words[0].toUpper();
        const bool inTrack = trackLine > 0;
        FileTags& tags = inTrack ? sheet.tracks.last().tags : album;
        if (keyword == QLatin1String("FILE")) {
            // Unquoted, a name with spaces runs up to the type word.
            QString name = valueAfter(line, 1);
            if (!line.contains(QLatin1Char('"')) && words.size() > 2)
                name = words.mid(1, words.size() - 2).join(QLatin1Char(' '));
            else if (words.size() > 1)
                name = words[1];
            if (name.isEmpty())
                throw refuse(lineNo, QStringLiteral("FILE names no file"));
            const QString named = QDir::cleanPath(QDir(folder).absoluteFilePath(name));
            file = audioFileFor(named);
            if (file.isEmpty())
                throw refuse(
                    lineNo,
                    QStringLiteral("the file %1 is missing").arg(QDir::toNativeSeparators(named)));
            lastStart = -1;
            // A track whose pregap ends the file before begins in this one.
            if (inTrack && !trackIndexed)
                sheet.tracks.last().file = file;
            else
                trackLine = 0;
        } else if (keyword == QLatin1String("TRACK")) {
            closeTrack();
            if (file.isEmpty())
                throw refuse(lineNo, QStringLiteral("TRACK comes before any FILE"));
            CueTrack track;
            track.file = file;
            track.tags.artist = album.artist;
            track.tags.album = album.title;
            track.tags.year = album.year;
            track.tags.genre = album.genre;
            sheet.tracks << track;
            trackLine = lineNo;
            trackIndexed = false;
        } else if (keyword == QLatin1String("INDEX") && words.size() >= 3 && inTrack) {
            const std::optional<std::int64_t> at = timeOf(words[2]);
            if (!at)
                throw refuse(lineNo, QStringLiteral("\"%1\" is not a time mm:ss:ff").arg(words[2]));
            if (words[1].toInt() != 1)
                continue;
            if (*at <= lastStart)
                throw refuse(lineNo,
                             QStringLiteral("the track begins at %1, not after the one before "
                                            "it (%2)")
                                 .arg(timeText(*at), timeText(lastStart)));
            sheet.tracks.last().start = *at;
            sheet.tracks.last().line = lineNo;
            lastStart = *at;
            trackIndexed = true;
        } else if (keyword == QLatin1String("TITLE")) {
            tags.title = valueAfter(line, 1);
        } else if (keyword == QLatin1String("PERFORMER")) {
            tags.artist = valueAfter(line, 1);
        } else if (keyword == QLatin1String("REM") && words.size() >= 2) {
            const QString what = words[1].toUpper();
            if (what == QLatin1String("DATE"))
                tags.year = valueAfter(line, 2);
            else if (what == QLatin1String("GENRE"))
                tags.genre = valueAfter(line, 2);
        }
        // Everything else (CATALOG, FLAGS, ISRC, PREGAP, other REM lines)
        // does not change where a piece lies or what it is called.
    }
    closeTrack();
    if (sheet.tracks.isEmpty()) {
        int last = int(lines.size());
        while (last > 1 && lines[last - 1].trimmed().isEmpty())
            --last;
        throw refuse(last, QStringLiteral("the sheet holds no TRACK"));
    }
    return sheet;
}

CueSheet read(const QString& path) {
    QFile f(path);
    const QString shown = NativeName::shown(QDir::toNativeSeparators(path));
    if (!f.open(QIODevice::ReadOnly))
        throw CueError(QStringLiteral("Cannot read %1: %2").arg(shown, f.errorString()));
    // A sheet is a few kilobytes; anything far larger is no sheet.
    constexpr qint64 Limit = 4 * 1024 * 1024;
    if (f.size() > Limit)
        throw CueError(QStringLiteral("%1 is too large for a CUE sheet").arg(shown));
    return parse(f.read(Limit), QFileInfo(path).absolutePath(), shown);
}

} // namespace Cue
