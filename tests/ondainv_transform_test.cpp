#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "forward.h"
#include "inverse.h"
#include "plane.h"
#include "test_support.h"

using namespace onda_test;
using namespace inv;

namespace {

Plane inverse(const Plane& source, int height, int width, int levels) {
    return runSweep(TRANSFORM, source, height, width, levels);
}

struct Example {
    const char* name;
    int width, height, levels;
    Plane input, expected;  // the input has its detail offset taken off already
};

TEST(InverseTransform, WorkedExamples) {
    const Plane ramp4 = planeFromFormula(4, 4, [](int x, int y) { return 2.0 * x + 8.0 * y; });
    const Plane ramp8x4 = planeFromFormula(8, 4, [](int x, int y) { return x + 10.0 * y; });
    const Example examples[] = {
        {"2x2", 2, 2, 1, {100, 10, 0, 0}, {110, 90, 110, 90}},
        {"2x2 forward example",
         2,
         2,
         1,
         withoutDetailOffset({25, 123, 118, 128}, 2, 2, 1),
         {10, 20, 30, 40}},
        {"4x4 one average",
         4,
         4,
         2,
         {100, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         Plane(16, 100.0)},
        {"4x4 forward example, two levels", 4, 4, 2,
         withoutDetailOffset(
             {15, 126, 127, 127, 120, 128, 127, 127, 124, 124, 128, 128, 124, 124, 128, 128}, 4, 4,
             2),
         ramp4},
        {"8x4 two levels, stride is the image width", 8, 4, 2,
         withoutDetailOffset({16.5, 20.5,  127,   127,   127.5, 127.5, 127.5, 127.5, 118, 118, 128,
                              128,  127.5, 127.5, 127.5, 127.5, 123,   123,   123,   123, 128, 128,
                              128,  128,   123,   123,   123,   123,   128,   128,   128, 128},
                             8, 4, 2),
         ramp8x4},
        {"beyond the pixel range",
         4,
         4,
         2,
         {250, 20, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         {270, 270, 230, 230, 270, 270, 230, 230, 270, 270, 230, 230, 270, 270, 230, 230}},
        {"no level for 0", 2, 2, 0, {1, 2, 3, 4}, {1, 2, 3, 4}},
        {"no level for -1", 2, 2, -1, {1, 2, 3, 4}, {1, 2, 3, 4}},
        {"no level, odd size", 3, 1, 0, {7, -8, 9.5}, {7, -8, 9.5}},
    };
    for (const auto& e : examples) {
        EXPECT_EQ(inverse(e.input, e.height, e.width, e.levels), e.expected) << e.name;
    }
}

// A corner of one value and no detail anywhere rebuilds a flat picture.
TEST(InverseTransform, ZeroDetailGivesAFlatPicture) {
    const struct {
        int width, height, levels;
    } shapes[] = {{2, 2, 1}, {16, 16, 4}, {32, 8, 3}, {8, 24, 2}};
    for (const auto& s : shapes) {
        Plane plane(std::size_t(s.width * s.height), 0.0);
        for (int y = 0; y < s.height >> s.levels; ++y)
            for (int x = 0; x < s.width >> s.levels; ++x) plane[planeIndex(x, y, s.width)] = 77;
        EXPECT_EQ(inverse(plane, s.height, s.width, s.levels), Plane(plane.size(), 77.0))
            << s.width << "x" << s.height << " R=" << s.levels;
    }
}

TEST(InverseTransform, ProgressLineCountsTheLevelsDown) {
    EXPECT_EQ(progressText(wavelet_inv_process, TRANSFORM, 3, 3, 8, 8, 3),
              "Wavelet Inverse Transfer -- 3 times -- 2 times -- 1 times --\n");
    EXPECT_EQ(progressText(wavelet_inv_process, TRANSFORM, 0, 0, 2, 2),
              "Wavelet Inverse Transfer --\n");
}

// The forward transform of whole numbers, offset taken off, comes back exactly.
TEST(InverseTransform, UndoesTheForwardTransform) {
    std::mt19937 random(11);
    const struct {
        int width, height, levels;
    } shapes[] = {
        {2, 2, 1},   {8, 8, 3},  {16, 8, 2},  {8, 16, 3},
        {12, 20, 2}, {32, 4, 2}, {64, 64, 6}, {6, 10, 1},
    };
    for (const auto& s : shapes) {
        Plane picture = randomPlane(random, s.width, s.height, 0, 256);
        for (double& v : picture) v = double(int(v));
        const Plane coefficients = runSweep(fwd::TRANSFORM, picture, s.height, s.width, s.levels);
        EXPECT_EQ(inverse(withoutDetailOffset(coefficients, s.width, s.height, s.levels), s.height,
                          s.width, s.levels),
                  picture)
            << s.width << "x" << s.height << " R=" << s.levels;
    }
}

// On the coefficients a picture file holds, the sweep gives the textbook's bits.
TEST(InverseTransform, MatchesTheTextbookInverseBitForBit) {
    std::mt19937 random(12);
    const struct {
        int width, height, levels;
    } shapes[] = {
        {2, 2, 1}, {8, 8, 3}, {16, 8, 2}, {8, 32, 3}, {24, 12, 2}, {64, 32, 5},
    };
    for (const auto& s : shapes) {
        const Plane coefficients = randomBytes(random, s.width, s.height);
        EXPECT_EQ(inverse(withoutDetailOffset(coefficients, s.width, s.height, s.levels), s.height,
                          s.width, s.levels),
                  onda_test::referenceInverse(coefficients, s.width, s.height, s.levels))
            << s.width << "x" << s.height << " R=" << s.levels;
    }
}

TEST(InverseTransform, ManyColumnsAtOnceEqualOneColumnAtATime) {
    std::mt19937 random(13);
    const struct {
        int width, height, column, columns, count;
    } regions[] = {
        {16, 8, 0, 16, 8}, {16, 8, 3, 5, 4}, {6, 10, 1, 5, 10}, {2, 2, 0, 2, 2}, {24, 6, 7, 1, 6},
    };
    for (const auto& r : regions) {
        const Plane source = randomPlane(random, r.width, r.height, -300.0, 300.0);
        Plane many(source.size(), 0.0), single(source.size(), 0.0);
        wavelet_1d_inv_height(r.column, r.count, source.data(), many.data(), r.width, r.columns);
        for (int c = r.column; c < r.column + r.columns; ++c) {
            wavelet_1d_inv_height(c, r.count, source.data(), single.data(), r.width);
        }
        EXPECT_EQ(many, single) << r.width << "x" << r.height;
    }
}

// The driver as the steps are written: at every level a whole copy of the
// source into the result, the single-column pass over each column, the region
// copied back, the row pass over each row, the region copied back.
Plane plainInverse(Plane source, int height, int width, int levels) {
    Plane result(source.size());
    for (int level = levels; level >= 1; --level) {
        std::copy(source.begin(), source.end(), result.begin());
        const int rows = height >> (level - 1), cols = width >> (level - 1);
        const auto copyRegionBack = [&] {
            for (int y = 0; y < rows; ++y)
                for (int x = 0; x < cols; ++x)
                    source[planeIndex(x, y, width)] = result[planeIndex(x, y, width)];
        };
        for (int x = 0; x < cols; ++x)
            wavelet_1d_inv_height(x, rows, source.data(), result.data(), width);
        copyRegionBack();
        for (int y = 0; y < rows; ++y)
            wavelet_1d_inv_wide(y, cols, source.data(), result.data(), width);
        copyRegionBack();
    }
    return result;
}

// The result buffer ends as the written steps leave it, although the driver
// makes no whole-buffer copy and works a row pair at a time.
TEST(InverseTransform, DriverEqualsTheWrittenSteps) {
    std::mt19937 random(14);
    for (const EdgeShape& s : sweepEdgeShapes()) {
        const Plane start = withoutDetailOffset(randomBytes(random, s.width, s.height), s.width,
                                                s.height, s.levels);
        EXPECT_EQ(inverse(start, s.height, s.width, s.levels),
                  plainInverse(start, s.height, s.width, s.levels))
            << s.width << "x" << s.height << " R=" << s.levels;
    }
}

}  // namespace
