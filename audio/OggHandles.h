// Owners of libogg's and libvorbis's state: each is initialised when it is
// made and cleared however the code that holds it is left.
#pragma once

#include <ogg/ogg.h>
#include <vorbis/codec.h>

// The page reader over bytes fed to it.
class OggSync {
  public:
    OggSync() { ogg_sync_init(&m_state); }
    ~OggSync() { ogg_sync_clear(&m_state); }
    OggSync(const OggSync&) = delete;
    OggSync& operator=(const OggSync&) = delete;

    ogg_sync_state* get() { return &m_state; }

  private:
    ogg_sync_state m_state;
};

// One logical stream, pages in and packets out or the other way round.
class OggStream {
  public:
    explicit OggStream(int serial) { ogg_stream_init(&m_state, serial); }
    ~OggStream() { ogg_stream_clear(&m_state); }
    OggStream(const OggStream&) = delete;
    OggStream& operator=(const OggStream&) = delete;

    ogg_stream_state* get() { return &m_state; }

  private:
    ogg_stream_state m_state;
};

class VorbisInfo {
  public:
    VorbisInfo() { vorbis_info_init(&m_info); }
    ~VorbisInfo() { vorbis_info_clear(&m_info); }
    VorbisInfo(const VorbisInfo&) = delete;
    VorbisInfo& operator=(const VorbisInfo&) = delete;

    vorbis_info* get() { return &m_info; }
    const vorbis_info* get() const { return &m_info; }

  private:
    vorbis_info m_info;
};

class VorbisComment {
  public:
    VorbisComment() { vorbis_comment_init(&m_comment); }
    ~VorbisComment() { vorbis_comment_clear(&m_comment); }
    VorbisComment(const VorbisComment&) = delete;
    VorbisComment& operator=(const VorbisComment&) = delete;

    vorbis_comment* get() { return &m_comment; }

  private:
    vorbis_comment m_comment;
};

// The encoder's analysis state and its one working block, on a set-up
// vorbis_info that has to outlive them.
class VorbisAnalysis {
  public:
    explicit VorbisAnalysis(vorbis_info* info) {
        vorbis_analysis_init(&m_dsp, info);
        vorbis_block_init(&m_dsp, &m_block);
    }
    ~VorbisAnalysis() {
        vorbis_block_clear(&m_block);
        vorbis_dsp_clear(&m_dsp);
    }
    VorbisAnalysis(const VorbisAnalysis&) = delete;
    VorbisAnalysis& operator=(const VorbisAnalysis&) = delete;

    vorbis_dsp_state* dsp() { return &m_dsp; }
    vorbis_block* block() { return &m_block; }

  private:
    vorbis_dsp_state m_dsp;
    vorbis_block m_block;
};
