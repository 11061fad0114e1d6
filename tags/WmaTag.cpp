#include "tags/WmaTag.h"

#include "audio/NativeName.h"
#include "tags/AsfAttributes.h"
#include "tags/AsfFallback.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
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

void readString(const AsfAttributes& attributes, const QString& name, QString& field) {
    AsfValue value;
    if (attributes.get(name, value, kStringCapacity) == AsfStatus::Ok &&
        value.type == AsfDataType::String)
        field = asfStringText(value.bytes);
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
    info.found = true;
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

// A text as a stored string, cut before the first character whose code units
// and the terminating zero unit would not fit the 16-bit length.
AsfValue stringValue(const QString& text) {
    constexpr qsizetype maxUnits = kStringCapacity / 2 - 1;
    qsizetype units = std::min(text.size(), maxUnits);
    if (units < text.size() && units > 0 && text.at(units).isLowSurrogate() &&
        text.at(units - 1).isHighSurrogate())
        --units;
    return AsfValue{AsfDataType::String, asfStringBytes(text.left(units))};
}

// Reading a tag must never need write access, so only regular files are
// opened at all: a pipe or a device would block or be consumed.
bool isRegularFile(const QString& path) {
    return NativeName::isFile(path);
}

} // namespace

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
    const auto setString = [&](const char16_t* name, const QString& text) {
        attributes.set(QString::fromUtf16(name), stringValue(text));
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
