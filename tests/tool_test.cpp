#include "tool.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "repeat_number.h"
#include "size_check.h"
#ifndef _WIN32
#include <iconv.h>
#endif

#include "console.h"
#include "messages.h"
#include "test_support.h"

using onda_test::channelAt;
using onda_test::makeImage;

namespace {

// A whole number, blanks around it allowed, saturating beyond int; nothing
// else (std::nullopt) is a repeat number.
TEST(RepeatNumber, IsAWholeNumberThatSaturates) {
    const std::optional<int> NONE;
    const struct {
        const char* text;
        std::optional<int> value;
    } cases[] = {
        {"3", 3},
        {"  2", 2},
        {"\t\n 7 \v\f\r", 7},
        {"+4", 4},
        {"-1", -1},
        {"007", 7},
        {"2147483647", INT_MAX},
        {"-2147483648", INT_MIN},
        {"2147483648", INT_MAX},
        {"99999999999999999999999", INT_MAX},
        {"-99999999999999999999999", INT_MIN},
        {"00000000000000000000002", 2},
        {"", NONE},
        {"  ", NONE},
        {"abc", NONE},
        {"2abc", NONE},
        {"3 levels", NONE},
        {"2x", NONE},
        {"0x10", NONE},
        {"1e3", NONE},
        {"2.0", NONE},
        {"-", NONE},
        {"+-2", NONE},
        {" - 2", NONE},
        {"003.bmp", NONE},
        {"photo3.bmp", NONE},
    };
    for (const auto& c : cases)
        EXPECT_EQ(parseRepeatNumber(c.text), c.value) << '"' << c.text << '"';
}

TEST(RepeatNumber, ComesFromTheThirdArgumentOrTheDefault) {
    char program[] = "p", in[] = "in", out[] = "out", three[] = "3", extra[] = "9";
    char* two[] = {program, in, out, nullptr};
    char* four[] = {program, in, out, three, extra, nullptr};
    EXPECT_EQ(repeatNumberArgument(3, two, 2), 2);
    EXPECT_EQ(repeatNumberArgument(5, four, 2), 3);
}

TEST(SizeRule, MultipleOfTwoToTheLevels) {
    EXPECT_EQ(sideMultipleForLevels(INT_MIN), 1);
    EXPECT_EQ(sideMultipleForLevels(0), 1);
    EXPECT_EQ(sideMultipleForLevels(1), 2);
    EXPECT_EQ(sideMultipleForLevels(30), 1 << 30);
    EXPECT_EQ(sideMultipleForLevels(31), std::int64_t{1} << 31);
    EXPECT_EQ(sideMultipleForLevels(INT_MAX), std::int64_t{1} << 31);
}

TEST(SizeRule, RefusesZeroAndIndivisibleSides) {
    const struct {
        int width, height, levels;
        bool ok;
    } cases[] = {
        {8, 4, 2, true},
        {8, 4, 3, false},
        {6, 8, 2, false},
        {0, 8, 0, false},
        {8, 0, 1, false},
        {1, 1, 0, true},
        {1, 1, -4, true},
        {2, 2, 31, false},
        {1 << 30, 1 << 30, 30, true},
        {1 << 30, 1 << 30, 31, false},
    };
    for (const auto& c : cases) {
        Image image{c.width, c.height, 8, nullptr};
        EXPECT_EQ(checkImageSizeForLevels(image, c.levels, "in.bmp", SIZE_ADVICE_CROP), c.ok)
            << c.width << "x" << c.height << " at " << c.levels;
    }
}

TEST(SizeRule, ApproximationCornerOfTheLevels) {
    const struct {
        int levels, width, height;
    } cases[] = {
        {1, 8, 4}, {3, 2, 1}, {4, 1, 0}, {0, 16, 8}, {-5, 16, 8}, {31, 0, 0}, {INT_MAX, 0, 0},
    };
    const Image image{16, 8, 8, nullptr};
    for (const auto& c : cases) {
        const KeptCorner corner = approximationCorner(image, c.levels);
        EXPECT_EQ(corner.width, c.width) << c.levels;
        EXPECT_EQ(corner.height, c.height) << c.levels;
    }
}

// Each pair, decoded from CP932 by the system's converter, is its UTF-8 text.
TEST(ConsoleText, EachJapanesePairSpellsOneText) {
#ifdef _WIN32
    GTEST_SKIP() << "the check uses iconv";
#else
    const iconv_t converter = iconv_open("UTF-8", "CP932");
    ASSERT_NE(converter,
              iconv_t(-1));  // NOLINT(performance-no-int-to-ptr): iconv_open's failure value
    for (const message::JapaneseText* text : message::JAPANESE_TEXTS) {
        std::string in = text->cp932, utf8(4 * in.size(), '\0');
        char* from = in.data();
        char* to = utf8.data();
        std::size_t left = in.size(), room = utf8.size();
        EXPECT_NE(iconv(converter, &from, &left, &to, &room), std::size_t(-1)) << text->utf8;
        EXPECT_EQ(utf8.substr(0, utf8.size() - room), text->utf8);
    }
    iconv_close(converter);
#endif
}

TEST(ImageKind, ColourMonochromeOrNeither) {
    const struct {
        int depth;
        message::JapaneseText format;
        bool ok;
    } cases[] = {
        {24, message::FILE_IS_COLOUR, true},
        {8, message::FILE_IS_MONO, true},
        {16, message::FILE_NEITHER_COLOUR_NOR_MONO, false},
    };
    for (const auto& c : cases) {
        const Image image{2, 2, c.depth, nullptr};
        testing::internal::CaptureStdout();
        const bool ok = reportImageKind(image, "a%d.bmp");
        EXPECT_EQ(std::fflush(stdout), 0);
        char expected[256];
        EXPECT_GT(std::snprintf(expected, sizeof expected, consoleText(c.format), "a%d.bmp"), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expected) << c.depth;
        EXPECT_EQ(ok, c.ok) << c.depth;
    }
}

TEST(Planes, FillKeepsTheCornerAndTakesTheOffsetOffElsewhere) {
    const ImagePtr image =
        makeImage(4, 2, 24, [](int x, int y, int c) { return 10 * y + x + 100 * c; });
    std::vector<double> plane(8);
    fillPlane(*image, 1, plane.data(), KeptCorner{2, 1});
    EXPECT_EQ(plane, (std::vector<double>{100, 101, 102 - 128, 103 - 128, 110 - 128, 111 - 128,
                                          112 - 128, 113 - 128}));
    fillPlane(*image, 2, plane.data(), KeptCorner{4, 2});
    EXPECT_EQ(plane, (std::vector<double>{200, 201, 202, 203, 210, 211, 212, 213}));
}

// Each row a case: values an int holds, the edges of that range, values
// beyond it, and those that are no number.
// Each row a case: values within a byte, within an int, at the edges of an
// int, just beyond them, far beyond them, and no numbers.
TEST(Planes, WriteBackTruncatesClampsAndKeepsOtherChannels) {
    const double huge = 1e300, infinite = std::numeric_limits<double>::infinity();
    // clang-format off
    const std::vector<double> values = {
        255.5,          0.5,             127.75,   -0.75,      // within a byte
        300,            -5,              256,      -0.0,       // within an int
        2147483647.75,  -2147483647.75,  254.99,   1,          // at its edges
        2147483648.0,   -2147483649.0,   3e9,      7,          // just beyond them
        huge,           -huge,           2,        -2,         // far beyond
        std::nan(""),   infinite,        -infinite, 3,         // no numbers
    };
    const int expected[] = {
        255, 0, 127, 0,
        255, 0, 255, 0,
        255, 0, 254, 1,
        255, 0, 255, 7,
        255, 0, 2,   0,
        0,   255, 0, 3,
    };
    // clang-format on
    for (const int depth : {24, 8}) {
        const ImagePtr image = makeImage(4, 6, depth, [](int, int, int c) { return 40 + c; });
        const int channel = depth == 24 ? 1 : 0;
        writeBackPlane(*image, channel, values.data());
        for (int i = 0; i < 24; ++i) {
            EXPECT_EQ(channelAt(*image, i % 4, i / 4, channel), expected[i])
                << values[std::size_t(i)] << " at depth " << depth;
            if (depth == 24) {
                EXPECT_EQ(channelAt(*image, i % 4, i / 4, 0), 40);
                EXPECT_EQ(channelAt(*image, i % 4, i / 4, 2), 42);
            }
        }
    }
}

TEST(Planes, EveryChannelOfAColourImageIsTransformedOnItsOwn) {
    const ImagePtr input =
        makeImage(2, 2, 24, [](int x, int y, int c) { return x + 2 * y + 10 * c; });
    Workspace workspace;
    ASSERT_TRUE(prepareWorkspace(*input, 0, workspace, "in.bmp"));
    std::vector<int> seen;
    // A stand-in transform: doubles every value of the plane.
    transformChannels(
        *input, workspace, KeptCorner{2, 2},
        [&](int channel, const double* source, double* result, int height, int width, double*) {
            seen.push_back(channel);
            for (int i = 0; i < height * width; ++i) result[i] = 2 * source[i];
        });
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2}));
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(channelAt(*workspace.output, 1, 1, c), 2 * (3 + 10 * c));
    }
}

}  // namespace
