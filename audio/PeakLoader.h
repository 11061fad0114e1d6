// The waveform of one source as a window draws it: the summary of its levels
// is built in the background (or taken from the disk cache) and asked for by
// columns at any zoom.
#pragma once

#include "audio/PeakSummary.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

class PeakLoader : public QObject { // lives on the GUI thread; works in the background
    Q_OBJECT
  public:
    explicit PeakLoader(QObject* parent = nullptr);
    ~PeakLoader() override;         // stops and joins its work
    void open(const QString& path); // starts (or takes from the cache); failed() on error
    int rate() const;
    int channels() const;
    std::int64_t frames() const; // valid after opened()
    bool complete() const;       // the whole summary is ready
    // `width` columns over source frames [first, last); column k covers frames
    // first + floor(k*(last-first)/width) to first + floor((k+1)*(last-first)/width).
    // channel -1 is the mix of all channels. Where fewer than 256 frames fall in a
    // column the samples themselves are read (synchronously, only what is shown).
    // Parts not computed yet come back as zero ranges with `ready=false` in `readyOut` if given.
    // (Where the quick look of a long file has passed, such a part holds its
    // estimate instead of zeros, still with `ready=false`: a picture to show
    // until the summary gets there.)
    std::vector<PeakRange> columns(int channel, std::int64_t first, std::int64_t last, int width,
                                   std::vector<bool>* readyOut = nullptr) const;

    // The quick look over the whole file is in (or the summary is complete):
    // every column has at least an estimate.
    bool sketched() const;

    // The folder cached summaries are kept in; empty: none are read or written.
    // By default "cadelo/peaks" in the user's cache folder.
    void setCacheFolder(const QString& folder);
    QString cacheFolder() const;
    // Readers decoding parts of the file side by side from the next open(); 0
    // (the default): one a core, up to four, where the file is long enough.
    void setReaders(int readers);
    // True when the open summary came from the disk cache.
    bool fromCache() const;
    // The bytes the summary holds in memory.
    std::size_t summaryBytes() const;
    // Runs the event loop until finished() or failed(); false on failure.
    bool waitForFinished();
    QString errorMessage() const;

  signals:
    void opened();     // rate/channels/frames known
    void progressed(); // more of the summary is ready: repaint
    void finished();
    void failed(const QString& message);

  private:
    struct State;
    std::unique_ptr<State> d;
};
