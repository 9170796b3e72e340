#include "vectors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "kernels.h"
#include "test_support.h"

using namespace onda_test;

namespace {

// A row of the kernels' values.
using Row = std::vector<RowValue>;

// What a kernel leaves in its outputs, bit for bit (NaN included).
using Bits = std::vector<std::uint32_t>;
static_assert(sizeof(RowValue) == sizeof(std::uint32_t), "one value, one word");

Bits bitsOf(const Row& values) {
    Bits bits(values.size());
    std::memcpy(bits.data(), values.data(), values.size() * sizeof(RowValue));
    return bits;
}

// Values whose sums round, and the ones the byte store treats apart.
Row testValues(std::mt19937& random, std::size_t count) {
    const Plane drawn = randomPlane(random, int(count), 1, -300.0, 600.0);
    Row values(drawn.begin(), drawn.end());
    const RowValue special[] = {std::nanf(""),
                                std::numeric_limits<RowValue>::infinity(),
                                -std::numeric_limits<RowValue>::infinity(),
                                -0.0F,
                                0.99F,
                                254.99F,
                                255.0F,
                                255.5F,
                                3e38F,
                                -1e-40F};
    for (std::size_t k = 0; k < count; k += 3) values[k] = special[(k / 3) % 10];
    return values;
}

// Every kernel's outputs, at the width in use, for rows of `half` pairs.
Bits allOutputs(std::size_t half) {
    std::mt19937 random{static_cast<unsigned>(half)};
    const std::size_t width = 2 * half;
    const Row upper = testValues(random, width), lower = testValues(random, width);
    const Kernels& k = kernels();
    Row out(7 * width, 0.0F);
    k.forwardPair(upper.data(), lower.data(), out.data(), &out[half], &out[width],
                  std::ptrdiff_t(half));
    Row rebuilt(2 * width);
    k.inversePair(upper.data(), &upper[half], lower.data(), rebuilt.data(), &rebuilt[width],
                  std::ptrdiff_t(half));
    out.insert(out.end(), rebuilt.begin(), rebuilt.end());
    k.blockLevel(upper.data(), lower.data(), &out[2 * width], &out[2 * width + half],
                 &out[3 * width], &out[3 * width + half], std::ptrdiff_t(width));
    k.blockLevel(upper.data(), lower.data(), nullptr, &out[4 * width], &out[4 * width + half],
                 &out[5 * width], std::ptrdiff_t(width));
    Row inPlace = upper;  // the averages over the upper row itself
    k.blockLevel(inPlace.data(), lower.data(), inPlace.data(), &out[5 * width + half],
                 &out[6 * width], &out[6 * width + half], std::ptrdiff_t(width));
    out.insert(out.end(), inPlace.begin(), inPlace.end());
    std::vector<unsigned char> bytes(width);
    k.storeGrey(upper.data(), bytes.data(), width);
    std::vector<unsigned char> colour(3 * width, 7);
    k.storeColour(lower.data(), &colour[1], width);  // green, between red and blue
    for (std::size_t offsetFree : {std::size_t{0}, half / 3, width}) {
        Row loaded(2 * width);
        k.loadGrey(bytes.data(), loaded.data(), offsetFree, width);
        k.loadColour(&colour[1], &loaded[width], offsetFree, width);
        out.insert(out.end(), loaded.begin(), loaded.end());
    }
    for (const unsigned char byte : colour) out.push_back(byte);
    return bitsOf(out);
}

// Each width the processor runs gives the portable version's bits, on rows
// long enough for whole vectors and with every length of tail.
TEST(Vectors, EveryWidthGivesThePortableBits) {
    const VectorWidth widest = vectorWidth();
    for (const VectorWidth width : {VECTORS_SSE2, VECTORS_AVX2}) {
        if (!runsVectors(width)) continue;
        for (std::size_t half = 1; half <= 21; ++half) {
            ASSERT_TRUE(useVectors(VECTORS_PORTABLE));
            ASSERT_EQ(vectorWidth(), VECTORS_PORTABLE);
            const Bits portable = allOutputs(half);
            ASSERT_TRUE(useVectors(width));
            ASSERT_EQ(vectorWidth(), width);
            EXPECT_EQ(allOutputs(half), portable) << "width " << width << ", " << half << " pairs";
        }
    }
    EXPECT_TRUE(useVectors(widest));
    EXPECT_TRUE(runsVectors(VECTORS_PORTABLE));
}

}  // namespace
