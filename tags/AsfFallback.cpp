#include "tags/AsfFallback.h"

#include "audio/SourceFile.h"

#include <QFile>
#include <QIODevice>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>

namespace {

constexpr int kObjectHeaderSize = 24;
constexpr int kRecordHeaderSize = 9;
// Longer strings are read as their first 511 code units.
constexpr std::uint64_t kMaxStringUnits = 511;

// {D6E229D1-35DA-11D1-9034-00A0C90349BE} and {D6E229D5-...} in the platform's
// GUID byte layout: the first three groups little-endian.
const QByteArray& headerGuid() {
    static const QByteArray guid = QByteArray::fromHex("d129e2d6da35d111903400a0c90349be");
    return guid;
}
const QByteArray& attributeGuid() {
    static const QByteArray guid = QByteArray::fromHex("d529e2d6da35d111903400a0c90349be");
    return guid;
}

std::uint64_t littleEndian(const QByteArray& bytes, int at, int size) {
    std::uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

// Reads at absolute offsets so that a skipped body costs nothing, whatever
// size it claims.
class Reader {
  public:
    explicit Reader(QIODevice& device) : device_(device) {}

    // Exactly `size` bytes at `offset`, or nothing when the device ends first.
    std::optional<QByteArray> read(std::uint64_t offset, qint64 size) {
        if (offset > std::uint64_t(std::numeric_limits<qint64>::max()) - std::uint64_t(size))
            return std::nullopt;
        if (!device_.isSequential() && qint64(offset) + size > device_.size())
            return std::nullopt;
        if (device_.pos() != qint64(offset) && !device_.seek(qint64(offset)))
            return std::nullopt;
        QByteArray bytes = device_.read(size);
        if (bytes.size() != size)
            return std::nullopt;
        return bytes;
    }

  private:
    QIODevice& device_;
};

// A record string: its first 511 code units at most, up to its first zero unit.
std::optional<QString> readString(Reader& reader, std::uint64_t offset, std::uint64_t units) {
    const qint64 kept = qint64(std::min(units, kMaxStringUnits));
    const auto bytes = reader.read(offset, kept * 2);
    if (!bytes)
        return std::nullopt;
    QString text;
    for (qint64 i = 0; i < kept; ++i) {
        const char16_t unit = char16_t(littleEndian(*bytes, int(i * 2), 2));
        if (unit == 0)
            break;
        text.append(QChar(unit));
    }
    return text;
}

quint16 trackNumberOf(const QString& text) {
    bool ok = false;
    const int number = text.toInt(&ok, 10);
    return ok ? quint16(std::uint32_t(number) & 0xFFFF) : 0;
}

void takeRecord(WmaTagInfo& info, unsigned kind, const QString& name, const QString& value) {
    switch (kind) {
    case 1:
        info.artist = value;
        return;
    case 2:
        info.title = value;
        return;
    case 4:
        info.description = value;
        return;
    default:
        break;
    }
    if (kind < 100)
        return;
    if (name.compare(u"WM/Track", Qt::CaseInsensitive) == 0)
        info.trackNumber = trackNumberOf(value);
    else if (name.compare(u"WM/Year", Qt::CaseInsensitive) == 0)
        info.year = value;
    else if (name.compare(u"WM/AlbumTitle", Qt::CaseInsensitive) == 0)
        info.album = value;
}

// The records of an attribute object whose body runs from `at` to `end`. A
// record that would run past the end is ignored with everything after it.
void readRecords(Reader& reader, WmaTagInfo& info, std::uint64_t at, std::uint64_t end) {
    if (end - at < 2)
        return;
    const auto countBytes = reader.read(at, 2);
    if (!countBytes)
        return;
    at += 2;
    const auto count = unsigned(littleEndian(*countBytes, 0, 2));
    for (unsigned i = 0; i < count; ++i) {
        if (end - at < kRecordHeaderSize)
            return;
        const auto header = reader.read(at, kRecordHeaderSize);
        if (!header)
            return;
        const auto kind = unsigned(littleEndian(*header, 0, 1));
        const std::uint64_t nameUnits = littleEndian(*header, 5, 2);
        const std::uint64_t valueUnits = littleEndian(*header, 7, 2);
        const std::uint64_t nameAt = at + kRecordHeaderSize;
        if (end - nameAt < (nameUnits + valueUnits) * 2)
            return;
        const std::uint64_t valueAt = nameAt + nameUnits * 2;
        const std::uint64_t recordEnd = valueAt + valueUnits * 2;
        const auto name = readString(reader, nameAt, nameUnits);
        const auto value = readString(reader, valueAt, valueUnits);
        if (!name || !value)
            return;
        takeRecord(info, kind, *name, *value);
        at = recordEnd;
    }
}

} // namespace

WmaTagInfo readAsfFallback(QIODevice& device) {
    WmaTagInfo info;
    Reader reader(device);
    const auto header = reader.read(0, kObjectHeaderSize);
    if (!header || header->left(16) != headerGuid())
        return info;
    info.found = true;
    // Children must lie inside the header object, whose size counts its own
    // 24 bytes.
    const std::uint64_t headerSize = littleEndian(*header, 16, 8);
    std::uint64_t remaining = headerSize > kObjectHeaderSize ? headerSize - kObjectHeaderSize : 0;
    std::uint64_t at = kObjectHeaderSize;
    while (remaining > 0) {
        const auto child = reader.read(at, kObjectHeaderSize);
        if (!child)
            break;
        const std::uint64_t size = littleEndian(*child, 16, 8);
        // A size below the object's own header would walk backwards.
        if (size < kObjectHeaderSize || size > remaining)
            break;
        remaining -= size;
        if (child->left(16) == attributeGuid())
            readRecords(reader, info, at + kObjectHeaderSize, at + size);
        at += size;
    }
    return info;
}

WmaTagInfo readAsfFallback(const QString& path) {
    SourceFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return WmaTagInfo{};
    return readAsfFallback(file);
}
