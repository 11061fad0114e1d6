// Fuzz driver: any bytes as a legacy ASF file through the fallback attribute
// parser; every text it returns must be no longer than a record string.
#include "tags/AsfFallback.h"

#include <QBuffer>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

// What the parser keeps of a record string.
constexpr qsizetype kMaxUnits = 511;

void checkText(const QString& text) {
    if (text.size() > kMaxUnits || text.contains(QChar(0)))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    if (!buffer.open(QIODevice::ReadOnly))
        return 0;
    const WmaTagInfo info = readAsfFallback(buffer);
    if (!info.found && !(info == WmaTagInfo{}))
        std::abort();
    for (const QString* text :
         {&info.year, &info.artist, &info.title, &info.album, &info.description, &info.genre})
        checkText(*text);
    return 0;
}
