// The reader's back ends that are part of the program (FFmpeg's comes in a
// module of its own). DecoderFactory picks among them by a file's content.
#pragma once

#include "audio/Decoder.h"

#include <memory>

// Ogg Vorbis, on libvorbisfile. Throws AudioError naming the file when it is
// not a readable Ogg Vorbis stream or holds no audio.
std::unique_ptr<Decoder> openVorbisDecoder(const QString& path);
// MP3, on libmpg123. Throws AudioError naming the file when libmpg123 finds
// no MPEG audio stream in it or the stream holds no audio.
std::unique_ptr<Decoder> openMpg123Decoder(const QString& path);
