#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "plane.h"
#include "split.h"
#include "test_support.h"

using namespace onda_test;
using namespace split;

namespace {

// The transform at the levels `repeat` gives.
Plane split(const Plane& source, int height, int width, int repeat) {
    const int levels = splitLevels(repeat);
    return runSweep(TRANSFORM, source, height, width, levels);
}

// Pixel values: whole numbers 0..255, the same for the same seed.
Plane pixelPlane(int width, int height, unsigned seed) {
    std::mt19937 random(seed);
    Plane plane = randomPlane(random, width, height, 0.0, 256.0);
    for (double& v : plane) v = std::floor(v);
    return plane;
}

struct Example {
    const char* name;
    int width, height, repeat;
    Plane input, expected;
};

TEST(SplitTransform, WorkedExamples) {
    const Plane ramp4 = planeFromFormula(4, 4, [](int x, int y) { return 2.0 * x + 8.0 * y; });
    const Plane ramp8x4 = planeFromFormula(8, 4, [](int x, int y) { return x + 10.0 * y; });
    const Plane stripes = planeFromFormula(4, 4, [](int x, int) { return x < 2 ? 0.0 : 255.0; });
    const Example examples[] = {
        {"2x2", 2, 2, 1, {0, 1, 0, 0}, {0.25, 127.75, 128.25, 127.75}},
        {"horizontal detail high", 2, 2, 1, {255, 0, 255, 0}, {127.5, 255.5, 128, 128}},
        {"horizontal detail low", 2, 2, 1, {0, 255, 0, 255}, {127.5, 0.5, 128, 128}},
        {"vertical detail extremes", 2, 2, 1, {255, 255, 0, 0}, {127.5, 128, 255.5, 128}},
        {"diagonal detail extremes", 2, 2, 1, {0, 255, 255, 0}, {127.5, 128, 128, 0.5}},
        {"4x4 one level",
         4,
         4,
         1,
         ramp4,
         {5, 9, 127, 127, 21, 25, 127, 127, 124, 124, 128, 128, 124, 124, 128, 128}},
        {"4x4 two levels",
         4,
         4,
         2,
         ramp4,
         {15, 126, 127, 127, 120, 128, 127, 127, 124, 124, 128, 128, 124, 124, 128, 128}},
        {"4x4 stripes, two levels",
         4,
         4,
         2,
         stripes,
         {127.5, 0.5, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128}},
        {"8x4 two levels, stride is the image width",
         8,
         4,
         2,
         ramp8x4,
         {16.5, 20.5,  127,   127,   127.5, 127.5, 127.5, 127.5, 118, 118, 128,
          128,  127.5, 127.5, 127.5, 127.5, 123,   123,   123,   123, 128, 128,
          128,  128,   123,   123,   123,   123,   128,   128,   128, 128}},
    };
    for (const auto& e : examples) {
        EXPECT_EQ(split(e.input, e.height, e.width, e.repeat), e.expected) << e.name;
    }
}

TEST(SplitTransform, ConstantPlaneKeepsItsValueTopLeftAndMidGreyElsewhere) {
    const struct {
        int width, height, repeat;
    } cases[] = {
        {8, 4, 1}, {6, 10, 1}, {8, 4, 2}, {4, 12, 2}, {16, 8, 0},
    };
    for (const auto& c : cases) {
        const Plane result =
            split(Plane(std::size_t(c.width * c.height), 77.0), c.height, c.width, c.repeat);
        const int shift = c.repeat == 1 ? 1 : 2;
        for (int y = 0; y < c.height; ++y)
            for (int x = 0; x < c.width; ++x) {
                const bool corner = y < c.height >> shift && x < c.width >> shift;
                ASSERT_EQ(result[std::size_t(c.width * y + x)], corner ? 77.0 : 128.0)
                    << c.width << "x" << c.height << " R=" << c.repeat << " at " << x << "," << y;
            }
    }
}

// The one sweep gives, bit for bit, what the separable step gives level by
// level, and writes every element of the result.
TEST(SplitTransform, EqualsTheSeparableTransformOnRandomPlanes) {
    const struct {
        int width, height, repeat;
    } cases[] = {
        {2, 2, 1}, {6, 4, 1}, {10, 14, 1}, {4, 4, 2}, {8, 12, 2}, {20, 8, 2}, {32, 32, 2},
    };
    unsigned seed = 1;
    for (const auto& c : cases) {
        const Plane input = pixelPlane(c.width, c.height, seed++);
        EXPECT_EQ(split(input, c.height, c.width, c.repeat),
                  onda_test::referenceForward(input, c.width, c.height, c.repeat))
            << c.width << "x" << c.height << " R=" << c.repeat;
    }
}

// Any repeat number but 1 forms the quarter means: the two-level layout.
TEST(SplitTransform, EveryOtherRepeatNumberGivesTheTwoLevelLayout) {
    const Plane input = pixelPlane(12, 8, 42);
    const Plane twoLevels = split(input, 8, 12, 2);
    for (int repeat : {0, -1, -7, INT_MIN, 3, INT_MAX}) {
        EXPECT_EQ(split(input, 8, 12, repeat), twoLevels) << repeat;
        EXPECT_EQ(splitLevels(repeat), 2) << repeat;
    }
    EXPECT_EQ(splitLevels(1), 1);
}

TEST(SplitTransform, ProgressShowsTheRepeatNumberAndTheSizes) {
    EXPECT_EQ(progressText(wavelet_process, TRANSFORM, 2, 2, 256, 512),
              "Plane : 0\nWavelet Transfer -- 2 Times --\n"
              "v:256, h:512, ysize:256, xsize:512, hm:256, hn:128, qm:128, qn:64\n\n");
    EXPECT_EQ(progressText(wavelet_process, TRANSFORM, 1, 1, 6, 2, 2),
              "Plane : 0\nWavelet Transfer -- 1 Times --\n"
              "v:6, h:2, ysize:6, xsize:2, hm:1, hn:3, qm:0, qn:1\n\n"
              "Plane : 1\nWavelet Transfer -- 1 Times --\n"
              "v:6, h:2, ysize:6, xsize:2, hm:1, hn:3, qm:0, qn:1\n\n");
    EXPECT_EQ(progressText(wavelet_process, TRANSFORM, -3, 2, 4, 4),
              "Plane : 0\nWavelet Transfer -- -3 Times --\n"
              "v:4, h:4, ysize:4, xsize:4, hm:2, hn:2, qm:1, qn:1\n\n");
}

}  // namespace
