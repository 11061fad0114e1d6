#include "tags/OggCommentStream.h"

#include "audio/OggHandles.h"
#include "audio/VorbisHeaderCheck.h"

#include <QIODevice>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ogg/ogg.h>
#include <vector>
#include <vorbis/codec.h>

namespace {

// Input is read in blocks of this size. What is held until the Vorbis headers
// are complete may not grow beyond the cap: a stream that never finishes its
// headers would otherwise be gathered into memory whole.
constexpr long kReadChunk = 64 * 1024;
constexpr qint64 kHeaderCap = qint64(128) * 1024 * 1024;

std::uint32_t readLe32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void appendLe32(QByteArray& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

// A stream's first page starts with its first packet, so the page's body
// tells whether the stream is Vorbis.
bool startsVorbisStream(const ogg_page& page) {
    return ogg_page_bos(&page) && page.body_len >= 7 && page.body[0] == 1 &&
           std::memcmp(page.body + 1, "vorbis", 6) == 0;
}

// Whether the page's last packet ends on it rather than running on into the
// next page.
bool endsOnPacketBoundary(const ogg_page& page) {
    const int segments = page.header[26];
    return segments == 0 || page.header[27 + segments - 1] != 255;
}

QByteArray pageBytes(const ogg_page& page) {
    QByteArray bytes(reinterpret_cast<const char*>(page.header), page.header_len);
    bytes.append(reinterpret_cast<const char*>(page.body), page.body_len);
    return bytes;
}

ogg_packet packetOf(const QByteArray& bytes, ogg_int64_t number) {
    ogg_packet op{};
    op.packet = reinterpret_cast<unsigned char*>(const_cast<char*>(bytes.constData()));
    op.bytes = long(bytes.size());
    op.b_o_s = number == 0;
    op.granulepos = 0;
    op.packetno = number;
    return op;
}

// One step of the input before the end of the Vorbis headers, in input
// order: a page of another stream kept as it was, or a page of the Vorbis
// stream, whose headers are written again where the ident page and the page
// that ends the setup header stood.
struct HeaderStep {
    QByteArray otherPage;
    bool identPage = false;
    bool setupPage = false;
};

// Walks a comment block: the vendor text and the comments, each after its
// 32-bit little-endian length, the comments after their count. Each comment
// whose stated length fits is handed to `take`; one running past the block
// ends the walk, and so does a count larger than the block can hold. False
// when the block is too short for its vendor text.
bool walkCommentBlock(QByteArrayView block, QByteArrayView& vendor,
                      const std::function<void(QByteArrayView)>& take) {
    const auto* p = reinterpret_cast<const unsigned char*>(block.data());
    const std::uint64_t size = std::uint64_t(block.size());
    std::uint64_t at = 0;
    auto next32 = [&](std::uint32_t& value) {
        if (size - at < 4)
            return false;
        value = readLe32(p + at);
        at += 4;
        return true;
    };
    std::uint32_t length = 0;
    if (!next32(length) || length > size - at)
        return false;
    vendor = block.sliced(qsizetype(at), qsizetype(length));
    at += length;
    std::uint32_t count = 0;
    if (!next32(count))
        return true;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (!next32(length) || length > size - at)
            break;
        take(block.sliced(qsizetype(at), qsizetype(length)));
        at += length;
    }
    return true;
}

// The codecs whose comments readComments() finds, told by the first packet of
// a stream, which is alone on its stream's first page.
enum class Codec { Vorbis, Opus, Flac, Speex };

std::optional<Codec> codecOf(const ogg_page& page) {
    const QByteArrayView body(reinterpret_cast<const char*>(page.body), page.body_len);
    if (body.startsWith(QByteArrayView("\x01vorbis", 7)))
        return Codec::Vorbis;
    if (body.startsWith("OpusHead"))
        return Codec::Opus;
    if (body.startsWith("\x7f"
                        "FLAC"))
        return Codec::Flac;
    if (body.startsWith("Speex   "))
        return Codec::Speex;
    return std::nullopt;
}

enum class CommentsFound { Yes, NotYet, Damaged };

// Takes the comments out of a header packet that follows the identification
// packet. Ogg FLAC carries its metadata blocks one per packet, the comment
// block among them or not at all; the other codecs' second packet is theirs.
CommentsFound takeHeader(Codec codec, QByteArrayView packet,
                         const std::function<void(QByteArrayView)>& take) {
    QByteArrayView block;
    switch (codec) {
    case Codec::Vorbis:
        if (!packet.startsWith(QByteArrayView("\x03vorbis", 7)))
            return CommentsFound::Damaged;
        block = packet.sliced(7);
        break;
    case Codec::Opus:
        if (!packet.startsWith("OpusTags"))
            return CommentsFound::Damaged;
        block = packet.sliced(8);
        break;
    case Codec::Speex:
        block = packet;
        break;
    case Codec::Flac: {
        if (packet.size() < 4)
            return CommentsFound::Damaged;
        // A block's first byte: its type, and the flag of the last block
        // (which a frame's first byte, 0xFF, also has).
        const auto type = static_cast<unsigned char>(packet[0]);
        if ((type & 0x7F) != 4)
            return (type & 0x80) ? CommentsFound::Yes : CommentsFound::NotYet;
        const std::uint32_t length = std::uint32_t(static_cast<unsigned char>(packet[1])) << 16 |
                                     std::uint32_t(static_cast<unsigned char>(packet[2])) << 8 |
                                     std::uint32_t(static_cast<unsigned char>(packet[3]));
        block = packet.sliced(4, std::min<qsizetype>(packet.size() - 4, qsizetype(length)));
        break;
    }
    }
    QByteArrayView vendor;
    return walkCommentBlock(block, vendor, take) ? CommentsFound::Yes : CommentsFound::Damaged;
}

} // namespace

struct OggCommentStream::State {
    OggSync sync;
    std::unique_ptr<OggStream> in;
    void* input = nullptr;
    ReadFunction read = nullptr;
    WriteFunction write = nullptr;
    void* output = nullptr;
    bool opened = false;
    bool used = false;
    int serial = 0;
    QByteArray ident, comment, setup;
    bool setupEndsStream = false;
    bool setupPageEndsPacket = true;
    std::vector<HeaderStep> steps;
    VorbisComments block;
    QString error;

    bool fail(const QString& why) {
        error = why;
        return false;
    }

    // The next whole page of the input; false at its end. Bytes that belong
    // to no page are passed over.
    bool nextPage(ogg_page& page) {
        for (;;) {
            const int r = ogg_sync_pageout(sync.get(), &page);
            if (r == 1)
                return true;
            if (r < 0)
                continue;
            char* buffer = ogg_sync_buffer(sync.get(), kReadChunk);
            if (!buffer)
                return false;
            const qint64 got = read(buffer, 1, std::size_t(kReadChunk), input);
            if (got <= 0 || got > kReadChunk)
                return false;
            ogg_sync_wrote(sync.get(), long(got));
        }
    }

    bool put(const unsigned char* bytes, long length) {
        return length == 0 || write(bytes, 1, std::size_t(length), output) == length;
    }
    bool putPage(const ogg_page& page) {
        return put(page.header, page.header_len) && put(page.body, page.body_len);
    }
    bool putBytes(const QByteArray& bytes) {
        return put(reinterpret_cast<const unsigned char*>(bytes.constData()), long(bytes.size()));
    }
    bool flush(OggStream& out) {
        ogg_page page;
        while (ogg_stream_flush(out.get(), &page))
            if (!putPage(page))
                return false;
        return true;
    }
    // A page of the Vorbis stream with its sequence number moved by `delta`
    // and its checksum made again; otherwise byte for byte.
    bool putRenumbered(const ogg_page& page, std::uint32_t delta) {
        if (delta == 0)
            return putPage(page);
        QByteArray header(reinterpret_cast<const char*>(page.header), page.header_len);
        auto* h = reinterpret_cast<unsigned char*>(header.data());
        const std::uint32_t sequence = readLe32(h + 18) + delta;
        for (int i = 0; i < 4; ++i)
            h[18 + i] = (sequence >> (8 * i)) & 0xFF;
        ogg_page copy = page;
        copy.header = h;
        ogg_page_checksum_set(&copy);
        return putPage(copy);
    }

    bool gatherHeaders();
    bool checkHeaders();
    bool writeStream();
};

OggCommentStream::OggCommentStream() : d(std::make_unique<State>()) {}
OggCommentStream::~OggCommentStream() = default;

VorbisComments& OggCommentStream::comments() {
    return d->block;
}
const VorbisComments& OggCommentStream::comments() const {
    return d->block;
}
QString OggCommentStream::lastError() const {
    return d->error;
}

bool OggCommentStream::open(void* stream, ReadFunction read, WriteFunction write) {
    if (d->used)
        return d->fail(QStringLiteral("the editor has been used already"));
    d->used = true;
    if (!read || !write)
        return d->fail(QStringLiteral("no stream functions"));
    d->input = stream;
    d->read = read;
    d->write = write;
    if (!d->gatherHeaders() || !d->checkHeaders())
        return false;
    d->opened = true;
    return true;
}

bool OggCommentStream::State::gatherHeaders() {
    int headers = 0;
    qint64 headerBytes = 0; // with the pages of other streams kept meanwhile
    bool identPlaced = false;
    bool anyPage = false;
    ogg_page page;
    while (headers < 3) {
        if (!nextPage(page))
            return fail(anyPage ? QStringLiteral("the input ends within the Vorbis headers")
                                : QStringLiteral("the input is no Ogg bitstream"));
        anyPage = true;
        if (!in) {
            // Before the Vorbis stream only the first pages of other streams
            // may come: anything else means it is not at the start.
            if (!ogg_page_bos(&page))
                return fail(QStringLiteral("the input holds no Vorbis stream"));
            if (startsVorbisStream(page)) {
                serial = ogg_page_serialno(&page);
                in = std::make_unique<OggStream>(serial);
            }
        }
        headerBytes += page.header_len + page.body_len;
        if (headerBytes > kHeaderCap)
            return fail(QStringLiteral("the Vorbis headers are too large"));
        if (!in || ogg_page_serialno(&page) != serial) {
            steps.push_back(HeaderStep{pageBytes(page)});
            continue;
        }
        if (ogg_stream_pagein(in->get(), &page) != 0)
            return fail(QStringLiteral("a page of the Vorbis headers is damaged"));
        HeaderStep step;
        step.identPage = !identPlaced;
        identPlaced = true;
        ogg_packet op;
        int r = 0;
        while (headers < 3 && (r = ogg_stream_packetout(in->get(), &op)) != 0) {
            if (r < 0)
                return fail(QStringLiteral("a page of the Vorbis headers is missing"));
            QByteArray packet(reinterpret_cast<const char*>(op.packet), op.bytes);
            (headers == 0 ? ident : headers == 1 ? comment : setup) = packet;
            if (++headers == 3)
                setupEndsStream = op.e_o_s != 0;
        }
        if (headers == 3) {
            step.setupPage = true;
            setupPageEndsPacket = endsOnPacketBoundary(page);
        } else if (ogg_page_eos(&page)) {
            return fail(QStringLiteral("the Vorbis stream ends within its headers"));
        }
        steps.push_back(step);
    }
    return true;
}

bool OggCommentStream::State::checkHeaders() {
    const QString problem = VorbisHeaderCheck::headerProblem(ident, comment, setup);
    if (!problem.isEmpty())
        return fail(problem);
    std::optional<VorbisComments> parsed = parseCommentPacket(comment);
    if (!parsed)
        return fail(QStringLiteral("damaged Vorbis comment header"));
    block = std::move(*parsed);
    // libvorbis reads the headers as a decoder would; the comment header it
    // sees is the one that write() would produce from the block.
    VorbisInfo info;
    VorbisComment decoded;
    const QByteArray rebuilt = buildCommentPacket(block);
    const QByteArray* packets[] = {&ident, &rebuilt, &setup};
    for (int i = 0; i < 3; ++i) {
        ogg_packet op = packetOf(*packets[i], i);
        if (vorbis_synthesis_headerin(info.get(), decoded.get(), &op) != 0)
            return fail(QStringLiteral("libvorbis refuses the Vorbis headers"));
    }
    return true;
}

bool OggCommentStream::write(void* out) {
    if (!d->opened)
        return d->fail(QStringLiteral("no Vorbis stream is open"));
    d->opened = false;
    d->output = out;
    if (!d->writeStream())
        return d->error.isEmpty() ? d->fail(QStringLiteral("the output cannot be written")) : false;
    return true;
}

bool OggCommentStream::State::writeStream() {
    OggStream out(serial);
    const QByteArray newComment = buildCommentPacket(block);
    for (const HeaderStep& step : steps) {
        if (!step.otherPage.isEmpty() && !putBytes(step.otherPage))
            return false;
        if (step.identPage) {
            ogg_packet op = packetOf(ident, 0);
            if (ogg_stream_packetin(out.get(), &op) != 0 || !flush(out))
                return false;
        }
        if (step.setupPage) {
            ogg_packet commentOp = packetOf(newComment, 1);
            ogg_packet setupOp = packetOf(setup, 2);
            setupOp.e_o_s = setupEndsStream;
            if (ogg_stream_packetin(out.get(), &commentOp) != 0 ||
                ogg_stream_packetin(out.get(), &setupOp) != 0 || !flush(out))
                return false;
        }
    }

    // Audio that shared a page with the headers goes onto pages of its own,
    // each ending where an input page ended, until the input reaches a page
    // boundary; from there its pages are copied.
    bool streamEnded = setupEndsStream;
    bool atBoundary = setupPageEndsPacket;
    bool inputLeft = true;
    ogg_packet op;
    bool repaging = !streamEnded && (!atBoundary || ogg_stream_packetpeek(in->get(), nullptr) != 0);
    ogg_int64_t packetNumber = 3;
    ogg_page page;
    while (repaging) {
        int r = 0;
        while ((r = ogg_stream_packetout(in->get(), &op)) != 0) {
            if (r < 0)
                continue; // a lost page: what it held stays lost
            op.packetno = packetNumber++;
            if (ogg_stream_packetin(out.get(), &op) != 0)
                return false;
            streamEnded = streamEnded || op.e_o_s;
            if (op.granulepos != -1 && !flush(out))
                return false;
        }
        if (atBoundary || streamEnded)
            break;
        if (!nextPage(page)) {
            inputLeft = false;
            break;
        }
        if (ogg_page_serialno(&page) != serial) {
            if (!putPage(page))
                return false;
            continue;
        }
        if (ogg_stream_pagein(in->get(), &page) != 0)
            return fail(QStringLiteral("a page of the Vorbis stream is damaged"));
        atBoundary = endsOnPacketBoundary(page);
    }
    if (!flush(out))
        return false;

    bool numbered = false;
    std::uint32_t delta = 0;
    while (inputLeft && nextPage(page)) {
        if (streamEnded || ogg_page_serialno(&page) != serial) {
            if (!putPage(page))
                return false;
            continue;
        }
        if (!numbered) {
            delta = std::uint32_t(out.get()->pageno) - std::uint32_t(ogg_page_pageno(&page));
            numbered = true;
        }
        streamEnded = ogg_page_eos(&page) != 0;
        if (!putRenumbered(page, delta))
            return false;
    }
    return true;
}

std::optional<VorbisComments> OggCommentStream::parseCommentPacket(const QByteArray& packet) {
    if (!packet.startsWith(QByteArrayView("\x03vorbis", 7)))
        return std::nullopt;
    VorbisComments block;
    QByteArrayView vendor;
    if (!walkCommentBlock(QByteArrayView(packet).sliced(7), vendor, [&](QByteArrayView comment) {
            block.comments.append(comment.toByteArray());
        }))
        return std::nullopt;
    block.vendor = vendor.toByteArray();
    return block;
}

QByteArray OggCommentStream::buildCommentPacket(const VorbisComments& block) {
    QByteArray packet("\x03vorbis", 7);
    appendLe32(packet, std::uint32_t(block.vendor.size()));
    packet.append(block.vendor);
    appendLe32(packet, std::uint32_t(block.comments.size()));
    for (const QByteArray& comment : block.comments) {
        appendLe32(packet, std::uint32_t(comment.size()));
        packet.append(comment);
    }
    packet.append('\x01');
    return packet;
}

QString OggCommentStream::readComments(QIODevice& device,
                                       const std::function<void(QByteArrayView comment)>& take) {
    OggSync sync;
    std::unique_ptr<OggStream> stream;
    Codec codec = Codec::Vorbis;
    int serial = 0;
    qint64 readBytes = 0;
    bool anyPage = false;
    bool identified = false;
    ogg_page page;
    for (;;) {
        const int r = ogg_sync_pageout(sync.get(), &page);
        if (r < 0)
            continue; // bytes that belong to no page
        if (r == 0) {
            if (readBytes > kHeaderCap)
                return QStringLiteral("the comments are too large");
            char* buffer = ogg_sync_buffer(sync.get(), kReadChunk);
            const qint64 got = buffer ? device.read(buffer, kReadChunk) : -1;
            if (got <= 0)
                return anyPage ? QStringLiteral("the input ends before the comments")
                               : QStringLiteral("the input is no Ogg bitstream");
            ogg_sync_wrote(sync.get(), long(got));
            readBytes += got;
            continue;
        }
        anyPage = true;
        if (!stream) {
            // Every stream's first page comes before any other page.
            if (!ogg_page_bos(&page))
                return QStringLiteral("the input holds no stream of a known codec");
            const std::optional<Codec> found = codecOf(page);
            if (!found)
                continue;
            codec = *found;
            serial = ogg_page_serialno(&page);
            stream = std::make_unique<OggStream>(serial);
        }
        if (ogg_page_serialno(&page) != serial)
            continue;
        if (ogg_stream_pagein(stream->get(), &page) != 0)
            return QStringLiteral("a page of the comments is damaged");
        ogg_packet op;
        int out = 0;
        while ((out = ogg_stream_packetout(stream->get(), &op)) != 0) {
            if (out < 0)
                return QStringLiteral("a page of the comments is missing");
            if (!identified) {
                identified = true;
                continue;
            }
            const QByteArrayView packet(reinterpret_cast<const char*>(op.packet), op.bytes);
            switch (takeHeader(codec, packet, take)) {
            case CommentsFound::Yes:
                return {};
            case CommentsFound::Damaged:
                return QStringLiteral("damaged comment header");
            case CommentsFound::NotYet:
                break;
            }
        }
        if (ogg_page_eos(&page))
            return QStringLiteral("the stream ends before its comments");
    }
}
