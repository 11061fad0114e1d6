#include "audio/AudioTransform.h"

#include <gtest/gtest.h>

namespace {

SampleBlock constantBlock(std::int64_t frames, int channels, float value = 1.0f) {
    SampleBlock b;
    b.channels = channels;
    b.rate = 44100;
    b.samples.assign(size_t(frames * channels), value);
    return b;
}

struct FadeCase {
    double from, to;
    std::int64_t frames;
    int channels;
};

class FadeRamp : public ::testing::TestWithParam<FadeCase> {};

TEST_P(FadeRamp, RampsLinearlyBetweenTheEnds) {
    const FadeCase p = GetParam();
    SampleBlock b = constantBlock(p.frames, p.channels);
    AudioTransform::fade(b, p.from, p.to);

    ASSERT_EQ(b.frames(), p.frames);
    // The ends are met exactly: a fade-in ends on the signal itself and a
    // fade-out on silence.
    const float* first = b.samples.data();
    const float* last = b.samples.data() + (p.frames - 1) * p.channels;
    for (int c = 0; c < p.channels; ++c) {
        EXPECT_EQ(first[c], float(p.from / 100.0));
        EXPECT_EQ(last[c], float(p.to / 100.0));
    }
    for (std::int64_t i = 0; i < p.frames; ++i) {
        const double expected =
            p.from / 100.0 + (p.to - p.from) / 100.0 * double(i) / double(p.frames - 1);
        for (int c = 0; c < p.channels; ++c)
            ASSERT_NEAR(b.samples[size_t(i * p.channels + c)], expected, 1e-6)
                << "frame " << i << " channel " << c;
    }
}

INSTANTIATE_TEST_SUITE_P(Ramps, FadeRamp,
                         ::testing::Values(FadeCase{0, 100, 441, 2}, FadeCase{100, 0, 441, 2},
                                           FadeCase{0, 100, 2, 1}, FadeCase{100, 0, 2, 1},
                                           FadeCase{0, 100, 88200, 2}, FadeCase{100, 0, 100003, 1},
                                           FadeCase{25, 75, 1000, 6}, FadeCase{50, 50, 10, 2}));

TEST(Fade, ScalesTheSignalNotReplacesIt) {
    SampleBlock b = constantBlock(5, 2);
    for (size_t i = 0; i < b.samples.size(); ++i)
        b.samples[i] = (i % 2 ? -0.5f : 0.8f);
    AudioTransform::fade(b, 100, 0);
    EXPECT_FLOAT_EQ(b.samples[0], 0.8f);
    EXPECT_FLOAT_EQ(b.samples[1], -0.5f);
    EXPECT_FLOAT_EQ(b.samples[4], 0.4f);
    EXPECT_FLOAT_EQ(b.samples[5], -0.25f);
    EXPECT_EQ(b.samples[8], 0.0f);
    EXPECT_EQ(b.samples[9], 0.0f);
}

TEST(Fade, DegenerateBlocksAreSafe) {
    SampleBlock empty;
    AudioTransform::fade(empty, 0, 100);
    EXPECT_TRUE(empty.empty());

    SampleBlock noChannels;
    noChannels.samples = {1.0f, 1.0f};
    AudioTransform::fade(noChannels, 0, 100);
    EXPECT_EQ(noChannels.samples, (std::vector<float>{1.0f, 1.0f}));

    // A single frame is both the first and the last: it takes the start level.
    SampleBlock one = constantBlock(1, 2);
    AudioTransform::fade(one, 30, 100);
    EXPECT_FLOAT_EQ(one.samples[0], 0.3f);
    EXPECT_FLOAT_EQ(one.samples[1], 0.3f);
}

} // namespace
