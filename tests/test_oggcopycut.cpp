// Cuts of Ogg Vorbis files without re-encoding: every piece decodes to exactly
// its span of the source's decode, bit for bit, passes ogginfo, carries its
// comments; files that cannot be cut so are named with the reason.
#include "audio/OggCopyCut.h"
#include "audio/OggPageReader.h"
#include "synth/Synth.h"

#include "support/Printing.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ogg/ogg.h>
#include <vorbis/vorbisfile.h>

namespace {

using testsupport::PrintTo;

constexpr int Rate = 44100;
constexpr std::int64_t SourceFrames = 5 * Rate + 777;
constexpr std::int64_t End = -1; // the source's last frame

class CopyCutFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        source = dir.filePath(QStringLiteral("source.ogg"));
        synth::writeOgg(source, SourceFrames, Rate, 2, 440.0);
        decoded = synth::decodeOgg(source);
        ASSERT_EQ(decoded.frames(), SourceFrames);
    }

    // Cuts [begin, end) with `cut` into a new file and decodes it.
    synth::Decoded cutPiece(CopyCut& cut, std::int64_t begin, std::int64_t end,
                            const QList<QByteArray>& comments = {}) {
        const QString path = dir.filePath(QStringLiteral("piece%1.ogg").arg(++pieces));
        QFile out(path);
        EXPECT_TRUE(out.open(QIODevice::WriteOnly));
        cut.writePiece(out, begin, end, {{}, comments});
        out.close();
        lastPiece = path;
        return synth::decodeOgg(path);
    }

    // The source's decode from frame `begin` for `frames` frames.
    std::vector<float> span(std::int64_t begin, std::int64_t frames) const {
        const auto from = decoded.samples.begin() + std::ptrdiff_t(begin * 2);
        return std::vector<float>(from, from + std::ptrdiff_t(frames * 2));
    }

    // ogginfo's verdict: empty when it found nothing to warn about.
    static QString ogginfoComplaint(const QString& path) {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("ogginfo"));
        if (program.isEmpty())
            return QString();
        QProcess p;
        p.start(program, {path});
        if (!p.waitForFinished(60000))
            return QStringLiteral("ogginfo did not finish");
        const QString text =
            QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
        if (p.exitCode() != 0 || text.contains(QStringLiteral("WARNING")) ||
            text.contains(QStringLiteral("ERROR")))
            return text;
        return QString();
    }

    QByteArray pagesOf(const QString& path) const {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }

    QTemporaryDir dir;
    QString source;
    synth::Decoded decoded;
    QString lastPiece;
    int pieces = 0;
};

struct CutCase {
    const char* name;
    std::int64_t begin;
    std::int64_t end; // End: the source's end
};
class CopyCutSpans : public CopyCutFixture, public ::testing::WithParamInterface<CutCase> {};

} // namespace

TEST_P(CopyCutSpans, DecodeToExactlyTheSpanOfTheSource) {
    const CutCase& p = GetParam();
    const std::int64_t end = p.end == End ? SourceFrames : std::min(p.end, SourceFrames);
    const std::unique_ptr<CopyCut> cut = OggCopyCut::open(source);
    EXPECT_EQ(cut->sampleRate(), Rate);
    EXPECT_EQ(cut->channels(), 2);
    const synth::Decoded piece = cutPiece(*cut, p.begin, p.end == End ? SourceFrames : p.end);
    ASSERT_EQ(piece.frames(), std::max<std::int64_t>(0, end - p.begin));
    EXPECT_EQ(piece.rate, Rate);
    EXPECT_TRUE(piece.samples == span(p.begin, piece.frames())) << "not bit-identical";
    EXPECT_EQ(ogginfoComplaint(lastPiece), QString());
}

INSTANTIATE_TEST_SUITE_P(CutPoints, CopyCutSpans,
                         ::testing::Values(CutCase{"whole file", 0, End},
                                           CutCase{"from the start", 0, Rate},
                                           CutCase{"mid packet both ends", 12345, 3 * Rate + 17},
                                           CutCase{"to the end", 2 * Rate + 333, End},
                                           CutCase{"past the end", 4 * Rate, 9 * Rate},
                                           CutCase{"one packet long", 70001, 72049},
                                           CutCase{"empty", 2 * Rate, 2 * Rate},
                                           CutCase{"beginning past the end", 6 * Rate, 7 * Rate}));

TEST_F(CopyCutFixture, PiecesOneAfterTheOtherMakeUpTheSourceAndMayGoBack) {
    const std::unique_ptr<CopyCut> cut = OggCopyCut::open(source);
    std::vector<float> joined;
    for (std::int64_t begin = 0; begin < SourceFrames; begin += 2 * Rate) {
        const synth::Decoded piece = cutPiece(*cut, begin, begin + 2 * Rate);
        joined.insert(joined.end(), piece.samples.begin(), piece.samples.end());
    }
    EXPECT_TRUE(joined == decoded.samples);
    // A span before the last one read starts the reading again.
    const synth::Decoded again = cutPiece(*cut, 1000, 30000);
    EXPECT_TRUE(again.samples == span(1000, 29000));
}

TEST_F(CopyCutFixture, APieceCarriesItsCommentsAndANewSerial) {
    const std::unique_ptr<CopyCut> cut = OggCopyCut::open(source);
    cutPiece(*cut, 0, Rate, {"TITLE=Café", "ARTIST=Him"});
    OggVorbis_File vf;
    ASSERT_EQ(ov_fopen(QFile::encodeName(lastPiece).constData(), &vf), 0);
    vorbis_comment* vc = ov_comment(&vf, -1);
    ASSERT_EQ(vc->comments, 2);
    EXPECT_STREQ(vc->user_comments[0], "TITLE=Café");
    EXPECT_STREQ(vc->user_comments[1], "ARTIST=Him");
    EXPECT_NE(ov_serialnumber(&vf, -1), 12345); // the source's
    ov_clear(&vf);
}

TEST_F(CopyCutFixture, APieceShorterThanAPacketAndNotStartingAtOneIsRefused) {
    const std::unique_ptr<CopyCut> cut = OggCopyCut::open(source);
    QFile out(dir.filePath(QStringLiteral("short.ogg")));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    EXPECT_THROW(cut->writePiece(out, 10001, 10011, {}), std::runtime_error);
}

// Files that are no single Ogg Vorbis stream.
struct ProblemCase {
    const char* name;
    const char* kind;   // how the file is made
    const char* reason; // a part of the reason given
};
class CopyCutProblems : public CopyCutFixture, public ::testing::WithParamInterface<ProblemCase> {};

TEST_P(CopyCutProblems, AreNamedBeforeAnythingIsCut) {
    const QString kind = QString::fromUtf8(GetParam().kind);
    const QString path = dir.filePath(QStringLiteral("bad.ogg"));
    const QByteArray one = pagesOf(source);
    QByteArray bytes;
    if (kind == QLatin1String("wav")) {
        synth::writeWav(path, synth::tone(1000, Rate, 2), Rate, 2);
    } else if (kind == QLatin1String("chained")) {
        bytes = one + one;
    } else if (kind == QLatin1String("multiplexed")) {
        // The first page of a second stream among the first one's.
        ogg_sync_state sync;
        ogg_sync_init(&sync);
        char* buffer = ogg_sync_buffer(&sync, long(one.size()));
        memcpy(buffer, one.constData(), size_t(one.size()));
        ogg_sync_wrote(&sync, long(one.size()));
        ogg_page page;
        QByteArray other;
        int n = 0;
        while (ogg_sync_pageout(&sync, &page) == 1) {
            const QByteArray raw =
                QByteArray(reinterpret_cast<const char*>(page.header), page.header_len) +
                QByteArray(reinterpret_cast<const char*>(page.body), page.body_len);
            bytes += raw;
            if (n++ == 0) {
                page.header[14] ^= 0x55; // another serial number
                ogg_page_checksum_set(&page);
                other = QByteArray(reinterpret_cast<const char*>(page.header), page.header_len) +
                        QByteArray(reinterpret_cast<const char*>(page.body), page.body_len);
                bytes += other;
            }
        }
        ogg_sync_clear(&sync);
    } else if (kind == QLatin1String("truncated headers")) {
        bytes = one.left(60);
    } else if (kind == QLatin1String("damaged")) {
        bytes = one;
        bytes[bytes.size() / 2] = char(bytes[bytes.size() / 2] ^ 0x20);
    } else if (kind == QLatin1String("missing page")) {
        // Sound pages all, one of them gone.
        bytes = one;
        const qsizetype at = bytes.indexOf("OggS", bytes.size() / 2);
        bytes.remove(at, bytes.indexOf("OggS", at + 4) - at);
    }
    if (!bytes.isEmpty()) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    const QString problem = OggCopyCut::problem(path);
    EXPECT_TRUE(problem.contains(QString::fromUtf8(GetParam().reason))) << problem.toStdString();
    // Once a reader has found the file's pages sound, the check takes a
    // quicker way; it names the same problem.
    QFile read(path);
    ASSERT_TRUE(read.open(QIODevice::ReadOnly));
    OggPageReader pages(read, 65536);
    ogg_page page;
    while (pages.next(page) != 0) {
    }
    read.close();
    EXPECT_EQ(OggCopyCut::problem(path), problem);
    EXPECT_EQ(OggCopyCut::problem(source), QString());
}

INSTANTIATE_TEST_SUITE_P(Files, CopyCutProblems,
                         ::testing::Values(ProblemCase{"wav", "wav", "not an Ogg Vorbis file"},
                                           ProblemCase{"chained", "chained", "chained"},
                                           ProblemCase{"multiplexed", "multiplexed", "multiplexed"},
                                           ProblemCase{"truncated headers", "truncated headers",
                                                       "not an Ogg Vorbis file"},
                                           ProblemCase{"damaged page", "damaged", "damaged"},
                                           ProblemCase{"missing page", "missing page", "missing"}));

TEST_F(CopyCutFixture, ASourceFoundFitIsCheckedAgainOnceChanged) {
    ASSERT_EQ(OggCopyCut::problem(source), QString());
    const QByteArray one = pagesOf(source);
    QFile f(source);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(one + one);
    f.close();
    EXPECT_TRUE(OggCopyCut::problem(source).contains(QStringLiteral("chained")));
}
