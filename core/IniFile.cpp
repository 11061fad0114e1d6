// INI settings file with the manners of the classic private-profile functions.
// Lines are kept as raw bytes so that a file written by another program (ANSI
// text, comments, foreign sections, CRLF ends) survives our writes untouched;
// only the line we change is rewritten.
#include "core/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <limits>
#include <optional>

namespace {

constexpr int MaxStringLength = 2047;

struct Lines {
    QList<QByteArray> lines; // without their line ends
    QByteArray eol = "\n";   // the file's own line end, kept on rewrite
    bool finalEol = true;    // whether the last line had a line end
};

Lines readLines(const QString& path) {
    Lines result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return result;
    const QByteArray data = file.readAll();
    if (data.isEmpty())
        return result;
    const qsizetype firstLf = data.indexOf('\n');
    if (firstLf > 0 && data.at(firstLf - 1) == '\r')
        result.eol = "\r\n";
    result.lines = data.split('\n');
    result.finalEol = data.endsWith('\n');
    if (result.finalEol)
        result.lines.removeLast(); // the empty piece after the last line end
    for (QByteArray& line : result.lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
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

Location locate(const QList<QByteArray>& lines, const QString& section, const QString& key) {
    Location loc;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray& line = lines.at(i);
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
    return valueOf(file.lines.at(loc.key));
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
    qint64 magnitude = 0;
    if (text.size() > 2 &&
        (text.startsWith(QLatin1String("0x")) || text.startsWith(QLatin1String("0X")))) {
        const QString digits = text.mid(2);
        if (digits.size() > 8 || digits.front() == u'+' || digits.front() == u'-')
            return std::nullopt;
        // Eight hex digits wrap into the signed range, as 0xFFFFFFFF is -1.
        const quint32 bits = digits.toUInt(&ok, 16);
        if (!ok)
            return std::nullopt;
        const qint32 value = static_cast<qint32>(bits);
        return negative ? -value : value;
    }
    for (const QChar c : std::as_const(text)) {
        if (!c.isDigit() || c.unicode() > 127)
            return std::nullopt;
    }
    magnitude = text.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    const qint64 value = negative ? -magnitude : magnitude;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(value);
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
    return text->left(MaxStringLength);
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

    if (loc.key >= 0) {
        file.lines[loc.key] = entry;
    } else if (loc.section >= 0) {
        file.lines.insert(loc.lastEntry + 1, entry);
    } else {
        if (!file.lines.isEmpty() && !file.lines.constLast().trimmed().isEmpty())
            file.lines.append(QByteArray());
        file.lines.append('[' + section.toUtf8() + ']');
        file.lines.append(entry);
    }

    QByteArray data = file.lines.join(file.eol);
    if (file.finalEol || loc.key < 0)
        data += file.eol;

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
