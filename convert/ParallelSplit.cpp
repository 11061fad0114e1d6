// The split with its pieces side by side: workers of their own readers and
// writers, reported to the person in piece order as the one-at-a-time split is.
#include "convert/Conversion.h"

#include "audio/AudioFile.h"
#include "audio/MulDiv.h"
#include "convert/PieceMath.h"
#include "convert/RunTexts.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "tags/TagSteps.h"

#include <QFileInfo>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

using namespace RunTexts;

// One piece handed to a worker. The run's thread fills it and opens its
// writer; the worker owns it from the queue on until it sets `finished`.
struct Conversion::ParallelPiece {
    std::int64_t index = 0;
    PiecePlan plan;
    QString path;
    std::unique_ptr<AudioFile> writer;
    std::atomic<std::int64_t> position{0}; // frames into the piece, for the progress
    std::atomic<bool> begun{false};        // a worker has taken it up
    // Its row: the status it had, and what of the piece it shows (the run's
    // thread only).
    QString statusBefore;
    bool beginShown = false;
    bool endShown = false;
    // Written by the worker before `finished`, read by the run after it.
    bool finished = false;
    bool complete = false; // closed, a valid output with its tags
    bool failed = false;
    bool neverBegun = false; // stopped before its first block: no output
};

// What the run's thread and its workers share; everything but the flag and
// the positions under `mutex`.
struct Conversion::ParallelShared {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<ParallelPiece*> queue;
    bool noMore = false;
    int running = 0; // handed out and not finished
    std::atomic<bool> stop{false};
    QString firstError; // the first failure of any worker ends the run
    QString firstErrorFile;

    void failed(const QString& file, const QString& reason) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (firstError.isEmpty()) {
                firstError = reason;
                firstErrorFile = file;
            }
        }
        stop = true;
    }
};

void Conversion::writePiece(ParallelPiece& p, AudioFile& reader, const FileRow& row,
                            ParallelShared& shared) const {
    AudioFile& writer = *p.writer;
    if (shared.stop) {
        // Stopped before it began: nothing is left under its name.
        writer.abandonWrite();
        p.neverBegun = true;
        return;
    }
    p.begun = true;
    QString current = row.path;
    BlockCopier t{reader,
                  writer,
                  p.path,
                  [&shared] { return !shared.stop; },
                  [&p](std::int64_t pos) { p.position = pos; },
                  current};
    try {
        if (!reader.isOpen()) {
            reader.openRead(row.path);
            reader.setPcmFormat(0, 0);
        }
        reader.seek(std::max<std::int64_t>(0, p.plan.beginFrame));
        std::int64_t position = 0;
        if (const std::optional<QString> damage =
                t.copy(row, p.plan.frames, p.plan.envelope, position, p.plan.stopShortBy)) {
            p.failed = true;
            shared.failed(row.path, *damage);
        }
    } catch (const std::exception& e) {
        p.failed = true;
        shared.failed(current, errorText(e));
    }
    // As the one-at-a-time run ends: what the writer refused, or a piece that
    // got nothing before its failure, is dropped; everything else is closed
    // complete and gets its tags.
    // A piece stopped before its first block was never begun either.
    const bool begun = t.framesWritten > 0 || p.plan.frames == 0 || !shared.stop;
    if (t.writerFailed || (p.failed && t.framesWritten == 0) || !begun) {
        writer.abandonWrite();
        p.neverBegun = !begun && !p.failed;
        return;
    }
    try {
        writer.close();
        if (QFileInfo(p.path).isFile()) {
            // Listed even when its tags fail: the piece itself is sound.
            p.complete = true;
            copyTagsToOutput(p.path, p.plan.tags);
        }
    } catch (const std::exception& e) {
        p.failed = true;
        shared.failed(p.path, errorText(e));
    }
}

void Conversion::splitPiecesInParallel(int file, std::int64_t pieces, int splitCount) {
    const SplitMode mode = m_options.mode;
    const FileRow row = jobs.file(file);
    const int rate = m_reader.sampleRate();
    const int channels = m_reader.channels();
    const int bits = m_reader.bitsPerSample();
    const int workerCount = int(std::clamp<std::int64_t>(pieces, 1, std::max(1, m_options.jobs)));

    ParallelShared shared;
    // Dispatched and not yet reported, in piece order.
    std::deque<std::unique_ptr<ParallelPiece>> open;
    std::vector<std::jthread> workers;
    // Whatever ends the loops below, the workers are told and joined before
    // the state they share goes.
    struct Joiner {
        ParallelShared& shared;
        std::vector<std::jthread>& workers;
        ~Joiner() {
            {
                std::lock_guard<std::mutex> lock(shared.mutex);
                shared.noMore = true;
            }
            shared.changed.notify_all();
            for (std::jthread& w : workers)
                if (w.joinable())
                    w.join();
        }
    } joiner{shared, workers};
    for (int w = 0; w < workerCount; ++w)
        workers.emplace_back([this, &shared, &row] {
            AudioFile reader; // each worker its own: no codec state is shared
            for (;;) {
                ParallelPiece* piece = nullptr;
                {
                    std::unique_lock<std::mutex> lock(shared.mutex);
                    shared.changed.wait(lock,
                                        [&] { return !shared.queue.empty() || shared.noMore; });
                    if (shared.queue.empty())
                        return;
                    piece = shared.queue.front();
                    shared.queue.pop_front();
                }
                writePiece(*piece, reader, row, shared);
                {
                    std::lock_guard<std::mutex> lock(shared.mutex);
                    piece->finished = true;
                    --shared.running;
                }
                shared.changed.notify_all();
            }
        });

    // Each piece's row shows its own start and end as they come; a piece
    // stopped before its first block gets back the status it had.
    const auto showStatuses = [&] {
        for (const std::unique_ptr<ParallelPiece>& piece : open) {
            ParallelPiece& p = *piece;
            const int status = int(std::min<std::int64_t>(p.index, INT32_MAX));
            if (!p.beginShown && p.begun) {
                p.beginShown = true;
                p.statusBefore = jobs.spanStatus(status);
                jobs.setSpanStatus(status, StatusConverting);
            }
            {
                std::lock_guard<std::mutex> lock(shared.mutex);
                if (!p.finished || p.endShown)
                    continue;
            }
            p.endShown = true;
            if (p.complete && !p.failed)
                jobs.setSpanStatus(status, StatusFinish);
            else if (p.neverBegun && p.beginShown)
                jobs.setSpanStatus(status, p.statusBefore);
        }
    };
    // The whole run's progress: the pieces ended before and those under way.
    const auto showRunProgress = [&] {
        std::int64_t done = m_runDone;
        for (const std::unique_ptr<ParallelPiece>& piece : open)
            done += std::clamp<std::int64_t>(piece->position.load(), 0, piece->plan.frames);
        const int value =
            int(m_runTotal > 0 ? std::clamp<std::int64_t>(MulDiv(done, ProgressScale, m_runTotal),
                                                          0, ProgressScale)
                               : 0);
        if (value > m_runShown) {
            m_runShown = value;
            if (onProgress)
                onProgress(value);
        }
    };
    // The oldest piece is the one shown: its start, its progress, its end.
    bool frontShown = false;
    int lastProgress = -1;
    const auto report = [&] {
        showStatuses();
        if (m_options.wholeRunProgress)
            showRunProgress();
        while (!open.empty()) {
            ParallelPiece& front = *open.front();
            bool finished = false;
            {
                std::lock_guard<std::mutex> lock(shared.mutex);
                finished = front.finished;
            }
            const std::int64_t pos = std::min(front.position.load(), front.plan.frames);
            // A piece stopped before it began was never an output.
            if (!frontShown && (pos > 0 || (finished && front.complete))) {
                frontShown = true;
                lastProgress = -1;
                if (onOutputStarted)
                    onOutputStarted(front.path);
            }
            const int value =
                int(front.plan.frames > 0 ? MulDiv(pos, ProgressScale, front.plan.frames) : 0);
            if (!m_options.wholeRunProgress && pos > 0 && value != lastProgress) {
                lastProgress = value;
                showProgress(pos, front.plan.frames);
            }
            if (!finished)
                return;
            if (front.complete) {
                m_outputs << front.path;
                if (onOutputClosed)
                    onOutputClosed(front.path);
            }
            m_runDone += front.plan.frames;
            open.pop_front();
            frontShown = false;
        }
    };
    // Lets the run's events through while the workers write.
    const auto waitAWhile = [&] {
        {
            std::unique_lock<std::mutex> lock(shared.mutex);
            shared.changed.wait_for(lock, std::chrono::milliseconds(20));
        }
        s.pumpEvents();
        if (!s.converting)
            shared.stop = true;
        report();
    };

    const std::int64_t maxOpen = 2 * std::int64_t(workerCount);
    try {
        for (std::int64_t j = 0; j < pieces; ++j) {
            s.pumpEvents();
            if (!s.converting)
                shared.stop = true;
            for (;;) {
                bool room = false;
                {
                    std::lock_guard<std::mutex> lock(shared.mutex);
                    room = shared.running < workerCount && std::int64_t(open.size()) < maxOpen;
                }
                if (room || shared.stop)
                    break;
                waitAWhile();
            }
            if (shared.stop)
                break;
            Span span;
            if (!PieceMath::splitPiece(mode, j, jobs.file(file), jobs.file(0),
                                       m_options.effectiveSplitSeconds(), splitCount, span))
                break;
            auto piece = std::make_unique<ParallelPiece>();
            piece->index = j;
            piece->plan = planPiece(row, span);
            piece->writer = std::make_unique<AudioFile>();
            prepareWriter(*piece->writer, rate, channels, bits, &piece->plan.tags);
            piece->path = choosePiecePath(row, j, span);
            try {
                m_currentFile = piece->path;
                piece->writer->createWrite(piece->path);
            } catch (const std::exception&) {
                // As in the one-at-a-time run: the source's own name next, and
                // a second failure ends the run with the first one's reason.
                const std::exception_ptr refused = std::current_exception();
                const QString planned = piece->path;
                piece->writer->abandonWrite();
                m_names.giveBack(piece->path);
                piece->path = m_names.fallbackPath(m_options.outputDir, row.path);
                try {
                    piece->writer->createWrite(piece->path);
                } catch (const std::exception&) {
                    piece->writer->abandonWrite();
                    m_currentFile = planned;
                    std::rethrow_exception(refused);
                }
            }
            {
                std::lock_guard<std::mutex> lock(shared.mutex);
                shared.queue.push_back(piece.get());
                ++shared.running;
            }
            open.push_back(std::move(piece));
            shared.changed.notify_all();
            report();
        }
    } catch (const std::exception& e) {
        shared.failed(m_currentFile, errorText(e));
    }
    // The pieces under way end at their next block; each is closed complete.
    while (!open.empty())
        waitAWhile();
    std::lock_guard<std::mutex> lock(shared.mutex);
    if (!shared.firstError.isEmpty())
        fail(shared.firstErrorFile, shared.firstError);
}
