// The window's split: its pieces side by side give the pieces, names and
// statuses of the one-at-a-time run with a bar that only grows, and Stop
// leaves closed pieces; "OGG (no re-encoding)" cuts exact pieces or refuses
// before writing; the choice is kept in a key of its own.
#include "commands/Session.h"
#include "core/IniFile.h"
#include "core/Settings.h"
#include "support/CaseTable.h"
#include "support/Printing.h"
#include "support/RunFixture.h"
#include "synth/Synth.h"
#include "ui/MainWindow.h"
#include "ui/SettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <ogg/ogg.h>

namespace {

using testsupport::PrintTo;

constexpr int Rate = 44100;

// A stream's packets with their granule positions, and whether its last page
// ends the stream: what two encodings of one piece share but the serial number.
struct Packets {
    std::vector<std::pair<QByteArray, std::int64_t>> packets;
    bool ended = false;
    bool operator==(const Packets&) const = default;
};

Packets packetsOf(const QString& path) {
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
    const QByteArray bytes = f.readAll();
    Packets result;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    std::memcpy(ogg_sync_buffer(&sync, long(bytes.size())), bytes.constData(),
                size_t(bytes.size()));
    ogg_sync_wrote(&sync, long(bytes.size()));
    ogg_stream_state stream;
    bool started = false;
    ogg_page page;
    while (ogg_sync_pageout(&sync, &page) == 1) {
        if (!started)
            ogg_stream_init(&stream, ogg_page_serialno(&page));
        started = true;
        ogg_stream_pagein(&stream, &page);
        result.ended = ogg_page_eos(&page) != 0;
        ogg_packet packet;
        while (ogg_stream_packetout(&stream, &packet) == 1)
            result.packets.emplace_back(
                QByteArray(reinterpret_cast<const char*>(packet.packet), int(packet.bytes)),
                packet.granulepos);
    }
    if (started)
        ogg_stream_clear(&stream);
    ogg_sync_clear(&sync);
    return result;
}

class WindowSplit : public RunFixture {
  protected:
    // The split as the window's menu item starts it, with `jobs` workers.
    void splitWith(int jobs) {
        commands.splitJobs = jobs;
        commands.splitItem();
    }
    QStringList statuses() const {
        QStringList s;
        for (int row = 0; row < jobs.spanRowCount(); ++row)
            s << jobs.spanStatus(row);
        return s;
    }
};

struct SideBySideCase {
    const char* name;
    SplitMode mode;
    int splitSeconds;
    std::vector<std::int64_t> fileFrames;
    Spans spans; // Custom: on every file
};
class WindowSplitSideBySide : public WindowSplit,
                              public ::testing::WithParamInterface<SideBySideCase> {
  protected:
    void SetUp() override {
        WindowSplit::SetUp();
        const SideBySideCase& p = GetParam();
        state.settings.splitMode = p.mode;
        state.settings.splitSeconds = p.splitSeconds;
        for (size_t i = 0; i < p.fileFrames.size(); ++i)
            add(makeSource(QStringLiteral("f%1.ogg").arg(i), p.fileFrames[i]));
        for (size_t i = 0; p.mode == SplitMode::Custom && i < p.fileFrames.size(); ++i)
            setSpans(int(i), p.spans);
    }
};

TEST_P(WindowSplitSideBySide, GivesTheOneAtATimePiecesStatusesAndAGrowingBar) {
    splitWith(1);
    ASSERT_FALSE(conversion.lastRunFailed()) << conversion.lastError().toStdString();
    const QStringList names = filesInOutput();
    const QStringList statusesOne = statuses();
    std::vector<Packets> one;
    for (const QString& name : names)
        one.push_back(packetsOf(outDir + name));
    for (const QString& name : names)
        QFile::remove(outDir + name);
    progress.clear();

    splitWith(3);
    ASSERT_FALSE(conversion.lastRunFailed()) << conversion.lastError().toStdString();
    EXPECT_TRUE(prompt.messages.isEmpty());
    ASSERT_EQ(filesInOutput(), names);
    for (qsizetype i = 0; i < names.size(); ++i)
        EXPECT_TRUE(packetsOf(outDir + names[i]) == one[size_t(i)]) << names[i].toStdString();
    EXPECT_EQ(statuses(), statusesOne);
    ASSERT_FALSE(progress.isEmpty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_GT(progress.constLast(), Conversion::ProgressScale * 9 / 10);
    EXPECT_FALSE(state.converting);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, WindowSplitSideBySide,
    ::testing::Values(
        SideBySideCase{"time over two files", SplitMode::Time, 1, {5 * Rate + 70, 3 * Rate}, {}},
        SideBySideCase{"custom", SplitMode::Custom, 60, {8 * Rate}, {{1, 3}, {2, 5}, {6, 8}}}));

using WindowSplitStopped = testsupport::CaseTable<WindowSplit, int>;

TEST_P(WindowSplitStopped, LeavesOnlyClosedPiecesAndNoRowConverting) {
    state.settings.splitMode = SplitMode::Time;
    state.settings.splitSeconds = 1;
    add(makeSource(QStringLiteral("long.ogg"), 12 * Rate));
    int pumps = 0;
    state.pump = [&] {
        if (++pumps == GetParam())
            commands.click(QStringLiteral("Stop"));
    };
    splitWith(2);
    EXPECT_FALSE(conversion.lastRunFailed());
    EXPECT_FALSE(state.converting);
    QStringList listed;
    for (const QString& out : conversion.lastOutputs())
        listed << QFileInfo(out).fileName();
    EXPECT_EQ(filesInOutput(), listed);
    for (const QString& name : filesInOutput()) {
        EXPECT_TRUE(packetsOf(outDir + name).ended) << name.toStdString();
        EXPECT_GT(synth::decodeOgg(outDir + name).frames(), 0) << name.toStdString();
    }
    EXPECT_FALSE(statuses().contains(QStringLiteral("Converting")))
        << statuses().join(u',').toStdString();
}

INSTANTIATE_TEST_SUITE_P(Pumps, WindowSplitStopped, ::testing::Values(2, 4, 9));

// --- "OGG (no re-encoding)" ---------------------------------------------------------

TEST_F(WindowSplit, NoReencodingCutsTheSourcesOwnSamplesWithoutFades) {
    state.settings.splitMode = SplitMode::Time;
    state.settings.splitSeconds = 1;
    state.settings.fadeIn = state.settings.fadeOut = true; // do not apply
    state.formatIndex = int(OutputFormat::OggCopy);
    const QString src = makeSource(QStringLiteral("a.ogg"), 3 * Rate + 500);
    add(src);
    splitWith(2);
    ASSERT_FALSE(conversion.lastRunFailed()) << conversion.lastError().toStdString();
    const synth::Decoded source = synth::decodeOgg(src);
    ASSERT_EQ(filesInOutput(), QStringLiteral("a_1.ogg a_2.ogg a_3.ogg a_4.ogg").split(u' '));
    std::int64_t at = 0;
    for (const QString& name : filesInOutput()) {
        const synth::Decoded piece = synth::decodeOgg(outDir + name);
        const auto from = source.samples.begin() + std::ptrdiff_t(at * 2);
        EXPECT_TRUE(std::equal(piece.samples.begin(), piece.samples.end(), from))
            << name.toStdString();
        at += piece.frames();
    }
    EXPECT_EQ(at, 3 * Rate + 500);
}

using NoReencodingRefuses = testsupport::CaseTable<WindowSplit, const char*>;

TEST_P(NoReencodingRefuses, NamesTheSourceAndWritesNothing) {
    const QString kind = QString::fromLatin1(GetParam());
    add(makeSource(QStringLiteral("good.ogg"), 2 * Rate));
    const QString bad = dir.filePath(QStringLiteral("src/bad.") + kind);
    if (kind == QLatin1String("wav")) {
        synth::writeWav(bad, synth::tone(2 * Rate, Rate, 2), Rate, 2);
    } else {
        QFile in(dir.filePath(QStringLiteral("src/good.ogg")));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        const QByteArray once = in.readAll();
        QFile out(bad);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(once + once); // chained
    }
    add(bad);
    ASSERT_EQ(jobs.rowCount(), 2);
    QDir(outDir).removeRecursively();
    state.formatIndex = int(OutputFormat::OggCopy);
    splitWith(2);
    EXPECT_TRUE(conversion.lastRunFailed());
    EXPECT_FALSE(QFileInfo::exists(outDir));
    ASSERT_EQ(prompt.messages.size(), 1);
    const QString message = prompt.messages.constFirst();
    EXPECT_TRUE(message.contains(QDir::toNativeSeparators(bad))) << message.toStdString();
    const auto refused = Conversion::copyRefusals(jobs.fileModel());
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_TRUE(message.contains(refused.front().problem)) << message.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Sources, NoReencodingRefuses, ::testing::Values("wav", "ogg"));

// --- the stored choice and the settings dialog ------------------------------------------

struct KeyCase {
    const char* name;
    const char* before; // the file's text
    int found;          // the entry read from it
    int chosen;         // the entry saved
    bool unchanged;     // the file's bytes stay as they were
};
class OutputFormatKey : public ::testing::TestWithParam<KeyCase> {};

TEST_P(OutputFormatKey, RoundTripsAndKeepsAClassicFileClassic) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VAZOzojoin.ini"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(GetParam().before);
    }
    IniFile ini(path);
    CachedSettings before;
    LoadSettings(ini, before);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray bytes = f.readAll();
    f.close();
    EXPECT_EQ(LoadOutputFormat(ini), GetParam().found);
    SaveOutputFormat(ini, GetParam().chosen);
    EXPECT_EQ(LoadOutputFormat(ini), GetParam().chosen);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll() == bytes, GetParam().unchanged);
    // The classic keys read as they did.
    CachedSettings after;
    LoadSettings(ini, after);
    EXPECT_EQ(after.splitMode, before.splitMode);
    EXPECT_EQ(after.splitSeconds, before.splitSeconds);
    EXPECT_EQ(after.outputDir, before.outputDir);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OutputFormatKey,
    ::testing::Values(
        KeyCase{"classic_stays_as_it_is", "[Function]\r\nChoice=1\r\n[Choice]\r\ntime=30\r\n", 0, 0,
                true},
        KeyCase{"classic_takes_the_new_entry",
                "[Function]\r\nChoice=1\r\n[Output]\r\nDir=/tmp/\r\n", 0, 1, false},
        KeyCase{"new_entry_set_back", "[Output]\r\nNoReencoding=1\r\n", 1, 0, false},
        KeyCase{"hand_edited_value_is_ogg", "[Output]\r\nNoReencoding=7\r\n", 0, 0, false},
        KeyCase{"flac_gets_a_key_of_its_own", "[Output]\r\nDir=/tmp/\r\n", 0, 2, false},
        KeyCase{"opus_set_back", "[Output]\r\nFormat=opus\r\n", 3, 0, false},
        KeyCase{"no_reencoding_wins_over_format", "[Output]\r\nNoReencoding=1\r\nFormat=flac\r\n",
                1, 2, false}));

// The encoding options of the settings dialog, by the format chosen: which
// of them are shown.
struct ShownCase {
    const char* name;
    OutputFormat format;
    bool vorbis; // frequency, channel, VBR and quality
    bool bitrate;
    bool flac; // the compression level
};
class SettingsByFormat : public ::testing::TestWithParam<ShownCase> {};

TEST_P(SettingsByFormat, ShowsTheOptionsThatApply) {
    const ShownCase& c = GetParam();
    SessionState state;
    state.formatIndex = int(c.format);
    SettingsDialog dialog(state);
    dialog.loadControls();
    dialog.showPage(1);
    const auto shown = [&dialog](const char* name) {
        QWidget* w = dialog.findChild<QWidget*>(QString::fromLatin1(name));
        return w && w->isVisibleTo(&dialog);
    };
    for (const char* name :
         {"cb_ogg_fre", "cb_ogg_channel", "ck_oggvbr", "ck_oggquality", "gb_ogg_vbr"})
        EXPECT_EQ(shown(name), c.vorbis) << name;
    EXPECT_EQ(shown("cb_ogg_bitrate"), c.bitrate);
    EXPECT_EQ(shown("cb_flac_level"), c.flac);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, SettingsByFormat,
    ::testing::Values(ShownCase{"ogg", OutputFormat::Ogg, true, true, false},
                      ShownCase{"flac", OutputFormat::Flac, false, false, true},
                      ShownCase{"opus", OutputFormat::Opus, false, true, false}),
    testsupport::CaseName());

TEST(OutputFormatChoice, IsKeptByTheWindowAndShownByTheSettingsDialog) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("VAZOzojoin.ini"));
    for (int entry : {1, 0}) {
        Session session;
        session.state().ini = std::make_unique<IniFile>(path);
        MainWindow window(session);
        window.prepareFirstShow();
        window.formatBox()->setCurrentIndex(entry);
        EXPECT_EQ(window.formatBox()->itemText(1), QStringLiteral("OGG (no re-encoding)"));
        SettingsDialog dialog(session.state());
        dialog.loadControls();
        EXPECT_EQ(dialog.findChild<QCheckBox*>(QStringLiteral("cb_fadein"))->isEnabled(),
                  entry == 0);
        EXPECT_EQ(dialog.findChild<QComboBox*>(QStringLiteral("cb_ogg_bitrate"))->isEnabled(),
                  entry == 0);
        EXPECT_EQ(dialog.findChild<QLabel*>(QStringLiteral("lab_fade_note"))->isVisibleTo(&dialog),
                  entry == 1);
        ASSERT_TRUE(window.canClose());

        Session again;
        again.state().ini = std::make_unique<IniFile>(path);
        MainWindow reopened(again);
        reopened.prepareFirstShow();
        EXPECT_EQ(reopened.formatBox()->currentIndex(), entry);
        EXPECT_EQ(again.state().formatIndex, entry);
    }
}

} // namespace
