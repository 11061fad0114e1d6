#include "audio/Resampler.h"

#include "audio/AudioError.h"
#include "audio/FfmpegModule.h"

namespace {

QString refusal(int inRate, int inCh, int outRate, int outCh) {
    return QStringLiteral("cannot convert %1 Hz/%2 ch audio to %3 Hz/%4 ch")
        .arg(inRate)
        .arg(inCh)
        .arg(outRate)
        .arg(outCh);
}

} // namespace

Resampler::Resampler(int inRate, int inChannels, int outRate, int outChannels)
    : m_inRate(inRate), m_inChannels(inChannels), m_outRate(outRate), m_outChannels(outChannels) {
    if (inRate <= 0 || outRate <= 0 || inChannels <= 0 || outChannels <= 0)
        throw AudioError(refusal(inRate, inChannels, outRate, outChannels));
    FfmpegModule* module = nullptr;
    try {
        module = &FfmpegModule::instance();
    } catch (const AudioError& e) {
        throw ModuleMissing(refusal(inRate, inChannels, outRate, outChannels) +
                            QStringLiteral(" (%1)").arg(e.message()));
    }
    m_conversion = module->openConversion(inRate, inChannels, outRate, outChannels);
}

Resampler::~Resampler() = default;

void Resampler::convert(const float* in, std::int64_t frames, std::vector<float>& out) {
    m_conversion->convert(in, frames, out);
}

void Resampler::flush(std::vector<float>& out) {
    m_conversion->flush(out);
}

void Resampler::reset() {
    m_conversion->reset();
}
