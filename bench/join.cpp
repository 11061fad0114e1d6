// Measures the whole-file join of three 10-minute files (one of them 22050 Hz
// mono) through the real join run, against decoding, converting and encoding
// the same audio directly.
#include "app/MainState.h"
#include "convert/Conversion.h"
#include "joblist/JobList.h"
#include "synth/Synth.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace {

constexpr int Rate = 44100;
constexpr int Channels = 2;
constexpr int Minutes = 10;

long procStatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string k(key);
    while (std::getline(status, line))
        if (line.rfind(k, 0) == 0)
            return std::stol(line.substr(k.size()));
    return 0;
}

// Lets the next peak reading cover only the phase that follows.
void resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

double cpuSeconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// One Ogg Vorbis output at the join's default encoding (128 kbps nominal,
// rate management off), fed planar frames.
class DirectEncoder {
  public:
    explicit DirectEncoder(const QString& path) {
        f = std::fopen(QFile::encodeName(path).constData(), "wb");
        if (!f)
            throw std::runtime_error("cannot create output");
        vorbis_info_init(&vi);
        vorbis_encode_setup_managed(&vi, Channels, Rate, -1, 128000, -1);
        vorbis_encode_ctl(&vi, OV_ECTL_RATEMANAGE2_SET, nullptr);
        vorbis_encode_setup_init(&vi);
        vorbis_comment_init(&vc);
        vorbis_analysis_init(&vd, &vi);
        vorbis_block_init(&vd, &vb);
        ogg_stream_init(&os, 1);
        ogg_packet h, hc, hcode;
        vorbis_analysis_headerout(&vd, &vc, &h, &hc, &hcode);
        ogg_stream_packetin(&os, &h);
        ogg_stream_packetin(&os, &hc);
        ogg_stream_packetin(&os, &hcode);
        while (ogg_stream_flush(&os, &og))
            writePage();
    }
    ~DirectEncoder() {
        vorbis_analysis_wrote(&vd, 0);
        drain();
        while (ogg_stream_flush(&os, &og))
            writePage();
        ogg_stream_clear(&os);
        vorbis_block_clear(&vb);
        vorbis_dsp_clear(&vd);
        vorbis_comment_clear(&vc);
        vorbis_info_clear(&vi);
        std::fclose(f);
    }
    float** buffer(int frames) { return vorbis_analysis_buffer(&vd, frames); }
    void wrote(int frames) {
        vorbis_analysis_wrote(&vd, frames);
        drain();
    }

  private:
    void writePage() {
        std::fwrite(og.header, 1, size_t(og.header_len), f);
        std::fwrite(og.body, 1, size_t(og.body_len), f);
    }
    void drain() {
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og))
                    writePage();
            }
        }
    }

    FILE* f = nullptr;
    vorbis_info vi;
    vorbis_comment vc;
    vorbis_dsp_state vd;
    vorbis_block vb;
    ogg_stream_state os;
    ogg_page og;
};

// Decodes one source into the encoder; another format goes through
// libswresample straight into the encoder's buffer.
void appendDirect(DirectEncoder& enc, const QString& in) {
    OggVorbis_File vf;
    if (ov_fopen(QFile::encodeName(in).constData(), &vf) != 0)
        throw std::runtime_error("cannot open source");
    const vorbis_info* info = ov_info(&vf, -1);
    SwrContext* swr = nullptr;
    if (info->rate != Rate || info->channels != Channels) {
        AVChannelLayout inLayout, outLayout;
        av_channel_layout_default(&inLayout, info->channels);
        av_channel_layout_default(&outLayout, Channels);
        swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_FLTP, Rate, &inLayout,
                            AV_SAMPLE_FMT_FLTP, int(info->rate), 0, nullptr);
        if (info->channels == 1) {
            const double matrix[2] = {1.0, 1.0};
            swr_set_matrix(swr, matrix, 1);
        }
        if (!swr || swr_init(swr) < 0)
            throw std::runtime_error("cannot set up the resampler");
    }
    int section = 0;
    for (;;) {
        float** pcm = nullptr;
        const long n = ov_read_float(&vf, &pcm, 4096, &section);
        if (n <= 0)
            break;
        if (!swr) {
            float** buf = enc.buffer(int(n));
            for (int c = 0; c < Channels; ++c)
                std::copy(pcm[c], pcm[c] + n, buf[c]);
            enc.wrote(int(n));
            continue;
        }
        const int room = swr_get_out_samples(swr, int(n));
        float** buf = enc.buffer(room);
        const int got =
            swr_convert(swr, reinterpret_cast<uint8_t**>(buf), room,
                        const_cast<const uint8_t**>(reinterpret_cast<uint8_t**>(pcm)), int(n));
        enc.wrote(std::max(0, got));
    }
    if (swr) {
        const int room = swr_get_out_samples(swr, 0) + 64;
        float** buf = enc.buffer(room);
        const int got = swr_convert(swr, reinterpret_cast<uint8_t**>(buf), room, nullptr, 0);
        enc.wrote(std::max(0, got));
        swr_free(&swr);
    }
    ov_clear(&vf);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QStringList sources = {dir.filePath(QStringLiteral("a.ogg")),
                                 dir.filePath(QStringLiteral("b-mono.ogg")),
                                 dir.filePath(QStringLiteral("c.ogg"))};
    std::printf("synthesising three files of %d minutes (the second 22050 Hz mono)...\n", Minutes);
    std::fflush(stdout);
    synth::writeOgg(sources[0], std::int64_t(Minutes) * 60 * Rate, Rate, 2);
    synth::writeOgg(sources[1], std::int64_t(Minutes) * 60 * 22050, 22050, 1);
    synth::writeOgg(sources[2], std::int64_t(Minutes) * 60 * Rate, Rate, 2);

    // The machine may be shared: each measurement is taken several times,
    // alternating, and the best of each counts.
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    try {
        double bound = 1e300, run = 1e300, boundCpu = 1e300, runCpu = 1e300;
        long boundPeak = 0, runPeak = 0;
        for (int round = 0; round < rounds; ++round) {
            const QString boundOut = dir.filePath(QStringLiteral("bound.ogg"));
            resetPeak();
            auto start = std::chrono::steady_clock::now();
            double cpu = cpuSeconds();
            {
                DirectEncoder enc(boundOut);
                for (const QString& s : sources)
                    appendDirect(enc, s);
            }
            bound = std::min(bound, seconds(start));
            boundCpu = std::min(boundCpu, cpuSeconds() - cpu);
            boundPeak = std::max(boundPeak, procStatusKb("VmHWM:"));
            QFile::remove(boundOut);

            MainState state;
            JobList jobs(state);
            Conversion conversion(state, jobs);
            state.settings.SplitMode = Time;
            state.settings.OutputDir = dir.path() + QLatin1Char('/');
            state.pump = [] {};
            for (const QString& s : sources)
                jobs.AdmitFile(s, state.lv.rowCount(), JobList::AddFilesFloor);
            jobs.selectRow(0);
            const QString joined = dir.filePath(QStringLiteral("joined.ogg"));
            QFile::remove(joined);
            conversion.setJoinOutput(joined);

            resetPeak();
            start = std::chrono::steady_clock::now();
            cpu = cpuSeconds();
            conversion.JoinRun();
            run = std::min(run, seconds(start));
            runCpu = std::min(runCpu, cpuSeconds() - cpu);
            runPeak = std::max(runPeak, procStatusKb("VmHWM:"));
            if (conversion.lastRunFailed()) {
                std::printf("join failed: %s\n", qPrintable(conversion.lastError()));
                return 1;
            }
        }

        std::printf("joined %d minutes (best of %d rounds)\n", 3 * Minutes, rounds);
        std::printf("join run: %.2f s wall, %.2f s CPU, peak memory %ld kB\n", run, runCpu,
                    runPeak);
        std::printf("bound (libvorbisfile + libswresample + libvorbisenc): %.2f s wall, %.2f s "
                    "CPU, peak memory %ld kB\n",
                    bound, boundCpu, boundPeak);
        std::printf("join/bound CPU ratio: %.2f\n", runCpu / boundCpu);
        std::printf("join/bound ratio: %.2f\n", run / bound);
    } catch (const std::exception& e) {
        std::printf("failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
