#include "image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "blocks.h"
#include "owners.h"
#include "run_program.h"
#include "test_support.h"

using onda_test::makeImage;
using onda_test::underAddressSanitizer;

namespace {

// Every pixel of a 4 x 3 picture carries its own position: value 10 * y + x.
ImagePtr numbered(int depth) {
    return makeImage(4, 3, depth, [](int x, int y, int c) { return 10 * y + x + 100 * c; });
}

struct ReadCase {
    int x, y;
    int status;
    int expectX, expectY;
};

TEST(GetPixel, ClampsEachCoordinateToTheNearestEdge) {
    const ReadCase cases[] = {
        {0, 0, IMAGE_DONE, 0, 0},    {3, 2, IMAGE_DONE, 3, 2},     {-2, 1, IMAGE_OUTSIDE, 0, 1},
        {4, 3, IMAGE_OUTSIDE, 3, 2}, {-1, 7, IMAGE_OUTSIDE, 0, 2}, {2, -5, IMAGE_OUTSIDE, 2, 0},
        {9, 1, IMAGE_OUTSIDE, 3, 1},
    };
    for (int depth : {8, 24}) {
        const ImagePtr image = numbered(depth);
        for (const auto& c : cases) {
            Pixel pixel{-1, -1, -1};
            EXPECT_EQ(getPixel(image.get(), c.x, c.y, &pixel), c.status) << c.x << "," << c.y;
            const int expected = 10 * c.expectY + c.expectX;
            EXPECT_EQ(pixel.r, expected) << depth << " bits at " << c.x << "," << c.y;
            EXPECT_EQ(pixel.g, depth == 8 ? expected : expected + 100);
            EXPECT_EQ(pixel.b, depth == 8 ? expected : expected + 200);
        }
    }
}

TEST(GetPixel, RefusesWithoutImageOrPixelsAndLeavesThePixel) {
    Pixel pixel{7, 8, 9};
    EXPECT_EQ(getPixel(nullptr, 0, 0, &pixel), IMAGE_INVALID);

    // An image without pixels has none to clamp to: nothing is read.
    for (auto [w, h] : {std::pair{0, 0}, std::pair{0, 5}, std::pair{5, 0}}) {
        Image* empty = createImage(w, h, 8);
        ASSERT_NE(empty, nullptr);
        EXPECT_EQ(getPixel(empty, 0, 0, &pixel), IMAGE_INVALID);
        EXPECT_EQ(setPixel(empty, 0, 0, &pixel), IMAGE_INVALID);
        disposeImage(empty);
    }
    EXPECT_EQ(pixel.r, 7);
    EXPECT_EQ(pixel.g, 8);
    EXPECT_EQ(pixel.b, 9);
}

TEST(GetPixel, RefusesAnUnknownDepthWithoutTouchingThePixel) {
    unsigned char byte = 5;
    Image odd{1, 1, 16, &byte};
    Pixel pixel{7, 8, 9};
    EXPECT_EQ(getPixel(&odd, 0, 0, &pixel), IMAGE_INVALID);
    EXPECT_EQ(pixel.r, 7);
}

TEST(SetPixel, ChecksImageThenPositionThenDepth) {
    unsigned char byte = 5;
    Image odd{1, 1, 16, &byte};
    const Pixel pixel{1, 2, 3};
    EXPECT_EQ(setPixel(nullptr, 0, 0, &pixel), IMAGE_INVALID);
    EXPECT_EQ(setPixel(&odd, 1, 0, &pixel), IMAGE_OUTSIDE);  // position before depth
    EXPECT_EQ(setPixel(&odd, 0, 0, &pixel), IMAGE_INVALID);
    EXPECT_EQ(byte, 5);
}

TEST(SetPixel, OutsideTheImageChangesNothing) {
    for (int depth : {8, 24}) {
        const ImagePtr image = numbered(depth);
        const std::size_t bytes = std::size_t(depth / 8) * 4 * 3;
        const std::vector<unsigned char> before(image->data, image->data + bytes);
        const Pixel pixel{1, 1, 1};
        for (auto [x, y] : {std::pair{4, 0}, std::pair{0, -1}, std::pair{-1, 0}, std::pair{0, 3}}) {
            EXPECT_EQ(setPixel(image.get(), x, y, &pixel), IMAGE_OUTSIDE);
        }
        EXPECT_EQ(std::vector<unsigned char>(image->data, image->data + bytes), before);
    }
}

TEST(SetPixel, ClampsEveryChannelIntoAByte) {
    const ImagePtr colour = makeImage(2, 2, 24, [](int, int, int) { return 0; });
    const Pixel wild{300, -1, 128};
    EXPECT_EQ(setPixel(colour.get(), 1, 1, &wild), IMAGE_DONE);
    const unsigned char* p = colour->data + std::ptrdiff_t{3} * (2 * 1 + 1);
    EXPECT_EQ(p[0], 255);
    EXPECT_EQ(p[1], 0);
    EXPECT_EQ(p[2], 128);

    const ImagePtr grey = makeImage(2, 2, 8, [](int, int, int) { return 0; });
    const Pixel onlyRed{77, 200, 10};
    EXPECT_EQ(setPixel(grey.get(), 1, 0, &onlyRed), IMAGE_DONE);
    Pixel back{};
    getPixel(grey.get(), 1, 0, &back);
    EXPECT_EQ(back.r, 77);
    EXPECT_EQ(back.g, 77);
    EXPECT_EQ(back.b, 77);
}

TEST(CorrectValue, ClampsToZeroFirstThenToMax) {
    const struct {
        int value, max, expected;
    } cases[] = {
        {-7, 255, 0}, {256, 255, 255}, {255, 255, 255},
        {0, 255, 0},  {17, 255, 17},   {-3, -10, 0},  // below both: the test against 0 decides
    };
    for (const auto& c : cases) {
        EXPECT_EQ(correctValue(c.value, c.max), c.expected) << c.value << " max " << c.max;
    }
}

TEST(CreateImage, RefusesBadShapesAndDepths) {
    const struct {
        int width, height, depth;
    } refused[] = {
        {-1, 5, 8},
        {5, -1, 8},
        {5, 5, 16},
        {5, 5, 0},
        {5, 5, 32},
        // 2^31 bytes and beyond
        {65536, 32768, 8},
        {32768, 65536, 8},
        {46341, 46341, 8},
        {2147483647, 2147483647, 24},
        {2147483647, 2, 8},
        {715827883, 1, 24},
    };
    for (const auto& c : refused) {
        Image* image = createImage(c.width, c.height, c.depth);
        EXPECT_EQ(image, nullptr) << c.width << "x" << c.height << "x" << c.depth;
        disposeImage(image);
    }
}

TEST(CreateImage, AcceptsUpToOneByteBelowTheLimit) {
    // 715827882 x 3 = 2^31 - 2 bytes: the largest 24-bit row the model holds.
    Image* image = createImage(715827882, 1, 24);
    ASSERT_NE(image, nullptr);
    EXPECT_NE(image->data, nullptr);
    disposeImage(image);
}

TEST(CreateImage, ZeroSizesGiveAnImageWithoutPixels) {
    Image* image = createImage(0, 0, 24);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 0);
    EXPECT_EQ(image->depth, 24);
    EXPECT_EQ(image->data, nullptr);
    disposeImage(image);
    disposeImage(nullptr);  // does nothing
}

TEST(Layout, ColourPixelsAreStoredRedFirstRowAfterRow) {
    const ImagePtr image = makeImage(4, 3, 24, [](int, int, int) { return 0; });
    const Pixel pixel{11, 22, 33};
    setPixel(image.get(), 2, 1, &pixel);
    const unsigned char* p = image->data + std::ptrdiff_t{3} * (4 * 1 + 2);
    EXPECT_EQ(p[0], 11);
    EXPECT_EQ(p[1], 22);
    EXPECT_EQ(p[2], 33);
}

// A row's bytes hold channel c of pixel x at x * pixelBytes + c.
TEST(Layout, RowsHoldEveryChannelOfEveryPixel) {
    for (const int depth : {8, 24}) {
        const ImagePtr image =
            makeImage(5, 3, depth, [](int x, int y, int c) { return 50 * y + 7 * x + c; });
        const Image& view = *image;
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                for (int c = 0; c < pixelBytes(view); ++c)
                    EXPECT_EQ(imageRow(view, y)[x * pixelBytes(view) + c],
                              onda_test::channelAt(view, x, y, c))
                        << depth << ": " << x << "," << y << "," << c;
    }
}

}  // namespace

namespace {

// Blocks of each size, more large ones at once than the system's mappings
// are kept for: each zeroed one reads zero at both ends, each takes a byte
// at both ends, and each goes back.
TEST(Blocks, LargeAndSmallBlocksComeZeroedAndGoBack) {
    constexpr std::size_t MIB = std::size_t{1} << 20;
    const std::size_t sizes[] = {1, 2 * MIB - 1, 2 * MIB, 4 * MIB + 1};
    std::vector<BlockPtr<unsigned char>> blocks;
    for (int round = 0; round < 6; ++round) {
        for (const std::size_t bytes : sizes) {
            auto* zeroed = static_cast<unsigned char*>(allocateZeroedBlock(bytes));
            ASSERT_NE(zeroed, nullptr) << bytes;
            EXPECT_EQ(zeroed[0] + zeroed[bytes - 1], 0) << bytes;
#if defined(__linux__)
            // The first large ones are whole huge pages.
            if (round == 0 && bytes >= 2 * MIB && !underAddressSanitizer()) {
                EXPECT_EQ(reinterpret_cast<std::uintptr_t>(zeroed) % (2 * MIB), 0U) << bytes;
            }
#endif
            zeroed[0] = zeroed[bytes - 1] = 1;
            blocks.emplace_back(zeroed);
            blocks.emplace_back(static_cast<unsigned char*>(allocateBlock(bytes)));
            blocks.back()[bytes - 1] = 2;
        }
    }
    blocks.clear();
    freeBlock(nullptr);  // does nothing
}

}  // namespace
