// One session's objects and their wiring (see Session.h).
#include "commands/Session.h"

Session::Session(QObject* parent) : QObject(parent) {
    CommandHooks& h = m_commands.hooks;
    h.startFilePreview = [this] { m_preview.startFilePreview(); };
    h.startSpanPreview = [this] { m_preview.startSpanPreview(); };
    h.stopPreview = [this] { m_preview.stopPreview(); };
    h.stepBack = [this] { m_preview.stepBack(); };
    h.stepForward = [this] { m_preview.stepForward(); };
    h.sliderPress = [this] { m_preview.sliderPress(); };
    h.sliderRelease = [this] { m_preview.sliderRelease(); };
    h.sliderTrack = [this](int position) { m_preview.sliderTrack(position); };
    m_commands.connectConversion(m_conversion);

    connect(&m_jobs, &JobList::previewStopRequested, &m_preview, &Preview::stopPreview);

    m_conversion.onProgress = [this](int value) { emit runProgress(value); };
    m_conversion.onSourceStarted = [this](int file) { emit runSourceStarted(file); };
    m_conversion.onRunEnded = [this] { emit runEnded(); };
}

// The command table's hooks and the run's callbacks reach the members, which
// go in reverse order: nothing is left to call them once the body has run.
Session::~Session() {
    m_commands.hooks = {};
    m_conversion.onProgress = nullptr;
    m_conversion.onSourceStarted = nullptr;
    m_conversion.onRunEnded = nullptr;
}

void Session::setSlider(SkinObject* slider) {
    m_commands.slider = slider;
    m_preview.setSlider(slider);
}

void Session::stopAll() {
    if (m_preview.previewing())
        m_preview.stopPreview();
    if (m_state.converting)
        m_commands.stopConversion();
}
