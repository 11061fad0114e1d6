#include "audio/OggPager.h"

#include "audio/OggCrc.h"

#include <algorithm>
#include <cstring>

namespace {

// A page is due once it holds this many bytes and four packets end on it.
constexpr long kPageFill = 4096;

} // namespace

void OggPager::packetIn(const unsigned char* data, long bytes, std::int64_t granule, bool last) {
    // What earlier pages took goes before more is added.
    if (m_bodyOut > 0 && m_bodyOut >= m_body.size() / 2) {
        m_body.erase(m_body.begin(), m_body.begin() + std::ptrdiff_t(m_bodyOut));
        m_bodyOut = 0;
    }
    if (m_segmentsOut > 0 && m_segmentsOut >= m_segments.size() / 2) {
        m_segments.erase(m_segments.begin(), m_segments.begin() + std::ptrdiff_t(m_segmentsOut));
        m_segmentsOut = 0;
    }
    m_body.insert(m_body.end(), data, data + bytes);
    const long full = bytes / 255;
    for (long i = 0; i < full; ++i)
        m_segments.push_back(Segment{255, i == 0, -1});
    m_segments.push_back(Segment{static_cast<unsigned char>(bytes % 255), full == 0, granule});
    if (last)
        m_ended = true;
}

bool OggPager::pageOut(Page& page, bool flush) {
    const bool waiting = m_segments.size() > m_segmentsOut;
    // The stream's first page and its last are made as soon as they can be.
    return makePage(page, flush || (waiting && (m_ended || !m_begun)));
}

bool OggPager::makePage(Page& page, bool force) {
    const Segment* seg = m_segments.data() + m_segmentsOut;
    const size_t waiting = m_segments.size() - m_segmentsOut;
    const size_t most = std::min<size_t>(waiting, 255);
    if (most == 0)
        return false;
    size_t count = 0;
    std::int64_t granule = -1;
    if (!m_begun) {
        // The first page holds the first packet alone.
        granule = 0;
        while (count < most && seg[count++].size == 255) {
        }
    } else {
        // Many small packets share a page; a large one does not begin a
        // page it would spill over.
        Scan& scan = m_scan;
        for (; scan.count < most; ++scan.count) {
            if (scan.bytes > kPageFill && scan.justDone >= 4) {
                force = true;
                break;
            }
            scan.bytes += seg[scan.count].size;
            if (seg[scan.count].size < 255) {
                scan.granule = seg[scan.count].granule;
                scan.justDone = ++scan.packetsDone;
            } else {
                scan.justDone = 0;
            }
        }
        if (scan.count == 255)
            force = true;
        count = scan.count;
        granule = scan.granule;
    }
    if (!force)
        return false;
    m_scan = Scan{};

    unsigned char* h = m_header;
    std::memcpy(h, "OggS", 4);
    h[4] = 0;
    h[5] = (seg[0].begins ? 0 : 0x01) | (m_begun ? 0 : 0x02) |
           (m_ended && waiting == count ? 0x04 : 0);
    m_begun = true;
    auto put = [](unsigned char* at, std::uint64_t value, int n) {
        for (int i = 0; i < n; ++i, value >>= 8)
            at[i] = static_cast<unsigned char>(value & 0xff);
    };
    put(h + 6, static_cast<std::uint64_t>(granule), 8);
    put(h + 14, static_cast<std::uint32_t>(m_serial), 4);
    put(h + 18, static_cast<std::uint64_t>(m_pageNo++), 4);
    put(h + 22, 0, 4);
    h[26] = static_cast<unsigned char>(count);
    long bodyLen = 0;
    for (size_t i = 0; i < count; ++i)
        bodyLen += h[27 + i] = seg[i].size;

    page.header = h;
    page.headerLen = long(27 + count);
    page.body = m_body.data() + m_bodyOut;
    page.bodyLen = bodyLen;
    OggCrc::store(h, OggCrc::page(h, size_t(page.headerLen), page.body, size_t(bodyLen)));
    m_segmentsOut += count;
    m_bodyOut += size_t(bodyLen);
    return true;
}
