// The split and join runs: block-wise copying from the listed sources into Ogg
// Vorbis, FLAC or Opus outputs, with fades, row statuses, progress and stop. Takes what to
// do as RunOptions; reports progress and outputs through callbacks. The run's
// lifecycle is Conversion.cpp; SplitRun, ParallelSplit, CopySplit and JoinRun
// hold the kinds of run, BlockCopier the block loop they share.
#pragma once

#include "audio/AudioFile.h"
#include "convert/BlockCopier.h"
#include "convert/OutputNaming.h"
#include "convert/RunOptions.h"
#include "joblist/JobRecords.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class SessionState;
class CopyCut;
class FileModel;
class JobList;

class Conversion {
  public:
    // A run's progress runs from 0 to this.
    static constexpr int ProgressScale = 10000;

    Conversion(SessionState& state, JobList& jobs);
    ~Conversion();

    // May change during a run (the settings dialog stays open to it): each
    // piece takes the encoding and the piece length in force when it starts.
    void setOptions(const RunOptions& options) { m_options = options; }
    const RunOptions& options() const { return m_options; }

    // The split of the options' mode over every listed file. Never throws: a
    // failure ends the run as Stop does and is shown through the prompt.
    void splitRun();
    // The join of the options' mode into `path` (written as given). Never
    // throws, like splitRun.
    void joinRun(const QString& path);
    // Ends a run at its next test of the run flag.
    void stopConversion();

    // A listed source that a split without re-encoding cannot cut, and why.
    struct CopyRefusal {
        int row = -1;
        QString path;
        QString problem; // OggCopyCut's or Mp3CopyCut's reason
    };
    // Every such source of `files`, in list order; asked before anything is
    // written, by the split itself and by whoever wants to say more first.
    static std::vector<CopyRefusal> copyRefusals(const FileModel& files);

    // --- what the last run did -------------------------------------------------
    bool lastRunFailed() const { return m_failed; }
    // Of a split that failed: the row of the file it failed in or was refused
    // for (-1 when the failure was no one file's), and the rows from the first
    // that it had written whole before (none when it was refused).
    int failedFile() const { return m_failed ? m_file : -1; }
    int filesSplit() const { return m_filesSplit; }
    QString lastError() const { return m_error; }         // the text shown to the user
    QStringList lastOutputs() const { return m_outputs; } // complete outputs, in order

    // The run's own reader and writer (closed between runs).
    const AudioFile& reader() const { return m_reader; }
    const AudioFile& writer() const { return m_writer; }

    // --- callbacks (all optional) ------------------------------------------------
    std::function<void(int file)> onSourceStarted;            // the run took up source row `file`
    std::function<void(int value)> onProgress;                // 0 to ProgressScale, per block
    std::function<void()> onRunEnded;                         // stopped, finished or failed
    std::function<void(const QString& path)> onOutputStarted; // an output was created
    std::function<void(const QString& path)> onOutputClosed;  // an output is complete

  private:
    using Envelope = BlockCopier::Envelope;

    // Where a piece lies in its source and how it is faded.
    struct PiecePlan {
        std::int64_t beginFrame = 0;
        std::int64_t frames = 0;
        Envelope envelope;
        std::int64_t stopShortBy = 0; // Custom leaves out a tail under this many frames
        FileTags tags;                // the span's own tags, else the source's
    };
    struct ParallelPiece;
    struct ParallelShared;

    // --- the run's lifecycle (Conversion.cpp) -----------------------------------
    void beginRun();
    void endRun();
    void fail(const QString& file, const QString& reason);
    // Creates the output folder when it is missing; false (the run failed,
    // naming the folder and the system's reason) when it cannot be.
    bool makeOutputFolder(const QString& dir);
    bool refuseTooManyPieces(const FileRow& row, std::int64_t pieces);
    // The output of the next piece of `row`: the name made from its caption,
    // or the source's own name where that one cannot be created. Throws,
    // naming both, when neither can.
    // Piece `piece` (from 0) of the span `span` is named by the options'
    // template when there is one.
    QString choosePiecePath(const FileRow& row, std::int64_t piece, const Span& span);
    // `bits` is the sources' depth (AudioFile::bitsPerSample) for FLAC; the
    // tags go into a FLAC or Opus output as it is created (none: untagged).
    void prepareWriter(AudioFile& writer, int rate, int channels, int bits,
                       const FileTags* tags) const;
    void openOutput(const QString& path, int rate, int channels, int bits, const FileTags* tags);
    void closeOutput();
    void showProgress(std::int64_t progress, std::int64_t total);
    void dropOpenSpan(int file, bool giveBack);
    // Copies source frames from the reader's position to the writer, `frames`
    // of them or (-1) to the source's end. `outputPos` counts source frames
    // into the output, whose gain the envelope gives; `total` is the progress
    // scale. False when the source ended far before its stated length.
    bool copyBlocks(const FileRow& source, std::int64_t frames, const Envelope& envelope,
                    std::int64_t& outputPos, std::int64_t total, std::int64_t stopShortBy);

    // --- the split, one piece at a time (SplitRun.cpp) ---------------------------
    bool refuseBeforeSplit();
    void splitFile(int file);
    PiecePlan planPiece(const FileRow& row, const Span& span) const;
    void splitPiece(int file, std::int64_t piece, const Span& span);

    // --- the lossless cut (CopySplit.cpp) ----------------------------------------
    // A piece of an Ogg Vorbis source cut from its own packets, or of an MP3
    // source from its own frames (options' copy); or a FLAC piece of a FLAC
    // source from its own frames (FLAC output, no fades).
    void copyPiece(int file, std::int64_t piece, const Span& span);
    // True when the FLAC pieces of `source` are cut from its frames.
    bool copiesFlacFrames(const QString& source) const;
    // The open copy cutter's length in frames and in milliseconds; false when
    // none is open.
    bool cutterLength(std::int64_t& frames, std::int64_t& ms) const;

    // --- the parallel split (ParallelSplit.cpp) ----------------------------------
    // The pieces of the open file by m_options.jobs workers; outputs, statuses
    // and progress are reported in piece order, as the one-at-a-time run does.
    void splitPiecesInParallel(int file, std::int64_t pieces, int splitCount);
    void writePiece(ParallelPiece& piece, AudioFile& reader, const FileRow& row,
                    ParallelShared& shared) const;

    // --- the join (JoinRun.cpp) --------------------------------------------------
    void joinFile(int file, int rate, int channels);

    SessionState& s;
    JobList& jobs;
    RunOptions m_options;
    AudioFile m_reader;
    AudioFile m_writer;

    // Run state.
    bool m_failed = false;
    QString m_error;
    QStringList m_outputs;
    QString m_openOutput;               // the output the writer is writing, empty when none
    std::int64_t m_openFrames = 0;      // frames written into it
    std::optional<FileTags> m_openTags; // the tags the open piece gets once closed
    bool m_writerFailed = false;        // the writer refused a write: the output is lost
    QString m_currentFile;              // the file the component call under way works on
    int m_file = -1;                    // the row a split checks or splits
    int m_filesSplit = 0;               // rows from the first that the split has written
    std::vector<int> m_dropped;         // files whose open span this run took away
    std::int64_t m_joinPosition = 0;    // source frames a join has written
    OutputNaming::RunNames m_names;     // the names this run has handed out
    // The file being cut without re-encoding: asked for (Ogg Vorbis, MP3), or
    // a FLAC file split into FLAC pieces.
    std::unique_ptr<CopyCut> m_cutter;
    // The whole run's progress (options' wholeRunProgress), in source frames.
    std::int64_t m_runTotal = 0;
    std::int64_t m_runDone = 0; // of the pieces reported complete or ended
    int m_runShown = -1;        // the last value reported: it never goes back
};
