#include "preview/Preview.h"

#include "audio/AudioError.h"
#include "audio/MulDiv.h"
#include "core/Prompt.h"
#include "core/SessionState.h"
#include "joblist/JobList.h"
#include "joblist/TimeText.h"
#include "skin/SkinObject.h"

#include <QCoreApplication>
#include <algorithm>

namespace {

const QString Playing = QStringLiteral("Playing");
// Shown translated by the span list.
[[maybe_unused]] constexpr const char* ShownPlaying = QT_TRANSLATE_NOOP("SpanStatus", "Playing");

std::int64_t ratio(std::int64_t a, std::int64_t b, std::int64_t c) {
    return c > 0 ? MulDiv(a, b, c) : 0;
}

} // namespace

Preview::Preview(SessionState& state, JobList& list, QObject* parent)
    : QObject(parent), s(state), jobs(list) {
    connect(&m_player, &AudioPlayer::ticked, this,
            [this](std::int64_t played) { onPlayerTimer(played); });
    connect(&m_player, &AudioPlayer::playEnded, this, &Preview::onPlayEnded);
    // Each played block asks for the next one, so one is always read ahead.
    connect(&m_player, &AudioPlayer::blockPlayed, this, &Preview::feedPlayer);
    connect(&m_player, &AudioPlayer::blockRequested, this, &Preview::feedPlayer);
}

// --- the slider and the label -------------------------------------------------------

int Preview::sliderPosition() const {
    return m_slider ? m_slider->sliderPosition() : jobs.sliderPosition();
}

void Preview::setSliderPosition(int position) {
    jobs.setSliderPosition(position);
    if (m_slider) {
        m_slider->setSliderPosition(position);
        m_slider->redraw();
    }
}

void Preview::showTime(std::int64_t seconds) {
    jobs.setPositionText(formatTime(std::int32_t(std::clamp<std::int64_t>(seconds, 0, INT32_MAX))));
}

bool Preview::previewing() const {
    return jobs.previewing();
}

bool Preview::fileSelected() const {
    return jobs.selectedRow() >= 0;
}

// --- starting and stopping ------------------------------------------------------------

void Preview::startFilePreview() {
    startPreview(true);
}

void Preview::startFilePreviewAt(std::int64_t frame) {
    startPreview(true, std::max<std::int64_t>(0, frame));
}

void Preview::startSpanPreview() {
    startPreview(false);
}

void Preview::startPreview(bool wholeFile, std::int64_t from) {
    if (s.converting || previewing() || !fileSelected())
        return;
    if (m_reader.isOpen())
        m_reader.close();
    jobs.setPlayedRow(jobs.selectedRow());
    m_wholeFile = wholeFile;
    if (!wholeFile)
        m_previewSpan = jobs.selectedSpanRow();
    const FileRow& file = jobs.file(jobs.playedRow());

    try {
        m_reader.setPcmFormat(0, 0);
        m_reader.openRead(file.path);
    } catch (const AudioError& e) {
        fail(e.message());
        return;
    }
    try {
        m_player.openDevice(m_reader.sampleRate(), m_reader.channels());
    } catch (const AudioError& e) {
        fail(QCoreApplication::translate("Preview", "No sound output device is available.\n%1")
                 .arg(e.message()));
        return;
    }

    try {
        const std::int64_t samples = m_reader.lengthSamples();
        m_axisFrames =
            jobs.axisRow() == jobs.playedRow()
                ? samples
                : ratio(std::int64_t(jobs.axisSeconds()) * 1000, samples, m_reader.lengthMs());
        if (wholeFile) {
            const int usable = jobs.usableRange();
            const int position =
                from >= 0 ? int(std::min<std::int64_t>(ratio(from, usable, m_axisFrames), usable))
                          : std::min(sliderPosition(), usable);
            jobs.setSliderPosition(position);
            m_startSample = from >= 0 ? from : ratio(position, m_axisFrames, usable);
            m_spanBegin = 0;
            // In Unification a file shorter than the first ends before the axis does.
            if (m_startSample > samples) {
                stopPreview();
                return;
            }
            m_reader.seek(m_startSample);
            m_player.play();
        } else {
            SpanFrames span;
            // A span beyond the file's end, or of no length, has nothing to play.
            if (!previewedSpan(span) || span.length <= 0 ||
                span.begin >= m_reader.lengthSamples()) {
                stopPreview();
                return;
            }
            m_reader.seek(span.begin);
            m_startSample = 0;
            m_spanBegin = span.begin;
            m_player.play();
            m_savedStatus = jobs.spanStatus(m_previewSpan);
            jobs.setSpanStatus(m_previewSpan, Playing);
        }
        feedPlayer();
    } catch (const AudioError& e) {
        fail(e.message());
    }
}

void Preview::stopPreview() {
    m_player.stop();
    if (m_reader.isOpen())
        m_reader.close();
    if (jobs.rowCount() > 0 && m_previewSpan >= 0 && m_previewSpan < jobs.spanRowCount() &&
        jobs.spanStatus(m_previewSpan) == Playing)
        jobs.setSpanStatus(m_previewSpan, m_savedStatus);
    setSliderPosition(0);
    showTime(0);
    const bool played = jobs.previewing();
    jobs.setPlayedRow(-1);
    m_seeking = false;
    if (played)
        emit playedFrameChanged(-1);
}

void Preview::fail(const QString& message) {
    stopPreview();
    if (s.prompt)
        s.prompt->information(message);
}

void Preview::feedPlayer() {
    if (!previewing() || !m_reader.isOpen())
        return;
    try {
        // Queued as it comes, also short or empty at the end: the player
        // tells the end when everything queued has played.
        const SampleBlock block = m_reader.readSamples(BlockFrames);
        m_player.queueSamples(block);
        if (blockQueued)
            blockQueued(block);
    } catch (const AudioError& e) {
        fail(e.message());
    }
}

// --- following the playback -------------------------------------------------------------

bool Preview::previewedSpan(SpanFrames& span) const {
    if (!m_reader.isOpen() || !jobs.spanModel().contains(m_previewSpan))
        return false;
    const Span stored = jobs.spanModel().span(m_previewSpan);
    const std::int64_t samples = m_reader.lengthSamples();
    const std::int64_t ms = m_reader.lengthMs();
    // A span cut between seconds plays from its frame to its frame.
    std::int64_t first = 0;
    std::int64_t last = 0;
    if ((stored.beginFrame >= 0 || stored.endFrame >= 0) &&
        jobs.spanFrames(jobs.playedRow(), m_previewSpan, first, last)) {
        span.begin = first;
        span.length = std::max<std::int64_t>(0, last - first);
        span.seconds = std::int32_t(span.length / std::max(1, m_reader.sampleRate()));
        return true;
    }
    span.begin = ratio(std::int64_t(stored.begin) * 1000, samples, ms);
    span.seconds = std::max<std::int32_t>(0, stored.end - stored.begin);
    span.length =
        stored.toEnd ? samples - span.begin : ratio(std::int64_t(span.seconds) * 1000, samples, ms);
    return true;
}

bool Preview::spanShown(SpanFrames& span) const {
    return !m_wholeFile && jobs.spanListActive() && previewedSpan(span);
}

void Preview::onPlayerTimer(std::int64_t played) {
    if (m_seeking || !previewing() || !m_reader.isOpen())
        return;
    const int usable = jobs.usableRange();
    const std::int64_t samples = m_reader.lengthSamples();
    const std::int64_t at = m_startSample + played;
    emit playedFrameChanged(m_spanBegin + at);
    SpanFrames span;
    const std::int64_t position =
        spanShown(span) ? ratio(at, usable, span.length) : ratio(at, usable, m_axisFrames);
    setSliderPosition(int(std::min<std::int64_t>(position, usable)));
    showTime(ratio(at, m_reader.lengthMs() / 1000, samples));
    if (sliderPosition() >= usable)
        stopPreview();
}

void Preview::onPlayEnded() {
    if (previewing())
        stopPreview();
}

// --- the slider and the step buttons -------------------------------------------------------

void Preview::sliderTrack(int position) {
    if (!fileSelected() || !m_seeking)
        return;
    const int usable = jobs.usableRange();
    position = std::clamp(position, 0, std::max(0, usable));
    jobs.setSliderPosition(position);
    SpanFrames span;
    if (previewing() && spanShown(span))
        showTime(ratio(position, span.seconds, usable));
    else
        showTime(ratio(position, jobs.axisSeconds(), usable));
}

void Preview::sliderPress() {
    m_seeking = true;
}

void Preview::sliderRelease() {
    m_seeking = false;
    if (!previewing())
        return;
    const int usable = jobs.usableRange();
    const int position = sliderPosition();
    jobs.setSliderPosition(position);
    if (position >= usable) {
        stopPreview();
        return;
    }
    try {
        SpanFrames span;
        if (spanShown(span)) {
            m_startSample = ratio(position, span.length, usable);
            m_reader.seek(span.begin + m_startSample);
        } else {
            m_startSample = ratio(position, m_axisFrames, usable);
            if (m_startSample > m_reader.lengthSamples()) {
                stopPreview();
                return;
            }
            m_reader.seek(m_startSample);
        }
        // The player asks for the block from the new place at once.
        m_player.restart();
    } catch (const AudioError& e) {
        fail(e.message());
    }
}

int Preview::stepSize() const {
    const std::int32_t seconds = jobs.axisSeconds();
    // About a second; a file under one second has no seconds to divide by.
    const int step = seconds > 0 ? jobs.usableRange() / seconds : 2;
    return std::max(step, 2);
}

void Preview::stepForward() {
    if (!fileSelected() || previewing())
        return;
    const int position = sliderPosition() + stepSize();
    if (position < jobs.usableRange())
        showStep(position);
}

void Preview::stepBack() {
    if (!fileSelected() || previewing())
        return;
    showStep(std::max(0, sliderPosition() - stepSize()));
}

void Preview::showStep(int position) {
    setSliderPosition(position);
    showTime(ratio(position, jobs.axisSeconds(), jobs.usableRange()));
}
