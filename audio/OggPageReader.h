// The pages of an Ogg file, found exactly as libogg's page reader finds them,
// with a quicker page checksum (OggCrc): every byte of a source goes through
// it each time it is read.
#pragma once

#include "audio/FileStamp.h"
#include "audio/NativeName.h"
#include "audio/OggCrc.h"

#include <QFileDevice>
#include <QIODevice>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <ogg/ogg.h>
#include <vector>

// A file found to be pages with right checksums back to back, from its
// first byte to its last, is so until it changes: a check and the cut that
// follows read the same file, and one pass over its checksums is enough.
// Its pages are then taken by their lengths alone; a byte out of place
// there turns checking on again.
class OggPageReader {
  public:
    static std::mutex& fileTimesLock() { return FileStamp::timesLock(); }

    OggPageReader(QIODevice& in, qint64 chunk) : m_in(in), m_chunk(chunk) { reset(); }

    // From the device's start, which it has been moved to.
    void reset() {
        m_pos = m_fill = 0;
        m_unsynced = false;
        m_failed = false;
        m_sound = true;
        const auto* file = qobject_cast<const QFileDevice*>(&m_in);
        m_path = file && !NativeName::isEscaped(file->fileName()) ? file->fileName() : QString();
        m_stamp = FileStamp::of(m_path);
        const std::lock_guard<std::mutex> lock(registry().lock);
        const auto it = registry().files.find(m_path);
        m_trusted = m_stamp.size >= 0 && it != registry().files.end() && it->second == m_stamp;
    }

    // As ogg_sync_pageout: 1 a page (its checksum right; valid until the
    // next call), 0 at the end of the device or when reading fails, -1 once
    // where bytes are skipped up to the next possible page.
    int next(ogg_page& page) {
        for (;;) {
            const int r = capture(page);
            if (r != 0)
                return r;
            if (m_pos > 0) {
                std::memmove(m_data.data(), m_data.data() + m_pos, m_fill - m_pos);
                m_fill -= m_pos;
                m_pos = 0;
            }
            if (m_data.size() < m_fill + size_t(m_chunk))
                m_data.resize(m_fill + size_t(m_chunk));
            const qint64 got = m_in.read(reinterpret_cast<char*>(m_data.data() + m_fill), m_chunk);
            if (got <= 0) {
                m_failed = got < 0;
                if (got == 0 && m_sound && !m_trusted && m_pos == m_fill && m_stamp.size >= 0 &&
                    FileStamp::of(m_path) == m_stamp) {
                    const std::lock_guard<std::mutex> lock(registry().lock);
                    registry().files[m_path] = m_stamp;
                }
                return 0;
            }
            m_fill += size_t(got);
        }
    }

    // The last 0 from next() was a failed read.
    bool failed() const { return m_failed; }
    // The file is known to be sound pages from its first byte to its last,
    // and unchanged since: next() takes the pages by their lengths alone.
    bool trusted() const { return m_trusted; }

  private:
    int capture(ogg_page& page) {
        for (;;) {
            const unsigned char* at = m_data.data() + m_pos;
            const size_t left = m_fill - m_pos;
            if (left < 27)
                return 0;
            if (std::memcmp(at, "OggS", 4) == 0) {
                const size_t headerLen = 27 + size_t(at[26]);
                if (left < headerLen)
                    return 0;
                size_t bodyLen = 0;
                for (size_t i = 27; i < headerLen; ++i)
                    bodyLen += at[i];
                if (left < headerLen + bodyLen)
                    return 0;
                if (m_trusted ||
                    OggCrc::page(at, headerLen, at + headerLen, bodyLen) == OggCrc::stored(at)) {
                    page.header = const_cast<unsigned char*>(at);
                    page.header_len = long(headerLen);
                    page.body = page.header + headerLen;
                    page.body_len = long(bodyLen);
                    m_pos += headerLen + bodyLen;
                    m_unsynced = false;
                    return 1;
                }
            }
            if (m_trusted) {
                // Not the file it was: from this page on, as libogg reads it.
                m_trusted = false;
                continue;
            }
            m_sound = false;
            const void* next = std::memchr(at + 1, 'O', left - 1);
            m_pos = next ? size_t(static_cast<const unsigned char*>(next) - m_data.data()) : m_fill;
            if (!m_unsynced) {
                m_unsynced = true;
                return -1;
            }
        }
    }

    struct Registry {
        std::mutex lock;
        std::map<QString, FileStamp> files;
    };
    static Registry& registry() {
        static Registry r;
        return r;
    }

    QIODevice& m_in;
    qint64 m_chunk;
    QString m_path;
    FileStamp m_stamp;
    bool m_trusted = false;            // known sound: pages taken by their lengths
    bool m_sound = true;               // nothing skipped since the start
    std::vector<unsigned char> m_data; // [m_pos, m_fill) not yet taken as pages
    size_t m_pos = 0;
    size_t m_fill = 0;
    bool m_unsynced = false; // bytes were skipped since the last page
    bool m_failed = false;
};
