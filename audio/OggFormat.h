// One Ogg Vorbis encoding as the writer is given it: rate, channels and either
// a bitrate set-up or a quality.
#pragma once

// Shapes: (kbps, 0, 0, -1) nominal bitrate; (kbps, min, max, -1) managed
// between min and max; (0, 0, 0, q) quality driven with q in 0..1000.
struct OggFormat {
    int rate = 44100;
    int channels = 2;
    int kbps = 128;
    int minKbps = 0;
    int maxKbps = 0;
    int quality = -1;

    bool operator==(const OggFormat&) const = default;
};
