// Packets of one logical stream laid out into Ogg pages exactly as libogg's
// stream encoder lays them out (the same page sizes, the same flushes, the
// same headers), with the checksum of OggCrc. A lossless cut writes every
// byte of its pieces through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class OggPager {
  public:
    // A page made: valid until the next call.
    struct Page {
        const unsigned char* header = nullptr;
        long headerLen = 0;
        const unsigned char* body = nullptr;
        long bodyLen = 0;
    };

    explicit OggPager(int serial) : m_serial(serial) {}

    // Adds a packet; its granule position is the page's where it ends there.
    // The first packet added begins the stream, one with `last` ends it.
    void packetIn(const unsigned char* data, long bytes, std::int64_t granule, bool last);
    // As ogg_stream_pageout (`flush` false) and ogg_stream_flush (true): a
    // page of what is gathered, when one is due; false when none is.
    bool pageOut(Page& page, bool flush);

  private:
    struct Segment {
        unsigned char size = 0;
        bool begins = false; // a packet begins with it
        std::int64_t granule = -1;
    };

    bool makePage(Page& page, bool force);

    // How far the search for the next page's end has gone over the waiting
    // segments: it depends on them alone, so a page not yet due resumes it
    // when more come instead of starting over.
    struct Scan {
        size_t count = 0;
        long bytes = 0;
        int packetsDone = 0;
        int justDone = 0;
        std::int64_t granule = -1;
    };

    int m_serial;
    std::int64_t m_pageNo = 0;
    bool m_begun = false; // the first page is out
    bool m_ended = false; // the last packet is in
    std::vector<Segment> m_segments;
    size_t m_segmentsOut = 0; // of m_segments, the ones already paged
    std::vector<unsigned char> m_body;
    size_t m_bodyOut = 0; // of m_body, the bytes already paged
    Scan m_scan;
    unsigned char m_header[27 + 255] = {};
};
