#include "joblist/SilencePlanning.h"

#include "core/SessionState.h"
#include "joblist/JobList.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace SilencePlanning {

namespace {

std::int64_t framesOf(double seconds, int rate) {
    return std::int64_t(std::llround(std::max(0.0, seconds) * rate));
}

// A place the pieces meet: a pause, or a single frame where a long piece was
// cut at its quietest moment.
struct Cut {
    Pause pause;
};

// The pieces between the cuts: with the pauses kept they meet in a pause's
// middle, otherwise the pause lies between them.
std::vector<Piece> piecesOf(const std::vector<Cut>& cuts, std::int64_t lead, std::int64_t trail,
                            bool keep) {
    std::vector<Piece> pieces;
    pieces.reserve(cuts.size() + 1);
    std::int64_t begin = lead;
    for (const Cut& c : cuts) {
        pieces.push_back({begin, keep ? c.pause.middle() : c.pause.begin});
        begin = keep ? c.pause.middle() : c.pause.end;
    }
    pieces.push_back({begin, trail});
    return pieces;
}

// The quietest window whose middle lies in [low, high]; of two as quiet the
// one nearer `target`. -1 when none does.
std::int64_t quietestWindow(const LevelScan& scan, std::int64_t low, std::int64_t high,
                            std::int64_t target) {
    if (scan.levels.empty() || high < low)
        return -1;
    std::int64_t best = -1;
    for (std::int64_t w = std::max<std::int64_t>(0, scan.windowAt(low) - 1); w < scan.windowCount();
         ++w) {
        const std::int64_t m = scan.windowMiddle(w);
        if (m > high)
            break;
        if (m < low)
            continue;
        const float level = scan.levels[size_t(w)];
        if (best < 0 || level < scan.levels[size_t(best)] ||
            (level == scan.levels[size_t(best)] &&
             std::llabs(m - target) < std::llabs(scan.windowMiddle(best) - target)))
            best = w;
    }
    return best;
}

} // namespace

std::vector<Pause> findPauses(const LevelScan& scan, double thresholdDb, double minPauseSeconds) {
    std::vector<Pause> pauses;
    const std::int64_t minFrames = framesOf(minPauseSeconds, scan.rate);
    const std::int64_t n = scan.windowCount();
    for (std::int64_t w = 0; w < n;) {
        if (scan.levels[size_t(w)] >= thresholdDb) {
            ++w;
            continue;
        }
        std::int64_t last = w;
        while (last + 1 < n && scan.levels[size_t(last + 1)] < thresholdDb)
            ++last;
        const Pause p{scan.windowBegin(w), std::min(scan.frames, scan.windowBegin(last + 1))};
        // Half a window of slack: the pause's edges are only known to a window.
        if (p.end - p.begin + scan.windowFrames / 2 >= std::max<std::int64_t>(1, minFrames))
            pauses.push_back(p);
        w = last + 1;
    }
    return pauses;
}

double automaticThreshold(const LevelScan& scan) {
    if (scan.levels.empty())
        return -48.0;
    std::vector<float> sorted = scan.levels;
    const auto at = [&](double share) {
        const size_t i = std::min(sorted.size() - 1, size_t(share * double(sorted.size())));
        std::nth_element(sorted.begin(), sorted.begin() + std::ptrdiff_t(i), sorted.end());
        return double(sorted[i]);
    };
    const double floor = at(0.05);
    const double median = at(0.5);
    return std::min(floor + 6.0, (floor + median) / 2.0);
}

std::vector<Piece> planSilence(const LevelScan& scan, const SilenceSettings& options) {
    const std::int64_t frames = scan.frames;
    if (frames <= 0)
        return {};
    const double threshold = options.autoThreshold ? automaticThreshold(scan) : options.thresholdDb;
    const bool keep = options.keepPauses;
    std::int64_t lead = 0;
    std::int64_t trail = frames;
    std::vector<Cut> cuts;
    for (const Pause& p : findPauses(scan, threshold, options.minPause)) {
        // A pause at the start or the end separates nothing.
        if (p.begin <= 0) {
            lead = keep ? 0 : p.end;
            continue;
        }
        if (p.end >= frames) {
            trail = keep ? frames : p.begin;
            continue;
        }
        cuts.push_back({p});
    }
    if (trail <= lead)
        return {};

    const auto length = [](const Piece& p) { return p.end - p.begin; };
    const std::int64_t minFrames = framesOf(options.minLength, scan.rate);
    if (minFrames > 0) {
        for (;;) {
            const std::vector<Piece> pieces = piecesOf(cuts, lead, trail, keep);
            if (pieces.size() < 2)
                break;
            size_t shortest = 0;
            for (size_t i = 1; i < pieces.size(); ++i)
                if (length(pieces[i]) < length(pieces[shortest]))
                    shortest = i;
            if (length(pieces[shortest]) >= minFrames)
                break;
            // Joined to the shorter neighbour: the cut between them goes.
            size_t cut = shortest == 0 ? 0 : shortest - 1;
            if (shortest > 0 && shortest + 1 < pieces.size() &&
                length(pieces[shortest + 1]) < length(pieces[shortest - 1]))
                cut = shortest;
            cuts.erase(cuts.begin() + std::ptrdiff_t(cut));
        }
    }

    const std::int64_t maxFrames = framesOf(options.maxLength, scan.rate);
    if (maxFrames > 0) {
        for (size_t i = 0;;) {
            const std::vector<Piece> pieces = piecesOf(cuts, lead, trail, keep);
            if (i >= pieces.size())
                break;
            const Piece p = pieces[i];
            if (length(p) <= maxFrames) {
                ++i;
                continue;
            }
            // Both parts keep the minimum length where the piece allows it,
            // and each is shorter than the piece, so the loop ends.
            const std::int64_t margin = std::clamp<std::int64_t>(
                std::min(minFrames, length(p) / 2 - scan.windowFrames), scan.windowFrames,
                std::max<std::int64_t>(scan.windowFrames, length(p) / 2));
            const std::int64_t w =
                quietestWindow(scan, p.begin + margin, p.end - margin, p.begin + length(p) / 2);
            const std::int64_t at = w < 0 ? p.begin + length(p) / 2 : scan.windowMiddle(w);
            if (at <= p.begin || at >= p.end) {
                ++i;
                continue;
            }
            cuts.insert(cuts.begin() + std::ptrdiff_t(i), Cut{{at, at}});
        }
    }

    std::vector<Piece> pieces = piecesOf(cuts, lead, trail, keep);
    std::erase_if(pieces, [](const Piece& p) { return p.end <= p.begin; });
    return pieces;
}

std::int64_t quietestNear(const LevelScan& scan, std::int64_t frame, double seconds,
                          std::int64_t floor) {
    const std::int64_t reach = framesOf(seconds, scan.rate);
    const std::int64_t low = std::max({std::int64_t(0), floor, frame - reach});
    const std::int64_t high = std::min(scan.frames, frame + reach);
    const std::int64_t w = quietestWindow(scan, low, high, frame);
    return w < 0 ? std::clamp(frame, low, std::max(low, high)) : scan.windowMiddle(w);
}

std::vector<Piece> snapCuts(const LevelScan& scan, const std::vector<std::int64_t>& cuts,
                            double seconds) {
    std::vector<Piece> pieces;
    std::int64_t begin = 0;
    for (const std::int64_t cut : cuts) {
        if (cut <= begin || cut >= scan.frames)
            continue;
        const std::int64_t at = quietestNear(scan, cut, seconds, begin + 1);
        if (at <= begin || at >= scan.frames)
            continue;
        pieces.push_back({begin, at});
        begin = at;
    }
    if (scan.frames > begin)
        pieces.push_back({begin, scan.frames});
    return pieces;
}

std::vector<std::int64_t> timeCuts(const LevelScan& scan, std::int32_t fileSeconds,
                                   int splitSeconds) {
    std::vector<std::int64_t> cuts;
    const std::int64_t n = std::max(1, splitSeconds);
    for (std::int64_t k = 1; k * n <= fileSeconds; ++k)
        cuts.push_back(k * n * scan.rate);
    return cuts;
}

std::vector<std::int64_t> countCuts(const LevelScan& scan, std::int32_t fileSeconds,
                                    int splitCount) {
    std::vector<std::int64_t> cuts;
    const std::int64_t c = std::max(1, splitCount);
    const std::int64_t piece = std::max<std::int32_t>(0, fileSeconds) / c;
    for (std::int64_t k = 1; k < c && piece > 0; ++k)
        cuts.push_back(k * piece * scan.rate);
    return cuts;
}

std::vector<Span> piecesToSpans(const std::vector<Piece>& pieces, int rate, std::int64_t frames) {
    std::vector<Span> spans;
    spans.reserve(pieces.size());
    const auto second = [rate](std::int64_t frame) {
        return std::int32_t(std::min<std::int64_t>(INT32_MAX, (frame + rate / 2) / rate));
    };
    for (const Piece& p : pieces) {
        Span s{second(p.begin), second(p.end), p.end >= frames};
        s.beginFrame = p.begin;
        s.endFrame = p.end;
        spans.push_back(s);
    }
    return spans;
}

} // namespace SilencePlanning

// --- the job list's planning by sound -------------------------------------------

void JobList::setPlannedSpans(int row, const std::vector<Span>& pieces) {
    if (!m_files.contains(row))
        return;
    FileRow& r = m_files.row(row);
    r.spans = pieces;
    r.spans.push_back(Span{0, r.seconds});
    r.spanCount = std::int32_t(r.spans.size());
    if (selectedRow() == row)
        plan();
    refreshTotal();
}

bool JobList::plansBySound() const {
    const SilenceSettings& o = s.settings.silence;
    if (o.chosen)
        return true;
    return o.snapSeconds > 0 &&
           (s.settings.splitMode == SplitMode::Time || s.settings.splitMode == SplitMode::Count);
}

QList<JobList::Refusal>
JobList::planBySound(const std::function<void(int row, int permyriad)>& progress,
                     const std::function<bool(int row)>& rows) {
    QList<Refusal> refused;
    m_scanStopped = false;
    if (s.adding || s.converting || !plansBySound())
        return refused;
    m_stopScanning = false;
    // Like an add, the scan pumps events: the rows must not change under it.
    s.adding = true;
    const SilenceSettings options = s.settings.silence;
    const SplitMode mode = s.settings.splitMode;
    for (int row = 0; row < m_files.rowCount() && !m_stopScanning; ++row) {
        if (rows && !rows(row))
            continue;
        const FileRow& r = m_files.row(row);
        LevelScanControl control;
        control.progress = [&](int permyriad) {
            if (progress)
                progress(row, permyriad);
            s.pumpEvents();
        };
        control.stopRequested = [this] { return m_stopScanning; };
        try {
            const LevelScan scan = scanLevels(r.path, control);
            if (scan.stopped)
                break;
            std::vector<SilencePlanning::Piece> pieces;
            if (options.chosen)
                pieces = SilencePlanning::planSilence(scan, options);
            else if (mode == SplitMode::Time)
                pieces = SilencePlanning::snapCuts(
                    scan, SilencePlanning::timeCuts(scan, r.seconds, effectiveSplitSeconds()),
                    options.snapSeconds);
            else
                pieces = SilencePlanning::snapCuts(
                    scan, SilencePlanning::countCuts(scan, r.seconds, effectiveSplitCount()),
                    options.snapSeconds);
            setPlannedSpans(row, SilencePlanning::piecesToSpans(pieces, scan.rate, scan.frames));
        } catch (const std::exception& e) {
            refused.append({r.path, QString::fromLocal8Bit(e.what())});
        }
    }
    m_scanStopped = m_stopScanning;
    s.adding = false;
    return refused;
}
