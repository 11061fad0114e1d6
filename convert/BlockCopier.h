// The block loop of the runs that re-encode: copies source frames from a
// reader to a writer, faded by the output's envelope, testing before each block.
#pragma once

#include "joblist/JobRecords.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

class AudioFile;

// What copying one output works on: its reader and writer, the test made
// before each block and the progress after it.
struct BlockCopier {
    // The gain of an output at each frame: fades over its first and last frames.
    struct Envelope {
        std::int64_t total = 0;
        std::int64_t fadeInFrames = 0;
        std::int64_t fadeOutFrames = 0;
    };

    AudioFile& reader;
    AudioFile& writer;
    const QString& outputPath;
    std::function<bool()> keepGoing;
    std::function<void(std::int64_t outputPos)> progressed;
    QString& currentFile; // what an exception would be about
    std::int64_t framesWritten = 0;
    bool writerFailed = false; // the writer refused a write: the output is lost

    // Copies source frames from the reader's position to the writer, `frames`
    // of them or (-1) to the source's end. `outputPos` counts source frames
    // into the output, whose gain the envelope gives. Empty when the frames
    // were copied or the copying was stopped; the message when the source
    // ended far before its stated length.
    std::optional<QString> copy(const FileRow& source, std::int64_t frames,
                                const Envelope& envelope, std::int64_t& outputPos,
                                std::int64_t stopShortBy);
};
