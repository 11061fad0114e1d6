// Owners of libogg's and libvorbis's state: each is initialised when it is
// made and cleared however the code that holds it is left.
#pragma once

#include <ogg/ogg.h>
#include <vorbis/codec.h>

// One state of the libraries, cleared by `clear` when its owner goes; the
// owner initialises it in its constructor.
template <typename State, auto clear> class ClearedState {
  public:
    ~ClearedState() { clear(&m_state); }
    ClearedState(const ClearedState&) = delete;
    ClearedState& operator=(const ClearedState&) = delete;

    State* get() { return &m_state; }
    const State* get() const { return &m_state; }

  protected:
    ClearedState() = default;

    State m_state;
};

// The page reader over bytes fed to it.
class OggSync : public ClearedState<ogg_sync_state, ogg_sync_clear> {
  public:
    OggSync() { ogg_sync_init(&m_state); }
};

// One logical stream, pages in and packets out or the other way round.
class OggStream : public ClearedState<ogg_stream_state, ogg_stream_clear> {
  public:
    explicit OggStream(int serial) { ogg_stream_init(&m_state, serial); }
};

class VorbisInfo : public ClearedState<vorbis_info, vorbis_info_clear> {
  public:
    VorbisInfo() { vorbis_info_init(&m_state); }
};

class VorbisComment : public ClearedState<vorbis_comment, vorbis_comment_clear> {
  public:
    VorbisComment() { vorbis_comment_init(&m_state); }
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
