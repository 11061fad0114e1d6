// Measures the Time split of a 30-minute file into pieces of 60 s through the
// real split run, against decoding and encoding the same audio directly.
#include "app/MainState.h"
#include "audio/AudioError.h"
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

namespace {

constexpr int Rate = 44100;
constexpr int Channels = 2;
constexpr int Minutes = 30;

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

// Decodes `in` with libvorbisfile and encodes it with libvorbisenc at the
// split's default encoding (128 kbps nominal, rate management off).
void directTranscode(const QString& in, const QString& out) {
    OggVorbis_File vf;
    if (ov_fopen(QFile::encodeName(in).constData(), &vf) != 0)
        throw std::runtime_error("cannot open source");
    FILE* f = std::fopen(QFile::encodeName(out).constData(), "wb");
    if (!f)
        throw std::runtime_error("cannot create output");
    vorbis_info vi;
    vorbis_info_init(&vi);
    vorbis_encode_setup_managed(&vi, Channels, Rate, -1, 128000, -1);
    vorbis_encode_ctl(&vi, OV_ECTL_RATEMANAGE2_SET, nullptr);
    vorbis_encode_setup_init(&vi);
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 1);
    ogg_packet h, hc, hcode;
    vorbis_analysis_headerout(&vd, &vc, &h, &hc, &hcode);
    ogg_stream_packetin(&os, &h);
    ogg_stream_packetin(&os, &hc);
    ogg_stream_packetin(&os, &hcode);
    ogg_page og;
    auto writePage = [&] {
        std::fwrite(og.header, 1, size_t(og.header_len), f);
        std::fwrite(og.body, 1, size_t(og.body_len), f);
    };
    while (ogg_stream_flush(&os, &og))
        writePage();
    auto drain = [&] {
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
    };
    int section = 0;
    for (;;) {
        float** pcm = nullptr;
        const long n = ov_read_float(&vf, &pcm, 4096, &section);
        if (n <= 0)
            break;
        float** buf = vorbis_analysis_buffer(&vd, int(n));
        for (int c = 0; c < Channels; ++c)
            std::copy(pcm[c], pcm[c] + n, buf[c]);
        vorbis_analysis_wrote(&vd, int(n));
        drain();
    }
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
    ov_clear(&vf);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const QString source = dir.filePath(QStringLiteral("long.ogg"));
    const QString outDir = dir.filePath(QStringLiteral("out")) + QLatin1Char('/');
    QDir().mkpath(outDir);

    std::printf("synthesising %d minutes of %d Hz stereo...\n", Minutes, Rate);
    std::fflush(stdout);
    synth::writeOgg(source, std::int64_t(Minutes) * 60 * Rate, Rate, Channels);

    // The machine may be shared: each measurement is taken several times,
    // alternating, and the best of each counts.
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2;
    try {
        double bound = 1e300, run = 1e300, boundCpu = 1e300, runCpu = 1e300;
        long boundPeak = 0, runPeak = 0;
        qsizetype pieces = 0;
        for (int round = 0; round < rounds; ++round) {
            resetPeak();
            auto start = std::chrono::steady_clock::now();
            double cpu = cpuSeconds();
            directTranscode(source, dir.filePath(QStringLiteral("bound.ogg")));
            bound = std::min(bound, seconds(start));
            boundCpu = std::min(boundCpu, cpuSeconds() - cpu);
            boundPeak = std::max(boundPeak, procStatusKb("VmHWM:"));
            QFile::remove(dir.filePath(QStringLiteral("bound.ogg")));

            QDir(outDir).removeRecursively();
            QDir().mkpath(outDir);
            MainState state;
            JobList jobs(state);
            Conversion conversion(state, jobs);
            state.settings.SplitMode = Time;
            state.settings.SplitSeconds = 60;
            state.settings.OutputDir = outDir;
            state.pump = [] {};
            jobs.AdmitFile(source, 0, JobList::AddFilesFloor);
            jobs.selectRow(0);

            resetPeak();
            start = std::chrono::steady_clock::now();
            cpu = cpuSeconds();
            conversion.SplitRun();
            run = std::min(run, seconds(start));
            runCpu = std::min(runCpu, cpuSeconds() - cpu);
            runPeak = std::max(runPeak, procStatusKb("VmHWM:"));
            if (conversion.lastRunFailed()) {
                std::printf("split failed: %s\n", qPrintable(conversion.lastError()));
                return 1;
            }
            pieces = conversion.lastOutputs().size();
        }

        // 1800 s is an exact multiple of 60 s: the Time split adds an empty 31st piece.
        std::printf("pieces written: %lld (best of %d rounds)\n", static_cast<long long>(pieces),
                    rounds);
        std::printf("split run: %.2f s wall, %.2f s CPU, peak memory %ld kB\n", run, runCpu,
                    runPeak);
        std::printf("bound (libvorbisfile + libvorbisenc): %.2f s wall, %.2f s CPU, peak memory "
                    "%ld kB\n",
                    bound, boundCpu, boundPeak);
        std::printf("split/bound CPU ratio: %.2f\n", runCpu / boundCpu);
        std::printf("split/bound ratio: %.2f\n", run / bound);
    } catch (const std::exception& e) {
        std::printf("failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
