// ondasplit as a user runs it: the built program on files written here, judged
// by its standard output, its exit status and the bytes of what it writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "messages.h"
#include "test_support.h"

using namespace onda_test;
namespace fs = std::filesystem;

namespace {

const std::string BANNER = bannerOf(message::SPLIT_BANNER);

std::string kindLine(const Image& input, const fs::path& path) {
    return onda_test::kindLine(input.depth, path.string());
}

// What a run that reaches the transform prints after the kind line.
std::string ranText(const Image& input, const std::string& repeat) {
    const int w = input.width, h = input.height;
    std::string text = "Memory size -> " + std::to_string(8LL * w * h) + "\n" +
                       "Memory has been allocated. The address is *\n";
    char sizes[160];
    const int length = std::snprintf(sizes, sizeof sizes,
                                     "v:%d, h:%d, ysize:%d, xsize:%d, hm:%d, hn:%d, qm:%d, qn:%d\n",
                                     h, w, h, w, w / 2, h / 2, w / 4, h / 4);
    EXPECT_TRUE(length >= 0 && std::size_t(length) < sizeof sizes);
    for (int plane = 0; plane < (input.depth == 24 ? 3 : 1); ++plane) {
        text += "Plane : " + std::to_string(plane) + "\n" + "Wavelet Transfer -- " + repeat +
                " Times --\n" + sizes + "\n";
    }
    return text;
}

// 0.25, 127.75, 128.25, 127.75 truncate to 0, 127, 128, 127; one level by default.
TEST(Ondasplit, TwoByTwoGreyPictureAtTheDefaultRepeatNumber) {
    ScratchDir dir;
    const ImagePtr input =
        makeImage(2, 2, 8, [](int x, int y, int) { return x == 1 && y == 0 ? 1 : 0; });
    writeFileBytes(dir.path("in.bmp"), bmpFileOf(*input));
    const RunResult r = ondasplit({dir.path("in.bmp"), dir.path("out.bmp")});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, BANNER + kindLine(*input, dir.path("in.bmp")) + ranText(*input, "1"));
    const ImagePtr expected = makeImage(2, 2, 8, [](int x, int y, int) {
        const int values[2][2] = {{0, 127}, {128, 127}};
        return values[y][x];
    });
    EXPECT_EQ(readFileBytes(dir.path("out.bmp")), bmpFileOf(*expected));
}

// How the repeat number argument is read, judged by the console and by the
// levels the written file holds: any number but 1 gives two.
TEST(Ondasplit, RepeatNumberArgument) {
    const struct {
        std::vector<std::string> extra;
        std::string shown;
        int levels;
    } cases[] = {
        {{}, "1", 1},    {{"1"}, "1", 1},   {{"2"}, "2", 2},
        {{"0"}, "0", 2}, {{"-1"}, "-1", 2}, {{"-99999999999"}, "-2147483648", 2},
    };
    ScratchDir dir;
    for (int depth : {8, 24}) {
        const ImagePtr input = randomImage(16, 8, depth, unsigned(depth));
        writeFileBytes(dir.path("in.bmp"), bmpFileOf(*input));
        for (const auto& c : cases) {
            std::vector<std::string> args = {dir.path("in.bmp"), dir.path("out.bmp")};
            args.insert(args.end(), c.extra.begin(), c.extra.end());
            const RunResult r = ondasplit(args);
            EXPECT_EQ(r.exitStatus, 0);
            EXPECT_EQ(r.out,
                      BANNER + kindLine(*input, dir.path("in.bmp")) + ranText(*input, c.shown));
            EXPECT_EQ(readFileBytes(dir.path("out.bmp")),
                      bmpFileOf(*referenceImage(*input, c.levels, referenceForward)))
                << depth << " " << c.shown;
        }
    }
}

// A repeat number above 2 is refused after the kind line, before the size is
// looked at; digits beyond int saturate and are refused too.
TEST(Ondasplit, RepeatNumberAboveTwoIsRefused) {
    const struct {
        int width, height, depth;
        std::string repeat, saturated;
    } cases[] = {
        {4, 4, 8, "3", "3"},
        {4, 4, 24, "3", "3"},
        {4, 4, 8, "2147483648", "2147483647"},
        {4, 4, 8, "99999999999999999999", "2147483647"},
        {3, 5, 8, "3", "3"},
        {0, 0, 24, "7", "7"},
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        const ImagePtr input = randomImage(c.width, c.height, c.depth, 5);
        writeFileBytes(dir.path("in.bmp"), bmpFileOf(*input));
        const RunResult r = ondasplit({dir.path("in.bmp"), dir.path("out.bmp"), c.repeat});
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.out,
                  BANNER + kindLine(*input, dir.path("in.bmp")) + "Repeat Number input error\n");
        EXPECT_EQ(r.err, "ondasplit: " + dir.path("in.bmp").string() + ": repeat number " +
                             c.saturated + "; ondasplit makes 1 or 2 levels (0 or less gives 2)\n");
        EXPECT_FALSE(fs::exists(dir.path("out.bmp")));
    }
}

// One level needs even sides, two levels (and 0 or less) multiples of 4. The
// reason advises a crop, or one level where the shorter side has too few
// pixels for two.
TEST(Ondasplit, SizesTheBlocksCannotCoverAreRefused) {
    const auto cropTo = [](const std::string& size) {
        return "crop to " + size + conversionAdvice("-crop " + size + "+0+0 +repage ");
    };
    const std::string twoPixels = "; a side of 2 pixels takes at most 1 level";
    const struct {
        int width, height, depth;
        std::string repeat, multiple, advice;
    } cases[] = {
        // clang-format off
        {3, 4, 8, "1", "2", ": " + cropTo("2x4")},  {4, 5, 24, "1", "2", ": " + cropTo("4x4")},
        {6, 4, 8, "2", "4", ": " + cropTo("4x4")},  {4, 6, 24, "2", "4", ": " + cropTo("4x4")},
        {2, 2, 8, "2", "4", twoPixels},    {2, 4, 8, "0", "4", twoPixels},
        {6, 8, 8, "-1", "4", ": " + cropTo("4x8")}, {0, 4, 8, "1", "2", ""},
        {4, 0, 24, "2", "4", ""},          {0, 0, 8, "1", "2", ""},
        {3, 2, 8, "2", "4", twoPixels + ": for 1, " + cropTo("2x2")},  // clang-format on
    };
    ScratchDir dir;
    for (const auto& c : cases) {
        const ImagePtr input = randomImage(c.width, c.height, c.depth, 6);
        writeFileBytes(dir.path("in.bmp"), bmpFileOf(*input));
        const RunResult r = ondasplit({dir.path("in.bmp"), dir.path("out.bmp"), c.repeat});
        EXPECT_EQ(r.signal, 0);
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.out,
                  BANNER + kindLine(*input, dir.path("in.bmp")) + "Image size " +
                      std::to_string(c.width) + "x" + std::to_string(c.height) +
                      " cannot be transformed: width and height must be positive multiples of " +
                      c.multiple + ".\n");
        EXPECT_EQ(r.err, "ondasplit: " + dir.path("in.bmp").string() + ": size " +
                             std::to_string(c.width) + "x" + std::to_string(c.height) +
                             "; width and height must be positive multiples of " + c.multiple +
                             " for the levels asked" + c.advice + "\n");
        EXPECT_FALSE(fs::exists(dir.path("out.bmp")));
    }
}

TEST(Ondasplit, ColourPictureTransformsEveryChannelOnItsOwn) {
    ScratchDir dir;
    // Red rises to the right, green downward, blue is flat: three different
    // transforms, none a copy of another.
    const ImagePtr input = makeImage(4, 4, 24, [](int x, int y, int c) {
        return c == 0 ? 60 * x : c == 1 ? 60 * y : 90;
    });
    writeFileBytes(dir.path("in.bmp"), bmpFileOf(*input));
    const RunResult r = ondasplit({dir.path("in.bmp"), dir.path("out.bmp"), "1"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, BANNER + kindLine(*input, dir.path("in.bmp")) + ranText(*input, "1"));
    Image* output = nullptr;
    ASSERT_EQ(readBMPfile(dir.path("out.bmp").c_str(), &output), BMP_OK);
    const ImagePtr owned(output);
    ASSERT_EQ(owned->depth, 24);
    // Top-left average, top-right row detail, bottom-left column detail.
    const struct {
        int x, y, c, value;
    } samples[] = {
        {0, 0, 0, 30}, {2, 0, 0, 98}, {0, 2, 0, 128}, {0, 0, 1, 30},  {2, 0, 1, 128},
        {0, 2, 1, 98}, {0, 0, 2, 90}, {2, 0, 2, 128}, {3, 3, 2, 128}, {1, 1, 0, 150},
    };
    for (const auto& s : samples) {
        EXPECT_EQ(channelAt(*owned, s.x, s.y, s.c), s.value)
            << s.x << "," << s.y << " channel " << s.c;
    }
}

// The two programs reach the same coefficients by different routes.
TEST(Ondasplit, WritesWhatOndafwdWritesForOneAndTwoLevels) {
    ScratchDir dir;
    const struct {
        int width, height, depth;
    } shapes[] = {
        {2, 6, 8}, {8, 8, 8}, {36, 20, 8}, {4, 4, 24}, {12, 16, 24}, {64, 8, 24},
    };
    unsigned seed = 100;
    for (const auto& s : shapes) {
        const ImagePtr input = randomImage(s.width, s.height, s.depth, seed++);
        writeFileBytes(dir.path("in.bmp"), bmpFileOf(*input));
        for (const std::string repeat : {"1", "2"}) {
            if (repeat == "2" && (s.width % 4 != 0 || s.height % 4 != 0)) continue;
            ASSERT_EQ(ondasplit({dir.path("in.bmp"), dir.path("split.bmp"), repeat}).exitStatus, 0);
            ASSERT_EQ(runProgram(ONDAFWD_PATH, {dir.path("in.bmp"), dir.path("fwd.bmp"), repeat})
                          .exitStatus,
                      0);
            EXPECT_EQ(readFileBytes(dir.path("split.bmp")), readFileBytes(dir.path("fwd.bmp")))
                << s.width << "x" << s.height << "x" << s.depth << " R=" << repeat;
        }
    }
}

// ondainv undoes what ondasplit wrote, as it undoes ondafwd's pictures.
TEST(Ondasplit, OndainvRebuildsWhatItWrote) {
    ScratchDir dir;
    const struct {
        int width, height, depth, levels;
    } cases[] = {
        {8, 8, 8, 1},
        {20, 12, 8, 2},
        {6, 14, 24, 1},
        {16, 32, 24, 2},
    };
    unsigned seed = 200;
    for (const auto& c : cases) {
        const ImagePtr picture = randomImage(c.width, c.height, c.depth, seed++);
        writeFileBytes(dir.path("in.bmp"), bmpFileOf(*picture));
        const std::string repeat = std::to_string(c.levels);
        ASSERT_EQ(ondasplit({dir.path("in.bmp"), dir.path("split.bmp"), repeat}).exitStatus, 0);
        ASSERT_EQ(runProgram(ONDAINV_PATH, {dir.path("split.bmp"), dir.path("inv.bmp"), repeat})
                      .exitStatus,
                  0);
        const ImagePtr predicted = referenceImage(
            *referenceImage(*picture, c.levels, referenceForward), c.levels, referenceInverse);
        EXPECT_EQ(readFileBytes(dir.path("inv.bmp")), bmpFileOf(*predicted))
            << c.width << "x" << c.height << "x" << c.depth << " R=" << c.levels;
    }
}

}  // namespace
