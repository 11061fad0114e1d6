// What the benchmarks share: measuring one phase (wall and processor time,
// peak memory) and the plain libvorbisfile + libvorbisenc bound they compare with.
#pragma once

#include "synth/Synth.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>
#include <fstream>
#include <functional>
#include <malloc.h>
#include <stdexcept>
#include <string>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace bench {

// CD audio: the format of the benchmarks' full-size sources.
constexpr int CdRate = 44100;
constexpr int CdChannels = 2;

// A "Key:  value kB" line of /proc/self/status (Linux; 0 elsewhere).
inline long procStatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string k(key);
    while (std::getline(status, line))
        if (line.rfind(k, 0) == 0)
            return std::stol(line.substr(k.size()));
    return 0;
}

// Lets the next peak reading cover only the phase that follows.
inline void resetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

// This process's processor time.
inline double cpuSeconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}

inline double wallSeconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The best of several runs of one phase. The machine may be shared: callers
// alternate the phases they compare so that a busy spell hits all alike.
struct Measure {
    double wall = 1e300; // seconds, the faster run
    double cpu = 1e300;  // seconds of this process's processor time, the faster run
    long peakKb = 0;     // peak resident memory during the phase, the larger run
    long growthKb = 0;   // of which above the resident memory at its start
    bool failed = false;
    std::string error;
};

// One run of a phase; a failure is kept in `m` and ends its measuring. The heap
// is trimmed first so that memory freed by an earlier phase does not hide what
// this one needs.
inline void runOnce(Measure& m, const std::function<void()>& phase) {
    if (m.failed)
        return;
    malloc_trim(0);
    resetPeak();
    const long base = procStatusKb("VmRSS:");
    const double cpu0 = cpuSeconds();
    double wall = 0;
    try {
        wall = wallSeconds(phase);
    } catch (const std::exception& e) {
        m.failed = true;
        m.error = e.what();
        return;
    }
    m.wall = std::min(m.wall, wall);
    m.cpu = std::min(m.cpu, cpuSeconds() - cpu0);
    const long peak = procStatusKb("VmHWM:");
    m.peakKb = std::max(m.peakKb, peak);
    m.growthKb = std::max(m.growthKb, peak - base);
}

// Decodes `in` with libvorbisfile into `out`; a source in another rate or
// channel count goes through libswresample straight into the encoder's buffer.
inline void appendDecoded(synth::VorbisWriter& out, const QString& in, int rate, int channels) {
    synth::OggBlocks blocks(in);
    SwrContext* swr = nullptr;
    if (blocks.rate() != rate || blocks.channels() != channels) {
        AVChannelLayout inLayout, outLayout;
        av_channel_layout_default(&inLayout, blocks.channels());
        av_channel_layout_default(&outLayout, channels);
        swr_alloc_set_opts2(&swr, &outLayout, AV_SAMPLE_FMT_FLTP, rate, &inLayout,
                            AV_SAMPLE_FMT_FLTP, blocks.rate(), 0, nullptr);
        if (swr && blocks.channels() == 1 && channels == 2) {
            const double matrix[2] = {1.0, 1.0};
            swr_set_matrix(swr, matrix, 1);
        }
        if (!swr || swr_init(swr) < 0) {
            swr_free(&swr);
            throw std::runtime_error("cannot set up the resampler");
        }
    }
    float** pcm = nullptr;
    while (const long n = blocks.next(pcm)) {
        if (!swr) {
            float** buf = out.buffer(int(n));
            for (int c = 0; c < channels; ++c)
                std::copy(pcm[c], pcm[c] + n, buf[c]);
            out.wrote(int(n));
            continue;
        }
        const int room = swr_get_out_samples(swr, int(n));
        float** buf = out.buffer(room);
        const int got =
            swr_convert(swr, reinterpret_cast<uint8_t**>(buf), room,
                        const_cast<const uint8_t**>(reinterpret_cast<uint8_t**>(pcm)), int(n));
        out.wrote(std::max(0, got));
    }
    if (swr) {
        const int room = swr_get_out_samples(swr, 0) + 64;
        float** buf = out.buffer(room);
        const int got = swr_convert(swr, reinterpret_cast<uint8_t**>(buf), room, nullptr, 0);
        out.wrote(std::max(0, got));
        swr_free(&swr);
    }
}

// The bound of a run: the sources decoded and encoded in one plain loop at
// the program's default encoding (`kbps` nominal, rate management off).
inline void transcodeBound(const QStringList& sources, const QString& out, int rate, int channels,
                           int kbps = 128) {
    synth::VorbisWriter writer(out, rate, channels, kbps);
    for (const QString& in : sources)
        appendDecoded(writer, in, rate, channels);
    writer.finish();
}

// How many rounds a benchmark measures: its first argument (at least 1), or
// `fallback` without one.
inline int roundsArgument(int argc, char** argv, int fallback) {
    return argc > 1 ? std::max(1, std::atoi(argv[1])) : fallback;
}

// A run measured against its bound, `rounds` times each, alternating. Each
// round first makes the bound of `sources` into `boundOut` (removed again),
// then lets `prepare` set up the run untimed and times `run`. False, with
// the first failure printed, when either failed.
inline bool measureAgainstBound(
    Measure& run, Measure& bound, int rounds, const QStringList& sources, const QString& boundOut,
    int rate, int channels, const std::function<void()>& timed,
    const std::function<void()>& prepare = [] {}) {
    for (int round = 0; round < rounds; ++round) {
        runOnce(bound, [&] { transcodeBound(sources, boundOut, rate, channels); });
        QFile::remove(boundOut);
        prepare();
        runOnce(run, timed);
    }
    if (bound.failed || run.failed) {
        std::printf("failed: %s\n", (bound.failed ? bound : run).error.c_str());
        return false;
    }
    return true;
}

// The figures of a run beside its bound's, `boundWhat` naming the libraries
// of the bound; last the "<name>/bound" ratios, by processor time and by the clock.
inline void printAgainstBound(const char* name, const char* boundWhat, const Measure& run,
                              const Measure& bound) {
    std::printf("%s run: %.2f s wall, %.2f s CPU, peak memory %ld kB\n", name, run.wall, run.cpu,
                run.peakKb);
    std::printf("bound (%s): %.2f s wall, %.2f s CPU, peak memory %ld kB\n", boundWhat, bound.wall,
                bound.cpu, bound.peakKb);
    std::printf("%s/bound CPU ratio: %.2f\n", name, run.cpu / bound.cpu);
    std::printf("%s/bound ratio: %.2f\n", name, run.wall / bound.wall);
}

// A stereo Ogg Vorbis file of tones of 4 to 9 s with pauses of 0.4 to 2 s,
// over noise at -60 dBFS: speech-like material for the scans of the sound.
inline void writeTonesAndPauses(const QString& path, double seconds, int rate) {
    synth::VorbisWriter writer(path, rate, 2);
    std::uint32_t seed = 1;
    const auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return double(seed >> 8) / double(1 << 24);
    };
    const std::int64_t total = std::llround(seconds * rate);
    std::int64_t at = 0;
    bool tone = true;
    while (at < total) {
        const std::int64_t n = std::min<std::int64_t>(
            total - at, std::llround((tone ? 4 + 5 * next() : 0.4 + 1.6 * next()) * rate));
        for (std::int64_t done = 0; done < n;) {
            const int frames = int(std::min<std::int64_t>(4096, n - done));
            float** buf = writer.buffer(frames);
            for (int i = 0; i < frames; ++i) {
                const double t = double(at + done + i) / rate;
                const double s = tone ? 0.3 * std::sin(2 * M_PI * 220 * t) : 0.0;
                buf[0][i] = float(s + 0.0017 * (2 * next() - 1));
                buf[1][i] = float(s * 0.8 + 0.0017 * (2 * next() - 1));
            }
            writer.wrote(frames);
            done += frames;
        }
        at += n;
        tone = !tone;
    }
    writer.finish();
}

// Minutes of sound the scans are measured on: CADELO_BENCH_MINUTES, else 60.
inline double soundMinutes() {
    return qEnvironmentVariableIsSet("CADELO_BENCH_MINUTES")
               ? qEnvironmentVariable("CADELO_BENCH_MINUTES").toDouble()
               : 60.0;
}

// Writes the source the scans of the sound are measured on to `path`:
// soundMinutes() of writeTonesAndPauses at CD rate, said as it starts.
inline void writeSoundSource(const QString& path) {
    std::printf("writing %.0f minutes of 44.1 kHz stereo Ogg Vorbis...\n", soundMinutes());
    std::fflush(stdout);
    writeTonesAndPauses(path, soundMinutes() * 60, CdRate);
}

} // namespace bench
