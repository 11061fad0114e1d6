// The ID3 unit: ID3v1 block reader, ID3v2.2/2.3/2.4 text frame reader, ID3v2.3 writer.
#include "tags/Id3Tag.h"

#include "audio/SourceFile.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cstdint>
#include <optional>

namespace {

constexpr qsizetype headerSize = 10;
constexpr qsizetype frameHeaderSize = 10;
constexpr qsizetype v1Size = 128;
// The largest size a 28-bit synchsafe integer holds.
constexpr qsizetype maxTagBody = 0x0FFFFFFF;
constexpr qint64 copyChunk = 1 << 20;

struct FrameSlot {
    const char* id;
    QString Id3v2Tag::*field;
};

// The written frames, in the order they are written.
constexpr FrameSlot writtenFrames[] = {
    {"TIT2", &Id3v2Tag::title},   {"TPE1", &Id3v2Tag::artist}, {"TALB", &Id3v2Tag::album},
    {"TRCK", &Id3v2Tag::track},   {"TYER", &Id3v2Tag::year},   {"TCON", &Id3v2Tag::genre},
    {"COMM", &Id3v2Tag::comment},
};
// Version 2.4 replaced TYER by TDRC, so either fills the year.
constexpr FrameSlot readFrames[] = {
    {"TIT2", &Id3v2Tag::title}, {"TPE1", &Id3v2Tag::artist},  {"TALB", &Id3v2Tag::album},
    {"TRCK", &Id3v2Tag::track}, {"TYER", &Id3v2Tag::year},    {"TDRC", &Id3v2Tag::year},
    {"TCON", &Id3v2Tag::genre}, {"COMM", &Id3v2Tag::comment},
};
// Version 2.2 names its frames with three letters.
constexpr FrameSlot readFramesV22[] = {
    {"TT2", &Id3v2Tag::title},   {"TP1", &Id3v2Tag::artist}, {"TAL", &Id3v2Tag::album},
    {"TRK", &Id3v2Tag::track},   {"TYE", &Id3v2Tag::year},   {"TCO", &Id3v2Tag::genre},
    {"COM", &Id3v2Tag::comment},
};

enum class TextEncoding : quint8 { Latin1 = 0, Utf16 = 1, Utf16BE = 2, Utf8 = 3 };

quint8 byteAt(QByteArrayView data, qsizetype i) {
    return quint8(data[i]);
}

quint32 synchsafe(QByteArrayView data, qsizetype at) {
    return (quint32(byteAt(data, at) & 0x7F) << 21) | (quint32(byteAt(data, at + 1) & 0x7F) << 14) |
           (quint32(byteAt(data, at + 2) & 0x7F) << 7) | quint32(byteAt(data, at + 3) & 0x7F);
}

quint32 bigEndian24(QByteArrayView data, qsizetype at) {
    return (quint32(byteAt(data, at)) << 16) | (quint32(byteAt(data, at + 1)) << 8) |
           quint32(byteAt(data, at + 2));
}

quint32 bigEndian32(QByteArrayView data, qsizetype at) {
    return (quint32(byteAt(data, at)) << 24) | (quint32(byteAt(data, at + 1)) << 16) |
           (quint32(byteAt(data, at + 2)) << 8) | quint32(byteAt(data, at + 3));
}

// Undoes unsynchronisation: every 0xFF 0x00 pair stands for a lone 0xFF.
QByteArray resynchronised(QByteArrayView data) {
    QByteArray out;
    out.reserve(data.size());
    for (qsizetype i = 0; i < data.size(); ++i) {
        out.append(data[i]);
        if (byteAt(data, i) == 0xFF && i + 1 < data.size() && data[i + 1] == '\0')
            ++i;
    }
    return out;
}

bool isFrameIdChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

// Padding starts with a zero byte; anything else that is no frame id means the
// tag is damaged from here on, and nothing after it can be trusted.
bool isFrameId(QByteArrayView id) {
    return std::all_of(id.begin(), id.end(), isFrameIdChar);
}

// Drops every leading and trailing character up to the space, as the program
// always has: zero fill and stray line ends never reach a field.
QString trimmedText(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 0x20)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

QString utf16Text(QByteArrayView bytes, bool bigEndian) {
    QString text(bytes.size() / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const quint8 a = byteAt(bytes, 2 * i);
        const quint8 b = byteAt(bytes, 2 * i + 1);
        text[i] = QChar(bigEndian ? char16_t(a << 8 | b) : char16_t(b << 8 | a));
    }
    return text;
}

// One string of the encoding from the start of data, up to its terminator or the
// end of data; *used counts its bytes with the terminator.
QString decodeString(TextEncoding encoding, QByteArrayView data, qsizetype* used) {
    if (encoding == TextEncoding::Latin1 || encoding == TextEncoding::Utf8) {
        const qsizetype zero = data.indexOf('\0');
        const qsizetype length = zero < 0 ? data.size() : zero;
        *used = zero < 0 ? data.size() : zero + 1;
        const QByteArrayView bytes = data.first(length);
        return encoding == TextEncoding::Latin1 ? QString::fromLatin1(bytes)
                                                : QString::fromUtf8(bytes);
    }
    qsizetype length = 0;
    while (length + 1 < data.size() && (data[length] != '\0' || data[length + 1] != '\0'))
        length += 2;
    const bool terminated = length + 1 < data.size();
    *used = terminated ? length + 2 : data.size();
    QByteArrayView bytes = data.first(length);
    bool bigEndian = encoding == TextEncoding::Utf16BE;
    if (encoding == TextEncoding::Utf16 && bytes.size() >= 2) {
        // Without a byte order mark, little-endian: what Windows taggers wrote.
        if (byteAt(bytes, 0) == 0xFE && byteAt(bytes, 1) == 0xFF) {
            bigEndian = true;
            bytes = bytes.sliced(2);
        } else if (byteAt(bytes, 0) == 0xFF && byteAt(bytes, 1) == 0xFE) {
            bytes = bytes.sliced(2);
        }
    }
    return utf16Text(bytes, bigEndian);
}

struct FrameText {
    QString text;
    QString description; // of a comment frame
};

// The text of a text frame or of a comment frame (language and short
// description skipped); none for an unknown encoding or a frame too short.
std::optional<FrameText> frameText(bool comment, QByteArrayView content) {
    if (content.isEmpty() || byteAt(content, 0) > quint8(TextEncoding::Utf8))
        return std::nullopt;
    const auto encoding = TextEncoding(byteAt(content, 0));
    qsizetype used = 0;
    if (!comment)
        return FrameText{trimmedText(decodeString(encoding, content.sliced(1), &used)), {}};
    if (content.size() < 4)
        return std::nullopt;
    const QByteArrayView rest = content.sliced(4);
    const QString description = decodeString(encoding, rest, &used);
    return FrameText{trimmedText(decodeString(encoding, rest.sliced(used), &used)), description};
}

// Frame flags of the second flag byte, by version.
struct FormatFlags {
    bool skipped = false; // compressed or encrypted: not decoded here
    qsizetype extraBytes = 0;
    bool unsynchronised = false;
};

FormatFlags formatFlags(quint8 version, quint8 format, bool tagUnsynchronised) {
    FormatFlags flags;
    if (version == 3) {
        flags.skipped = format & 0xC0;
        flags.extraBytes = (format & 0x20) ? 1 : 0;
        return flags;
    }
    flags.skipped = format & 0x0C;
    flags.extraBytes = ((format & 0x40) ? 1 : 0) + ((format & 0x01) ? 4 : 0);
    flags.unsynchronised = (format & 0x02) || tagUnsynchronised;
    return flags;
}

// The tag's length in the file, header and footer included, when the file
// starts with a well-formed ID3v2 header; 0 otherwise.
qint64 storedTagLength(QByteArrayView head) {
    if (head.size() < headerSize || !head.startsWith("ID3") || byteAt(head, 3) == 0xFF ||
        byteAt(head, 4) == 0xFF)
        return 0;
    for (qsizetype i = 6; i < headerSize; ++i)
        if (byteAt(head, i) & 0x80)
            return 0;
    const bool footer = byteAt(head, 3) == 4 && (byteAt(head, 5) & 0x10);
    return headerSize + synchsafe(head, 6) + (footer ? headerSize : 0);
}

void appendBigEndian32(QByteArray& out, quint32 value) {
    out.append(char(value >> 24)).append(char(value >> 16)).append(char(value >> 8));
    out.append(char(value));
}

bool fitsLatin1(const QString& text) {
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}

QByteArray utf16WithByteOrderMark(const QString& text) {
    QByteArray out("\xFF\xFE", 2);
    for (const QChar c : text)
        out.append(char(c.unicode() & 0xFF)).append(char(c.unicode() >> 8));
    return out;
}

// Lets the writer replace a file the user has made read-only, and gives the
// file its permissions back however the write ends.
class WritableDuringWrite {
  public:
    explicit WritableDuringWrite(const QString& path)
        // The "user" bits describe the caller, not the file; set back, they would
        // turn into owner bits.
        : m_path(path),
          m_permissions(QFile::permissions(path) &
                        ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser)) {
        if (!(m_permissions & QFileDevice::WriteOwner))
            m_changed = QFile::setPermissions(path, m_permissions | QFileDevice::WriteOwner);
    }
    ~WritableDuringWrite() {
        if (m_changed)
            QFile::setPermissions(m_path, m_permissions);
    }
    WritableDuringWrite(const WritableDuringWrite&) = delete;
    WritableDuringWrite& operator=(const WritableDuringWrite&) = delete;

  private:
    QString m_path;
    QFileDevice::Permissions m_permissions;
    bool m_changed = false;
};

[[noreturn]] void fail(const QString& what, const QString& path, const QString& reason) {
    throw Id3Error(QStringLiteral("%1 %2: %3").arg(what, path, reason));
}

QString v1Text(const QByteArray& bytes, qsizetype offset, qsizetype size) {
    const QByteArrayView field = QByteArrayView(bytes).sliced(offset, size);
    const qsizetype zero = field.indexOf('\0');
    return QString::fromLatin1(zero < 0 ? field : field.first(zero));
}

} // namespace

bool Id3v1Block::hasTag() const {
    return bytes.startsWith("TAG");
}
QString Id3v1Block::title() const {
    return v1Text(bytes, 3, 30);
}
QString Id3v1Block::artist() const {
    return v1Text(bytes, 33, 30);
}
QString Id3v1Block::album() const {
    return v1Text(bytes, 63, 30);
}
QString Id3v1Block::year() const {
    return v1Text(bytes, 93, 4);
}
QString Id3v1Block::comment() const {
    return v1Text(bytes, 97, 28);
}
int Id3v1Block::track() const {
    return quint8(bytes[126]);
}
int Id3v1Block::genre() const {
    return quint8(bytes[127]);
}

Id3v1Block readId3v1(const QString& path) {
    SourceFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot open"), path, file.errorString());
    Id3v1Block block;
    const qint64 size = file.size();
    if (size >= v1Size && file.seek(size - v1Size)) {
        const QByteArray last = file.read(v1Size);
        if (last.size() == v1Size)
            block.bytes = last;
    }
    if (!block.hasTag())
        std::fill(block.bytes.begin() + 3, block.bytes.begin() + 127, '\0');
    return block;
}

Id3v2Tag parseId3v2(QByteArrayView bytes) {
    Id3v2Tag tag;
    if (bytes.size() < headerSize || !bytes.startsWith("ID3"))
        return tag;
    const quint8 version = byteAt(bytes, 3);
    const quint8 flags = byteAt(bytes, 5);
    // A version 2.2 tag with its compression flag set holds no readable frame.
    if (version < 2 || version > 4 || (version == 2 && (flags & 0x40)))
        return tag;
    // A size past the end of what there is: the frames that lie whole before it.
    const qsizetype tagEnd = std::min<qsizetype>(headerSize + synchsafe(bytes, 6), bytes.size());
    const bool unsynchronised = flags & 0x80;
    QByteArray body = bytes.sliced(headerSize, tagEnd - headerSize).toByteArray();
    if (version != 4 && unsynchronised)
        body = resynchronised(body);

    qsizetype pos = 0;
    if (version != 2 && (flags & 0x40)) {
        if (body.size() < 4)
            return tag;
        // 2.3 counts the extended header without its size field, 2.4 with it.
        const qint64 extended =
            version == 3 ? 4 + qint64(bigEndian32(body, 0)) : synchsafe(body, 0);
        if (extended > body.size())
            return tag;
        pos = qsizetype(extended);
    }

    const bool v22 = version == 2;
    const qsizetype idSize = v22 ? 3 : 4;
    const qsizetype frameHeader = v22 ? 6 : frameHeaderSize;
    const auto* slotsBegin = v22 ? std::begin(readFramesV22) : std::begin(readFrames);
    const auto* slotsEnd = v22 ? std::end(readFramesV22) : std::end(readFrames);
    while (body.size() - pos >= frameHeader) {
        const QByteArrayView header = QByteArrayView(body).sliced(pos, frameHeader);
        const QByteArrayView id = header.first(idSize);
        if (!isFrameId(id))
            break;
        const quint32 size = v22            ? bigEndian24(header, 3)
                             : version == 4 ? synchsafe(header, 4)
                                            : bigEndian32(header, 4);
        pos += frameHeader;
        if (size > quint64(body.size() - pos))
            break;
        QByteArrayView content = QByteArrayView(body).sliced(pos, size);
        pos += size;

        const FrameSlot* slot =
            std::find_if(slotsBegin, slotsEnd, [&](const FrameSlot& s) { return id == s.id; });
        if (slot == slotsEnd)
            continue;
        // Version 2.2 frames have no flags.
        const FormatFlags format =
            v22 ? FormatFlags{} : formatFlags(version, byteAt(header, 9), unsynchronised);
        if (format.skipped || format.extraBytes > content.size())
            continue;
        content = content.sliced(format.extraBytes);
        const QByteArray resynced = format.unsynchronised ? resynchronised(content) : QByteArray();
        if (format.unsynchronised)
            content = resynced;

        const bool comment = slot->field == &Id3v2Tag::comment;
        const std::optional<FrameText> text = frameText(comment, content);
        if (!text)
            continue;
        // Of two frames the later counts, but the comments a player keeps its
        // own data in ("iTunNORM", "iTunSMPB") are no comment of the user's.
        if (comment && text->description.startsWith(QLatin1String("iTun")))
            continue;
        tag.*(slot->field) = text->text;
    }
    return tag;
}

Id3v2Tag readId3v2(const QString& path) noexcept {
    try {
        SourceFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QByteArray bytes = file.read(headerSize);
        if (bytes.size() < headerSize || !bytes.startsWith("ID3"))
            return {};
        const qint64 wanted = std::min<qint64>(synchsafe(bytes, 6), file.size() - headerSize);
        if (wanted > 0)
            bytes += file.read(wanted);
        return parseId3v2(bytes);
    } catch (...) {
        return {};
    }
}

QByteArray buildId3v2(const Id3v2Tag& tag) {
    QByteArray frames;
    for (const FrameSlot& slot : writtenFrames) {
        const QString& text = tag.*(slot.field);
        const bool latin1 = fitsLatin1(text);
        QByteArray content(1, latin1 ? char(TextEncoding::Latin1) : char(TextEncoding::Utf16));
        if (QByteArrayView(slot.id) == "COMM")
            content.append("eng").append(QByteArray(latin1 ? 1 : 2, '\0'));
        content.append(latin1 ? text.toLatin1() : utf16WithByteOrderMark(text));
        frames.append(slot.id);
        appendBigEndian32(frames, quint32(content.size()));
        frames.append(2, '\0').append(content);
    }
    frames.append(10, '\0');
    if (frames.size() > maxTagBody)
        throw Id3Error(QStringLiteral("ID3v2 texts too long for a tag"));

    const quint32 size = quint32(frames.size());
    QByteArray out("ID3\x03\x00\x00", 6);
    out.append(char(size >> 21 & 0x7F)).append(char(size >> 14 & 0x7F));
    out.append(char(size >> 7 & 0x7F)).append(char(size & 0x7F));
    return out + frames;
}

void writeId3v2(const QString& path, const Id3v2Tag& tag) {
    const QByteArray newTag = buildId3v2(tag);
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot open"), path, source.errorString());
    // Only a tag that lies whole inside the file is replaced; anything else at
    // the start may be audio and is kept.
    qint64 audioStart = storedTagLength(source.read(headerSize));
    if (audioStart > source.size())
        audioStart = 0;
    if (!source.seek(audioStart))
        fail(QStringLiteral("Cannot read"), path, source.errorString());

    const WritableDuringWrite writable(path);
    QSaveFile target(path);
    if (!target.open(QIODevice::WriteOnly))
        fail(QStringLiteral("Cannot write"), path, target.errorString());
    if (target.write(newTag) != newTag.size())
        fail(QStringLiteral("Cannot write"), path, target.errorString());
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(copyChunk);
        if (chunk.isEmpty())
            fail(QStringLiteral("Cannot read"), path, source.errorString());
        if (target.write(chunk) != chunk.size())
            fail(QStringLiteral("Cannot write"), path, target.errorString());
    }
    source.close();
    if (!target.commit())
        fail(QStringLiteral("Cannot write"), path, target.errorString());
}
