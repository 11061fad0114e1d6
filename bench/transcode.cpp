// Measures Ogg Vorbis to Ogg Vorbis transcoding through AudioFile against a
// plain libvorbisfile + libvorbisenc loop, for time and peak memory.
#include "audio/AudioError.h"
#include "audio/AudioFile.h"
#include "audio/OggEncoder.h"
#include "synth/Synth.h"

#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <fstream>
#include <malloc.h>
#include <time.h>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

namespace {

constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kKbps = 128;

// Peak resident memory since the last reset, in kB (Linux; 0 elsewhere).
long peakKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

// Lets the next peakKb() report only what the coming phase uses.
void resetPeak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

// Through the program's own reader and writer, as a split or join run does.
void transcodeAudioFile(const QString& in, const QString& out)
{
    AudioFile reader;
    reader.OpenRead(in);
    AudioFile writer;
    writer.SetOggFormat(kRate, kChannels, kKbps, 0, 0, -1);
    writer.SetPcmFormat(reader.SampleRate(), reader.Channels());
    writer.CreateWrite(out);
    const std::int64_t block = std::int64_t(reader.SampleRate()) * reader.Channels();
    for (;;) {
        SampleBlock b = reader.ReadSamples(block);
        if (b.empty())
            break;
        writer.WriteSamples(b);
    }
    writer.Close();
    reader.Close();
}

void writePage(FILE* f, const ogg_page& page)
{
    std::fwrite(page.header, 1, size_t(page.header_len), f);
    std::fwrite(page.body, 1, size_t(page.body_len), f);
}

// The bound: the same decoder and the same encoder set-up in one loop.
void transcodeBound(const QString& in, const QString& out)
{
    OggVorbis_File vf;
    if (ov_fopen(QFile::encodeName(in).constData(), &vf) != 0)
        throw std::runtime_error("cannot open the source");
    FILE* f = std::fopen(QFile::encodeName(out).constData(), "wb");
    if (!f) {
        ov_clear(&vf);
        throw std::runtime_error("cannot create the output");
    }
    vorbis_info vi;
    vorbis_info_init(&vi);
    vorbis_encode_setup_managed(&vi, kChannels, kRate, -1, kKbps * 1000, -1);
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
    ogg_packet h0, h1, h2;
    vorbis_analysis_headerout(&vd, &vc, &h0, &h1, &h2);
    ogg_stream_packetin(&os, &h0);
    ogg_stream_packetin(&os, &h1);
    ogg_stream_packetin(&os, &h2);
    ogg_page og;
    while (ogg_stream_flush(&os, &og))
        writePage(f, og);

    auto drain = [&] {
        ogg_packet op;
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og))
                    writePage(f, og);
            }
        }
    };
    for (;;) {
        float** pcm = nullptr;
        int section = 0;
        const long n = ov_read_float(&vf, &pcm, 4096, &section);
        if (n <= 0)
            break;
        float** buf = vorbis_analysis_buffer(&vd, int(n));
        for (int c = 0; c < kChannels; ++c)
            std::memcpy(buf[c], pcm[c], size_t(n) * sizeof(float));
        vorbis_analysis_wrote(&vd, int(n));
        drain();
    }
    vorbis_analysis_wrote(&vd, 0);
    drain();
    while (ogg_stream_flush(&os, &og))
        writePage(f, og);
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    std::fclose(f);
    ov_clear(&vf);
}

// The bound's decoding with the program's encoder: shows what the encoder
// alone adds, apart from the reader.
void transcodeEncoder(const QString& in, const QString& out)
{
    OggVorbis_File vf;
    if (ov_fopen(QFile::encodeName(in).constData(), &vf) != 0)
        throw std::runtime_error("cannot open the source");
    OggEncoder enc;
    enc.setFormat({kRate, kChannels, kKbps, 0, 0, -1});
    enc.open(out);
    std::vector<float> interleaved;
    for (;;) {
        float** pcm = nullptr;
        int section = 0;
        const long n = ov_read_float(&vf, &pcm, 4096, &section);
        if (n <= 0)
            break;
        interleaved.resize(size_t(n) * kChannels);
        for (long i = 0; i < n; ++i)
            for (int c = 0; c < kChannels; ++c)
                interleaved[size_t(i * kChannels + c)] = pcm[c][i];
        enc.write(interleaved.data(), n);
    }
    enc.close();
    ov_clear(&vf);
}

struct Measure {
    double wall = 1e300; // seconds, the faster run
    double cpu = 1e300;  // seconds of this process's processor time, the faster run
    long peakKb = 0;     // peak resident memory during the phase, the larger run
    long growthKb = 0;   // of which above the resident memory at its start
    bool failed = false;
    std::string error;
};

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// One run of a phase. The heap is trimmed first so that memory freed by an
// earlier phase does not hide what this one needs.
void runOnce(Measure& m, const std::function<void()>& phase)
{
    if (m.failed)
        return;
    malloc_trim(0);
    resetPeak();
    const long base = residentKb();
    const double cpu0 = cpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    try {
        phase();
    } catch (const std::exception& e) {
        m.failed = true;
        m.error = e.what();
        return;
    }
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    m.wall = std::min(m.wall, took.count());
    m.cpu = std::min(m.cpu, cpuSeconds() - cpu0);
    const long peak = peakKb();
    m.peakKb = std::max(m.peakKb, peak);
    m.growthKb = std::max(m.growthKb, peak - base);
}

void print(int minutes, const char* what, const Measure& m)
{
    if (m.failed)
        std::printf("%2d min  %-10s failed: %s\n", minutes, what, m.error.c_str());
    else
        std::printf("%2d min  %-10s wall %7.2f s  cpu %7.2f s  %6.1f x real time  peak %7ld kB (+%ld kB)\n",
                    minutes, what, m.wall, m.cpu, minutes * 60.0 / m.cpu, m.peakKb, m.growthKb);
}

} // namespace

int main(int argc, char** argv)
{
    // Lengths in minutes; the first is the one the ratio is given for.
    std::vector<int> lengths;
    for (int i = 1; i < argc; ++i)
        lengths.push_back(std::atoi(argv[i]));
    if (lengths.empty())
        lengths = {10, 60};

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder\n");
        return 1;
    }
    double ratio = 0;
    Measure first, last;
    bool audioFileWorks = true;
    for (int minutes : lengths) {
        const QString src = dir.filePath(QStringLiteral("src%1.ogg").arg(minutes));
        const QString out = dir.filePath(QStringLiteral("out%1.ogg").arg(minutes));
        std::printf("synthesising %d minutes of %d Hz stereo...\n", minutes, kRate);
        std::fflush(stdout);
        synth::writeOgg(src, std::int64_t(minutes) * 60 * kRate, kRate, kChannels);

        // The runs alternate so that a busy spell of the machine hits all
        // three alike; processor time is less disturbed by it than wall time.
        Measure bound, viaEncoder, viaFile;
        for (int run = 0; run < 2; ++run) {
            runOnce(bound, [&] { transcodeBound(src, out); });
            runOnce(viaEncoder, [&] { transcodeEncoder(src, out); });
            runOnce(viaFile, [&] { transcodeAudioFile(src, out); });
        }
        print(minutes, "bound", bound);
        print(minutes, "OggEncoder", viaEncoder);
        print(minutes, "AudioFile", viaFile);
        std::fflush(stdout);
        if (viaFile.failed || bound.failed) {
            audioFileWorks = false;
        } else {
            if (minutes == lengths.front()) {
                first = viaFile;
                ratio = viaFile.cpu / bound.cpu;
                std::printf("%2d min  wall-time ratio: %.2f\n", minutes, viaFile.wall / bound.wall);
            }
            last = viaFile;
        }
        QFile::remove(src);
        QFile::remove(out);
    }
    if (audioFileWorks && lengths.size() > 1 && first.peakKb > 0)
        std::printf("AudioFile peak memory, %d min against %d min: %+.1f %%\n", lengths.back(),
                    lengths.front(), 100.0 * double(last.peakKb - first.peakKb) / double(first.peakKb));
    std::printf("transcode/bound ratio: %.2f\n", ratio);
    return audioFileWorks ? 0 : 1;
}
