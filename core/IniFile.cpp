// INI settings file with the manners of the classic private-profile functions.
// Lines are kept as raw bytes so that a file written by another program (ANSI
// text, comments, foreign sections, CRLF ends) survives our writes untouched;
// only the line we change is rewritten. Every line keeps its own line end, so a
// file of LF, CRLF or bare CR ends (or a mix of them) keeps its style.
#include "core/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

constexpr int MaxStringLength = 2047;

struct Line {
    QByteArray text; // without its line end
    QByteArray end;  // "\r\n", "\n", "\r", or empty for a last line without one
};

struct Lines {
    QList<Line> lines;
    QByteArray eol = "\n"; // the file's first line end, given to the lines we add
};

// CRLF, LF and a bare CR (old Mac editors) each end a line, so a file of any of
// these styles reads line by line and no stray CR ends up inside a value.
Lines readLines(const QString& path) {
    Lines result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QByteArray data = file.readAll();
    bool eolSeen = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < data.size(); ++i) {
        const char c = data.at(i);
        if (c != '\r' && c != '\n')
            continue;
        const qsizetype endSize =
            (c == '\r' && i + 1 < data.size() && data.at(i + 1) == '\n') ? 2 : 1;
        Line line{data.mid(start, i - start), data.mid(i, endSize)};
        if (!eolSeen) {
            result.eol = line.end;
            eolSeen = true;
        }
        result.lines.append(std::move(line));
        i += endSize - 1;
        start = i + 1;
    }
    if (start < data.size())
        result.lines.append(Line{data.mid(start), QByteArray()});
    return result;
}

// The classic functions know only the ANSI code page; we write UTF-8 and read a
// line that is not valid UTF-8 as Latin-1 so that old files still load.
QString decode(const QByteArray& bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    if (decoder.hasError())
        return QString::fromLatin1(bytes);
    return text;
}

bool isComment(const QByteArray& trimmed) {
    return trimmed.startsWith(';') || trimmed.startsWith('#');
}

// "[name]" -> name; nullopt for a line that is not a section header.
std::optional<QString> sectionName(const QByteArray& line) {
    const QByteArray t = line.trimmed();
    if (!t.startsWith('['))
        return std::nullopt;
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return std::nullopt;
    return decode(t.mid(1, close - 1)).trimmed();
}

// "key = value" -> key; nullopt for lines without '=' and comments.
std::optional<QString> keyName(const QByteArray& line) {
    const QByteArray t = line.trimmed();
    if (t.isEmpty() || isComment(t) || t.startsWith('['))
        return std::nullopt;
    const qsizetype eq = t.indexOf('=');
    if (eq < 0)
        return std::nullopt;
    return decode(t.left(eq)).trimmed();
}

QString valueOf(const QByteArray& line) {
    const qsizetype eq = line.indexOf('=');
    QString value = decode(line.mid(eq + 1)).trimmed();
    // The classic reader drops one pair of matching quotes around the value.
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == u'"' || first == u'\'') && value.back() == first)
            value = value.mid(1, value.size() - 2);
    }
    return value;
}

bool sameName(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

struct Location {
    qsizetype section = -1;   // index of the section header line
    qsizetype key = -1;       // index of the key's line
    qsizetype lastEntry = -1; // last non-blank line of the section
};

Location locate(const QList<Line>& lines, const QString& section, const QString& key) {
    Location loc;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i).text;
        if (const auto name = sectionName(line)) {
            if (loc.section >= 0 && inSection)
                break; // only the first section of that name counts
            inSection = sameName(*name, section);
            if (inSection) {
                loc.section = i;
                loc.lastEntry = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!line.trimmed().isEmpty())
            loc.lastEntry = i;
        if (loc.key < 0) {
            if (const auto k = keyName(line); k && sameName(*k, key))
                loc.key = i;
        }
    }
    return loc;
}

std::optional<QString> lookup(const QString& path, const QString& section, const QString& key) {
    const Lines file = readLines(path);
    const Location loc = locate(file.lines, section, key);
    if (loc.key < 0)
        return std::nullopt;
    return valueOf(file.lines.at(loc.key).text);
}

int saturated(qint64 value) {
    return static_cast<int>(std::clamp<qint64>(value, std::numeric_limits<int>::min(),
                                               std::numeric_limits<int>::max()));
}

// Decimal, or hexadecimal after "0x"/"0X"; nullopt for anything else.
std::optional<int> parseInteger(QString text) {
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    bool negative = false;
    if (text.front() == u'-' || text.front() == u'+') {
        negative = text.front() == u'-';
        text.remove(0, 1);
    }
    bool ok = false;
    if (text.size() > 2 &&
        (text.startsWith(QLatin1String("0x")) || text.startsWith(QLatin1String("0X")))) {
        const QString digits = text.mid(2);
        if (digits.size() > 8 || digits.front() == u'+' || digits.front() == u'-')
            return std::nullopt;
        // Eight hex digits wrap into the signed range, as 0xFFFFFFFF is -1. The
        // sign applies after the wrap, so "-0x80000000" would be 2^31: it
        // saturates rather than overflowing.
        const quint32 bits = digits.toUInt(&ok, 16);
        if (!ok)
            return std::nullopt;
        const qint64 value = static_cast<qint32>(bits);
        return saturated(negative ? -value : value);
    }
    for (const QChar c : std::as_const(text)) {
        if (!c.isDigit() || c.unicode() > 127)
            return std::nullopt;
    }
    // Written numbers beyond the int range are no value at all, unlike the hex
    // wrap above; at most 19 digits fit the 64-bit parse, more fail it.
    const qint64 magnitude = text.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    const qint64 value = negative ? -magnitude : magnitude;
    if (value != saturated(value))
        return std::nullopt;
    return static_cast<int>(value);
}

// NUL and the other control characters cannot be part of a meaningful value: a
// NUL cuts a file name short once it reaches the file system, and our writes
// never store a line break. Such a value is damage, read as a missing key.
bool hasControlCharacter(const QString& text) {
    return std::any_of(text.cbegin(), text.cend(),
                       [](QChar c) { return c.category() == QChar::Other_Control; });
}

// A value with a line break would split into lines of its own and could forge
// keys; the classic file format has no way to hold one, so it becomes a space.
QByteArray encodeValue(const QString& value) {
    QString flat = value;
    flat.replace(QLatin1String("\r\n"), QLatin1String(" "));
    flat.replace(u'\r', u' ');
    flat.replace(u'\n', u' ');
    return flat.toUtf8();
}

} // namespace

IniFile::IniFile(const QString& path) : m_path(path) {}

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue) const {
    const std::optional<QString> text = lookup(m_path, section, key);
    if (!text)
        return defaultValue;
    return parseInteger(*text).value_or(defaultValue);
}

bool IniFile::readBool(const QString& section, const QString& key, bool defaultValue) const {
    return readInteger(section, key, defaultValue ? 1 : 0) != 0;
}

QString IniFile::readString(const QString& section, const QString& key,
                            const QString& defaultValue) const {
    const std::optional<QString> text = lookup(m_path, section, key);
    if (!text)
        return defaultValue;
    const QString value = text->left(MaxStringLength);
    return hasControlCharacter(value) ? defaultValue : value;
}

void IniFile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void IniFile::writeBool(const QString& section, const QString& key, bool value) {
    writeString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    Lines file = readLines(m_path);
    const Location loc = locate(file.lines, section, key);
    const QByteArray entry = key.toUtf8() + '=' + encodeValue(value);

    // A last line without a line end gets one before anything follows it.
    const auto insertLine = [&file](qsizetype at, const QByteArray& text) {
        if (at > 0 && file.lines.at(at - 1).end.isEmpty())
            file.lines[at - 1].end = file.eol;
        file.lines.insert(at, Line{text, file.eol});
    };
    if (loc.key >= 0) {
        file.lines[loc.key].text = entry;
    } else if (loc.section >= 0) {
        insertLine(loc.lastEntry + 1, entry);
    } else {
        if (!file.lines.isEmpty() && !file.lines.constLast().text.trimmed().isEmpty())
            insertLine(file.lines.size(), QByteArray());
        insertLine(file.lines.size(), '[' + section.toUtf8() + ']');
        insertLine(file.lines.size(), entry);
    }

    QByteArray data;
    for (const Line& line : std::as_const(file.lines))
        data += line.text + line.end;

    const auto refuse = [this] {
        throw IniWriteError(
            QStringLiteral("Unable to write to %1").arg(QDir::toNativeSeparators(m_path)));
    };
    // The user's configuration folder may not exist yet on a fresh account.
    const QFileInfo info(m_path);
    if (!info.absoluteDir().exists() && !QDir().mkpath(info.absolutePath()))
        refuse();
    // Written beside the old file and renamed over it: a refused or broken write
    // never leaves the user's settings truncated.
    QSaveFile out(m_path);
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.commit())
        refuse();
}
