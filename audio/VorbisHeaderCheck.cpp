#include "audio/VorbisHeaderCheck.h"

#include "audio/OggHandles.h"
#include "audio/OggPageReader.h"

#include <QIODevice>
#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <vector>

namespace {

// Bits of a Vorbis packet, least significant bit of each byte first. Reading
// past the end yields zeros and is remembered.
class BitReader {
  public:
    explicit BitReader(const QByteArray& data)
        : m_data(reinterpret_cast<const unsigned char*>(data.constData())),
          m_bits(std::uint64_t(data.size()) * 8) {}

    std::uint32_t read(int count) {
        std::uint32_t value = 0;
        for (int i = 0; i < count; ++i, ++m_at) {
            if (m_at >= m_bits) {
                m_overrun = true;
                return 0;
            }
            value |= std::uint32_t((m_data[m_at >> 3] >> (m_at & 7)) & 1) << i;
        }
        return value;
    }
    bool flag() { return read(1) != 0; }
    // Passes over `count` bits without looking at them.
    void skip(std::uint64_t count) {
        if (count > m_bits - std::min(m_at, m_bits)) {
            m_overrun = true;
            m_at = m_bits;
        } else {
            m_at += count;
        }
    }
    bool overrun() const { return m_overrun; }

  private:
    const unsigned char* m_data;
    std::uint64_t m_bits;
    std::uint64_t m_at = 0;
    bool m_overrun = false;
};

int ilog(std::uint32_t v) {
    int bits = 0;
    while (v) {
        ++bits;
        v >>= 1;
    }
    return bits;
}

// The largest r with r^dim <= entries: how many values a type 1 lookup table
// holds. dim >= 1 and entries >= 1.
std::uint64_t lookup1Values(std::uint32_t entries, std::uint32_t dim) {
    auto fits = [&](std::uint64_t r) {
        std::uint64_t acc = 1;
        for (std::uint32_t i = 0; i < dim; ++i) {
            acc *= r;
            if (acc > entries)
                return false;
        }
        return true;
    };
    std::uint64_t r = 1;
    while (fits(r + 1))
        ++r;
    return r;
}

struct Book {
    std::uint32_t dim = 0;
    std::uint32_t entries = 0;
    int lookup = 0;
};

bool isHeader(const QByteArray& packet, char type) {
    return packet.size() >= 7 && packet[0] == type && packet.mid(1, 6) == "vorbis";
}

QString idProblem(const QByteArray& id, int& channels) {
    if (!isHeader(id, 1) || id.size() < 30)
        return QStringLiteral("no Vorbis identification header");
    const auto* p = reinterpret_cast<const unsigned char*>(id.constData()) + 7;
    auto u32 = [](const unsigned char* q) {
        return std::uint32_t(q[0]) | std::uint32_t(q[1]) << 8 | std::uint32_t(q[2]) << 16 |
               std::uint32_t(q[3]) << 24;
    };
    if (u32(p) != 0)
        return QStringLiteral("unknown Vorbis version %1").arg(u32(p));
    channels = p[4];
    if (channels == 0)
        return QStringLiteral("the header states no channels");
    if (u32(p + 5) == 0 || u32(p + 5) > 0x7FFFFFFF)
        return QStringLiteral("the header states no sample rate");
    const int small = p[21] & 0x0F;
    const int large = p[21] >> 4;
    if (small < 6 || large > 13 || small > large)
        return QStringLiteral("impossible block sizes %1 and %2").arg(1 << small).arg(1 << large);
    if (!(p[22] & 1))
        return QStringLiteral("damaged identification header");
    return {};
}

QString codebookProblem(BitReader& in, int index, Book& book) {
    auto bad = [index](const QString& what) {
        return QStringLiteral("codebook %1 %2").arg(index).arg(what);
    };
    if (in.read(24) != 0x564342)
        return bad(QStringLiteral("is damaged"));
    book.dim = in.read(16);
    book.entries = in.read(24);
    if (book.dim == 0)
        return bad(QStringLiteral("has dimension 0"));
    if (book.entries == 0)
        return bad(QStringLiteral("has no entries"));
    if (ilog(book.dim) + ilog(book.entries) > 24)
        return bad(QStringLiteral("is too large"));
    // The code lengths must make a complete prefix code (one used entry aside):
    // where libvorbis cannot build the tree it keeps the book zeroed, and a
    // later attempt decodes with dimension 0.
    std::uint64_t used = 0;
    std::uint64_t space = 0; // sum of 2^(32 - length) over the used entries
    if (in.flag()) {         // ordered: runs of entries per code length
        std::uint32_t length = in.read(5) + 1;
        for (std::uint32_t entry = 0; entry < book.entries && !in.overrun(); ++length) {
            if (length > 32)
                return bad(QStringLiteral("has codes longer than 32 bits"));
            const std::uint32_t run = in.read(ilog(book.entries - entry));
            if (run > book.entries - entry)
                return bad(QStringLiteral("has more code lengths than entries"));
            entry += run;
            used += run;
            space += std::uint64_t(run) << (32 - length);
        }
    } else {
        const bool sparse = in.flag();
        for (std::uint32_t entry = 0; entry < book.entries && !in.overrun(); ++entry)
            if (!sparse || in.flag()) {
                ++used;
                space += std::uint64_t(1) << (32 - (in.read(5) + 1));
            }
    }
    constexpr std::uint64_t kWhole = std::uint64_t(1) << 32;
    if (!in.overrun() && (space > kWhole || (used > 1 && space < kWhole)))
        return bad(QStringLiteral("has code lengths that make no prefix code"));
    book.lookup = int(in.read(4));
    if (book.lookup > 2)
        return bad(QStringLiteral("has an unknown lookup type"));
    if (book.lookup > 0) {
        in.skip(64); // minimum and delta
        const int valueBits = int(in.read(4)) + 1;
        in.read(1);
        const std::uint64_t values = book.lookup == 1 ? lookup1Values(book.entries, book.dim)
                                                      : std::uint64_t(book.entries) * book.dim;
        in.skip(values * std::uint64_t(valueBits));
    }
    return {};
}

QString floorProblem(BitReader& in, int index, size_t books) {
    auto bad = [index](const QString& what) {
        return QStringLiteral("floor %1 %2").arg(index).arg(what);
    };
    const std::uint32_t type = in.read(16);
    if (type == 0) {
        const std::uint32_t order = in.read(8);
        const std::uint32_t rate = in.read(16);
        const std::uint32_t barkMap = in.read(16);
        in.read(6 + 8); // amplitude bits and offset
        if (order == 0 || rate == 0 || barkMap == 0)
            return bad(QStringLiteral("has order, rate or Bark map size 0"));
        const int count = int(in.read(4)) + 1;
        for (int i = 0; i < count; ++i)
            if (in.read(8) >= books)
                return bad(QStringLiteral("names a missing codebook"));
        return {};
    }
    if (type != 1)
        return bad(QStringLiteral("has an unknown type"));
    const int partitions = int(in.read(5));
    std::vector<int> partClass(size_t(partitions), 0);
    int maxClass = -1;
    for (int& c : partClass) {
        c = int(in.read(4));
        maxClass = std::max(maxClass, c);
    }
    std::vector<int> classDim(size_t(maxClass + 1), 0);
    for (int& dim : classDim) {
        dim = int(in.read(3)) + 1;
        const int subclasses = int(in.read(2));
        if (subclasses && in.read(8) >= books)
            return bad(QStringLiteral("names a missing codebook"));
        for (int j = 0; j < (1 << subclasses); ++j)
            if (std::int64_t(in.read(8)) - 1 >= std::int64_t(books))
                return bad(QStringLiteral("names a missing codebook"));
    }
    in.read(2); // multiplier
    const int rangeBits = int(in.read(4));
    // Equal x positions make a segment of width 0, which the curve is divided by.
    std::set<std::uint32_t> xs{0, 1u << rangeBits};
    size_t posts = 2;
    for (int c : partClass) {
        for (int j = 0; j < classDim[size_t(c)]; ++j) {
            if (++posts > 65)
                return bad(QStringLiteral("has too many points"));
            if (!xs.insert(in.read(rangeBits)).second && !in.overrun())
                return bad(QStringLiteral("has two points at the same position"));
        }
    }
    return {};
}

QString residueProblem(BitReader& in, int index, const std::vector<Book>& books) {
    auto bad = [index](const QString& what) {
        return QStringLiteral("residue %1 %2").arg(index).arg(what);
    };
    if (in.read(16) > 2)
        return bad(QStringLiteral("has an unknown type"));
    const std::uint32_t begin = in.read(24);
    const std::uint32_t end = in.read(24);
    const std::uint32_t partitionSize = in.read(24) + 1;
    const std::uint32_t classes = in.read(6) + 1;
    const std::uint32_t classBook = in.read(8);
    if (begin > end || (end - begin) / partitionSize > (1u << 20))
        return bad(QStringLiteral("has impossible partitions"));
    if (classBook >= books.size())
        return bad(QStringLiteral("names a missing codebook"));
    // The class book decodes `dim` partition classes at a time: it needs an
    // entry for every combination.
    std::uint64_t combinations = 1;
    for (std::uint32_t i = 0; i < books[classBook].dim; ++i) {
        combinations *= classes;
        if (combinations > books[classBook].entries)
            return bad(QStringLiteral("has a class book too small for its classes"));
    }
    std::vector<std::uint32_t> cascade(classes);
    for (std::uint32_t& c : cascade) {
        c = in.read(3);
        if (in.flag())
            c |= in.read(5) << 3;
    }
    for (std::uint32_t c : cascade)
        for (int bit = 0; bit < 8; ++bit)
            if (c & (1u << bit)) {
                const std::uint32_t book = in.read(8);
                if (book >= books.size() || (books[book].lookup == 0 && !in.overrun()))
                    return bad(QStringLiteral("names a missing or scalar codebook"));
            }
    return {};
}

QString mappingProblem(BitReader& in, int index, int channels, size_t floors, size_t residues) {
    auto bad = [index](const QString& what) {
        return QStringLiteral("mapping %1 %2").arg(index).arg(what);
    };
    if (in.read(16) != 0)
        return bad(QStringLiteral("has an unknown type"));
    const std::uint32_t submaps = in.flag() ? in.read(4) + 1 : 1;
    if (in.flag()) {
        const int steps = int(in.read(8)) + 1;
        const int bits = ilog(std::uint32_t(channels - 1));
        for (int i = 0; i < steps; ++i) {
            const std::uint32_t magnitude = in.read(bits);
            const std::uint32_t angle = in.read(bits);
            if ((magnitude == angle || magnitude >= std::uint32_t(channels) ||
                 angle >= std::uint32_t(channels)) &&
                !in.overrun())
                return bad(QStringLiteral("couples impossible channels"));
        }
    }
    if (in.read(2) != 0)
        return bad(QStringLiteral("is damaged"));
    if (submaps > 1)
        for (int c = 0; c < channels; ++c)
            if (in.read(4) >= submaps)
                return bad(QStringLiteral("names a missing submap"));
    for (std::uint32_t i = 0; i < submaps; ++i) {
        in.read(8);
        const std::uint32_t floor = in.read(8);
        const std::uint32_t residue = in.read(8);
        if ((floor >= floors || residue >= residues) && !in.overrun())
            return bad(QStringLiteral("names a missing floor or residue"));
    }
    return {};
}

QString setupProblem(const QByteArray& setup, int channels) {
    if (!isHeader(setup, 5))
        return QStringLiteral("no Vorbis setup header");
    BitReader in(setup);
    in.skip(7 * 8);
    QString problem;
    auto cutShort = [&] {
        return in.overrun() ? QStringLiteral("setup header cut short") : problem;
    };

    std::vector<Book> books(in.read(8) + 1);
    for (size_t i = 0; i < books.size() && problem.isEmpty() && !in.overrun(); ++i)
        problem = codebookProblem(in, int(i), books[i]);
    if (!problem.isEmpty() || in.overrun())
        return cutShort();

    const int transforms = int(in.read(6)) + 1;
    for (int i = 0; i < transforms; ++i)
        if (in.read(16) != 0 && !in.overrun())
            return QStringLiteral("unknown time transform");

    const size_t floors = in.read(6) + 1;
    for (size_t i = 0; i < floors && problem.isEmpty() && !in.overrun(); ++i)
        problem = floorProblem(in, int(i), books.size());
    if (!problem.isEmpty() || in.overrun())
        return cutShort();

    const size_t residues = in.read(6) + 1;
    for (size_t i = 0; i < residues && problem.isEmpty() && !in.overrun(); ++i)
        problem = residueProblem(in, int(i), books);
    if (!problem.isEmpty() || in.overrun())
        return cutShort();

    const size_t mappings = in.read(6) + 1;
    for (size_t i = 0; i < mappings && problem.isEmpty() && !in.overrun(); ++i)
        problem = mappingProblem(in, int(i), channels, floors, residues);
    if (!problem.isEmpty() || in.overrun())
        return cutShort();

    const int modes = int(in.read(6)) + 1;
    for (int i = 0; i < modes; ++i) {
        in.read(1);
        const std::uint32_t window = in.read(16);
        const std::uint32_t transform = in.read(16);
        const std::uint32_t mapping = in.read(8);
        if ((window != 0 || transform != 0 || mapping >= mappings) && !in.overrun())
            return QStringLiteral("mode %1 is damaged").arg(i);
    }
    if (!in.flag() || in.overrun())
        return QStringLiteral("setup header cut short");
    return {};
}

// The header packets of one logical stream, gathered page by page.
struct Gathered {
    OggStream stream;
    std::vector<QByteArray> packets;
    explicit Gathered(int serial) : stream(serial) {}
};

constexpr qint64 kReadChunk = 256 * 1024;

} // namespace

QString VorbisHeaderCheck::headerProblem(const QByteArray& identification,
                                         const QByteArray& comment, const QByteArray& setup) {
    int channels = 0;
    QString problem = idProblem(identification, channels);
    if (problem.isEmpty() && !isHeader(comment, 3))
        problem = QStringLiteral("no Vorbis comment header");
    if (problem.isEmpty())
        problem = setupProblem(setup, channels);
    return problem;
}

QString VorbisHeaderCheck::fileProblem(QIODevice& file) {
    if (!file.seek(0))
        return QStringLiteral("cannot be read");
    OggPageReader pages(file, kReadChunk);
    std::map<int, std::unique_ptr<Gathered>> open; // streams still in their headers
    std::set<int> known;                           // streams past their headers
    // A link begins with its streams' first pages, one after the other; one
    // without a Vorbis stream makes libvorbisfile fail and leak.
    bool inLinkStart = false;
    bool linkHasVorbis = false;
    const QString notVorbis = QStringLiteral("a link of the chain holds no Vorbis stream");
    for (;;) {
        ogg_page page;
        const int r = pages.next(page);
        if (r < 0)
            continue; // bytes skipped up to the next page
        if (r == 0)
            break;
        const int serial = ogg_page_serialno(&page);
        if (ogg_page_bos(&page) && !inLinkStart) {
            inLinkStart = true;
            linkHasVorbis = false;
        } else if (!ogg_page_bos(&page) && inLinkStart) {
            if (!linkHasVorbis)
                return notVorbis;
            inLinkStart = false;
        }
        auto it = open.find(serial);
        if (it == open.end()) {
            if (!ogg_page_bos(&page)) {
                if (known.count(serial))
                    continue;
                return QStringLiteral("a link of the chain has lost its headers");
            }
            known.erase(serial); // a new link that reuses its predecessor's serial
            it = open.emplace(serial, std::make_unique<Gathered>(serial)).first;
        }
        Gathered& g = *it->second;
        ogg_stream_pagein(g.stream.get(), &page);
        ogg_packet packet;
        int got = 0;
        while (g.packets.size() < 3 && (got = ogg_stream_packetout(g.stream.get(), &packet)) != 0) {
            if (got < 0)
                return QStringLiteral("damaged Ogg Vorbis header pages");
            // The comment packet may be large (cover art); only its start matters.
            const long keep = g.packets.size() == 1 ? std::min(packet.bytes, 16L) : packet.bytes;
            g.packets.emplace_back(reinterpret_cast<const char*>(packet.packet), int(keep));
            if (g.packets.size() == 1 && !isHeader(g.packets[0], 1))
                break; // another codec's stream: not ours to check
        }
        if (!g.packets.empty() && !isHeader(g.packets[0], 1)) {
            open.erase(it);
            known.insert(serial);
            continue;
        }
        if (!g.packets.empty() && ogg_page_bos(&page))
            linkHasVorbis = true;
        if (g.packets.size() == 3) {
            const QString problem = headerProblem(g.packets[0], g.packets[1], g.packets[2]);
            if (!problem.isEmpty())
                return problem;
            open.erase(it);
            known.insert(serial);
        }
    }
    if (inLinkStart && !linkHasVorbis)
        return notVorbis;
    if (!open.empty())
        return QStringLiteral("Ogg Vorbis headers cut short");
    return {};
}
