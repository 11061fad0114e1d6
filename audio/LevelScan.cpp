#include "audio/LevelScan.h"

#include "audio/AudioFile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <exception>
#include <thread>

namespace {

// Frames decoded per read: large enough that the loop costs nothing beside
// the decoder, small enough that Stop answers at once.
constexpr std::int64_t BlockFrames = 32768;
// A file shorter than this is read by one reader: a second one would spend
// more on opening and seeking than it saves.
constexpr std::int64_t MinFramesPerPart = 20 * 44100;

float decibels(double sumOfSquares, std::int64_t values) {
    if (values <= 0 || sumOfSquares <= 0)
        return LevelScan::FloorDb;
    const double db = 10.0 * std::log10(sumOfSquares / double(values));
    return float(std::max<double>(db, LevelScan::FloorDb));
}

struct Part {
    std::int64_t begin = 0; // a window's first frame
    std::int64_t end = 0;
    std::atomic<std::int64_t> done{0};
};

// Decodes frames [part.begin, part.end) of the open `reader` into the levels
// of their windows. `keepGoing` is asked between blocks.
void scanPart(AudioFile& reader, LevelScan& scan, Part& part,
              const std::function<bool()>& keepGoing) {
    const std::int64_t w = scan.windowFrames;
    const int channels = scan.channels;
    reader.seek(part.begin);
    std::int64_t frame = part.begin;
    double sum = 0;
    std::int64_t inWindow = 0; // frames summed into the current window
    while (frame < part.end) {
        if (!keepGoing())
            return;
        // The decoder's own arrays, a channel each: nothing interleaved or copied.
        const float* const* pcm = nullptr;
        const std::int64_t got = std::min(
            reader.readPlanar(std::min(BlockFrames, part.end - frame), pcm), part.end - frame);
        if (got <= 0)
            break;
        std::int64_t i = 0;
        while (i < got) {
            const std::int64_t take = std::min(got - i, w - inWindow);
            for (int c = 0; c < channels; ++c) {
                const float* q = pcm[c] + i;
                // Four sums let the compiler keep the loop in vector registers.
                double s0 = 0, s1 = 0, s2 = 0, s3 = 0;
                std::int64_t k = 0;
                for (; k + 4 <= take; k += 4) {
                    s0 += double(q[k]) * q[k];
                    s1 += double(q[k + 1]) * q[k + 1];
                    s2 += double(q[k + 2]) * q[k + 2];
                    s3 += double(q[k + 3]) * q[k + 3];
                }
                for (; k < take; ++k)
                    s0 += double(q[k]) * q[k];
                sum += s0 + s1 + s2 + s3;
            }
            inWindow += take;
            i += take;
            if (inWindow == w) {
                scan.levels[size_t((frame + i - 1) / w)] = decibels(sum, w * channels);
                sum = 0;
                inWindow = 0;
            }
        }
        frame += got;
        part.done.store(frame - part.begin, std::memory_order_relaxed);
    }
    if (inWindow > 0)
        scan.levels[size_t((frame - 1) / w)] = decibels(sum, inWindow * channels);
}

} // namespace

std::int64_t LevelScan::windowBegin(std::int64_t w) const {
    return std::clamp<std::int64_t>(w * windowFrames, 0, frames);
}

std::int64_t LevelScan::windowMiddle(std::int64_t w) const {
    const std::int64_t begin = windowBegin(w);
    return std::clamp<std::int64_t>(begin + windowFrames / 2, begin,
                                    std::max<std::int64_t>(begin, frames - 1));
}

std::int64_t LevelScan::windowAt(std::int64_t frame) const {
    if (levels.empty() || windowFrames <= 0)
        return 0;
    return std::clamp<std::int64_t>(frame / windowFrames, 0, windowCount() - 1);
}

LevelScan scanLevels(const QString& path, const LevelScanControl& control) {
    AudioFile first;
    first.openRead(path);
    LevelScan scan;
    scan.rate = first.sampleRate();
    scan.channels = first.channels();
    scan.frames = std::max<std::int64_t>(0, first.lengthSamples());
    scan.windowFrames = std::max<std::int64_t>(1, (scan.rate + 50) / 100);
    const std::int64_t windows = (scan.frames + scan.windowFrames - 1) / scan.windowFrames;
    scan.levels.assign(size_t(windows), LevelScan::FloorDb);
    if (windows == 0 || scan.channels <= 0)
        return scan;

    int threads = control.threads;
    if (threads <= 0)
        threads = std::thread::hardware_concurrency() >= 2 ? 2 : 1;
    if (scan.frames < 2 * MinFramesPerPart)
        threads = 1;
    threads = std::clamp(threads, 1, 2);

    std::vector<Part> parts(static_cast<size_t>(threads));
    const std::int64_t half = (windows / threads) * scan.windowFrames;
    for (int i = 0; i < threads; ++i) {
        parts[size_t(i)].begin = i * half;
        parts[size_t(i)].end = i == threads - 1 ? scan.frames : (i + 1) * half;
    }

    std::atomic<bool> stop{false};
    const auto report = [&] {
        if (control.progress) {
            std::int64_t done = 0;
            for (const Part& p : parts)
                done += p.done.load(std::memory_order_relaxed);
            control.progress(int(std::min<std::int64_t>(10000, done * 10000 / scan.frames)));
        }
        if (control.stopRequested && control.stopRequested())
            stop = true;
        return !stop;
    };

    // The second half on a reader and thread of its own; the first on the
    // caller's, which also reports and hears Stop.
    std::exception_ptr failure;
    std::atomic<bool> finished{threads < 2};
    std::thread worker;
    if (threads == 2) {
        worker = std::thread([&] {
            try {
                AudioFile reader;
                reader.openRead(path);
                scanPart(reader, scan, parts[1], [&] { return !stop.load(); });
            } catch (...) {
                failure = std::current_exception();
            }
            finished = true;
        });
    }
    try {
        scanPart(first, scan, parts[0], report);
    } catch (...) {
        stop = true;
        worker.joinable() ? worker.join() : void();
        throw;
    }
    while (!finished && report())
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (worker.joinable())
        worker.join();
    if (failure)
        std::rethrow_exception(failure);
    scan.stopped = stop;
    if (!scan.stopped && control.progress)
        control.progress(10000);
    return scan;
}
