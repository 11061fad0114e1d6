#include "tags/WmaTag.h"

#include "audio/NativeName.h"
#include "tags/AsfAttributes.h"
#include "tags/AsfFallback.h"

#include <QStringDecoder>

#include <cstring>
#include <filesystem>
#include <optional>
#include <system_error>

namespace {

// Large enough for any value a 16-bit length can carry, so that a long text
// is cut to its field instead of being dropped.
constexpr std::uint16_t kStringCapacity = 0xFFFF;

std::filesystem::path fsPath(const QString& path) {
    return std::filesystem::path(
        std::u16string_view(reinterpret_cast<const char16_t*>(path.utf16()), path.size()));
}

// Gives the owner write permission for the lifetime of a write and puts the
// file's permissions back as they were, on every path out.
class WritableDuringWrite {
  public:
    explicit WritableDuringWrite(const QString& path) : path_(fsPath(path)) {
        namespace fs = std::filesystem;
        std::error_code error;
        saved_ = fs::status(path_, error).permissions();
        if (error || saved_ == fs::perms::unknown ||
            (saved_ & fs::perms::owner_write) != fs::perms::none)
            return;
        fs::permissions(path_, fs::perms::owner_write, fs::perm_options::add, error);
        changed_ = !error;
    }
    ~WritableDuringWrite() {
        if (!changed_)
            return;
        std::error_code error;
        std::filesystem::permissions(path_, saved_, std::filesystem::perm_options::replace, error);
    }
    WritableDuringWrite(const WritableDuringWrite&) = delete;
    WritableDuringWrite& operator=(const WritableDuringWrite&) = delete;

  private:
    std::filesystem::path path_;
    std::filesystem::perms saved_ = std::filesystem::perms::unknown;
    bool changed_ = false;
};

template <std::size_t N>
void readString(const AsfAttributes& attributes, const QString& name, std::array<char, N>& field) {
    AsfValue value;
    if (attributes.get(name, value, kStringCapacity) == AsfStatus::Ok &&
        value.type == AsfDataType::String)
        setWmaFieldText(field, asfStringText(value.bytes));
}

std::uint32_t readDWord(const AsfAttributes& attributes, const QString& name) {
    AsfValue value;
    if (attributes.get(name, value, 4) != AsfStatus::Ok || value.type != AsfDataType::DWord ||
        value.bytes.size() != 4)
        return 0;
    return asfDWordNumber(value.bytes);
}

std::optional<WmaTagInfo> readThroughAttributes(const QString& path) {
    AsfAttributes attributes(path, AsfAttributes::Access::Read);
    if (!attributes.isOpen())
        return std::nullopt;
    WmaTagInfo info;
    info.found = -1;
    readString(attributes, QStringLiteral("Title"), info.title);
    readString(attributes, QStringLiteral("Author"), info.artist);
    readString(attributes, QStringLiteral("WM/AlbumTitle"), info.album);
    readString(attributes, QStringLiteral("WM/Year"), info.year);
    info.trackNumber = std::uint16_t(readDWord(attributes, QStringLiteral("WM/TrackNumber")));
    if (info.trackNumber == 0)
        info.trackNumber = std::uint16_t(readDWord(attributes, QStringLiteral("WM/Track")));
    readString(attributes, QStringLiteral("Description"), info.description);
    readString(attributes, QStringLiteral("WM/Genre"), info.genre);
    attributes.close();
    return info;
}

// A field as a stored string; nothing when its bytes are not UTF-8.
template <std::size_t N> std::optional<AsfValue> stringValue(const std::array<char, N>& field) {
    const QByteArray bytes(field.data(), qsizetype(strnlen(field.data(), N)));
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return AsfValue{AsfDataType::String, asfStringBytes(text)};
}

// Reading a tag must never need write access, so only regular files are
// opened at all: a pipe or a device would block or be consumed.
bool isRegularFile(const QString& path) {
    return NativeName::isFile(path);
}

} // namespace

QString wmaFieldText(const char* field, std::size_t size) {
    return QString::fromUtf8(field, qsizetype(strnlen(field, size)));
}

void setWmaFieldBytes(char* field, std::size_t size, const QByteArray& utf8) {
    std::memset(field, 0, size);
    if (size == 0)
        return;
    std::size_t length = std::min(std::size_t(utf8.size()), size - 1);
    // Back off to the first byte of the character the cut would split.
    if (length < std::size_t(utf8.size()))
        while (length > 0 && (static_cast<unsigned char>(utf8[qsizetype(length)]) & 0xC0) == 0x80)
            --length;
    std::memcpy(field, utf8.constData(), length);
}

WmaTagInfo readWmaTag(const QString& path) {
    if (!isRegularFile(path))
        return WmaTagInfo{};
    if (auto info = readThroughAttributes(path))
        return *info;
    return readAsfFallback(path);
}

bool writeWmaTag(const QString& path, const WmaTagInfo& tag) {
    if (!isRegularFile(path))
        return false;
    const WritableDuringWrite writable(path);
    AsfAttributes attributes(path, AsfAttributes::Access::ReadWrite);
    if (!attributes.isOpen())
        return false;
    const auto setString = [&](const char16_t* name, const auto& field) {
        if (const auto value = stringValue(field))
            attributes.set(QString::fromUtf16(name), *value);
    };
    setString(u"Author", tag.artist);
    setString(u"Title", tag.title);
    setString(u"WM/AlbumTitle", tag.album);
    setString(u"WM/Year", tag.year);
    setString(u"Description", tag.description);
    setString(u"WM/Genre", tag.genre);
    attributes.set(QStringLiteral("WM/TrackNumber"),
                   AsfValue{AsfDataType::DWord, asfDWordBytes(tag.trackNumber)});
    return attributes.close();
}
