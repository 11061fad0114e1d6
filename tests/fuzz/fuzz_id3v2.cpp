// Fuzz driver: any bytes as an MP3 file. Both readers must take them without
// reading past what there is, and a tag written from what was read must read
// back as the same texts with the bytes after the old tag unchanged.
#include "tags/Id3Tag.h"

#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("input.mp3"));
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    if (!writeFile(path, input))
        return 0;

    const Id3v1Block block = readId3v1(path);
    if (block.bytes.size() != 128 || block.title().size() > 30)
        std::abort();
    const Id3v2Tag tag = readId3v2(path);
    if (!(parseId3v2(input) == tag))
        std::abort();

    const QByteArray written = buildId3v2(tag);
    writeId3v2(path, tag);
    const QByteArray after = readFile(path);
    if (!after.startsWith(written) || !input.endsWith(after.sliced(written.size())))
        std::abort();
    if (!(readId3v2(path) == tag))
        std::abort();
    return 0;
}
