// The attribute object of a Windows Media file on TagLib's ASF support:
// attributes got and set by name with the Windows Media data types.
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <memory>

namespace TagLib {
class FileStream;
namespace ASF {
class File;
}
} // namespace TagLib

// The Windows Media attribute data types; the tag unit sets only DWord and String.
enum class AsfDataType : std::uint16_t {
    DWord = 0,  // 32-bit unsigned, little-endian
    String = 1, // UTF-16LE with its terminating zero code unit
    Binary = 2,
    Bool = 3,
    QWord = 4,
    Word = 5,
    Guid = 6,
};

enum class AsfStatus {
    Ok,
    NotOpen,
    NotFound,
    BufferTooSmall, // the value is longer than the capacity offered
    BadValue,       // a type the object cannot store or bytes that do not fit it
};

struct AsfValue {
    AsfDataType type = AsfDataType::DWord;
    QByteArray bytes; // at most 65535 bytes, as a 16-bit length can say
};

// The bytes of a String value: the text's code units and a zero unit.
QByteArray asfStringBytes(const QString& text);
// The text of a String value, up to its first zero code unit.
QString asfStringText(const QByteArray& bytes);
QByteArray asfDWordBytes(std::uint32_t number);
// The number of a DWord value's four bytes.
std::uint32_t asfDWordNumber(const QByteArray& bytes);

class AsfAttributes {
  public:
    enum class Access { Read, ReadWrite };

    // Opens `path`; Read never opens the file for writing.
    AsfAttributes(const QString& path, Access access);
    // Releases the file; sets not followed by close() are discarded.
    ~AsfAttributes();
    AsfAttributes(const AsfAttributes&) = delete;
    AsfAttributes& operator=(const AsfAttributes&) = delete;

    bool isOpen() const;

    // The first value of the attribute `name`, when it fits in `capacity` bytes.
    // The content description's Title, Author, Description, Copyright and
    // Rating are always there, as strings that may be empty; where one is
    // empty, a string attribute of the same name stands in for it.
    AsfStatus get(const QString& name, AsfValue& value, std::uint16_t capacity) const;
    // Replaces every value of the attribute `name` with `value`.
    AsfStatus set(const QString& name, const AsfValue& value);
    // Ends the work on the file, saving it when something was set; false when
    // that save failed. The object is closed afterwards either way.
    bool close();

  private:
    std::unique_ptr<TagLib::FileStream> stream_;
    std::unique_ptr<TagLib::ASF::File> file_;
    bool changed_ = false;
};
