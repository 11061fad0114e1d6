#include "audio/NativeName.h"

#include <QCoreApplication>
#include <string>
#include <system_error>

namespace {

// The low surrogates that stand for one undecodable byte each (0x80..0xFF;
// a byte below 0x80 is ASCII and always decodes).
constexpr char16_t kEscapeBase = 0xDC00;
constexpr char16_t kFirstEscape = 0xDC80;
constexpr char16_t kLastEscape = 0xDCFF;

// The length and value of the UTF-8 sequence at `p` (of `left` bytes), or 0
// where it is not a valid one: cut short, overlong, a surrogate or past
// U+10FFFF.
int utf8Sequence(const unsigned char* p, qsizetype left, char32_t& value) {
    int length = 0;
    char32_t least = 0;
    if ((p[0] & 0xE0) == 0xC0) {
        length = 2;
        value = p[0] & 0x1F;
        least = 0x80;
    } else if ((p[0] & 0xF0) == 0xE0) {
        length = 3;
        value = p[0] & 0x0F;
        least = 0x800;
    } else if ((p[0] & 0xF8) == 0xF0) {
        length = 4;
        value = p[0] & 0x07;
        least = 0x10000;
    }
    if (length == 0 || length > left)
        return 0;
    for (int k = 1; k < length; ++k) {
        if ((p[k] & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (p[k] & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

// A lone surrogate at `i`: one that is not half of a pair.
bool loneSurrogateAt(QStringView name, qsizetype i) {
    const QChar c = name[i];
    if (c.isHighSurrogate())
        return i + 1 >= name.size() || !name[i + 1].isLowSurrogate();
    if (c.isLowSurrogate())
        return i == 0 || !name[i - 1].isHighSurrogate();
    return false;
}

bool escapeAt(QStringView name, qsizetype i) {
    const char16_t c = name[i].unicode();
    return c >= kFirstEscape && c <= kLastEscape && loneSurrogateAt(name, i);
}

} // namespace

QString NativeName::fromNative(const QByteArray& bytes) {
    QString name;
    name.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    for (qsizetype i = 0; i < bytes.size();) {
        if (p[i] < 0x80) {
            name += QLatin1Char(char(p[i++]));
            continue;
        }
        char32_t value = 0;
        const int length = utf8Sequence(p + i, bytes.size() - i, value);
        if (length == 0) {
            name += QChar(char16_t(kEscapeBase + p[i++]));
            continue;
        }
        name += QStringView(QChar::fromUcs4(value));
        i += length;
    }
    return name;
}

QString NativeName::fromPath(const std::filesystem::path& path) {
#ifdef Q_OS_WIN
    return QString::fromStdWString(path.native());
#else
    return fromNative(QByteArray::fromStdString(path.native()));
#endif
}

QByteArray NativeName::toNative(const QString& name) {
    QByteArray bytes;
    qsizetype from = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!escapeAt(name, i))
            continue;
        bytes += QStringView(name).sliced(from, i - from).toUtf8();
        bytes += char(name[i].unicode() - kEscapeBase);
        from = i + 1;
    }
    bytes += QStringView(name).sliced(from).toUtf8();
    return bytes;
}

std::filesystem::path NativeName::toPath(const QString& name) {
#ifdef Q_OS_WIN
    return std::filesystem::path(
        std::u16string_view(reinterpret_cast<const char16_t*>(name.utf16()), name.size()));
#else
    return std::filesystem::path(toNative(name).toStdString());
#endif
}

bool NativeName::isEscaped(const QString& name) {
    for (qsizetype i = 0; i < name.size(); ++i)
        if (escapeAt(name, i))
            return true;
    return false;
}

QString NativeName::shown(const QString& name) {
    QString text = name;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (loneSurrogateAt(name, i))
            text[i] = QChar::ReplacementCharacter;
    return text;
}

QStringList NativeName::arguments(int argc, char** argv) {
#ifdef Q_OS_WIN
    Q_UNUSED(argc);
    Q_UNUSED(argv);
    return QCoreApplication::arguments();
#else
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << fromNative(QByteArray(argv[i]));
    return list;
#endif
}

bool NativeName::isFolder(const QString& name) {
    std::error_code error;
    return std::filesystem::is_directory(toPath(name), error);
}

bool NativeName::isFile(const QString& name) {
    std::error_code error;
    return std::filesystem::is_regular_file(toPath(name), error);
}
