// What tells that a file is still the one read before (its size and times),
// and a registry of what was found of files, valid while they stay so.
#pragma once

#include <QDateTime>
#include <QString>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

struct FileStamp {
    qint64 size = -1; // -1: no such file
    QDateTime modified;
    QDateTime changed;
    bool operator==(const FileStamp&) const = default;

    // Of the file as it is now.
    static FileStamp of(const QString& path);

    // Held while a file's times are read: they go through the C library's
    // time zone state, which readers side by side must not enter at once.
    static std::mutex& timesLock();
};

// What a reading of each file found (its frames, that it is fit to cut),
// kept so that a check before a run and the cut that follows read the file
// once. A file changed since is no longer found. Safe across threads.
template <class T> class StampedRegistry {
  public:
    // What was stored of `path`, while the file is as it was then.
    std::shared_ptr<const T> find(const QString& path) const {
        const FileStamp now = FileStamp::of(path);
        const std::lock_guard<std::mutex> lock(m_lock);
        const auto it = m_found.find(path);
        if (it == m_found.end() || it->second.first != now || now.size < 0)
            return nullptr;
        return it->second.second;
    }
    // Keeps what was found of `path` stamped `stamp` before the reading,
    // unless the file changed meanwhile.
    void store(const QString& path, const FileStamp& stamp, std::shared_ptr<const T> found) {
        if (stamp.size < 0 || stamp != FileStamp::of(path))
            return;
        const std::lock_guard<std::mutex> lock(m_lock);
        m_found[path] = {stamp, std::move(found)};
    }
    void forget(const QString& path) {
        const std::lock_guard<std::mutex> lock(m_lock);
        m_found.erase(path);
    }

  private:
    mutable std::mutex m_lock;
    std::map<QString, std::pair<FileStamp, std::shared_ptr<const T>>> m_found;
};
