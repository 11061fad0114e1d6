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
// Frames decoded per read: the loop's own cost vanishes beside the decoder's.
constexpr std::int64_t ReadFrames = 32768;
// A part shorter than this is not worth a reader of its own.
constexpr std::int64_t MinFramesPerPart = 20 * 44100;
// How often a reader tells the window that more is ready.
constexpr auto ReportEvery = std::chrono::milliseconds(40);

// A run of blocks one reader summarises from its first to its last.
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
    bool fromCache = false;
    std::atomic<bool> stop{false};
    PeakSummary summary;
    std::vector<Region> regions;
    std::thread thread;

    std::function<void()> opened;
    std::function<void(size_t region, std::int64_t done)> progressed;
    std::function<void()> finished;
    std::function<void(QString)> failed;
};

int readersFor(std::int64_t frames) {
    const int cores = int(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
    return int(std::clamp<std::int64_t>(frames / MinFramesPerPart, 1, cores));
}

// Summarises the blocks of `region` from `reader`, telling of them as they land.
void summariseRegion(AudioFile& reader, Job& job, size_t index) {
    PeakSummary& s = job.summary;
    const Region region = job.regions[index];
    const int channels = s.channels;
    std::int64_t block = region.begin;
    std::int64_t frame = region.begin * BlockFrames;
    const std::int64_t end = std::min(region.end * BlockFrames, s.frames);
    std::vector<float> carry(size_t(BlockFrames * channels));
    int carried = 0;
    auto lastReport = Clock::now();
    reader.seek(frame);
    while (frame < end && !job.stop.load(std::memory_order_relaxed)) {
        const SampleBlock read = reader.readSamples(std::min(ReadFrames, end - frame));
        const std::int64_t got = std::min(read.frames(), end - frame);
        if (got <= 0 || read.channels != channels)
            break;
        const float* p = read.samples.data();
        std::int64_t i = 0;
        if (carried > 0) {
            const std::int64_t take = std::min<std::int64_t>(BlockFrames - carried, got);
            std::copy(p, p + take * channels, carry.begin() + carried * channels);
            carried += int(take);
            i = take;
            if (carried == BlockFrames) {
                s.store(block++, carry.data(), BlockFrames);
                carried = 0;
            }
        }
        for (; i + BlockFrames <= got; i += BlockFrames)
            s.store(block++, p + i * channels, BlockFrames);
        if (i < got) {
            std::copy(p + i * channels, p + got * channels, carry.begin());
            carried = int(got - i);
        }
        frame += got;
        if (Clock::now() - lastReport >= ReportEvery) {
            lastReport = Clock::now();
            job.progressed(index, block - region.begin);
        }
    }
    if (job.stop)
        return;
    if (carried > 0)
        s.store(block, carry.data(), carried);
    // A stream that ends before its stated length leaves silence behind.
    job.progressed(index, region.end - region.begin);
}

void runJob(Job& job) {
    const PeakCache::Key key = PeakCache::keyOf(job.path);
    const QString cacheFile = job.cacheFolder.isEmpty() || !key.valid()
                                  ? QString()
                                  : PeakCache::fileFor(job.cacheFolder, key);
    if (!cacheFile.isEmpty() && PeakCache::load(cacheFile, key, job.summary)) {
        job.fromCache = true;
        job.regions.push_back({0, job.summary.blocks()});
        job.opened();
        job.finished();
        return;
    }
    try {
        AudioFile first;
        first.openRead(job.path);
        PeakSummary& s = job.summary;
        s.reset(first.sampleRate(), first.channels(), first.lengthSamples());
        const int readers = readersFor(s.frames);
        const std::int64_t blocks = s.blocks();
        for (int i = 0; i < readers; ++i)
            job.regions.push_back({blocks * i / readers, blocks * (i + 1) / readers});
        job.opened();
        if (s.channels <= 0 || blocks == 0) {
            job.finished();
            return;
        }

        std::vector<std::thread> helpers;
        std::vector<std::exception_ptr> failures(job.regions.size());
        for (size_t r = 1; r < job.regions.size(); ++r)
            helpers.emplace_back([&job, &failures, r] {
                try {
                    AudioFile reader;
                    reader.openRead(job.path);
                    summariseRegion(reader, job, r);
                } catch (...) {
                    failures[r] = std::current_exception();
                    job.stop = true;
                }
            });
        try {
            summariseRegion(first, job, 0);
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
    std::vector<std::int64_t> done; // blocks ready from each region's first
    QString cacheFolder =
        QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/peaks");

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
};

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
    d->reader.reset();
    d->readFirst = d->readLast = -1;
    d->readSamples.clear();

    auto job = std::make_shared<Job>();
    job->path = path;
    job->cacheFolder = d->cacheFolder;
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
            emit opened();
        });
    };
    job->progressed = [this, post](size_t region, std::int64_t blocks) {
        post([this, region, blocks] {
            d->done[region] = std::max(d->done[region], blocks);
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
            // Close up: the samples shown, read once for as long as the view stays.
            bool read = d->readFirst == first && d->readLast == last;
            if (!read) {
                try {
                    if (!d->reader) {
                        d->reader = std::make_unique<AudioFile>();
                        d->reader->openRead(d->job->path);
                    }
                    d->readSamples.clear();
                    d->reader->seek(first);
                    const int ch = channels();
                    while (std::int64_t(d->readSamples.size()) < span * ch) {
                        const SampleBlock b =
                            d->reader->readSamples(span - std::int64_t(d->readSamples.size()) / ch);
                        if (b.frames() <= 0 || b.channels != ch)
                            break;
                        d->readSamples.insert(d->readSamples.end(), b.samples.begin(),
                                              b.samples.end());
                    }
                    // A stream shorter than stated reads as silence at its end.
                    d->readSamples.resize(size_t(span * ch), 0.0f);
                    d->readFirst = first;
                    d->readLast = last;
                    read = true;
                } catch (const std::exception&) {
                    d->reader.reset();
                    d->readFirst = d->readLast = -1;
                }
            }
            if (read) {
                out = sampleColumns(d->readSamples.data(), channels(), span, channel, n);
                ready.assign(size_t(n), true);
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
                }
            }
        }
    }
    if (readyOut)
        *readyOut = std::move(ready);
    return out;
}
