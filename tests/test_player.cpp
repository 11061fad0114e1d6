#include "audio/AudioError.h"
#include "audio/AudioPlayer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <SDL.h>
#include <functional>
#include <gtest/gtest.h>

namespace {

// Processes events until `done` holds; false when it never does. The limit
// only guards against hanging, it measures nothing.
bool waitFor(const std::function<bool()>& done, int limitMs = 10000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > limitMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

// Lets the player run for a while with nothing expected to happen.
void idle(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
}

SampleBlock silence(std::int64_t frames, int rate, int channels) {
    SampleBlock b;
    b.rate = rate;
    b.channels = channels;
    b.samples.assign(size_t(frames * channels), 0.0f);
    return b;
}

// Records every notification in order with the played-frame counts.
struct Recorder {
    std::vector<std::int64_t> played;
    int requests = 0;
    int blockEnds = 0;
    int ends = 0;

    explicit Recorder(AudioPlayer& p) {
        QObject::connect(&p, &AudioPlayer::ticked, [this](std::int64_t f) { played.push_back(f); });
        QObject::connect(&p, &AudioPlayer::blockRequested, [this] { ++requests; });
        QObject::connect(&p, &AudioPlayer::blockPlayed, [this] { ++blockEnds; });
        QObject::connect(&p, &AudioPlayer::playEnded, [this] { ++ends; });
    }
    bool nonDecreasing() const { return std::is_sorted(played.begin(), played.end()); }
};

// Opens the device and plays five seconds of silence, more than any test waits for.
void playFiveSeconds(AudioPlayer& player, int rate, int channels) {
    player.openDevice(rate, channels);
    player.queueSamples(silence(rate * 5, rate, channels));
    player.play();
}

class EnvGuard {
  public:
    EnvGuard(const char* name, const QByteArray& value) : m_name(name), m_old(qgetenv(name)) {
        qputenv(name, value);
    }
    ~EnvGuard() { qputenv(m_name, m_old); }

  private:
    const char* m_name;
    QByteArray m_old;
};

TEST(AudioPlayer, ConstructsWithoutTouchingTheSoundSystem) {
    AudioPlayer player;
    EXPECT_FALSE(player.isOpen());
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    // Stopping and restarting a player that never opened is harmless.
    player.stop();
    player.restart();
    EXPECT_FALSE(player.isOpen());
}

TEST(AudioPlayer, NoWorkingDriverRaisesAndNothingBreaks) {
    EnvGuard driver("SDL_AUDIODRIVER", "nosuchdriver");
    AudioPlayer player;
    try {
        player.openDevice(44100, 2);
        FAIL() << "opened a device without a working driver";
    } catch (const AudioError& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("No sound output device: "))) << e.what();
        EXPECT_GT(e.message().size(), QStringLiteral("No sound output device: ").size());
    }
    EXPECT_FALSE(player.isOpen());
    EXPECT_THROW(player.queueSamples(silence(100, 44100, 2)), AudioError);
    EXPECT_THROW(player.play(), AudioError);
    player.stop();
    player.restart();
    // A second attempt fails the same way rather than half-succeeding.
    EXPECT_THROW(player.openDevice(44100, 2), AudioError);
}

struct FormatCase {
    int rate;
    int channels;
};

class PlayerFormats : public ::testing::TestWithParam<FormatCase> {};

// One block played to the end: counts grow, stay within what was queued,
// end exactly on it, and the end is reported once.
TEST_P(PlayerFormats, PlaysOneBlockToTheEnd) {
    const FormatCase p = GetParam();
    AudioPlayer player;
    player.openDevice(p.rate, p.channels);
    ASSERT_TRUE(player.isOpen());
    Recorder rec(player);
    const std::int64_t frames = p.rate / 4;
    player.queueSamples(silence(frames, p.rate, p.channels));
    player.play();
    ASSERT_TRUE(waitFor([&] { return rec.ends > 0; }));
    idle(150);

    EXPECT_EQ(rec.ends, 1);
    EXPECT_EQ(rec.blockEnds, 1);
    ASSERT_FALSE(rec.played.empty());
    EXPECT_TRUE(rec.nonDecreasing());
    EXPECT_GE(rec.played.size(), 2u) << "no running count while playing";
    EXPECT_EQ(rec.played.back(), frames);
    for (auto f : rec.played)
        EXPECT_LE(f, frames);
}

INSTANTIATE_TEST_SUITE_P(Formats, PlayerFormats,
                         ::testing::Values(FormatCase{8000, 1}, FormatCase{22050, 2},
                                           FormatCase{44100, 2}, FormatCase{48000, 1}));

TEST(AudioPlayer, AsksForBlocksUntilTheSourceRunsDry) {
    const int rate = 16000;
    const std::int64_t block = rate / 10;
    const int blocks = 4;
    AudioPlayer player;
    player.openDevice(rate, 2);
    Recorder rec(player);
    int fed = 0;
    // Feeds like the preview does: on every request and every finished block,
    // and an empty block once the source is exhausted.
    auto feed = [&] {
        if (fed < blocks) {
            player.queueSamples(silence(block, rate, 2));
            ++fed;
        } else {
            player.queueSamples(SampleBlock{});
        }
    };
    QObject::connect(&player, &AudioPlayer::blockRequested, feed);
    QObject::connect(&player, &AudioPlayer::blockPlayed, feed);
    player.play();
    feed();
    ASSERT_TRUE(waitFor([&] { return rec.ends > 0; }));
    idle(100);

    EXPECT_EQ(fed, blocks);
    EXPECT_GE(rec.requests, 1);
    EXPECT_EQ(rec.blockEnds, blocks);
    EXPECT_EQ(rec.ends, 1);
    EXPECT_TRUE(rec.nonDecreasing());
    EXPECT_EQ(rec.played.back(), blocks * block);
}

TEST(AudioPlayer, RestartCountsFromZeroAndAsksForAudio) {
    const int rate = 8000;
    AudioPlayer player;
    Recorder rec(player);
    playFiveSeconds(player, rate, 1);
    ASSERT_TRUE(waitFor([&] { return !rec.played.empty() && rec.played.back() > rate / 10; }));
    const int requestsBefore = rec.requests;

    player.restart();
    rec.played.clear();
    // Nothing is queued after a restart: the player asks for the new place.
    ASSERT_TRUE(waitFor([&] { return rec.requests > requestsBefore; }));
    ASSERT_FALSE(rec.played.empty());
    EXPECT_EQ(rec.played.front(), 0);
    EXPECT_EQ(rec.ends, 0);

    player.queueSamples(silence(rate / 5, rate, 1));
    ASSERT_TRUE(waitFor([&] { return rec.ends > 0; }));
    EXPECT_TRUE(rec.nonDecreasing());
    EXPECT_EQ(rec.played.back(), rate / 5);
    EXPECT_EQ(rec.blockEnds, 1) << "the dropped block must not be reported as played";
}

TEST(AudioPlayer, StopSilencesEverything) {
    const int rate = 8000;
    AudioPlayer player;
    Recorder rec(player);
    playFiveSeconds(player, rate, 2);
    ASSERT_TRUE(waitFor([&] { return rec.played.size() >= 3; }));
    player.stop();
    const Recorder snapshot = rec;
    idle(200);
    EXPECT_EQ(rec.played.size(), snapshot.played.size());
    EXPECT_EQ(rec.requests, snapshot.requests);
    EXPECT_EQ(rec.blockEnds, 0);
    EXPECT_EQ(rec.ends, 0) << "a stop is not the end of playback";
    EXPECT_TRUE(player.isOpen());

    // What was queued before the stop is gone: playing again finds nothing.
    player.play();
    ASSERT_TRUE(waitFor([&] { return rec.ends > 0; }));
    EXPECT_EQ(rec.played.back(), 0);
    EXPECT_EQ(rec.blockEnds, 0);
}

TEST(AudioPlayer, HandlerMayStopFromTheTimer) {
    const int rate = 8000;
    AudioPlayer player;
    player.openDevice(rate, 1);
    Recorder rec(player);
    QObject::connect(&player, &AudioPlayer::ticked, [&](std::int64_t f) {
        if (f > 0)
            player.stop();
    });
    player.queueSamples(silence(rate / 2, rate, 1));
    player.play();
    ASSERT_TRUE(waitFor([&] { return !rec.played.empty() && rec.played.back() > 0; }));
    const size_t ticks = rec.played.size();
    idle(150);
    EXPECT_EQ(rec.played.size(), ticks);
    EXPECT_EQ(rec.ends, 0);
    EXPECT_EQ(rec.blockEnds, 0);
}

TEST(AudioPlayer, ReopensForAnotherFormatAndRefusesForeignBlocks) {
    AudioPlayer player;
    player.openDevice(44100, 2);
    EXPECT_THROW(player.queueSamples(silence(100, 44100, 1)), AudioError);
    player.openDevice(8000, 1);
    Recorder rec(player);
    EXPECT_THROW(player.queueSamples(silence(100, 8000, 2)), AudioError);
    player.queueSamples(silence(800, 8000, 1));
    player.play();
    ASSERT_TRUE(waitFor([&] { return rec.ends > 0; }));
    EXPECT_EQ(rec.played.back(), 800);
    // A format no device can take is refused before anything changes.
    EXPECT_THROW(player.openDevice(0, 2), AudioError);
    EXPECT_TRUE(player.isOpen());
}

} // namespace
