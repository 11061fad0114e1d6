#include "synth/Synth.h"

#include <QFile>
#include <QProcess>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <vorbis/codec.h>
#include <vorbis/vorbisenc.h>
#include <vorbis/vorbisfile.h>

namespace synth {

float toneSample(std::int64_t i, int ch, int rate, double freq) {
    const double f = freq * (1.0 + 0.5 * ch);
    return static_cast<float>(0.5 * std::sin(2.0 * M_PI * f * double(i) / double(rate)));
}

std::vector<float> tone(std::int64_t frames, int rate, int channels, double freq) {
    std::vector<float> out(static_cast<size_t>(frames * channels));
    for (std::int64_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out[size_t(i * channels + c)] = toneSample(i, c, rate, freq);
    return out;
}

struct VorbisWriter::State {
    FILE* file = nullptr;
    vorbis_info vi;
    vorbis_comment vc;
    vorbis_dsp_state vd;
    vorbis_block vb;
    ogg_stream_state os;
    bool finished = false;

    void writePage(const ogg_page& page) {
        std::fwrite(page.header, 1, size_t(page.header_len), file);
        std::fwrite(page.body, 1, size_t(page.body_len), file);
    }

    // Moves every finished block through analysis into pages on disk.
    void drain() {
        ogg_packet op;
        ogg_page og;
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            while (vorbis_bitrate_flushpacket(&vd, &op)) {
                ogg_stream_packetin(&os, &op);
                while (ogg_stream_pageout(&os, &og))
                    writePage(og);
            }
        }
    }

    void flush() {
        ogg_page og;
        while (ogg_stream_flush(&os, &og))
            writePage(og);
    }
};

VorbisWriter::VorbisWriter(const QString& path, int rate, int channels, int kbps, float quality)
    : d(std::make_unique<State>()) {
    vorbis_info_init(&d->vi);
    const bool accepted =
        kbps > 0
            ? vorbis_encode_setup_managed(&d->vi, channels, rate, -1, long(kbps) * 1000, -1) == 0 &&
                  vorbis_encode_ctl(&d->vi, OV_ECTL_RATEMANAGE2_SET, nullptr) == 0 &&
                  vorbis_encode_setup_init(&d->vi) == 0
            : vorbis_encode_init_vbr(&d->vi, channels, rate, quality) == 0;
    if (!accepted) {
        vorbis_info_clear(&d->vi);
        throw std::runtime_error("libvorbisenc refused the encoding");
    }
    d->file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!d->file) {
        vorbis_info_clear(&d->vi);
        throw std::runtime_error("cannot create " + path.toStdString());
    }
    vorbis_comment_init(&d->vc);
    vorbis_analysis_init(&d->vd, &d->vi);
    vorbis_block_init(&d->vd, &d->vb);
    ogg_stream_init(&d->os, 12345);
    ogg_packet h, hc, hcode;
    vorbis_analysis_headerout(&d->vd, &d->vc, &h, &hc, &hcode);
    ogg_stream_packetin(&d->os, &h);
    ogg_stream_packetin(&d->os, &hc);
    ogg_stream_packetin(&d->os, &hcode);
    d->flush();
}

VorbisWriter::~VorbisWriter() {
    ogg_stream_clear(&d->os);
    vorbis_block_clear(&d->vb);
    vorbis_dsp_clear(&d->vd);
    vorbis_comment_clear(&d->vc);
    vorbis_info_clear(&d->vi);
    std::fclose(d->file);
}

float** VorbisWriter::buffer(int frames) {
    return vorbis_analysis_buffer(&d->vd, frames);
}

void VorbisWriter::wrote(int frames) {
    vorbis_analysis_wrote(&d->vd, frames);
    d->drain();
}

void VorbisWriter::finish() {
    if (d->finished)
        return;
    d->finished = true;
    wrote(0);
    d->flush();
}

void writeOgg(const QString& path, std::int64_t frames, int rate, int channels, double freq) {
    VorbisWriter writer(path, rate, channels);
    const std::int64_t chunk = 4096;
    for (std::int64_t done = 0; done < frames;) {
        const std::int64_t n = std::min(chunk, frames - done);
        float** buf = writer.buffer(int(n));
        for (std::int64_t i = 0; i < n; ++i)
            for (int c = 0; c < channels; ++c)
                buf[c][i] = toneSample(done + i, c, rate, freq);
        writer.wrote(int(n));
        done += n;
    }
    writer.finish();
}

void writeWav(const QString& path, const std::vector<float>& samples, int rate, int channels) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot create " + path.toStdString());
    auto u32 = [&](quint32 v) { f.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](quint16 v) { f.write(reinterpret_cast<const char*>(&v), 2); };
    const quint32 dataBytes = quint32(samples.size() * 2);
    f.write("RIFF");
    u32(36 + dataBytes);
    f.write("WAVEfmt ");
    u32(16);
    u16(1);
    u16(quint16(channels));
    u32(quint32(rate));
    u32(quint32(rate * channels * 2));
    u16(quint16(channels * 2));
    u16(16);
    f.write("data");
    u32(dataBytes);
    std::vector<qint16> pcm(samples.size());
    for (size_t i = 0; i < samples.size(); ++i)
        pcm[i] = qint16(std::lround(std::clamp(samples[i], -1.0f, 1.0f) * 32767.0f));
    f.write(reinterpret_cast<const char*>(pcm.data()), qint64(pcm.size() * 2));
}

bool run(const QString& program, const QStringList& args, int timeoutMs) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return false;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool makeMp3(const QString& wavPath, const QString& mp3Path, int kbps) {
    return run(QStringLiteral("lame"), {QStringLiteral("--quiet"), QStringLiteral("-b"),
                                        QString::number(kbps), wavPath, mp3Path});
}

bool makeWma(const QString& wavPath, const QString& wmaPath, int kbps) {
    return run(QStringLiteral("ffmpeg"),
               {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"),
                QStringLiteral("-y"), QStringLiteral("-i"), wavPath, QStringLiteral("-c:a"),
                QStringLiteral("wmav2"), QStringLiteral("-b:a"),
                QString::number(kbps) + QLatin1Char('k'), wmaPath});
}

struct OggBlocks::State {
    OggVorbis_File vf;
    int section = 0;
};

OggBlocks::OggBlocks(const QString& path) : d(std::make_unique<State>()) {
    if (ov_fopen(QFile::encodeName(path).constData(), &d->vf) != 0)
        throw std::runtime_error("cannot decode " + path.toStdString());
}

OggBlocks::~OggBlocks() {
    ov_clear(&d->vf);
}

int OggBlocks::rate() const {
    return int(ov_info(&d->vf, -1)->rate);
}

int OggBlocks::channels() const {
    return ov_info(&d->vf, -1)->channels;
}

long OggBlocks::next(float**& pcm, int maxFrames) {
    return std::max(0L, ov_read_float(&d->vf, &pcm, maxFrames, &d->section));
}

Decoded decodeOgg(const QString& path) {
    OggBlocks blocks(path);
    Decoded d;
    d.rate = blocks.rate();
    d.channels = blocks.channels();
    float** pcm = nullptr;
    while (const long n = blocks.next(pcm))
        for (long i = 0; i < n; ++i)
            for (int c = 0; c < d.channels; ++c)
                d.samples.push_back(pcm[c][i]);
    return d;
}

} // namespace synth
