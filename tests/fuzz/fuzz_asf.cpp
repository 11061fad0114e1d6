// Fuzz driver: any bytes as a legacy ASF file through the fallback attribute
// parser; every text it returns must stay inside its field.
#include "tags/AsfFallback.h"

#include <QBuffer>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

template <std::size_t N> void checkField(const std::array<char, N>& field) {
    if (field[N - 1] != '\0' || !wmaFieldText(field).isValidUtf16())
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
    if (info.found != 0 && info.found != -1)
        std::abort();
    if (info.found == 0 && !(info == WmaTagInfo{}))
        std::abort();
    checkField(info.year);
    checkField(info.artist);
    checkField(info.title);
    checkField(info.album);
    checkField(info.description);
    checkField(info.genre);
    return 0;
}
