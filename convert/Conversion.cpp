#include "convert/Conversion.h"

#include "core/MainState.h"
#include "core/Prompt.h"
#include "skin/SkinObject.h"
#include "audio/AudioTransform.h"
#include "audio/MulDiv.h"
#include "convert/OggSettings.h"
#include "convert/OutputNaming.h"
#include "convert/OutputTags.h"
#include "convert/PieceMath.h"
#include "joblist/JobList.h"
#include "joblist/TimeText.h"

#include <QDir>
#include <QFileInfo>
#include <QList>
#include <QStandardItem>
#include <QUrl>
#include <algorithm>
#include <exception>

namespace {

const QString StatusOK = QStringLiteral("OK");
const QString StatusConverting = QStringLiteral("Converting");
const QString StatusFinish = QStringLiteral("Finish");

// Width of the conversion bar at 100 %.
constexpr int BarWidth = 335;

QString errorText(const std::exception& e) {
    return QString::fromStdString(e.what());
}

} // namespace

// What every block of a join is converted to: the first file's format.
struct Conversion::JoinTarget {
    int rate = 0;
    int channels = 0;
};

Conversion::Conversion(MainState& state, JobList& jobList) : s(state), jobs(jobList) {}

// ---------------------------------------------------------------------------
// Commands
// ---------------------------------------------------------------------------

void Conversion::SplitCommand() {
    if (s.Converting || s.FileList.empty() || s.lv.rowCount() == 0)
        return;
    if (s.Previewing && stopPreview)
        stopPreview();
    SplitRun();
    // After a failure the folder is worth showing only when it got something.
    if (!m_failed || !m_outputs.isEmpty())
        openOutputFolder();
}

void Conversion::JoinCommand() {
    if (s.Converting)
        return;
    if (s.Previewing && stopPreview)
        stopPreview();
    if (!ChooseJoinOutput())
        return;
    JoinRun();
    s.Converting = false;
    if (!m_failed || !m_outputs.isEmpty())
        openOutputFolder();
}

void Conversion::openOutputFolder() {
    if (s.prompt && !s.settings.OutputDir.isEmpty())
        s.prompt->openUrl(QUrl::fromLocalFile(s.settings.OutputDir));
}

bool Conversion::ChooseJoinOutput() {
    if (s.FileList.empty() || s.lv.rowCount() == 0 || !s.prompt)
        return false;
    int filterIndex = s.formatIndex + 1;
    const QString chosen =
        s.prompt->saveFile(s.settings.OutputDir, {QStringLiteral("OGG Files(*.ogg)")}, filterIndex);
    if (chosen.isEmpty())
        return false;
    s.formatIndex = std::max(0, filterIndex - 1);

    // The extension is appended whatever was typed: mix.ogg becomes mix.ogg.ogg.
    const QString path =
        QDir(s.settings.OutputDir).absoluteFilePath(chosen) + QStringLiteral(".ogg");
    if (OutputNaming::taken(path) &&
        !s.prompt->question(QDir::toNativeSeparators(path) +
                            QStringLiteral(" already exists. Do you want to replace it?")))
        return false;
    m_joinPath = path;
    return true;
}

// ---------------------------------------------------------------------------
// Shared pieces of both runs
// ---------------------------------------------------------------------------

void Conversion::ApplyOggSettings(int formatIndex) {
    if (formatIndex != 0)
        return;
    for (const OggFormat& c : oggFormatCalls(s.ini.get()))
        s.writer.SetOggFormat(c.rate, c.channels, c.kbps, c.minKbps, c.maxKbps, c.quality);
}

void Conversion::DrawConversionProgress(std::int64_t value) {
    if (value == 10000)
        value = 0;
    const std::int64_t width = MulDiv(value, BarWidth, 10000);
    if (!s.settings.SkinOption && width > BarWidth)
        return;
    if (!s.convertpb)
        return;
    QRect r = s.convertpb->GetObjectRect();
    r.setLeft(s.convertpbHome.left());
    r.setWidth(int(std::max<std::int64_t>(0, width)));
    s.convertpb->SetObjectRect(r);
    s.convertpb->RedrawObject();
}

void Conversion::StopConversion() {
    s.Converting = false;
    DrawConversionProgress(0);
}

void Conversion::showProgress(std::int64_t progress, std::int64_t total) {
    const std::int64_t value = total > 0 ? MulDiv(progress, 10000, total) : 0;
    if (s.pbpos) {
        s.pbpos->SetObjectText(QString::number(value / 100) + QLatin1Char('%'));
        s.pbpos->RedrawObject();
    }
    DrawConversionProgress(value);
    if (onProgress)
        onProgress(value);
}

void Conversion::beginRun() {
    s.Converting = true;
    m_failed = false;
    m_error.clear();
    m_outputs.clear();
    m_openOutput.clear();
    m_currentFile.clear();
    m_dropped.clear();
    m_joinTotal = 0;
    m_joinProgress = 0;
}

void Conversion::closeOutput() {
    AudioFile& writer = s.writer;
    const QString path = m_openOutput;
    m_currentFile = path;
    m_openOutput.clear();
    if (writer.IsOpen())
        writer.Close();
    if (!path.isEmpty()) {
        m_outputs << path;
        if (onOutputClosed)
            onOutputClosed(path);
    }
}

// The end of every run, stopped, finished or failed: what is written stays
// and is complete, the progress display is empty and the open spans the run
// took away are given back.
void Conversion::endRun() {
    try {
        if (s.writer.IsOpen() || !m_openOutput.isEmpty())
            closeOutput();
    } catch (const std::exception& e) {
        if (!m_failed)
            fail(m_currentFile, errorText(e));
    }
    try {
        if (s.reader.IsOpen())
            s.reader.Close();
    } catch (const std::exception&) {
        // Nothing of the output depends on closing the source.
    }

    s.Converting = false;
    if (s.pbpos) {
        s.pbpos->SetObjectText(QString());
        s.pbpos->RedrawObject();
    }
    DrawConversionProgress(0);

    for (int file : m_dropped)
        if (size_t(file) < s.FileList.size())
            ++s.FileList[size_t(file)].SpanCount;
    m_dropped.clear();

    if (m_failed && s.prompt)
        s.prompt->information(m_error);
}

void Conversion::fail(const QString& file, const QString& reason) {
    m_failed = true;
    const QString shown = QDir::toNativeSeparators(file);
    // Component messages often name the file already.
    if (file.isEmpty() || reason.contains(shown) || reason.contains(file))
        m_error = reason;
    else
        m_error = shown + QLatin1Char('\n') + reason;
}

// Leaves only the spans a run converts in lv_time: a lone span is converted
// (and marked "OK"), otherwise the open span's row goes. A split also lowers
// the record's SpanCount for as long as it runs; a join leaves it alone.
void Conversion::dropOpenSpan(int file, bool giveBack) {
    const int rows = jobs.spanRowCount();
    if (rows == 1) {
        jobs.setSpanStatus(0, StatusOK);
        return;
    }
    if (rows < 1)
        return;
    jobs.removeSpanRow(rows - 1);
    if (giveBack && size_t(file) < s.FileList.size()) {
        s.FileList[size_t(file)].SpanCount = rows - 1;
        m_dropped.push_back(file);
    }
}

// ---------------------------------------------------------------------------
// Split
// ---------------------------------------------------------------------------

void Conversion::SplitRun() {
    const int mode = s.settings.SplitMode;
    if (mode < Custom || mode > Unification || s.FileList.empty() || s.lv.rowCount() == 0)
        return;
    beginRun();
    try {
        if (mode == Unification) {
            // The shared spans are dropped once, on the list every file uses.
            jobs.selectRow(0);
            jobs.PlanUnification();
            dropOpenSpan(0, true);
        }
        for (int i = 0; i < int(std::min<size_t>(s.FileList.size(), size_t(s.lv.rowCount())));
             ++i) {
            s.pumpEvents();
            if (!s.Converting)
                break;
            splitFile(mode, i);
        }
    } catch (const std::exception& e) {
        fail(m_currentFile, errorText(e));
    }
    endRun();
}

void Conversion::splitFile(int mode, int file) {
    const listrecord& rec = s.FileList[size_t(file)];
    const std::int64_t fadeOutFrames = PieceMath::recordFrames(s.settings.FadeOutSeconds, rec);

    jobs.selectRow(file);
    switch (mode) {
    case Custom:
        jobs.PlanCustom();
        dropOpenSpan(file, true);
        break;
    case Time:
        jobs.PlanTime();
        break;
    case Count:
        jobs.PlanCount();
        break;
    default:
        break;
    }
    s.focusFileList();

    AudioFile& reader = s.reader;
    if (reader.IsOpen())
        reader.Close();
    const QString source = s.FileList[size_t(file)].Path;
    m_currentFile = source;
    reader.OpenRead(source);
    // A join or a preview may have asked for another format; pieces keep the source's.
    reader.SetPcmFormat(0, 0);

    const int pieces =
        PieceMath::splitPieceCount(mode, s.FileList[size_t(file)], s.FileList.front(),
                                   jobs.effectiveSplitSeconds(), jobs.effectiveSplitCount());
    // Count's piece length is fixed with the file; Time takes a SplitSeconds
    // changed mid-run for the bounds of the following pieces.
    const int splitCount = jobs.effectiveSplitCount();
    for (int j = 0; j < pieces; ++j) {
        s.pumpEvents();
        if (!s.Converting)
            break;
        PieceMath::Span span;
        if (!PieceMath::splitPiece(mode, j, s.FileList[size_t(file)], s.FileList.front(),
                                   jobs.effectiveSplitSeconds(), splitCount, span))
            break;
        splitPiece(mode, file, j, span.begin, span.end, fadeOutFrames);
    }
    m_currentFile = source;
    reader.Close();
}

void Conversion::splitPiece(int mode, int file, int piece, std::int32_t begin, std::int32_t end,
                            std::int64_t fadeOutFrames) {
    AudioFile& reader = s.reader;
    AudioFile& writer = s.writer;
    const QString source = s.FileList[size_t(file)].Path;

    const std::int64_t beginFrame =
        PieceMath::readerFrames(begin, reader.LengthSamples(), reader.LengthMs());
    const std::int64_t length =
        PieceMath::readerFrames(end, reader.LengthSamples(), reader.LengthMs()) - beginFrame;
    m_currentFile = source;
    reader.Seek(std::max<std::int64_t>(0, beginFrame));

    if (writer.IsOpen())
        writer.Close();
    ApplyOggSettings(s.formatIndex);

    const int rate = reader.SampleRate();
    const int channels = reader.Channels();
    QString path = OutputNaming::choosePiecePath(s.settings.OutputDir, jobs.caption(file));
    writer.SetPcmFormat(rate, channels);
    if (writer.IsOpen())
        writer.Close();
    m_currentFile = path;
    try {
        writer.CreateWrite(path);
    } catch (const std::exception&) {
        // A caption can make a name the file system refuses; the source's own
        // name is the second try. A second failure ends the run.
        if (writer.IsOpen())
            writer.Close();
        path = OutputNaming::fallbackPath(s.settings.OutputDir, source);
        m_currentFile = path;
        writer.CreateWrite(path);
    }
    m_openOutput = path;
    if (onOutputStarted)
        onOutputStarted(path);
    jobs.setSpanStatus(piece, StatusConverting);
    writer.SetPcmFormat(rate, channels);

    // Blocks of at most two seconds of stereo, as many frames as the source
    // has samples per second times channels.
    const std::int64_t blockFrames = std::max<std::int64_t>(1, std::int64_t(rate) * channels);
    std::int64_t progress = 0;
    while (progress < length) {
        s.pumpEvents();
        if (!s.Converting)
            break;
        const std::int64_t remaining = length - progress;
        const bool fadeIn = s.settings.FadeIn && progress == 0;
        const bool fadeOut = s.settings.FadeOut && remaining <= fadeOutFrames;
        std::int64_t count = std::min(remaining, blockFrames);
        if (fadeIn) // the fade-in block never reaches past the piece
            count = std::clamp<std::int64_t>(
                PieceMath::recordFrames(s.settings.FadeInSeconds, s.FileList[size_t(file)]), 1,
                remaining);
        if (fadeOut)
            count = remaining;

        m_currentFile = source;
        SampleBlock block = reader.ReadSamples(count);
        if (block.empty())
            break;
        if (block.frames() > count)
            block.samples.resize(size_t(count * block.channels));
        if (fadeIn)
            AudioTransform::Fade(block, 0.0, 100.0);
        if (fadeOut)
            AudioTransform::Fade(block, 100.0, 0.0);

        progress += block.frames();
        showProgress(progress, length);
        m_currentFile = path;
        writer.WriteSamples(block);

        if (mode == Custom && length - progress < 100)
            break;
    }

    if (mode == Count)
        jobs.setSpanStatus(piece, StatusFinish);
    closeOutput();
    CopyTagsToOutput(path,
                     s.TagList.size() > size_t(file) ? s.TagList[size_t(file)] : AudioFileinfo{});
    if (mode != Count)
        jobs.setSpanStatus(piece, StatusFinish);
}

// ---------------------------------------------------------------------------
// Join
// ---------------------------------------------------------------------------

void Conversion::JoinRun() {
    const int mode = s.settings.SplitMode;
    if (mode < Custom || mode > Unification || s.FileList.empty() || s.lv.rowCount() == 0 ||
        m_joinPath.isEmpty())
        return;
    beginRun();
    try {
        ApplyOggSettings(s.formatIndex);
        const size_t files = std::min<size_t>(s.FileList.size(), size_t(s.lv.rowCount()));
        m_joinTotal = PieceMath::joinTotal(
            mode, std::vector<listrecord>(s.FileList.begin(), s.FileList.begin() + files));
        m_joinProgress = 0;

        AudioFile& reader = s.reader;
        AudioFile& writer = s.writer;
        if (reader.IsOpen())
            reader.Close();
        m_currentFile = s.FileList.front().Path;
        reader.OpenRead(m_currentFile);
        JoinTarget target{reader.SampleRate(), reader.Channels()};
        reader.Close();

        writer.SetPcmFormat(target.rate, target.channels);
        if (writer.IsOpen())
            writer.Close();
        m_currentFile = m_joinPath;
        writer.CreateWrite(m_joinPath);
        m_openOutput = m_joinPath;
        if (onOutputStarted)
            onOutputStarted(m_joinPath);
        writer.SetPcmFormat(target.rate, target.channels);

        for (size_t i = 0; i < std::min<size_t>(s.FileList.size(), size_t(s.lv.rowCount())); ++i) {
            s.pumpEvents();
            if (!s.Converting)
                break;
            joinFile(mode, int(i), target);
        }
    } catch (const std::exception& e) {
        fail(m_currentFile, errorText(e));
    }
    endRun();
}

void Conversion::joinFile(int mode, int file, const JoinTarget& target) {
    const listrecord rec = s.FileList[size_t(file)];
    const std::int64_t fadeOutFrames = PieceMath::recordFrames(s.settings.FadeOutSeconds, rec);

    jobs.selectRow(file);
    const bool whole = mode == Time || mode == Count;
    if (mode == Custom) {
        jobs.PlanCustom();
        dropOpenSpan(file, false);
    } else if (mode == Unification) {
        jobs.PlanUnification();
        dropOpenSpan(file, false);
    } else {
        s.lv_time.removeRows(0, s.lv_time.rowCount());
        QList<QStandardItem*> row;
        for (const QString& text : {FormatTime(0) + QStringLiteral(" - ") + FormatTime(rec.Seconds),
                                    FormatTime(rec.Seconds), StatusConverting}) {
            auto* item = new QStandardItem(text);
            item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
            row << item;
        }
        s.lv_time.appendRow(row);
    }
    s.focusFileList();

    AudioFile& reader = s.reader;
    if (reader.IsOpen())
        reader.Close();
    m_currentFile = rec.Path;
    reader.OpenRead(rec.Path);
    reader.SetPcmFormat(target.rate, target.channels);

    if (whole) {
        std::int64_t position = 0;
        joinBlocks(rec, target, false, position, 0, fadeOutFrames);
        jobs.setSpanStatus(0, StatusFinish);
    } else {
        const std::vector<PieceMath::Span> spans =
            PieceMath::joinSpans(mode, rec, s.FileList.front());
        for (size_t j = 0; j < spans.size(); ++j) {
            s.pumpEvents();
            if (!s.Converting)
                break;
            jobs.setSpanStatus(int(j), StatusConverting);
            std::int64_t position =
                std::max<std::int64_t>(0, PieceMath::recordFrames(spans[j].begin, rec));
            const std::int64_t end = PieceMath::recordFrames(spans[j].end, rec);
            // A span that begins past the file's end (spans are marked on
            // another file in Unification) has nothing to give.
            if (position < reader.LengthSamples()) {
                m_currentFile = rec.Path;
                reader.Seek(position);
                joinBlocks(rec, target, true, position, end, fadeOutFrames);
            }
            jobs.setSpanStatus(int(j), StatusFinish);
        }
    }
    m_currentFile = rec.Path;
    reader.Close();
}

// One span of a join (bounded) or a whole file: blocks of source frames,
// delivered in the target format. The progress counts source frames over the
// whole output, as the total does.
void Conversion::joinBlocks(const listrecord& rec, const JoinTarget& target, bool bounded,
                            std::int64_t& position, std::int64_t end, std::int64_t fadeOutFrames) {
    AudioFile& reader = s.reader;
    AudioFile& writer = s.writer;
    const std::int64_t blockFrames =
        std::max<std::int64_t>(1, std::int64_t(target.rate) * target.channels);
    while (!bounded || position < end) {
        s.pumpEvents();
        if (!s.Converting)
            break;
        const std::int64_t spanLeft = bounded ? end - position : blockFrames;
        const std::int64_t outputLeft = m_joinTotal - m_joinProgress;
        const bool fadeIn = s.settings.FadeIn && m_joinProgress == 0;
        const bool fadeOut = s.settings.FadeOut && outputLeft <= fadeOutFrames;
        std::int64_t count = std::min(blockFrames, spanLeft);
        if (fadeIn)
            count = PieceMath::recordFrames(s.settings.FadeInSeconds, rec);
        if (fadeOut)
            count = outputLeft;
        // A fade block never reaches past the span.
        if (bounded)
            count = std::min(count, spanLeft);
        if (count <= 0)
            count = std::min(blockFrames, spanLeft);

        const std::int64_t before = reader.Position();
        m_currentFile = rec.Path;
        SampleBlock block = reader.ReadSamples(count);
        if (block.empty())
            break;
        std::int64_t consumed = reader.Position() - before;
        if (consumed <= 0) {
            // A reader that cannot tell: the delivered frames at the source's rate.
            const int sourceRate = reader.SampleRate();
            consumed = PieceMath::roundHalfEven(double(block.frames()) * sourceRate /
                                                std::max(1, target.rate));
        }
        if (fadeIn)
            AudioTransform::Fade(block, 0.0, 100.0);
        if (fadeOut)
            AudioTransform::Fade(block, 100.0, 0.0);

        m_joinProgress = std::min(m_joinProgress + consumed, m_joinTotal);
        showProgress(m_joinProgress, m_joinTotal);
        m_currentFile = m_joinPath;
        writer.WriteSamples(block);
        position += consumed;
    }
}
