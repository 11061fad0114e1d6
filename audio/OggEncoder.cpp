#include "audio/OggEncoder.h"

#include "audio/AudioError.h"
#include "audio/OggHandles.h"
#include "audio/VectorState.h"

#include <QRandomGenerator>
#include <algorithm>
#include <optional>
#include <vorbis/vorbisenc.h>

namespace {

enum class Shape { Nominal, Managed, Quality, Invalid };

Shape shapeOf(const OggFormat& f) {
    if (f.rate <= 0 || f.channels <= 0 || f.kbps < 0 || f.minKbps < 0 || f.maxKbps < 0)
        return Shape::Invalid;
    // libvorbisenc takes a minimum above the maximum and then holds the
    // bitrate far below both: such a range is no set-up at all.
    if (f.minKbps > 0 && f.maxKbps > 0 && f.minKbps > f.maxKbps)
        return Shape::Invalid;
    if (f.kbps > 0 || f.minKbps > 0 || f.maxKbps > 0)
        return (f.minKbps > 0 || f.maxKbps > 0) ? Shape::Managed : Shape::Nominal;
    return f.quality >= 0 ? Shape::Quality : Shape::Invalid;
}

// libvorbisenc takes bits per second and -1 for "no limit".
long bitsOrUnset(int kbps) {
    return kbps > 0 ? long(kbps) * 1000 : -1;
}

// Runs libvorbisenc's set-up for `f` on `vi`; true when it was accepted.
bool setUp(vorbis_info* vi, const OggFormat& f) {
    switch (shapeOf(f)) {
    case Shape::Nominal:
        // A nominal bitrate alone is an average target, as oggenc -b does it:
        // with management on, libvorbis would hold every second to the bitrate
        // and spend bits badly.
        if (vorbis_encode_setup_managed(vi, f.channels, f.rate, -1, bitsOrUnset(f.kbps), -1) != 0)
            return false;
        if (vorbis_encode_ctl(vi, OV_ECTL_RATEMANAGE2_SET, nullptr) != 0)
            return false;
        return vorbis_encode_setup_init(vi) == 0;
    case Shape::Managed:
        if (vorbis_encode_setup_managed(vi, f.channels, f.rate, bitsOrUnset(f.maxKbps),
                                        bitsOrUnset(f.kbps), bitsOrUnset(f.minKbps)) != 0)
            return false;
        return vorbis_encode_setup_init(vi) == 0;
    case Shape::Quality:
        // Settings files may hold anything; libvorbis's scale ends at 1.0.
        return vorbis_encode_init_vbr(vi, f.channels, f.rate,
                                      float(std::min(f.quality, 1000)) / 1000.0f) == 0;
    case Shape::Invalid:
        break;
    }
    return false;
}

// What a refusal says of `f` after its rate and channels.
QString detailOf(const OggFormat& f) {
    switch (shapeOf(f)) {
    case Shape::Nominal:
        return QStringLiteral("%1 kbps").arg(f.kbps);
    case Shape::Managed:
        return QStringLiteral("%1 kbps between %2 and %3 kbps")
            .arg(f.kbps)
            .arg(f.minKbps)
            .arg(f.maxKbps);
    case Shape::Quality:
        return QStringLiteral("quality %1").arg(f.quality);
    case Shape::Invalid:
        break;
    }
    if (f.minKbps > f.maxKbps && f.maxKbps > 0)
        return QStringLiteral("a minimum of %1 kbps above the maximum of %2 kbps")
            .arg(f.minKbps)
            .arg(f.maxKbps);
    return QStringLiteral("neither bitrate nor quality");
}

// Frames handed to libvorbis per analysis buffer: keeps its buffer small and
// in cache however large the caller's blocks are.
constexpr std::int64_t kChunkFrames = 4096;

// State of one open file. The libvorbis and libogg members are declared in
// the order they are set up, so they are torn down in reverse.
struct OggOutput : Encoder::Output {
    using Output::Output;
    VorbisInfo info;
    VorbisComment comment;
    std::optional<VorbisAnalysis> analysis;
    std::optional<OggStream> os;
    ogg_packet codebooks; // points into the analysis state's header storage
    bool headersOut = false;

    void encode(const float* interleaved, std::int64_t frames) override;
    void finish() override;

    void writePage(const ogg_page& page) {
        writeAll(page.header, page.header_len);
        writeAll(page.body, page.body_len);
    }

    void writeAll(const unsigned char* data, long size) {
        if (!put(reinterpret_cast<const char*>(data), size))
            throw AudioError(failure(QString()));
    }

    // Puts the headers on their own pages: audio has to begin on a fresh
    // page. An empty stream ends with its last header, as a last audio
    // packet at granule position 0 would be invalid.
    void finishHeaders(bool endOfStream) {
        if (headersOut)
            return;
        headersOut = true;
        codebooks.e_o_s = endOfStream ? 1 : 0;
        ogg_stream_packetin(os->get(), &codebooks);
        ogg_page page;
        while (ogg_stream_flush(os->get(), &page) != 0)
            writePage(page);
    }

    // Moves every finished block through analysis into pages on disk.
    void drain() {
        ogg_packet packet;
        ogg_page page;
        while (vorbis_analysis_blockout(analysis->dsp(), analysis->block()) == 1) {
            vorbis_analysis(analysis->block(), nullptr);
            vorbis_bitrate_addblock(analysis->block());
            while (vorbis_bitrate_flushpacket(analysis->dsp(), &packet) == 1) {
                ogg_stream_packetin(os->get(), &packet);
                while (ogg_stream_pageout(os->get(), &page) != 0)
                    writePage(page);
            }
        }
    }
};

void OggOutput::encode(const float* interleaved, std::int64_t frames) {
    clearUpperVectorState();
    finishHeaders(false);
    while (frames > 0) {
        const int n = int(std::min(frames, kChunkFrames));
        float** buffer = vorbis_analysis_buffer(analysis->dsp(), n);
        if (channels == 2) {
            float* left = buffer[0];
            float* right = buffer[1];
            for (int i = 0; i < n; ++i) {
                left[i] = interleaved[2 * i];
                right[i] = interleaved[2 * i + 1];
            }
        } else {
            for (int c = 0; c < channels; ++c) {
                float* out = buffer[c];
                const float* in = interleaved + c;
                for (int i = 0; i < n; ++i)
                    out[i] = in[std::int64_t(i) * channels];
            }
        }
        vorbis_analysis_wrote(analysis->dsp(), n);
        drain();
        interleaved += std::int64_t(n) * channels;
        frames -= n;
    }
}

void OggOutput::finish() {
    if (headersOut) {
        vorbis_analysis_wrote(analysis->dsp(), 0);
        drain();
    } else {
        finishHeaders(true);
    }
    ogg_page page;
    while (ogg_stream_flush(os->get(), &page) != 0)
        writePage(page);
}

} // namespace

OggEncoder::OggEncoder() : FormatEncoder("Ogg Vorbis", OggFormat{}) {}

bool OggEncoder::check(int rate, int channels, int kbps, int minKbps, int maxKbps) {
    OggFormat f{rate, channels, kbps, minKbps, maxKbps, -1};
    if (shapeOf(f) == Shape::Nominal) {
        // Asked as a managed set-up, the same template choice as encoding uses.
        VorbisInfo info;
        return vorbis_encode_setup_managed(info.get(), channels, rate, -1, bitsOrUnset(kbps), -1) ==
                   0 &&
               vorbis_encode_setup_init(info.get()) == 0;
    }
    if (kbps == 0 && minKbps == 0 && maxKbps == 0) {
        // No bitrate at all: only the rate and channel count are in question,
        // as for quality-driven encoding at the default quality.
        f.quality = 300;
    }
    VorbisInfo info;
    return setUp(info.get(), f);
}

std::unique_ptr<Encoder::Output> OggEncoder::start(const QString& path) {
    const OggFormat& f = format();
    auto s = std::make_unique<OggOutput>(path, f.rate, f.channels);
    if (!setUp(s->info.get(), f))
        refuseFormat(path, detailOf(f));

    // Written beside the target and renamed over it at close: a failure never
    // leaves half a file, and a source being read from the same path stays
    // intact until the result is complete.
    s->create();

    clearUpperVectorState();
    s->analysis.emplace(s->info.get());
    // Chained or concatenated files need distinct serial numbers.
    s->os.emplace(int(QRandomGenerator::global()->generate() & 0x7fffffff));

    ogg_packet ident, comments;
    vorbis_analysis_headerout(s->analysis->dsp(), s->comment.get(), &ident, &comments,
                              &s->codebooks);
    ogg_stream_packetin(s->os->get(), &ident);
    ogg_stream_packetin(s->os->get(), &comments);
    // The last header goes in with the first audio, or marked as the end of
    // the stream when no audio comes at all.
    return s;
}
