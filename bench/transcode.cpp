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
    enc.setFormat(kRate, kChannels, kKbps, 0, 0, -1);
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
    double seconds = 0;
    long peakGrowthKb = 0; // peak resident memory above the phase's start
};

// Runs the phase twice and keeps the faster time and the larger peak.
Measure measure(const std::function<void()>& phase)
{
    Measure best;
    best.seconds = 1e300;
    for (int run = 0; run < 2; ++run) {
        resetPeak();
        const long base = residentKb();
        const auto start = std::chrono::steady_clock::now();
        phase();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best.seconds = std::min(best.seconds, took.count());
        best.peakGrowthKb = std::max(best.peakGrowthKb, peakKb() - base);
    }
    return best;
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
        const QString outA = dir.filePath(QStringLiteral("audiofile%1.ogg").arg(minutes));
        const QString outB = dir.filePath(QStringLiteral("bound%1.ogg").arg(minutes));
        std::printf("synthesising %d minutes of %d Hz stereo...\n", minutes, kRate);
        std::fflush(stdout);
        synth::writeOgg(src, std::int64_t(minutes) * 60 * kRate, kRate, kChannels);

        const Measure bound = measure([&] { transcodeBound(src, outB); });
        std::printf("%2d min  bound:     %8.2f s  %8.1f x real time  peak +%ld kB\n", minutes,
                    bound.seconds, minutes * 60.0 / bound.seconds, bound.peakGrowthKb);
        std::fflush(stdout);

        const Measure viaEncoder = measure([&] { transcodeEncoder(src, outA); });
        std::printf("%2d min  OggEncoder:%8.2f s  %8.1f x real time  peak +%ld kB\n", minutes,
                    viaEncoder.seconds, minutes * 60.0 / viaEncoder.seconds, viaEncoder.peakGrowthKb);
        std::fflush(stdout);

        Measure viaFile;
        try {
            viaFile = measure([&] { transcodeAudioFile(src, outA); });
        } catch (const std::exception& e) {
            std::printf("%2d min  AudioFile: failed: %s\n", minutes, e.what());
            audioFileWorks = false;
        }
        if (audioFileWorks) {
            std::printf("%2d min  AudioFile: %8.2f s  %8.1f x real time  peak +%ld kB\n", minutes,
                        viaFile.seconds, minutes * 60.0 / viaFile.seconds, viaFile.peakGrowthKb);
            if (minutes == lengths.front()) {
                first = viaFile;
                ratio = viaFile.seconds / bound.seconds;
            }
            last = viaFile;
        }
        QFile::remove(src);
        QFile::remove(outA);
        QFile::remove(outB);
    }
    if (audioFileWorks && lengths.size() > 1 && first.peakGrowthKb > 0)
        std::printf("AudioFile peak memory, %d min against %d min: %+.1f %%\n", lengths.back(),
                    lengths.front(),
                    100.0 * double(last.peakGrowthKb - first.peakGrowthKb) / double(first.peakGrowthKb));
    std::printf("transcode/bound ratio: %.2f\n", ratio);
    return audioFileWorks ? 0 : 1;
}
