#include "preview/Preview.h"

#include "audio/AudioError.h"
#include "audio/MulDiv.h"
#include "core/MainState.h"
#include "core/Prompt.h"
#include "joblist/JobList.h"
#include "joblist/TimeText.h"
#include "skin/SkinObject.h"

#include <algorithm>

namespace {

const QString Playing = QStringLiteral("Playing");

std::int64_t ratio(std::int64_t a, std::int64_t b, std::int64_t c) {
    return c > 0 ? MulDiv(a, b, c) : 0;
}

} // namespace

Preview::Preview(MainState& state, JobList& list, QObject* parent)
    : QObject(parent), s(state), jobs(list) {
    connect(&s.player, &AudioPlayer::ticked, this,
            [this](std::int64_t played) { onPlayerTimer(played); });
    connect(&s.player, &AudioPlayer::playEnded, this, &Preview::onPlayEnded);
    // Each played block asks for the next one, so one is always read ahead.
    connect(&s.player, &AudioPlayer::blockPlayed, this, &Preview::feedPlayer);
    connect(&s.player, &AudioPlayer::blockRequested, this, &Preview::feedPlayer);
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

bool Preview::fileSelected() const {
    return jobs.selectedRow() >= 0;
}

// --- starting and stopping ------------------------------------------------------------

void Preview::startFilePreview() {
    startPreview(true);
}

void Preview::startSpanPreview() {
    startPreview(false);
}

void Preview::startPreview(bool wholeFile) {
    if (s.converting || s.previewing || !fileSelected())
        return;
    if (s.reader.isOpen())
        s.reader.close();
    s.previewing = true;
    s.previewFile = jobs.selectedRow();
    if (!wholeFile)
        s.previewSpan = jobs.selectedSpanRow();
    const FileRow& file = jobs.file(s.previewFile);

    try {
        s.reader.setPcmFormat(0, 0);
        s.reader.openRead(file.path);
    } catch (const AudioError& e) {
        fail(e.message());
        return;
    }
    try {
        s.player.openDevice(s.reader.sampleRate(), s.reader.channels());
    } catch (const AudioError& e) {
        fail(QStringLiteral("No sound output device is available.\n%1").arg(e.message()));
        return;
    }

    try {
        if (wholeFile) {
            const int position = std::min(sliderPosition(), jobs.usableRange());
            jobs.setSliderPosition(position);
            s.previewStartSample = ratio(position, s.reader.lengthSamples(), jobs.usableRange());
            s.reader.seek(s.previewStartSample);
            s.player.play();
        } else {
            SpanFrames span;
            // A span beyond the file's end, or of no length, has nothing to play.
            if (!previewedSpan(span) || span.length <= 0 ||
                span.begin >= s.reader.lengthSamples()) {
                stopPreview();
                return;
            }
            s.reader.seek(span.begin);
            s.previewStartSample = 0;
            s.player.play();
            m_savedStatus = jobs.spanStatus(s.previewSpan);
            jobs.setSpanStatus(s.previewSpan, Playing);
        }
        feedPlayer();
    } catch (const AudioError& e) {
        fail(e.message());
    }
}

void Preview::stopPreview() {
    s.player.stop();
    if (s.reader.isOpen())
        s.reader.close();
    if (jobs.rowCount() > 0 && s.previewSpan >= 0 && s.previewSpan < jobs.spanRowCount() &&
        jobs.spanStatus(s.previewSpan) == Playing)
        jobs.setSpanStatus(s.previewSpan, m_savedStatus);
    setSliderPosition(0);
    showTime(0);
    s.previewing = false;
    s.seeking = false;
}

void Preview::fail(const QString& message) {
    stopPreview();
    if (s.prompt)
        s.prompt->information(message);
}

void Preview::feedPlayer() {
    if (!s.previewing || !s.reader.isOpen())
        return;
    try {
        // Queued as it comes, also short or empty at the end: the player
        // tells the end when everything queued has played.
        const SampleBlock block = s.reader.readSamples(BlockFrames);
        s.player.queueSamples(block);
        if (blockQueued)
            blockQueued(block);
    } catch (const AudioError& e) {
        fail(e.message());
    }
}

// --- following the playback -------------------------------------------------------------

bool Preview::previewedSpan(SpanFrames& span) const {
    if (!s.reader.isOpen() || !jobs.spanModel().contains(s.previewSpan))
        return false;
    const Span stored = jobs.spanModel().span(s.previewSpan);
    const std::int64_t samples = s.reader.lengthSamples();
    const std::int64_t ms = s.reader.lengthMs();
    span.begin = ratio(std::int64_t(stored.begin) * 1000, samples, ms);
    span.seconds = std::max<std::int32_t>(0, stored.end - stored.begin);
    span.length =
        stored.toEnd ? samples - span.begin : ratio(std::int64_t(span.seconds) * 1000, samples, ms);
    return true;
}

void Preview::onPlayerTimer(std::int64_t played) {
    if (s.seeking || !s.previewing || !s.reader.isOpen())
        return;
    const int usable = jobs.usableRange();
    const std::int64_t samples = s.reader.lengthSamples();
    const std::int64_t at = s.previewStartSample + played;
    SpanFrames span;
    const bool spanDisplay = s.spanListActive && previewedSpan(span);
    const std::int64_t position =
        spanDisplay ? ratio(at, usable, span.length) : ratio(at, usable, samples);
    setSliderPosition(int(std::min<std::int64_t>(position, usable)));
    showTime(ratio(at, s.reader.lengthMs() / 1000, samples));
    if (sliderPosition() >= usable)
        stopPreview();
}

void Preview::onPlayEnded() {
    if (s.previewing)
        stopPreview();
}

// --- the slider and the step buttons -------------------------------------------------------

void Preview::sliderTrack(int position) {
    if (!fileSelected() || !s.seeking)
        return;
    const int usable = jobs.usableRange();
    position = std::clamp(position, 0, std::max(0, usable));
    jobs.setSliderPosition(position);
    SpanFrames span;
    if (s.previewing && s.spanListActive && previewedSpan(span))
        showTime(ratio(position, span.seconds, usable));
    else
        showTime(ratio(position, jobs.file(jobs.selectedRow()).seconds, usable));
}

void Preview::sliderRelease() {
    s.seeking = false;
    if (!s.previewing)
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
        if (s.spanListActive && previewedSpan(span)) {
            s.previewStartSample = ratio(position, span.length, usable);
            s.reader.seek(span.begin + s.previewStartSample);
        } else {
            s.previewStartSample = ratio(position, s.reader.lengthSamples(), usable);
            s.reader.seek(s.previewStartSample);
        }
        // The player asks for the block from the new place at once.
        s.player.restart();
    } catch (const AudioError& e) {
        fail(e.message());
    }
}

int Preview::stepSize() const {
    const std::int32_t seconds = jobs.file(jobs.selectedRow()).seconds;
    // About a second; a file under one second has no seconds to divide by.
    const int step = seconds > 0 ? jobs.usableRange() / seconds : 2;
    return std::max(step, 2);
}

void Preview::stepForward() {
    if (!fileSelected() || s.previewing)
        return;
    const int position = sliderPosition() + stepSize();
    if (position < jobs.usableRange())
        showStep(position);
}

void Preview::stepBack() {
    if (!fileSelected() || s.previewing)
        return;
    showStep(std::max(0, sliderPosition() - stepSize()));
}

void Preview::showStep(int position) {
    setSliderPosition(position);
    showTime(ratio(position, jobs.file(jobs.selectedRow()).seconds, jobs.usableRange()));
}
