// ondainv as a user runs it: the built program on files written here (some of
// them by the built ondafwd), judged by its standard output, its exit status
// and the bytes of what it writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "messages.h"
#include "test_support.h"

using namespace onda_test;
namespace fs = std::filesystem;

namespace {

const std::string BANNER = bannerOf(message::INV_BANNER);

std::string progressLine(int levels) {
    std::string line = "Wavelet Inverse Transfer --";
    for (int level = levels; level >= 1; --level) line += " " + std::to_string(level) + " times --";
    return line + "\n";
}

std::string ranLine(long long bufferBytes, int levels) {
    return "Memory size -> " + std::to_string(bufferBytes) + "\n" + message::INV_CONVERTING.cp932 +
           "\n" + progressLine(levels);
}

ImagePtr greyImage(int width, int height, const std::vector<int>& values) {
    return makeImage(width, height, 8,
                     [&](int x, int y, int) { return values[planeIndex(x, y, width)]; });
}

TEST(Ondainv, WorkedExamples) {
    std::vector<int> flat8x4(32, 128);
    flat8x4[0] = flat8x4[1] = 77;  // the corner of two levels: 2 x 1
    const struct {
        const char* name;
        int width, height, levels;
        std::vector<int> input, expected;
    } examples[] = {
        {"2x2 forward example", 2, 2, 1, {25, 123, 118, 128}, {10, 20, 30, 40}},
        {"2x2", 2, 2, 1, {100, 138, 128, 128}, {110, 90, 110, 90}},
        {"4x4 forward example",
         4,
         4,
         2,
         {15, 126, 127, 127, 120, 128, 127, 127, 124, 124, 128, 128, 124, 124, 128, 128},
         {0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28, 30}},
        {"270 clamps to 255",
         4,
         4,
         2,
         {250, 148, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128, 128},
         {255, 255, 230, 230, 255, 255, 230, 230, 255, 255, 230, 230, 255, 255, 230, 230}},
        {"no detail", 8, 4, 2, flat8x4, std::vector<int>(32, 77)},
    };
    ScratchDir dir;
    for (const auto& e : examples) {
        writeFileBytes(dir.path("in.bmp"), bmpFileOf(*greyImage(e.width, e.height, e.input)));
        const RunResult r =
            ondainv({dir.path("in.bmp"), dir.path("out.bmp"), std::to_string(e.levels)});
        EXPECT_EQ(r.exitStatus, 0) << e.name;
        EXPECT_EQ(r.out, BANNER + ranLine(8LL * e.width * e.height, e.levels)) << e.name;
        EXPECT_EQ(readFileBytes(dir.path("out.bmp")),
                  bmpFileOf(*greyImage(e.width, e.height, e.expected)))
            << e.name;
    }
}

// How the repeat number argument is read, judged by the levels that run and
// the file that comes out.
TEST(Ondainv, RepeatNumberArgument) {
    const struct {
        std::vector<std::string> extra;
        int levels;
    } cases[] = {
        {{}, 2}, {{"3"}, 3}, {{"1"}, 1}, {{"0"}, 0}, {{"-1"}, 0}, {{"-99999999999999"}, 0},
    };
    ScratchDir dir;
    const ImagePtr input = randomImage(16, 8, 8, 1);
    writeFileBytes(dir.path("in.bmp"), bmpFileOf(*input));
    for (const auto& c : cases) {
        std::vector<std::string> args = {dir.path("in.bmp"), dir.path("out.bmp")};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const RunResult r = ondainv(args);
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.out, BANNER + ranLine(16LL * 8 * 8, c.levels));
        EXPECT_EQ(readFileBytes(dir.path("out.bmp")),
                  bmpFileOf(*referenceImage(*input, c.levels, referenceInverse)))
            << c.levels;
    }
}

// With no level to run nothing loses the offset and the picture comes out as
// it went in, whatever its size.
TEST(Ondainv, NoLevelGivesThePictureBack) {
    const struct {
        int width, height, depth;
        const char* levels;
    } cases[] = {
        {3, 5, 8, "0"},
        {5, 3, 24, "-2"},
        {16, 8, 24, "-0"},
        {1, 1, 8, "0"},
    };
    ScratchDir dir;
    unsigned seed = 20;
    for (const auto& c : cases) {
        const Bytes in = bmpFileOf(*randomImage(c.width, c.height, c.depth, seed++));
        writeFileBytes(dir.path("in.bmp"), in);
        const RunResult r = ondainv({dir.path("in.bmp"), dir.path("out.bmp"), c.levels});
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.out, BANNER + ranLine(8LL * c.width * c.height, 0));
        EXPECT_EQ(readFileBytes(dir.path("out.bmp")), in) << c.width << "x" << c.height;
    }
}

TEST(Ondainv, ColourPictureRebuildsEveryChannelAndReportsOnce) {
    ScratchDir dir;
    // Red rises to the right, green downward, blue is flat: one level of the
    // forward transform is exact on them, so the inverse gives them back.
    const ImagePtr picture = makeImage(4, 4, 24, [](int x, int y, int c) {
        return c == 0 ? 60 * x : c == 1 ? 60 * y : 90;
    });
    writeFileBytes(dir.path("in.bmp"), bmpFileOf(*referenceImage(*picture, 1, referenceForward)));
    const RunResult r = ondainv({dir.path("in.bmp"), dir.path("out.bmp"), "1"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, BANNER + ranLine(4LL * 4 * 8, 1));
    EXPECT_EQ(readFileBytes(dir.path("out.bmp")), bmpFileOf(*picture));
}

// What a user meets: ondafwd then ondainv with the same repeat number give
// the inverse of the forward program's truncated coefficients.
TEST(Ondainv, RoundTripThroughBothPrograms) {
    const struct { int width, height; } sizes[] = {{8, 8}, {16, 8}, {8, 24}, {40, 16}};
    ScratchDir dir;
    unsigned seed = 30;
    for (int depth : {8, 24}) {
        for (int levels = 1; levels <= 3; ++levels) {
            for (const auto& s : sizes) {
                const ImagePtr picture = randomImage(s.width, s.height, depth, seed++);
                writeFileBytes(dir.path("in.bmp"), bmpFileOf(*picture));
                const std::string r = std::to_string(levels);
                ASSERT_EQ(runProgram(ONDAFWD_PATH, {dir.path("in.bmp"), dir.path("fwd.bmp"), r})
                              .exitStatus,
                          0);
                ASSERT_EQ(ondainv({dir.path("fwd.bmp"), dir.path("inv.bmp"), r}).exitStatus, 0);
                const ImagePtr predicted = referenceImage(
                    *referenceImage(*picture, levels, referenceForward), levels, referenceInverse);
                EXPECT_EQ(readFileBytes(dir.path("inv.bmp")), bmpFileOf(*predicted))
                    << s.width << "x" << s.height << "x" << depth << " R=" << levels;
            }
        }
    }
}

TEST(Ondainv, NonSquareRoundTripThroughBothPrograms) {
    ScratchDir dir;
    const ImagePtr picture = makeImage(8, 4, 8, [](int x, int y, int) { return x + 10 * y; });
    writeFileBytes(dir.path("in.bmp"), bmpFileOf(*picture));
    ASSERT_EQ(runProgram(ONDAFWD_PATH, {dir.path("in.bmp"), dir.path("fwd.bmp"), "2"}).exitStatus,
              0);
    ASSERT_EQ(ondainv({dir.path("fwd.bmp"), dir.path("inv.bmp"), "2"}).exitStatus, 0);
    // ondafwd writes 16.5 and 20.5 as 16 and 20, and each row detail 127.5
    // as 127, so neighbouring pixels come back 2 apart instead of 1; the
    // first would be -1 and is stored as 0.
    const std::vector<int> expected = {0,  1,  1,  3,  3,  5,  5,  7,  9,  11, 11,
                                       13, 13, 15, 15, 17, 19, 21, 21, 23, 23, 25,
                                       25, 27, 29, 31, 31, 33, 33, 35, 35, 37};
    EXPECT_EQ(readFileBytes(dir.path("inv.bmp")), bmpFileOf(*greyImage(8, 4, expected)));
    EXPECT_EQ(readFileBytes(dir.path("inv.bmp")),
              bmpFileOf(*referenceImage(*referenceImage(*picture, 2, referenceForward), 2,
                                        referenceInverse)));
}

}  // namespace
