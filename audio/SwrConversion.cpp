#include "audio/SwrConversion.h"

#include "audio/AudioError.h"
#include "audio/FfmpegDecoder.h"

#include <algorithm>
#include <climits>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace {

struct SwrDeleter {
    void operator()(SwrContext* s) const { swr_free(&s); }
};

// Big inputs go through in slices, so that libswresample's own buffers stay
// small (its allocations are bounded, see FfmpegDecoder::setUpLibraries).
constexpr std::int64_t kSliceFrames = 1 << 16;

AudioError refused(int inRate, int inCh, int outRate, int outCh) {
    return AudioError(QStringLiteral("cannot convert %1 Hz/%2 ch audio to %3 Hz/%4 ch")
                          .arg(inRate)
                          .arg(inCh)
                          .arg(outRate)
                          .arg(outCh));
}

} // namespace

struct SwrConversion::Context {
    std::unique_ptr<SwrContext, SwrDeleter> swr;
};

SwrConversion::SwrConversion(int inRate, int inChannels, int outRate, int outChannels)
    : m_inRate(inRate), m_inChannels(inChannels), m_outRate(outRate), m_outChannels(outChannels),
      m_ctx(std::make_unique<Context>()) {
    FfmpegDecoder::setUpLibraries();
    create();
}

SwrConversion::~SwrConversion() = default;

void SwrConversion::create() {
    m_ctx->swr.reset();
    AVChannelLayout inLayout;
    AVChannelLayout outLayout;
    av_channel_layout_default(&inLayout, m_inChannels);
    av_channel_layout_default(&outLayout, m_outChannels);
    SwrContext* s = nullptr;
    const int r = swr_alloc_set_opts2(&s, &outLayout, AV_SAMPLE_FMT_FLT, m_outRate, &inLayout,
                                      AV_SAMPLE_FMT_FLT, m_inRate, 0, nullptr);
    const bool native =
        inLayout.order == AV_CHANNEL_ORDER_NATIVE && outLayout.order == AV_CHANNEL_ORDER_NATIVE;
    av_channel_layout_uninit(&inLayout);
    av_channel_layout_uninit(&outLayout);
    if (r < 0 || !s)
        throw refused(m_inRate, m_inChannels, m_outRate, m_outChannels);
    m_ctx->swr.reset(s);

    if (m_inChannels == 2 && m_outChannels == 1) {
        // Mono is the average: a full-scale stereo source must not clip.
        const double matrix[2] = {0.5, 0.5};
        swr_set_matrix(s, matrix, 2);
    } else if (m_inChannels == 1 && m_outChannels == 2) {
        // Both sides carry the mono signal at its own level.
        const double matrix[2] = {1.0, 1.0};
        swr_set_matrix(s, matrix, 1);
    } else if (m_inChannels != m_outChannels && !native) {
        // No speaker layout to mix by: channel c takes the source's channel c
        // (the last one when the source has fewer).
        std::vector<double> matrix(size_t(m_outChannels) * size_t(m_inChannels), 0.0);
        for (int c = 0; c < m_outChannels; ++c)
            matrix[size_t(c) * size_t(m_inChannels) + size_t(std::min(c, m_inChannels - 1))] = 1.0;
        swr_set_matrix(s, matrix.data(), m_inChannels);
    } else {
        // Down-mixes of real layouts keep to full scale as well.
        av_opt_set_double(s, "rematrix_maxval", 1.0, 0);
    }
    if (swr_init(s) < 0)
        throw refused(m_inRate, m_inChannels, m_outRate, m_outChannels);
}

void SwrConversion::convert(const float* in, std::int64_t frames, std::vector<float>& out) {
    SwrContext* s = m_ctx->swr.get();
    while (frames > 0) {
        const int slice = int(std::min(frames, kSliceFrames));
        const int room = swr_get_out_samples(s, slice);
        if (room < 0)
            throw refused(m_inRate, m_inChannels, m_outRate, m_outChannels);
        const size_t old = out.size();
        out.resize(old + size_t(room) * size_t(m_outChannels));
        auto* dst = reinterpret_cast<uint8_t*>(out.data() + old);
        const auto* src = reinterpret_cast<const uint8_t*>(in);
        const int n = swr_convert(s, &dst, room, &src, slice);
        if (n < 0) {
            out.resize(old);
            throw refused(m_inRate, m_inChannels, m_outRate, m_outChannels);
        }
        out.resize(old + size_t(n) * size_t(m_outChannels));
        in += std::int64_t(slice) * m_inChannels;
        frames -= slice;
    }
}

void SwrConversion::flush(std::vector<float>& out) {
    SwrContext* s = m_ctx->swr.get();
    for (;;) {
        const int room = std::max(swr_get_out_samples(s, 0), 0) + 256;
        const size_t old = out.size();
        out.resize(old + size_t(room) * size_t(m_outChannels));
        auto* dst = reinterpret_cast<uint8_t*>(out.data() + old);
        const int n = swr_convert(s, &dst, room, nullptr, 0);
        out.resize(old + size_t(std::max(n, 0)) * size_t(m_outChannels));
        if (n <= 0)
            break;
    }
    create();
}

void SwrConversion::reset() {
    create();
}
