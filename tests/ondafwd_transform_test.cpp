#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "forward.h"
#include "plane.h"
#include "test_support.h"

using namespace onda_test;
using namespace fwd;

namespace {

Plane forward(const Plane& source, int height, int width, int levels) {
    return runSweep(TRANSFORM, source, height, width, levels);
}

struct Example {
    const char* name;
    int width, height, levels;
    Plane input, expected;
};

TEST(ForwardTransform, WorkedExamples) {
    const Plane ramp4 = planeFromFormula(4, 4, [](int x, int y) { return 2.0 * x + 8.0 * y; });
    const Plane ramp8x4 = planeFromFormula(8, 4, [](int x, int y) { return x + 10.0 * y; });
    const Example examples[] = {
        {"2x2", 2, 2, 1, {10, 20, 30, 40}, {25, 123, 118, 128}},
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
        {"8x4 two levels, stride is the image width",
         8,
         4,
         2,
         ramp8x4,
         {16.5, 20.5,  127,   127,   127.5, 127.5, 127.5, 127.5, 118, 118, 128,
          128,  127.5, 127.5, 127.5, 127.5, 123,   123,   123,   123, 128, 128,
          128,  128,   123,   123,   123,   123,   128,   128,   128, 128}},
        {"detail high extreme", 2, 2, 1, {255, 0, 0, 255}, {127.5, 128, 128, 255.5}},
        {"detail low extreme", 2, 2, 1, {0, 255, 255, 0}, {127.5, 128, 128, 0.5}},
        {"no level for 0", 2, 2, 0, {1, 2, 3, 4}, {1, 2, 3, 4}},
        {"no level for -1", 2, 2, -1, {1, 2, 3, 4}, {1, 2, 3, 4}},
    };
    for (const auto& e : examples) {
        EXPECT_EQ(forward(e.input, e.height, e.width, e.levels), e.expected) << e.name;
    }
}

TEST(ForwardTransform, UniformPictureKeepsItsValueTopLeftAndMidGreyElsewhere) {
    for (int levels = 1; levels <= 4; ++levels) {
        const Plane result = forward(Plane(std::size_t{16} * 32, 77.0), 16, 32, levels);
        const int cornerHeight = 16 >> levels, cornerWidth = 32 >> levels;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 32; ++x) {
                const bool corner = y < cornerHeight && x < cornerWidth;
                ASSERT_EQ(result[std::size_t(32 * y + x)], corner ? 77.0 : 128.0)
                    << levels << " " << x << "," << y;
            }
    }
}

TEST(ForwardTransform, ProgressLineCountsTheLevels) {
    EXPECT_EQ(progressText(wavelet_process, TRANSFORM, 3, 3, 8, 8, 3),
              "Wavelet Transfer -- 1 Times -- 2 Times -- 3 Times --\n");
    EXPECT_EQ(progressText(wavelet_process, TRANSFORM, 0, 0, 2, 2), "Wavelet Transfer --\n");
}

TEST(ForwardTransform, DeepestLevelLeavesOneAverage) {
    Plane input =
        planeFromFormula(8, 8, [](int x, int y) { return double((x * 7 + y * 13) % 256); });
    double sum = 0;
    for (double v : input) sum += v;
    const Plane result = forward(input, 8, 8, 3);
    EXPECT_EQ(result[0], sum / 64);
}

// The column pass over many adjacent columns at once is the single-column
// pass repeated, bit for bit, on any shape the size rule lets through.
TEST(ForwardTransform, ManyColumnsAtOnceEqualOneColumnAtATime) {
    std::mt19937 random(7);
    const struct {
        int width, height, column, columns, count;
    } regions[] = {
        {16, 8, 0, 16, 8}, {16, 8, 3, 5, 4}, {6, 10, 1, 5, 10}, {2, 2, 0, 2, 2}, {24, 6, 7, 1, 6},
    };
    for (const auto& r : regions) {
        const Plane source = randomPlane(random, r.width, r.height, -300.0, 300.0);
        Plane many(source.size(), 0.0), single(source.size(), 0.0);
        wavelet_1d_height(r.column, r.count, source.data(), many.data(), r.width, r.columns);
        for (int c = r.column; c < r.column + r.columns; ++c) {
            wavelet_1d_height(c, r.count, source.data(), single.data(), r.width);
        }
        EXPECT_EQ(many, single) << r.width << "x" << r.height;
    }
}

// The transform as first described: every pass reads the source buffer and
// writes the result buffer, and the region is copied back after each pass.
Plane plainForward(Plane source, int height, int width, int levels) {
    Plane result(source.size());
    for (int level = 1; level <= levels; ++level) {
        const int rows = height >> (level - 1), cols = width >> (level - 1);
        const auto copyBack = [&] {
            for (int y = 0; y < rows; ++y)
                for (int x = 0; x < cols; ++x)
                    source[planeIndex(x, y, width)] = result[planeIndex(x, y, width)];
        };
        for (int j = 0; j < rows; ++j)
            wavelet_1d_wide(j, cols, source.data(), result.data(), width);
        copyBack();
        for (int j = 0; j < cols; ++j)
            wavelet_1d_height(j, rows, source.data(), result.data(), width);
        copyBack();
    }
    return result;
}

TEST(ForwardTransform, BitForBitTheTransformOfPlainPassesWithCopyBacks) {
    std::mt19937 random(11);
    for (const EdgeShape& shape : sweepEdgeShapes()) {
        const Plane input = randomBytes(random, shape.width, shape.height);
        EXPECT_EQ(forward(input, shape.height, shape.width, shape.levels),
                  plainForward(input, shape.height, shape.width, shape.levels))
            << shape.width << "x" << shape.height << " R=" << shape.levels;
    }
}

// Each value as the byte store keeps it: truncated toward zero, clamped.
std::vector<int> storedBytes(const Plane& plane) {
    std::vector<int> bytes;
    for (const double v : plane) bytes.push_back(v > 0 ? int(v < 255 ? v : 255) : 0);
    return bytes;
}

// Beyond the levels single precision holds, the sweep still stores the
// bytes the passes give. A plane of 100s with one 99 has deepest averages
// just below 100, which single precision would round up.
TEST(ForwardTransform, DeepLevelsGiveThePassesBytes) {
    std::mt19937 random(15);
    Plane nearly(std::size_t{1024} * 1024, 100.0);
    nearly[5000] = 99.0;
    const struct {
        int width, height, levels;
        Plane input;
    } cases[] = {
        {1024, 1024, 10, nearly},
        {512, 1024, 9, randomBytes(random, 512, 1024)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(storedBytes(forward(c.input, c.height, c.width, c.levels)),
                  storedBytes(plainForward(c.input, c.height, c.width, c.levels)))
            << c.width << "x" << c.height << " R=" << c.levels;
    }
}

}  // namespace
