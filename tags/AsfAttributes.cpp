#include "tags/AsfAttributes.h"

#include "audio/NativeName.h"

#include <QFile>
#include <taglib/asffile.h>
#include <taglib/tfilestream.h>

#include <algorithm>
#include <array>
#include <optional>

namespace {

using TagLib::ASF::Attribute;

// Attributes the ASF content description object holds; TagLib keeps them out
// of its attribute map.
// The texts the content description object holds, each read and written
// through its own accessors of the tag.
struct Described {
    const char16_t* name;
    TagLib::String (TagLib::ASF::Tag::*get)() const;
    void (TagLib::ASF::Tag::*set)(const TagLib::String&);
};

const Described* describedName(const QString& name) {
    using Tag = TagLib::ASF::Tag;
    static const std::array<Described, 5> texts{{
        {u"Title", &Tag::title, &Tag::setTitle},
        {u"Author", &Tag::artist, &Tag::setArtist},
        {u"Description", &Tag::comment, &Tag::setComment},
        {u"Copyright", &Tag::copyright, &Tag::setCopyright},
        {u"Rating", &Tag::rating, &Tag::setRating},
    }};
    for (const Described& text : texts)
        if (name == QStringView(text.name))
            return &text;
    return nullptr;
}

TagLib::String tagString(const QString& text) {
    const QByteArray utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    return TagLib::String(TagLib::ByteVector(utf16.constData(), unsigned(utf16.size())),
                          TagLib::String::UTF16LE);
}

QByteArray stringBytes(const TagLib::String& text) {
    const TagLib::ByteVector units = text.data(TagLib::String::UTF16LE);
    QByteArray bytes(units.data(), int(units.size()));
    bytes.append(2, '\0');
    return bytes;
}

template <typename T> QByteArray littleEndian(T value, int size) {
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((value >> (8 * i)) & 0xFF);
    return bytes;
}

AsfValue valueOf(const Attribute& attribute) {
    switch (attribute.type()) {
    case Attribute::UnicodeType:
        return {AsfDataType::String, stringBytes(attribute.toString())};
    case Attribute::DWordType:
        return {AsfDataType::DWord, littleEndian(attribute.toUInt(), 4)};
    case Attribute::QWordType:
        return {AsfDataType::QWord, littleEndian(attribute.toULongLong(), 8)};
    case Attribute::WordType:
        return {AsfDataType::Word, littleEndian(attribute.toUShort(), 2)};
    case Attribute::BoolType:
        return {AsfDataType::Bool, littleEndian(attribute.toBool() ? 1u : 0u, 4)};
    case Attribute::GuidType:
    case Attribute::BytesType:
        break;
    }
    const TagLib::ByteVector raw = attribute.toByteVector();
    const AsfDataType type =
        attribute.type() == Attribute::GuidType ? AsfDataType::Guid : AsfDataType::Binary;
    return {type, QByteArray(raw.data(), int(raw.size()))};
}

} // namespace

QByteArray asfStringBytes(const QString& text) {
    QByteArray bytes(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    bytes.append(2, '\0');
    return bytes;
}

QString asfStringText(const QByteArray& bytes) {
    const auto* units = reinterpret_cast<const char16_t*>(bytes.constData());
    const qsizetype count = bytes.size() / 2;
    qsizetype length = 0;
    while (length < count && units[length] != 0)
        ++length;
    return QString(reinterpret_cast<const QChar*>(units), length);
}

QByteArray asfDWordBytes(std::uint32_t number) {
    return littleEndian(number, 4);
}

std::uint32_t asfDWordNumber(const QByteArray& bytes) {
    std::uint32_t number = 0;
    for (int i = std::min<int>(int(bytes.size()), 4) - 1; i >= 0; --i)
        number = (number << 8) | static_cast<unsigned char>(bytes[i]);
    return number;
}

AsfAttributes::AsfAttributes(const QString& path, Access access) {
#ifdef _WIN32
    const TagLib::FileName name(reinterpret_cast<const wchar_t*>(path.utf16()));
#else
    const QByteArray encoded = NativeName::toNative(path);
    const TagLib::FileName name(encoded.constData());
#endif
    stream_ = std::make_unique<TagLib::FileStream>(name, access == Access::Read);
    // A stream that could only be opened read-only cannot take a write.
    if (!stream_->isOpen() || (access == Access::ReadWrite && stream_->readOnly())) {
        stream_.reset();
        return;
    }
    file_ = std::make_unique<TagLib::ASF::File>(stream_.get(), false);
    if (!file_->isValid() || !file_->tag()) {
        file_.reset();
        stream_.reset();
    }
}

AsfAttributes::~AsfAttributes() {
    // The file refers to the stream, so it goes first.
    file_.reset();
    stream_.reset();
}

bool AsfAttributes::isOpen() const {
    return file_ != nullptr;
}

AsfStatus AsfAttributes::get(const QString& name, AsfValue& value, std::uint16_t capacity) const {
    if (!file_)
        return AsfStatus::NotOpen;
    const TagLib::ASF::Tag* tag = file_->tag();
    AsfValue found;
    if (const auto described = describedName(name)) {
        TagLib::String text = (tag->*described->get)();
        // Some taggers store these as attributes of the extended content
        // description instead; such an attribute stands in for an empty text.
        const TagLib::ASF::AttributeList values = tag->attribute(tagString(name));
        if (text.isEmpty() && !values.isEmpty() && values.front().type() == Attribute::UnicodeType)
            text = values.front().toString();
        found = {AsfDataType::String, stringBytes(text)};
    } else {
        const TagLib::ASF::AttributeList values = tag->attribute(tagString(name));
        if (values.isEmpty())
            return AsfStatus::NotFound;
        found = valueOf(values.front());
    }
    if (found.bytes.size() > capacity)
        return AsfStatus::BufferTooSmall;
    value = std::move(found);
    return AsfStatus::Ok;
}

AsfStatus AsfAttributes::set(const QString& name, const AsfValue& value) {
    if (!file_)
        return AsfStatus::NotOpen;
    if (value.bytes.size() > 0xFFFF)
        return AsfStatus::BadValue;
    TagLib::ASF::Tag* tag = file_->tag();
    const auto described = describedName(name);
    if (value.type == AsfDataType::String) {
        if (value.bytes.size() % 2 != 0)
            return AsfStatus::BadValue;
        const TagLib::String text = tagString(asfStringText(value.bytes));
        if (!described) {
            tag->setAttribute(tagString(name), Attribute(text));
        } else {
            // Otherwise a stale copy in the extended content would stand in
            // for an empty text.
            tag->removeItem(tagString(name));
            (tag->*described->set)(text);
        }
    } else if (value.type == AsfDataType::DWord && value.bytes.size() == 4 && !described) {
        tag->setAttribute(tagString(name), Attribute(unsigned(asfDWordNumber(value.bytes))));
    } else {
        return AsfStatus::BadValue;
    }
    changed_ = true;
    return AsfStatus::Ok;
}

bool AsfAttributes::close() {
    const bool saved = !file_ || !changed_ || file_->save();
    changed_ = false;
    file_.reset();
    stream_.reset();
    return saved;
}
