#include "audio/OggCopyCut.h"

#include "audio/AudioError.h"
#include "audio/FileSeek.h"
#include "audio/FileStamp.h"
#include "audio/MulDiv.h"
#include "audio/OggHandles.h"
#include "audio/OggPageReader.h"
#include "audio/OggPager.h"
#include "audio/SaveOutput.h"
#include "audio/SourceFile.h"
#include "audio/VorbisFileCallbacks.h"
#include "audio/VorbisHeaderCheck.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QIODevice>
#include <QRandomGenerator>
#include <algorithm>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <vector>
#include <vorbis/vorbisfile.h>

namespace {

// Large reads: each costs a call into the system, whatever its size.
constexpr qint64 kReadChunk = 256 * 1024;
// Pages of a piece are gathered and written in blocks of about this size.
constexpr qsizetype kWriteBlock = 256 * 1024;

// An audio packet of the source and where its decoded frames lie.
struct Packet {
    std::int64_t at = 0; // where its bytes lie in the reader's store
    long bytes = 0;
    std::int64_t samples = 0; // frames its decoding adds: none for the first
    std::int64_t end = 0;     // the decoded frame after its last one
    bool last = false;        // the stream's final packet
};

// Why a cut cannot be made; `why` ends the message.
class CutRefused : public AudioError {
  public:
    explicit CutRefused(const QString& why) : AudioError(why) {}
};

struct OggState {
    QString path;
    SourceFile file;
    OggPageReader pages{file, kReadChunk};
    std::optional<OggStream> stream; // from the first page on
    VorbisInfo info;
    VorbisComment comment;
    bool infoReady = false;
    QByteArray identification;
    QByteArray setup;

    int serial = 0;
    bool ended = false;           // the final packet has been read
    std::int64_t decodedEnd = -1; // the frame the final granule position ends at
    long lastBlock = -1;
    std::int64_t offset = 0; // the first page's granule position past its frames
    bool anchored = false;
    std::deque<Packet> kept; // packets read and still wanted, from index keptFirst
    std::int64_t keptFirst = 0;
    std::deque<Packet> ahead; // read but not yet placed (before the first granule)
    // The bytes of the packets in `kept` and `ahead`, one after the other:
    // one growing block instead of an allocation for each packet.
    std::vector<unsigned char> store;
    std::int64_t storeBase = 0; // where store[0] lies
    bool keepBytes = true;      // false: the packets are only counted

    explicit OggState(const QString& p) : path(p), file(p) {}

    const unsigned char* bytes(const Packet& p) const { return store.data() + (p.at - storeBase); }

    std::int64_t nextIndex() const { return keptFirst + std::int64_t(kept.size()); }

    // The next page of the stream; false at the end of the file. Any page of
    // another stream, or of this one after its end, refuses the file.
    bool nextPage(ogg_page& page) {
        for (;;) {
            const int r = pages.next(page);
            if (r < 0) {
                if (ended)
                    continue; // what trails the stream is no page of it
                if (!stream)
                    throw CutRefused(QStringLiteral("it is not an Ogg Vorbis file"));
                throw CutRefused(QStringLiteral("a page is damaged or missing"));
            }
            if (r == 0) {
                if (pages.failed())
                    throw CutRefused(file.errorString());
                return false;
            }
            if (!stream) {
                if (!ogg_page_bos(&page))
                    throw CutRefused(QStringLiteral("it is not an Ogg Vorbis file"));
                serial = ogg_page_serialno(&page);
                stream.emplace(serial);
            } else if (ogg_page_serialno(&page) != serial || ended) {
                if (ended)
                    throw CutRefused(QStringLiteral("it is a chained Ogg file"));
                throw CutRefused(QStringLiteral("it is a multiplexed Ogg file"));
            }
            if (ogg_stream_pagein(stream->get(), &page) != 0)
                throw CutRefused(QStringLiteral("a page is damaged"));
            return true;
        }
    }

    // The next packet of the stream; false at its end.
    bool nextPacket(ogg_packet& op) {
        for (;;) {
            if (stream) {
                const int r = ogg_stream_packetout(stream->get(), &op);
                if (r < 0)
                    throw CutRefused(QStringLiteral("a page is missing"));
                if (r > 0)
                    return true;
            }
            if (ended)
                return false;
            ogg_page page;
            if (!nextPage(page))
                return false;
        }
    }

    // From the file's start: the headers, then nothing placed yet.
    void restart() {
        stream.reset();
        pages.reset();
        if (!file.isOpen() && !file.open(QIODevice::ReadOnly))
            throw AudioError(QStringLiteral("Cannot open %1: %2")
                                 .arg(QDir::toNativeSeparators(path), file.errorString()));
        file.seek(0);
        ended = false;
        lastBlock = -1;
        anchored = false;
        kept.clear();
        keptFirst = 0;
        ahead.clear();
        store.clear();
        storeBase = 0;

        QByteArray headers[3];
        for (QByteArray& h : headers) {
            ogg_packet op;
            if (!nextPacket(op))
                throw CutRefused(QStringLiteral("it is not an Ogg Vorbis file"));
            h = QByteArray(reinterpret_cast<const char*>(op.packet), qsizetype(op.bytes));
        }
        const QString wrong = VorbisHeaderCheck::headerProblem(headers[0], headers[1], headers[2]);
        if (!wrong.isEmpty())
            throw CutRefused(QStringLiteral("it is not an Ogg Vorbis file (%1)").arg(wrong));
        if (!infoReady) {
            for (int i = 0; i < 3; ++i) {
                ogg_packet op{};
                op.packet = reinterpret_cast<unsigned char*>(headers[i].data());
                op.bytes = long(headers[i].size());
                op.b_o_s = i == 0;
                op.packetno = i;
                if (vorbis_synthesis_headerin(info.get(), comment.get(), &op) != 0)
                    throw CutRefused(QStringLiteral("it is not an Ogg Vorbis file"));
            }
            infoReady = true;
        }
        identification = headers[0];
        setup = headers[2];
    }

    // Reads the next packet into `kept`; false at the stream's end. The first
    // page's packets are placed once its granule position is known: it tells
    // where their frames lie.
    bool readOne() {
        while (ahead.empty() || !anchored) {
            ogg_packet op;
            if (!nextPacket(op)) {
                if (!anchored && !ahead.empty())
                    place(-1, false);
                if (ahead.empty())
                    return false;
                break;
            }
            const long block = vorbis_packet_blocksize(info.get(), &op);
            if (block < 0)
                throw CutRefused(QStringLiteral("an audio packet is damaged"));
            Packet p;
            p.at = storeBase + std::int64_t(store.size());
            if (keepBytes) {
                p.bytes = op.bytes;
                store.insert(store.end(), op.packet, op.packet + op.bytes);
            }
            p.samples = lastBlock < 0 ? 0 : (lastBlock + block) / 4;
            p.last = op.e_o_s != 0;
            lastBlock = block;
            if (anchored) {
                const std::int64_t before = kept.empty() ? 0 : kept.back().end;
                p.end = before + p.samples;
            }
            ahead.push_back(p);
            if (op.e_o_s) {
                ended = true;
                if (op.granulepos >= 0)
                    decodedEnd = op.granulepos - offset;
            }
            if (!anchored && op.granulepos >= 0)
                place(op.granulepos, op.e_o_s != 0);
            if (anchored)
                break;
        }
        if (ended && ahead.back().last && decodedEnd < 0)
            decodedEnd = ahead.back().end;
        kept.push_back(ahead.front());
        ahead.pop_front();
        return true;
    }

    // The packets read so far end at `granule`. As libvorbisfile counts: a
    // granule position past their frames is an offset of the whole stream;
    // one short of them drops frames from the start, except on a stream of one
    // page, which is cut at its end.
    void place(std::int64_t granule, bool alsoLast) {
        std::int64_t accumulated = 0;
        for (const Packet& p : ahead)
            accumulated += p.samples;
        if (granule < 0)
            granule = accumulated;
        offset = std::max<std::int64_t>(0, granule - accumulated);
        std::int64_t end = alsoLast || granule >= accumulated ? accumulated : granule;
        for (auto it = ahead.rbegin(); it != ahead.rend(); ++it) {
            it->end = end;
            end -= it->samples;
        }
        if (alsoLast)
            decodedEnd = granule - offset;
        anchored = true;
    }

    // Packet `index`, read up to as needed; null past the stream's end.
    const Packet* packet(std::int64_t index) {
        if (index < keptFirst) {
            restart();
        }
        while (nextIndex() <= index)
            if (!readOne())
                return nullptr;
        return &kept[size_t(index - keptFirst)];
    }

    void dropBefore(std::int64_t index) {
        while (keptFirst < index && !kept.empty()) {
            kept.pop_front();
            ++keptFirst;
        }
        // The bytes no packet needs any more go once they are the larger part.
        const std::int64_t needed = !kept.empty()    ? kept.front().at
                                    : !ahead.empty() ? ahead.front().at
                                                     : storeBase + std::int64_t(store.size());
        const auto unused = size_t(needed - storeBase);
        if (unused > 0 && unused >= store.size() / 2) {
            store.erase(store.begin(), store.begin() + std::ptrdiff_t(unused));
            storeBase = needed;
        }
    }
};

class OggCut final : public CopyCut {
  public:
    explicit OggCut(const QString& path);

    int sampleRate() const override { return int(d.info.get()->rate); }
    int channels() const override { return d.info.get()->channels; }
    std::int64_t lengthFrames() const override;
    std::int64_t lengthMs() const override { return wholeMs(lengthFrames(), sampleRate()); }
    TagForm tagForm() const override { return TagForm::Comments; }
    void writePiece(QIODevice& out, std::int64_t begin, std::int64_t end,
                    const Tags& tags) override;

  private:
    OggState d;
    mutable std::int64_t m_length = -1; // found when first asked
};

} // namespace

namespace {

void writeAll(QIODevice& out, const unsigned char* data, long size) {
    writeAllTo(out, reinterpret_cast<const char*>(data), size);
}

// A piece's pages, gathered so that the system is called once for many of
// them; a failed write still fails with the system's reason.
class PageWriter {
  public:
    explicit PageWriter(QIODevice& out) : m_out(out) { m_block.reserve(kWriteBlock + 8192); }

    void pages(OggPager& pager, bool flush) {
        OggPager::Page page;
        while (pager.pageOut(page, flush)) {
            m_block.append(reinterpret_cast<const char*>(page.header), page.headerLen);
            m_block.append(reinterpret_cast<const char*>(page.body), page.bodyLen);
            if (m_block.size() >= kWriteBlock)
                finish();
        }
    }

    // Writes what is gathered.
    void finish() {
        writeAll(m_out, reinterpret_cast<const unsigned char*>(m_block.constData()),
                 long(m_block.size()));
        m_block.clear();
    }

  private:
    QIODevice& m_out;
    QByteArray m_block;
};

void putPacket(OggPager& os, const QByteArray& data, std::int64_t granule, bool last) {
    os.packetIn(reinterpret_cast<const unsigned char*>(data.constData()), long(data.size()),
                granule, last);
}

QByteArray commentPacket(const QList<QByteArray>& comments) {
    VorbisComment vc;
    for (const QByteArray& c : comments)
        vorbis_comment_add(vc.get(), c.constData());
    ogg_packet op;
    QByteArray packet;
    if (vorbis_commentheader_out(vc.get(), &op) == 0) {
        packet = QByteArray(reinterpret_cast<const char*>(op.packet), qsizetype(op.bytes));
        ogg_packet_clear(&op);
    }
    return packet;
}

// The three headers: the source's identification and setup, our comments.
void writeHeaders(PageWriter& out, OggPager& os, const QByteArray& identification,
                  const QByteArray& setup, const QList<QByteArray>& comments, bool endStream) {
    putPacket(os, identification, 0, false);
    out.pages(os, true);
    const QByteArray commentHeader = commentPacket(comments);
    if (commentHeader.isEmpty())
        throw AudioError(QStringLiteral("the comment header cannot be made"));
    putPacket(os, commentHeader, 0, false);
    putPacket(os, setup, 0, endStream);
    out.pages(os, true);
}

} // namespace

namespace {

// The sources found fit to cut and not cut since: a run checks its sources
// before it writes, and its caller may have just checked them too; reading
// the whole file once is enough. A file changed since (its size or times)
// is read again, and the cut itself checks every page it reads.
struct Fit {};
StampedRegistry<Fit> fitSources;

// The check of a file a reader has found to be sound pages back to back: one
// stream, its pages in sequence, every audio packet of a known mode. Read
// from the page headers and each packet's first byte, without gathering
// packets; true when all holds. Anything else (false) is left to the full
// check, which names what is wrong.
bool soundSingleStream(const QString& path, const vorbis_info* info) {
    SourceFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return false;
    OggPageReader pages(file, kReadChunk);
    if (!pages.trusted())
        return false;
    int serial = 0;
    long sequence = 0;
    std::int64_t packets = 0; // packets begun so far
    bool open = false;        // the last page ended inside a packet
    bool ended = false;
    ogg_page page;
    for (;;) {
        const int r = pages.next(page);
        if (r < 0)
            return false;
        if (r == 0)
            return !pages.failed() && ended && !open;
        if (ended || ogg_page_version(&page) != 0)
            return false;
        if (sequence == 0) {
            if (!ogg_page_bos(&page))
                return false;
            serial = ogg_page_serialno(&page);
        } else if (ogg_page_bos(&page) || ogg_page_serialno(&page) != serial) {
            return false;
        }
        if (ogg_page_pageno(&page) != sequence++ || (ogg_page_continued(&page) != 0) != open)
            return false;
        const unsigned char* lacing = page.header + 27;
        const int segments = page.header[26];
        long at = 0;
        for (int i = 0; i < segments; ++i) {
            if (!open) {
                // A packet begins here; the audio ones (after the three
                // headers) name their mode in their first byte.
                if (packets++ >= 3) {
                    if (lacing[i] == 0)
                        return false;
                    ogg_packet op{};
                    op.packet = page.body + at;
                    op.bytes = 1;
                    if (vorbis_packet_blocksize(const_cast<vorbis_info*>(info), &op) < 0)
                        return false;
                }
            }
            at += lacing[i];
            open = lacing[i] == 255;
        }
        ended = ogg_page_eos(&page) != 0;
    }
}

} // namespace

QString OggCopyCut::problem(const QString& path) {
    const FileStamp stamp = FileStamp::of(path);
    if (fitSources.find(path))
        return QString();
    try {
        OggState s(path);
        s.keepBytes = false;
        s.restart();
        if (soundSingleStream(path, s.info.get())) {
            fitSources.store(path, stamp, std::make_shared<Fit>());
            return QString();
        }
        while (s.readOne())
            s.dropBefore(s.nextIndex());
        // Whatever follows the stream's end may be a further link.
        ogg_page page;
        while (s.nextPage(page)) {
        }
        fitSources.store(path, stamp, std::make_shared<Fit>());
        return QString();
    } catch (const CutRefused& e) {
        return e.message();
    } catch (const AudioError& e) {
        return e.message();
    }
}

OggCut::OggCut(const QString& path) : d(path) {
    // Once cut, a source is checked again before the next run cuts it.
    fitSources.forget(path);
    try {
        d.restart();
    } catch (const CutRefused& e) {
        throw AudioError(QStringLiteral("Cannot cut %1 without re-encoding: %2")
                             .arg(QDir::toNativeSeparators(path), e.message()));
    }
}

std::int64_t OggCut::lengthFrames() const {
    if (m_length >= 0)
        return m_length;
    m_length = 0;
    // libvorbisfile counts from the first audio page's granule position to
    // the last page's, reading only the file's two ends: the count a reader
    // of the source bases its positions on. Its headers have been checked
    // by now, which libvorbisfile needs.
    SourceFile file(d.path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return 0;
    OggVorbis_File vf;
    const ov_callbacks callbacks = qFileCallbacks;
    if (ov_open_callbacks(&file, &vf, nullptr, 0, callbacks) != 0)
        return 0;
    if (ov_streams(&vf) == 1 && ov_info(&vf, 0) && ov_info(&vf, 0)->rate == d.info.get()->rate)
        m_length = std::max<std::int64_t>(0, ov_pcm_total(&vf, 0));
    ov_clear(&vf);
    return m_length;
}

void OggCut::writePiece(QIODevice& out, std::int64_t begin, std::int64_t end, const Tags& tags) {
    OggState& s = d;
    const auto refused = [&](const QString& why) {
        return AudioError(QStringLiteral("Cannot cut %1 without re-encoding: %2")
                              .arg(QDir::toNativeSeparators(s.path), why));
    };
    try {
        // Chained or concatenated files need distinct serial numbers.
        OggPager os(int(QRandomGenerator::global()->generate() & 0x7fffffff));
        begin = std::max<std::int64_t>(0, begin);
        end = std::max(begin, end);
        // The packet whose frames hold `begin`, and the one before it, which
        // only primes the decoder.
        const Packet* first = s.packet(s.keptFirst);
        if (first && first->end > begin && s.keptFirst > 0)
            s.restart();
        // The packet before k stays within reach.
        std::int64_t k = s.keptFirst + 1;
        bool atEnd = false;
        for (;; ++k) {
            const Packet* p = s.packet(k);
            if (!p) {
                k = std::max(s.keptFirst + 1, k - 1);
                atEnd = true;
                break;
            }
            if (p->samples > 0 && p->end > begin)
                break;
            if (p->last) {
                atEnd = true;
                break;
            }
        }
        if (!s.packet(k) || !s.packet(k - 1))
            throw CutRefused(QStringLiteral("it holds no audio"));
        if (atEnd)
            begin = end = s.packet(k)->end; // the span begins past the end: an empty piece
        const std::int64_t kStart = s.packet(k)->end - s.packet(k)->samples;

        // The packet whose frames hold the last frame kept.
        std::int64_t m = k;
        for (;; ++m) {
            const Packet* p = s.packet(m);
            if (!p) {
                --m;
                end = std::min(end, s.packet(m)->end);
                break;
            }
            if (p->last && s.decodedEnd >= 0)
                end = std::min(end, s.decodedEnd);
            if (p->end >= end || p->last)
                break;
        }
        if (end <= begin) {
            // Nothing is kept: the headers alone, the last of them ending the stream.
            PageWriter pages(out);
            writeHeaders(pages, os, s.identification, s.setup, tags.comments, true);
            pages.finish();
            return;
        }
        if (m == k && begin > kStart)
            throw CutRefused(QStringLiteral("a piece shorter than one Vorbis packet must begin "
                                            "where one does"));

        PageWriter pages(out);
        writeHeaders(pages, os, s.identification, s.setup, tags.comments, false);

        // The first audio page holds the priming packet and the first packet
        // kept, and no other: its granule position short of their frames is
        // what makes the decoder drop the frames before `begin`.
        const Packet& priming = *s.packet(k - 1);
        os.packetIn(s.bytes(priming), priming.bytes, -1, false);
        for (std::int64_t j = k; j <= m; ++j) {
            const Packet& p = *s.packet(j);
            const bool last = j == m;
            // The last granule position cuts the end.
            os.packetIn(s.bytes(p), p.bytes, (last ? end : p.end) - begin, last);
            pages.pages(os, j == k || last);
        }
        pages.finish();
        s.dropBefore(m - 1);
    } catch (const CutRefused& e) {
        throw refused(e.message());
    }
}

std::unique_ptr<CopyCut> OggCopyCut::open(const QString& path) {
    return std::make_unique<OggCut>(path);
}
