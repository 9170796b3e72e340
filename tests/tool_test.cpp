#include "tool.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
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
#include "forward.h"
#include "image_rows.h"
#include "inverse.h"
#include "messages.h"
#include "owners.h"
#include "split.h"
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

// The refusal's line on standard output and its reason, with the advice for
// a picture (a crop, or the levels the shorter side takes where no crop can
// do) and for a transform (the levels its size takes). From 31 levels on no
// side can be halved that often, and the refusal says so in words.
TEST(SizeRule, RefusalNamesTheSizeTheRuleAndTheAdvice) {
    const auto multipleOf = [](const std::string& multiple) {
        const std::string rule = "width and height must be positive multiples of " + multiple;
        return std::pair<std::string, std::string>{rule, rule + " for the levels asked"};
    };
    const auto halvedTimes = [](const std::string& levels) {
        const std::string rule = "no picture side can be halved " + levels + " times";
        return std::pair<std::string, std::string>{rule, rule};
    };
    const auto cropTo = [](const std::string& size) {
        return "crop to " + size + onda_test::conversionAdvice("-crop " + size + "+0+0 +repage ");
    };
    const std::string twoPixels = "; a side of 2 pixels takes at most 1 level",
                      repeat =
                          "; give the repeat number the transform was made with: this size takes ";
    const struct {
        int width, height, levels;
        std::pair<std::string, std::string> rule;  // as standard output and the reason word it
        std::string cropAdvice, repeatAdvice;      // the reason's end
    } cases[] = {
        // clang-format off
        {6, 4, 2, multipleOf("4"), ": " + cropTo("4x4"), repeat + "at most 1 level"},
        {8, 4, 3, multipleOf("8"), "; a side of 4 pixels takes at most 2 levels", repeat + "at most 2 levels"},
        {3, 4, 1, multipleOf("2"), ": " + cropTo("2x4"), repeat + "no level"},
        {2, 2, 30, multipleOf("1073741824"), twoPixels, repeat + "at most 1 level"},
        {2, 2, 31, halvedTimes("31"), twoPixels, repeat + "at most 1 level"},
        {2, 2, 40, halvedTimes("40"), twoPixels, repeat + "at most 1 level"},
        {2, 2, INT_MAX, halvedTimes("2147483647"), twoPixels, repeat + "at most 1 level"},
        {641, 479, 2, multipleOf("4"), ": " + cropTo("640x476"), repeat + "no level"},
        {9, 8, 3, multipleOf("8"), ": " + cropTo("8x8"), repeat + "no level"},
        {96, 64, 6, multipleOf("64"), ": " + cropTo("64x64"), repeat + "at most 5 levels"},
        {64, 96, 7, multipleOf("128"), "; a side of 64 pixels takes at most 6 levels: for 6, " + cropTo("64x64"), repeat + "at most 5 levels"},
        {1001, 777, 12, multipleOf("4096"), "; a side of 777 pixels takes at most 9 levels: for 9, " + cropTo("512x512"), repeat + "no level"},
        {1, 8, 1, multipleOf("2"), "; a side of 1 pixel takes no level", repeat + "no level"},
        {640, 476, 31, halvedTimes("31"), "; a side of 476 pixels takes at most 8 levels: for 8, " + cropTo("512x256"), repeat + "at most 2 levels"},
        {0, 4, 1, multipleOf("2"), "", ""},
        {4, 0, 0, multipleOf("1"), "", ""},
        {0, 0, -3, multipleOf("1"), "", ""},
        // clang-format on
    };
    for (const auto& c : cases) {
        const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
        const Image image{c.width, c.height, 8, nullptr};
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        EXPECT_FALSE(checkImageSizeForLevels(image, c.levels, "in.bmp", SIZE_ADVICE_CROP));
        EXPECT_EQ(std::fflush(stdout), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "Image size " + size + " cannot be transformed: " + c.rule.first + ".\n");
        const std::string reason = "size " + size + "; " + c.rule.second;
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  "onda: in.bmp: " + reason + c.cropAdvice + "\n");
        EXPECT_EQ(sizeReason(c.width, c.height, c.levels, SIZE_ADVICE_REPEAT_NUMBER),
                  reason + c.repeatAdvice);
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
        const OffsetFreeCorner corner = approximationCorner(image, c.levels);
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

// A reason line keeps to one line and starts no escape sequence; a byte
// 0x80 to 0x9F outside UTF-8 leads a CP932 character, and stays where the
// locale is not UTF-8.
TEST(ConsoleText, ControlCharactersInAPathAreShownAsQuestionMarks) {
    const struct {
        std::string text;
        bool utf8;
        std::string shown;
    } rows[] = {
        {"a\nb\rc\x1b[2J\x7f", true, "a?b?c?[2J?"},
        {"csi\xc2\x9b"
         "31m nel\xc2\x85",
         false, "csi?31m nel?"},
        {"raw\x9b"
         "31m",
         true, "raw?31m"},
        {"raw\x9b"
         "31m",
         false,
         "raw\x9b"
         "31m"},
        {"\xe5\x86\x99\xe7\x9c\x9f.bmp \xc2\xa0\xc3\xa9", true,
         "\xe5\x86\x99\xe7\x9c\x9f.bmp \xc2\xa0\xc3\xa9"},
        {"\x8e\xca\x90\x5e.bmp", false, "\x8e\xca\x90\x5e.bmp"},  // CP932
        {"\x8e\xca\x90\x5e.bmp", true, "?\xca\x90^.bmp"},
        {"cut\xe5\x86", true, "cut\xe5?"},
        {"\xef\x82\x9b\xf4\x8f\x80\x80", true, "\xef\x82\x9b\xf4\x8f\x80\x80"},
        {"\xf0\x9f\x98\x80\xc2", true, "\xf0\x9f\x98\x80\xc2"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(shownOnOneLine(row.text, row.utf8), row.shown) << row.text;
}

TEST(ImageKind, ColourMonochromeOrNeither) {
    const struct {
        int depth;
        message::JapaneseText format;
        bool ok;
        const char* reason;
    } cases[] = {
        {24, message::FILE_IS_COLOUR, true, ""},
        {8, message::FILE_IS_MONO, true, ""},
        {16, message::FILE_NEITHER_COLOUR_NOR_MONO, false,
         "onda: a%d.bmp: 16 bits per pixel; only 8-bit (grey) and 24-bit (colour) pictures are "
         "transformed\n"},
    };
    for (const auto& c : cases) {
        const Image image{2, 2, c.depth, nullptr};
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const bool ok = reportImageKind(image, "a%d.bmp");
        EXPECT_EQ(std::fflush(stdout), 0);
        char expected[256];
        EXPECT_GT(std::snprintf(expected, sizeof expected, consoleText(c.format), "a%d.bmp"), 0);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), expected) << c.depth;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.reason) << c.depth;
        EXPECT_EQ(ok, c.ok) << c.depth;
    }
}

// The planes of `input` bound to fresh rows, written into `output`.
struct BoundPlanes {
    ImagePtr output;
    ImagePlanes planes;
    BoundPlanes(const Image& input, OffsetFreeCorner offsetFree)
        : output(createImage(input.width, input.height, input.depth)) {
        bindImagePlanes(planes, input, *output, offsetFree);
    }
    const RowIO& io(int channel) const { return *planes.io.plane[channel]; }
};

TEST(Planes, LoadKeepsTheCornerAndTakesTheOffsetOffElsewhere) {
    const ImagePtr image =
        makeImage(4, 2, 24, [](int x, int y, int c) { return 10 * y + x + 100 * c; });
    const struct {
        int channel, y, x, count;
        OffsetFreeCorner offsetFree;
        std::vector<RowValue> values;
    } cases[] = {
        {1, 0, 0, 4, {2, 1}, {100, 101, 102 - 128, 103 - 128}},
        {1, 1, 0, 4, {2, 1}, {110 - 128, 111 - 128, 112 - 128, 113 - 128}},
        {1, 0, 1, 3, {2, 1}, {101, 102 - 128, 103 - 128}},  // the corner ends inside
        {1, 0, 3, 1, {2, 1}, {103 - 128}},                  // the segment lies past it
        {2, 1, 0, 4, {4, 2}, {210, 211, 212, 213}},
        {0, 1, 2, 2, {4, 2}, {12, 13}},
    };
    for (const auto& c : cases) {
        const BoundPlanes bound(*image, c.offsetFree);
        std::vector<RowValue> values(c.values.size());
        bound.io(c.channel).load(c.y, c.x, c.count, values.data());
        EXPECT_EQ(values, c.values) << c.channel << " " << c.x << "," << c.y;
    }
}

// Each row a case: values within a byte, within an int, at the edges of an
// int, just beyond them, far beyond them, and no numbers; then rows whose
// only value beyond an int is 2^31 exactly, first and last.
TEST(Planes, StoreTruncatesClampsAndKeepsOtherChannels) {
    const double huge = 1e300, infinite = std::numeric_limits<double>::infinity();
    const double twoTo31 = 2147483648.0;
    // clang-format off
    const std::vector<double> values = {
        255.5,          0.5,             127.75,   -0.75,      // within a byte
        300,            -5,              256,      -0.0,       // within an int
        2147483647.75,  -2147483647.75,  254.99,   1,          // at its edges
        2147483648.0,   -2147483649.0,   3e9,      7,          // just beyond them
        huge,           -huge,           2,        -2,         // far beyond
        std::nan(""),   infinite,        -infinite, 3,         // no numbers
        twoTo31,        4,               5,        6,          // 2^31 first
        8,              9,               10,       twoTo31,    // 2^31 last
    };
    const int expected[] = {
        255, 0, 127, 0,
        255, 0, 255, 0,
        255, 0, 254, 1,
        255, 0, 255, 7,
        255, 0, 2,   0,
        0,   255, 0, 3,
        255, 4, 5,   6,
        8,   9, 10,  255,
    };
    // clang-format on
    const int rows = int(values.size() / 4);
    for (const int depth : {24, 8}) {
        const ImagePtr input = makeImage(4, rows, depth, [](int, int, int c) { return 40 + c; });
        const BoundPlanes bound(*input, OffsetFreeCorner{4, rows});
        Image& output = *bound.output;
        std::memcpy(output.data, input->data, std::size_t(4 * rows * depth / 8));
        const int channel = depth == 24 ? 1 : 0;
        const std::vector<RowValue> stored(values.begin(), values.end());
        for (int y = 0; y < rows; ++y) {
            bound.io(channel).store(y, 0, 4, stored.data() + 4 * std::size_t(y));
        }
        for (int i = 0; i < 4 * rows; ++i) {
            EXPECT_EQ(channelAt(output, i % 4, i / 4, channel), expected[i])
                << values[std::size_t(i)] << " at depth " << depth;
            if (depth == 24) {
                EXPECT_EQ(channelAt(output, i % 4, i / 4, 0), 40);
                EXPECT_EQ(channelAt(output, i % 4, i / 4, 2), 42);
            }
        }
    }
}

// A stand-in sweep step: row `y` of its plane, doubled.
void doubleRow(const PlaneSweep& sweep, int y) {
    sweep.io->load(y, 0, sweep.width, sweep.rows.input);
    for (int x = 0; x < sweep.width; ++x) sweep.rows.result[x] = 2 * sweep.rows.input[x];
    sweep.io->store(y, 0, sweep.width, sweep.rows.result);
}

// A row of input and one of result, a step a row.
const SweepTransform DOUBLING{[](int, int width, int) {
                                  return SweepRowsLength{std::size_t(width), std::size_t(width)};
                              },
                              doubleRow, [](int height, int) { return height; }};

// Each transform's rows for a shape and its levels: at least a value a
// plane, so that every block has an address.
TEST(Workspace, SizedFromTheTransformTheShapeAndTheLevels) {
    const struct {
        const SweepTransform& transform;
        SweepShape shape;
        std::uint64_t inputBytes, resultBytes;
    } rows[] = {
        {fwd::TRANSFORM, {4, 8, 1, 2}, 64, 96},         {fwd::TRANSFORM, {4, 8, 3, 1}, 192, 192},
        {fwd::TRANSFORM, {4, 8, 1, 0}, 64, 4},          {inv::TRANSFORM, {8, 8, 3, 3}, 192, 336},
        {split::TRANSFORM, {4, 8, 1, 1}, 64, 64},       {split::TRANSFORM, {4, 8, 3, 2}, 384, 240},
        {fwd::TRANSFORM, {512, 512, 1, 9}, 4096, 8192},  // level 9 keeps doubles
    };
    for (const auto& row : rows) {
        const SweepWorkspace workspace = makeSweepWorkspace(row.transform, row.shape);
        EXPECT_TRUE(hasRows(workspace));
        EXPECT_EQ(workspace.inputBytes, row.inputBytes)
            << row.shape.width << " " << row.shape.levels;
        EXPECT_EQ(workspace.resultBytes, row.resultBytes)
            << row.shape.width << " " << row.shape.levels;
    }
}

TEST(Planes, EveryChannelOfAColourImageIsTransformedOnItsOwn) {
    const ImagePtr input =
        makeImage(2, 2, 24, [](int x, int y, int c) { return x + 2 * y + 10 * c; });
    BoundPlanes bound(*input, OffsetFreeCorner{2, 2});
    const SweepWorkspace workspace = makeSweepWorkspace(DOUBLING, SweepShape{2, 2, 3, 1});
    ASSERT_TRUE(hasRows(workspace));
    sweepPicture(workspace, bound.planes.io);
    for (int c = 0; c < 3; ++c) {
        for (int y = 0; y < 2; ++y) {
            for (int x = 0; x < 2; ++x) {
                EXPECT_EQ(channelAt(*bound.output, x, y, c), 2 * (x + 2 * y + 10 * c));
            }
        }
    }
}

}  // namespace
