// FLAC pieces of a native FLAC file without decoding and encoding it whole:
// a piece is the source's own frames wholly inside its span, renumbered as a
// variable-blocksize stream, between frames encoded afresh from the source's
// samples at the span's two ends only. STREAMINFO holds the piece's length,
// block and frame sizes and the MD5 of its samples, found by decoding the
// piece as written.
#pragma once

#include "audio/CopyCut.h"

#include <QString>
#include <memory>

// Its pieces hold comments.
class FlacCopyCut final : public CopyCut {
  public:
    enum class Fit {
        Copied,    // its pieces are cut from its frames
        ReEncoded, // not native FLAC, or a stream this cut does not take: decode and encode
        Damaged,   // a frame does not match its CRC-16: no piece over it is right
    };
    // How `path` is cut into FLAC pieces, and why not by copying (`why`).
    // Reads the whole file, once while it stays unchanged.
    static Fit fit(const QString& path, QString* why = nullptr);

    // Opens the source and finds its frames. Throws AudioError naming it.
    // The frames at the pieces' ends are encoded at libFLAC's `compression`.
    FlacCopyCut(const QString& path, int compression);
    ~FlacCopyCut() override;

    int sampleRate() const override;
    int channels() const override;
    int bitsPerSample() const;
    std::int64_t lengthFrames() const override;
    std::int64_t lengthMs() const override;

    // Without (false) the MD5 signature, which takes a decode of each piece:
    // STREAMINFO then says the signature is not known. For measuring only.
    void setSignatures(bool on);

    TagForm tagForm() const override { return TagForm::Comments; }
    // A FLAC file, written to a seekable `out`, with the comments in a
    // VORBIS_COMMENT block.
    void writePiece(QIODevice& out, std::int64_t begin, std::int64_t end,
                    const Tags& tags) override;

  private:
    struct State;

    std::unique_ptr<State> d;
};
