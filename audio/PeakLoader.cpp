#include "audio/PeakLoader.h"

#include "audio/AudioError.h"
#include "audio/AudioFile.h"
#include "audio/PeakCache.h"

#include <QEventLoop>
#include <QStandardPaths>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int BlockFrames = PeakSummary::BlockFrames;
// A part shorter than this is not worth a reader of its own.
constexpr std::int64_t MinFramesPerPart = 20 * 44100;
// The file is cut into up to this many parts a reader, taken in turn by
// whichever reader is free: where one core is taken from us for a while the
// other reads on, and no reader is left with a long part at the end. A part
// costs one seek.
constexpr std::int64_t PartsPerReader = 16;
// How often a reader tells the window that more is ready.
constexpr auto ReportEvery = std::chrono::milliseconds(40);
// A close-up view's samples are kept up to this many frames (a few MB), so
// that a repaint reads nothing; a wider one is read this many at a time.
constexpr std::int64_t KeptFrames = 1 << 19;
constexpr std::int64_t StretchFrames = 1 << 18;
// The quick look taken before the summary: short stretches spread over the
// file, one for each stretch of at least ProbeSpacing frames, so that a whole
// picture stands at once while the summary fills in behind it.
constexpr std::int64_t ProbeFrames = 2048;
constexpr std::int64_t ProbeSpacing = 65536;
constexpr std::int64_t MaxProbes = 1024;
// A file read whole within moments is drawn without one.
constexpr std::int64_t MinFramesToProbe = 90 * 44100;

// A run of blocks a reader summarises from its first to its last.
struct Region {
    std::int64_t begin = 0;
    std::int64_t end = 0;
};

// What the readers share with the loader. Until `opened` reaches the loader
// only the readers touch it; afterwards they write only blocks the loader has
// not been told are done, and the loader reads only those it has.
struct Job {
    QString path;
    QString cacheFolder;
    int readers = 0; // 0: by the cores and the file's length
    bool fromCache = false;
    std::atomic<bool> stop{false};
    PeakSummary summary;
    std::vector<Region> regions;
    std::atomic<size_t> nextRegion{0}; // the first no reader has taken
    int readerCount = 1;
    // The quick look: probe p starts at block p * blocks / probes; reader r
    // takes probes r, r + readers, ... in that order.
    std::int64_t probes = 0;
    std::vector<PeakSummary::Cell> probeCells; // probe-major, one a channel
    std::thread thread;

    std::function<void()> opened;
    std::function<void(size_t region, std::int64_t done)> progressed;
    std::function<void(size_t reader, std::int64_t done)> probed;
    std::function<void()> finished;
    std::function<void(QString)> failed;
};

int readersFor(std::int64_t frames) {
    const int cores = int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    return int(std::clamp<std::int64_t>(frames / MinFramesPerPart, 1, cores));
}

std::int64_t probeBlock(const Job& job, std::int64_t p) {
    return p * job.summary.blocks() / job.probes;
}

// The quick look's probes of reader `index`.
void probe(AudioFile& reader, Job& job, size_t index, size_t readers) {
    const PeakSummary& s = job.summary;
    std::vector<PeakSummary::Fold> folds(size_t(s.channels));
    std::int64_t done = 0;
    auto lastReport = Clock::now();
    for (std::int64_t p = std::int64_t(index); p < job.probes; p += std::int64_t(readers)) {
        if (job.stop.load(std::memory_order_relaxed))
            return;
        const std::int64_t first = probeBlock(job, p) * BlockFrames;
        reader.seek(first);
        std::fill(folds.begin(), folds.end(), PeakSummary::Fold{});
        for (std::int64_t frame = first, end = std::min(first + ProbeFrames, s.frames);
             frame < end;) {
            const float* const* pcm = nullptr;
            const std::int64_t got = std::min(reader.readPlanar(end - frame, pcm), end - frame);
            if (got <= 0)
                break;
            for (int c = 0; c < s.channels; ++c)
                folds[size_t(c)].add(pcm[c], int(got));
            frame += got;
        }
        if (folds[0].count > 0)
            for (int c = 0; c < s.channels; ++c)
                job.probeCells[size_t(p * s.channels + c)] = folds[size_t(c)].cell();
        ++done;
        if (Clock::now() - lastReport >= ReportEvery) {
            lastReport = Clock::now();
            job.probed(index, done);
        }
    }
    job.probed(index, done);
}

// Summarises the blocks of `region` from `reader`, telling of them as they land.
void summariseRegion(AudioFile& reader, Job& job, size_t index) {
    PeakSummary& s = job.summary;
    const Region region = job.regions[index];
    const int channels = s.channels;
    std::int64_t block = region.begin;
    std::int64_t frame = region.begin * BlockFrames;
    const std::int64_t end = std::min(region.end * BlockFrames, s.frames);
    // The block being gathered, a fold a channel, straight from the decoder's arrays.
    std::vector<PeakSummary::Fold> folds(static_cast<size_t>(channels));
    int inBlock = 0;
    const auto storeBlock = [&] {
        for (int c = 0; c < channels; ++c) {
            s.cells[size_t(block * channels + c)] = folds[size_t(c)].cell();
            folds[size_t(c)] = {};
        }
        ++block;
        inBlock = 0;
    };
    auto lastReport = Clock::now();
    reader.seek(frame);
    while (frame < end && !job.stop.load(std::memory_order_relaxed)) {
        const float* const* pcm = nullptr;
        const std::int64_t got = std::min(reader.readPlanar(end - frame, pcm), end - frame);
        if (got <= 0)
            break;
        for (std::int64_t i = 0; i < got;) {
            const int take = int(std::min<std::int64_t>(BlockFrames - inBlock, got - i));
            for (int c = 0; c < channels; ++c)
                folds[size_t(c)].add(pcm[c] + i, take);
            inBlock += take;
            i += take;
            if (inBlock == BlockFrames)
                storeBlock();
        }
        frame += got;
        if (Clock::now() - lastReport >= ReportEvery) {
            lastReport = Clock::now();
            job.progressed(index, block - region.begin);
        }
    }
    if (job.stop)
        return;
    if (inBlock > 0)
        storeBlock();
    // A stream that ends before its stated length leaves silence behind.
    job.progressed(index, region.end - region.begin);
}

// Reader `index` of `readers`: its share of the quick look, then the parts
// not taken yet, one at a time, so that every reader stays busy to the end
// however the machine shares its cores out.
void readParts(AudioFile& reader, Job& job, size_t index, size_t readers) {
    probe(reader, job, index, readers);
    for (size_t part = job.nextRegion++; part < job.regions.size() && !job.stop;
         part = job.nextRegion++)
        summariseRegion(reader, job, part);
}

void runJob(Job& job) {
    const PeakCache::Key key = PeakCache::keyOf(job.path);
    const QString cacheFile = job.cacheFolder.isEmpty() || !key.valid()
                                  ? QString()
                                  : PeakCache::fileFor(job.cacheFolder, key);
    if (!cacheFile.isEmpty() && PeakCache::load(cacheFile, key, job.summary)) {
        job.fromCache = true;
        job.regions.push_back({0, job.summary.blocks()});
        job.readerCount = 1;
        job.opened();
        job.finished();
        return;
    }
    try {
        AudioFile first;
        first.openRead(job.path);
        PeakSummary& s = job.summary;
        s.reset(first.sampleRate(), first.channels(), first.lengthSamples());
        const int readers =
            job.readers > 0
                ? int(std::min<std::int64_t>(job.readers, std::max<std::int64_t>(1, s.blocks())))
                : readersFor(s.frames);
        const std::int64_t blocks = s.blocks();
        const std::int64_t parts = std::clamp<std::int64_t>(
            s.frames / MinFramesPerPart, readers,
            std::max<std::int64_t>(readers, std::min(readers * PartsPerReader, blocks)));
        for (std::int64_t i = 0; i < parts; ++i)
            job.regions.push_back({blocks * i / parts, blocks * (i + 1) / parts});
        job.readerCount = readers;
        if (s.frames >= MinFramesToProbe) {
            job.probes = std::min(MaxProbes, s.frames / ProbeSpacing);
            job.probeCells.assign(size_t(job.probes * s.channels), PeakSummary::Cell{});
        }
        job.opened();
        if (s.channels <= 0 || blocks == 0) {
            job.finished();
            return;
        }

        std::vector<std::thread> helpers;
        std::vector<std::exception_ptr> failures(static_cast<size_t>(readers));
        for (size_t r = 1; r < size_t(readers); ++r)
            helpers.emplace_back([&job, &failures, r, readers] {
                try {
                    AudioFile reader;
                    reader.openRead(job.path);
                    readParts(reader, job, r, size_t(readers));
                } catch (...) {
                    failures[r] = std::current_exception();
                    job.stop = true;
                }
            });
        try {
            readParts(first, job, 0, size_t(readers));
        } catch (...) {
            failures[0] = std::current_exception();
            job.stop = true;
        }
        for (std::thread& t : helpers)
            t.join();
        for (const std::exception_ptr& f : failures)
            if (f)
                std::rethrow_exception(f);
        if (job.stop)
            return;
        // A file changed while it was read is not kept under either key.
        if (!cacheFile.isEmpty() && PeakCache::keyOf(job.path).modified == key.modified &&
            PeakCache::keyOf(job.path).size == key.size)
            PeakCache::save(cacheFile, key, job.summary);
        job.finished();
    } catch (const AudioError& e) {
        job.failed(e.message());
    } catch (const std::exception& e) {
        job.failed(QString::fromStdString(e.what()));
    }
}

} // namespace

struct PeakLoader::State {
    std::shared_ptr<Job> job;
    unsigned generation = 0;
    bool isOpen = false;
    bool isComplete = false;
    bool isFailed = false;
    bool cached = false;
    QString error;
    std::vector<std::int64_t> done;   // blocks ready from each region's first
    std::vector<std::int64_t> probed; // probes taken by each reader
    std::int64_t probesTaken = 0;
    int readers = 0;
    // One folder for the window and cadelo-cli, whose own cache folders differ.
    QString cacheFolder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                          QStringLiteral("/cadelo/peaks");

    // The samples last read for a zoomed-in view, kept for the next paint.
    mutable std::unique_ptr<AudioFile> reader;
    mutable std::int64_t readFirst = -1;
    mutable std::int64_t readLast = -1;
    mutable std::vector<float> readSamples;

    void stop() {
        if (!job)
            return;
        job->stop = true;
        if (job->thread.joinable())
            job->thread.join();
    }
    bool ready(std::int64_t begin, std::int64_t end) const;
    // Frames [first, first + count) decoded into `out`; false when they cannot be.
    bool readFrames(std::int64_t first, std::int64_t count, std::vector<float>& out) const;
    // The quick look's estimate of blocks [begin, end); empty while it has none.
    PeakSummary::Sum sketch(int channel, std::int64_t begin, std::int64_t end) const;
};

PeakSummary::Sum PeakLoader::State::sketch(int channel, std::int64_t begin,
                                           std::int64_t end) const {
    PeakSummary::Sum sum;
    const Job& j = *job;
    const std::int64_t blocks = j.summary.blocks();
    if (j.probes <= 0 || blocks <= 0)
        return sum;
    // The probes that start in the column, or else the one nearest its middle.
    std::int64_t p0 = (begin * j.probes + blocks - 1) / blocks;
    std::int64_t p1 = (end * j.probes + blocks - 1) / blocks;
    if (p0 >= p1) {
        p0 = std::clamp<std::int64_t>((begin + end) * j.probes / (2 * blocks), 0, j.probes - 1);
        p1 = p0 + 1;
    }
    const std::int64_t readers = std::int64_t(probed.size());
    for (std::int64_t p = p0; p < std::min(p1, j.probes); ++p)
        if (p / readers < probed[size_t(p % readers)])
            PeakSummary::add(sum, j.probeCells.data() + p * j.summary.channels, j.summary.channels,
                             channel, ProbeFrames);
    return sum;
}

bool PeakLoader::State::readFrames(std::int64_t first, std::int64_t count,
                                   std::vector<float>& out) const {
    const int ch = job->summary.channels;
    out.clear();
    try {
        if (!reader) {
            reader = std::make_unique<AudioFile>();
            reader->openRead(job->path);
        }
        reader->seek(first);
        while (std::int64_t(out.size()) < count * ch) {
            const SampleBlock b = reader->readSamples(count - std::int64_t(out.size()) / ch);
            if (b.frames() <= 0 || b.channels != ch)
                break;
            out.insert(out.end(), b.samples.begin(), b.samples.end());
        }
    } catch (const std::exception&) {
        reader.reset();
        return false;
    }
    // A stream shorter than stated reads as silence at its end.
    out.resize(size_t(count * ch), 0.0f);
    return true;
}

// Whether blocks [begin, end) are all summarised: each region is, from its first.
bool PeakLoader::State::ready(std::int64_t begin, std::int64_t end) const {
    if (isComplete)
        return true;
    if (!isOpen)
        return false;
    for (size_t r = 0; r < job->regions.size(); ++r) {
        const Region& region = job->regions[r];
        const std::int64_t to = std::min(end, region.end);
        if (std::max(begin, region.begin) < to && to > region.begin + done[r])
            return false;
    }
    return true;
}

PeakLoader::PeakLoader(QObject* parent) : QObject(parent), d(std::make_unique<State>()) {}

PeakLoader::~PeakLoader() {
    d->stop();
}

void PeakLoader::open(const QString& path) {
    d->stop();
    const unsigned generation = ++d->generation;
    d->isOpen = d->isComplete = d->isFailed = d->cached = false;
    d->error.clear();
    d->done.clear();
    d->probed.clear();
    d->probesTaken = 0;
    d->reader.reset();
    d->readFirst = d->readLast = -1;
    d->readSamples.clear();

    auto job = std::make_shared<Job>();
    job->path = path;
    job->cacheFolder = d->cacheFolder;
    job->readers = d->readers;
    // Each report runs on the loader's thread; one of an earlier open() is dropped.
    const auto post = [this, generation](std::function<void()> f) {
        QMetaObject::invokeMethod(
            this,
            [this, generation, f = std::move(f)] {
                if (generation == d->generation)
                    f();
            },
            Qt::QueuedConnection);
    };
    job->opened = [this, post] {
        post([this] {
            d->isOpen = true;
            d->cached = d->job->fromCache;
            d->done.assign(d->job->regions.size(), 0);
            d->probed.assign(size_t(d->job->readerCount), 0);
            emit opened();
        });
    };
    job->progressed = [this, post](size_t region, std::int64_t blocks) {
        post([this, region, blocks] {
            d->done[region] = std::max(d->done[region], blocks);
            emit progressed();
        });
    };
    job->probed = [this, post](size_t reader, std::int64_t count) {
        post([this, reader, count] {
            d->probesTaken += count - d->probed[reader];
            d->probed[reader] = count;
            emit progressed();
        });
    };
    job->finished = [this, post] {
        post([this] {
            d->isComplete = true;
            emit progressed();
            emit finished();
        });
    };
    job->failed = [this, post](QString message) {
        post([this, message] {
            d->isFailed = true;
            d->error = message;
            emit failed(message);
        });
    };
    d->job = job;
    job->thread = std::thread([job] { runJob(*job); });
}

int PeakLoader::rate() const {
    return d->isOpen ? d->job->summary.rate : 0;
}
int PeakLoader::channels() const {
    return d->isOpen ? d->job->summary.channels : 0;
}
std::int64_t PeakLoader::frames() const {
    return d->isOpen ? d->job->summary.frames : 0;
}
bool PeakLoader::complete() const {
    return d->isComplete;
}
bool PeakLoader::sketched() const {
    return d->isComplete || (d->isOpen && d->job->probes > 0 && d->probesTaken == d->job->probes);
}
bool PeakLoader::fromCache() const {
    return d->cached;
}
QString PeakLoader::errorMessage() const {
    return d->error;
}
void PeakLoader::setCacheFolder(const QString& folder) {
    d->cacheFolder = folder;
}
QString PeakLoader::cacheFolder() const {
    return d->cacheFolder;
}

std::size_t PeakLoader::summaryBytes() const {
    return d->isOpen ? d->job->summary.bytes() : 0;
}

void PeakLoader::setReaders(int readers) {
    d->readers = std::max(0, readers);
}

bool PeakLoader::waitForFinished() {
    if (!d->job)
        return false;
    if (!d->isComplete && !d->isFailed) {
        QEventLoop loop;
        connect(this, &PeakLoader::finished, &loop, &QEventLoop::quit);
        connect(this, &PeakLoader::failed, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return d->isComplete;
}

std::vector<PeakRange> PeakLoader::columns(int channel, std::int64_t first, std::int64_t last,
                                           int width, std::vector<bool>* readyOut) const {
    const int n = std::max(0, width);
    std::vector<PeakRange> out(static_cast<size_t>(n));
    std::vector<bool> ready(size_t(n), false);
    const std::int64_t total = frames();
    first = std::clamp<std::int64_t>(first, 0, total);
    last = std::clamp<std::int64_t>(last, first, total);
    const std::int64_t span = last - first;
    if (n > 0 && span > 0 && d->isOpen) {
        if (span < std::int64_t(BlockFrames) * n) {
            // Close up: the samples shown, kept for as long as the view stays
            // where they are few; a wider view is read a stretch at a time.
            if (d->readFirst != first || d->readLast != last) {
                d->readFirst = d->readLast = -1;
                d->readSamples.clear();
                if (span <= KeptFrames && d->readFrames(first, span, d->readSamples)) {
                    d->readFirst = first;
                    d->readLast = last;
                }
            }
            if (d->readFirst == first && d->readLast == last) {
                sampleColumns(d->readSamples.data(), first, channels(), channel, first, span, n, 0,
                              n, out.data());
                ready.assign(size_t(n), true);
            } else if (span > KeptFrames) {
                std::vector<float> stretch;
                bool ok = true;
                for (int k0 = 0; ok && k0 < n;) {
                    const std::int64_t a = std::int64_t(k0) * span / n;
                    int k1 = k0 + 1;
                    while (k1 < n && std::int64_t(k1 + 1) * span / n - a <= StretchFrames)
                        ++k1;
                    // A column narrower than a frame shows the frame it starts on.
                    const std::int64_t b =
                        std::min(span, std::max(std::int64_t(k1) * span / n,
                                                std::int64_t(k1 - 1) * span / n + 1));
                    ok = d->readFrames(first + a, b - a, stretch);
                    if (ok)
                        sampleColumns(stretch.data(), first + a, channels(), channel, first, span,
                                      n, k0, k1, out.data());
                    std::fill(ready.begin() + k0, ready.begin() + k1, ok);
                    k0 = k1;
                }
            }
        } else {
            const PeakSummary& s = d->job->summary;
            for (int k = 0; k < n; ++k) {
                const std::int64_t a = first + std::int64_t(k) * span / n;
                const std::int64_t b = first + std::int64_t(k + 1) * span / n;
                // Every block the column touches, so that no peak falls between two.
                const std::int64_t b0 = a / BlockFrames;
                const std::int64_t b1 = (b - 1) / BlockFrames + 1;
                if (d->ready(b0, b1)) {
                    out[size_t(k)] = s.range(channel, b0, b1);
                    ready[size_t(k)] = true;
                } else {
                    out[size_t(k)] = d->sketch(channel, b0, b1).result();
                }
            }
        }
    }
    if (readyOut)
        *readyOut = std::move(ready);
    return out;
}
