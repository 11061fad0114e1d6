#include "audio/PeakCache.h"

#include "audio/OggPageReader.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>
#include <cstring>
#include <mutex>

namespace PeakCache {

namespace {

constexpr char Magic[8] = {'C', 'A', 'D', 'P', 'E', 'A', 'K', 'S'};
constexpr std::uint32_t Version = 1;
constexpr int MaxChannels = 255;

// 64-bit FNV-1a: cheap beside reading the file, and any changed byte shows.
std::uint64_t checksum(const char* data, qsizetype size) {
    std::uint64_t h = 1469598103934665603ull;
    for (qsizetype i = 0; i < size; ++i) {
        h ^= std::uint8_t(data[i]);
        h *= 1099511628211ull;
    }
    return h;
}

template <class T> void put(QByteArray& out, T v) {
    char bytes[sizeof(T)];
    qToLittleEndian(v, bytes);
    out.append(bytes, sizeof(T));
}

// Reads from a byte array front to back; any read past its end fails it.
struct Reader {
    const QByteArray& in;
    qsizetype at = 0;
    bool ok = true;

    template <class T> T get() {
        if (!ok || in.size() - at < qsizetype(sizeof(T))) {
            ok = false;
            return T{};
        }
        const T v = qFromLittleEndian<T>(in.constData() + at);
        at += sizeof(T);
        return v;
    }
    QByteArray bytes(qsizetype n) {
        if (!ok || n < 0 || in.size() - at < n) {
            ok = false;
            return {};
        }
        const QByteArray b = in.mid(at, n);
        at += n;
        return b;
    }
};

QByteArray header(const Key& key, const PeakSummary& s) {
    QByteArray out(Magic, sizeof(Magic));
    put<std::uint32_t>(out, Version);
    const QByteArray path = key.path.toUtf8();
    put<std::uint32_t>(out, std::uint32_t(path.size()));
    out.append(path);
    put<std::int64_t>(out, key.size);
    put<std::int64_t>(out, key.modified);
    put<std::int32_t>(out, s.rate);
    put<std::int32_t>(out, s.channels);
    put<std::int64_t>(out, s.frames);
    put<std::int32_t>(out, PeakSummary::BlockFrames);
    put<std::int64_t>(out, std::int64_t(s.cells.size()));
    return out;
}

} // namespace

Key keyOf(const QString& path) {
    // File times pass through the C library's time zone state, which readers
    // side by side must not enter at once.
    const std::lock_guard<std::mutex> lock(OggPageReader::fileTimesLock());
    const QFileInfo info(path);
    if (!info.exists() || !info.isFile())
        return {};
    return {info.absoluteFilePath(), info.size(), info.lastModified().toUTC().toMSecsSinceEpoch()};
}

QString fileFor(const QString& folder, const Key& key) {
    const QByteArray name =
        QCryptographicHash::hash(key.path.toUtf8(), QCryptographicHash::Sha1).toHex();
    return folder + QLatin1Char('/') + QString::fromLatin1(name) + QStringLiteral(".peaks");
}

bool load(const QString& file, const Key& key, PeakSummary& out) {
    if (!key.valid())
        return false;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    // Nothing in a damaged file may make us allocate much: its size bounds all.
    const QByteArray data = f.readAll();
    Reader r{data};
    const QByteArray magic = r.bytes(sizeof(Magic));
    if (!r.ok || std::memcmp(magic.constData(), Magic, sizeof(Magic)) != 0 ||
        r.get<std::uint32_t>() != Version)
        return false;
    const std::uint32_t pathBytes = r.get<std::uint32_t>();
    if (!r.ok || pathBytes > std::uint32_t(data.size()))
        return false;
    const QString path = QString::fromUtf8(r.bytes(pathBytes));
    const std::int64_t size = r.get<std::int64_t>();
    const std::int64_t modified = r.get<std::int64_t>();
    PeakSummary s;
    const std::int32_t rate = r.get<std::int32_t>();
    const std::int32_t channels = r.get<std::int32_t>();
    const std::int64_t frames = r.get<std::int64_t>();
    const std::int32_t blockFrames = r.get<std::int32_t>();
    const std::int64_t cellCount = r.get<std::int64_t>();
    if (!r.ok || path != key.path || size != key.size || modified != key.modified || rate <= 0 ||
        channels <= 0 || channels > MaxChannels || frames < 0 ||
        blockFrames != PeakSummary::BlockFrames)
        return false;
    s.rate = rate;
    s.channels = channels;
    s.frames = frames;
    const qsizetype cellsAt = r.at;
    if (frames / PeakSummary::BlockFrames > data.size() || cellCount != s.blocks() * channels ||
        data.size() - cellsAt != qsizetype(cellCount * sizeof(PeakSummary::Cell)) + 8)
        return false;
    const qsizetype sumAt = data.size() - 8;
    if (qFromLittleEndian<std::uint64_t>(data.constData() + sumAt) !=
        checksum(data.constData(), sumAt))
        return false;
    s.cells.resize(size_t(cellCount));
    std::memcpy(s.cells.data(), data.constData() + cellsAt, size_t(sumAt - cellsAt));
    out = std::move(s);
    return true;
}

bool save(const QString& file, const Key& key, const PeakSummary& summary) {
    if (!key.valid() || !QDir().mkpath(QFileInfo(file).absolutePath()))
        return false;
    QByteArray data = header(key, summary);
    data.append(reinterpret_cast<const char*>(summary.cells.data()), qsizetype(summary.bytes()));
    put<std::uint64_t>(data, checksum(data.constData(), data.size()));
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size())
        return false;
    return out.commit();
}

} // namespace PeakCache
