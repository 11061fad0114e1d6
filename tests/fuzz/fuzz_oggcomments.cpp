// Fuzz driver: any bytes as a Vorbis comment header packet, split into named
// comments; bytes that start with "OggS" also as a whole file, read by the
// comment reader of every codec, and rewritten with one comment more, whose
// copy must open again with exactly those comments.
#include "tags/OggCommentStream.h"
#include "tags/OggTag.h"

#include <QBuffer>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

VorbisComments openedComments(QByteArray bytes, bool& opened) {
    QBuffer in(&bytes);
    in.open(QIODevice::ReadOnly);
    OggCommentStream editor;
    opened = editor.open(&in, readStreamCallback, writeStreamCallback);
    return editor.comments();
}

// Every comment the reader hands out lies inside the input.
void readAllCodecs(const QByteArray& file) {
    QByteArray input = file;
    QBuffer in(&input);
    in.open(QIODevice::ReadOnly);
    OggCommentStream::readComments(in, [&file](QByteArrayView comment) {
        if (comment.size() > file.size())
            std::abort();
    });
}

void rewrite(const QByteArray& file) {
    QByteArray input = file;
    QBuffer in(&input);
    in.open(QIODevice::ReadOnly);
    OggCommentStream editor;
    if (!editor.open(&in, readStreamCallback, writeStreamCallback))
        return;
    listComments(editor.comments().comments);
    editor.comments().comments.append(QByteArray("TITLE=fuzz"));
    const VorbisComments written = editor.comments();
    QByteArray output;
    QBuffer out(&output);
    out.open(QIODevice::WriteOnly);
    if (!editor.write(&out))
        std::abort(); // writing into memory cannot fail
    out.close();
    bool opened = false;
    const VorbisComments again = openedComments(output, opened);
    if (!opened || again.vendor != written.vendor || again.comments != written.comments)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const std::optional<VorbisComments> block = OggCommentStream::parseCommentPacket(bytes)) {
        listComments(block->comments);
        const std::optional<VorbisComments> again =
            OggCommentStream::parseCommentPacket(OggCommentStream::buildCommentPacket(*block));
        if (!again || again->vendor != block->vendor || again->comments != block->comments)
            std::abort();
    }
    if (bytes.startsWith("OggS")) {
        readAllCodecs(bytes);
        rewrite(bytes);
    }
    return 0;
}
