#include "image_rows.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// A coefficient truncated toward zero and clamped to 0..255; NaN gives 0.
unsigned char channelByte(double value) {
    const double low = value > 0.0 ? value : 0.0;
    return static_cast<unsigned char>(static_cast<int>(low < 255.0 ? low : 255.0));
}

// The row loops, for channels 1 byte apart (grey) or 3 (colour): with the
// step known, the compiler turns each into a few instructions a pixel.
template <std::size_t Step>
void loadRow(const unsigned char* __restrict pixels, double* __restrict values, std::size_t kept,
             std::size_t count) {
    for (std::size_t x = 0; x < kept; ++x) values[x] = pixels[x * Step];
    for (std::size_t x = kept; x < count; ++x) values[x] = pixels[x * Step] - DETAIL_OFFSET;
}

// True when every value lies strictly between -2^31 and 2^31, where its
// conversion to int is defined. The test reads the high 32 bits of each
// value: with the sign cleared they lie below those of 2^31 exactly for such
// values (infinities and NaNs carry the largest exponent). Unlike comparisons
// of doubles, the loop vectorises to a few instructions a value.
bool allWithinInt(const double* values, std::size_t count) {
    constexpr std::uint32_t HIGH_WORD_OF_2_TO_31 = 0x41E00000;
    std::uint32_t outside = 0;
    for (std::size_t x = 0; x < count; ++x) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, values + x, sizeof bits);
        const auto magnitude = static_cast<std::uint32_t>(bits >> 32) & 0x7FFFFFFFU;
        outside |= static_cast<std::uint32_t>(magnitude >= HIGH_WORD_OF_2_TO_31);
    }
    return outside == 0;
}

// Each value truncated toward zero and clamped to 0..255: through int where
// every value of the segment converts to one, which the compiler vectorises,
// through channelByte otherwise.
template <std::size_t Step>
void storeRow(const double* __restrict values, unsigned char* __restrict pixels,
              std::size_t count) {
    if (allWithinInt(values, count)) {
        for (std::size_t x = 0; x < count; ++x) {
            pixels[x * Step] = static_cast<unsigned char>(correctValue(int(values[x]), 255));
        }
    } else {
        for (std::size_t x = 0; x < count; ++x) pixels[x * Step] = channelByte(values[x]);
    }
}

void loadFromImage(const void* source, int y, int x, int count, double* values) {
    const auto& c = *static_cast<const ChannelRows*>(source);
    const int step = pixelBytes(*c.input);
    const unsigned char* pixels = imageRow(*c.input, y) + c.channel + std::ptrdiff_t(x) * step;
    const int kept = y < c.kept.height ? std::clamp(c.kept.width - x, 0, count) : 0;
    if (step == 1) {
        loadRow<1>(pixels, values, std::size_t(kept), std::size_t(count));
    } else {
        loadRow<3>(pixels, values, std::size_t(kept), std::size_t(count));
    }
}

void storeToImage(void* sink, int y, int x, int count, const double* values) {
    const auto& c = *static_cast<const ChannelRows*>(sink);
    const int step = pixelBytes(*c.output);
    unsigned char* pixels = imageRow(*c.output, y) + c.channel + std::ptrdiff_t(x) * step;
    if (step == 1) {
        storeRow<1>(values, pixels, std::size_t(count));
    } else {
        storeRow<3>(values, pixels, std::size_t(count));
    }
}

}  // namespace

KeptCorner approximationCorner(const Image& image, int levels) {
    const int shift = halvings(levels);
    return KeptCorner{image.width >> shift, image.height >> shift};
}

int channelCount(const Image& image) {
    return image.depth == 24 ? 3 : 1;
}

void bindImagePlanes(ImagePlanes& bound, const Image& input, Image& output, KeptCorner kept,
                     double* inputRows, double* resultRows, SweepRowsLength perPlane) {
    PicturePlanes& planes = bound.planes;
    planes.count = channelCount(input);
    planes.height = input.height;
    planes.width = input.width;
    for (int c = 0; c < planes.count; ++c) {
        bound.channels[c] = ChannelRows{&input, &output, c, kept};
        planes.io[c] = RowIO{loadFromImage, &bound.channels[c], storeToImage, &bound.channels[c]};
        planes.rows[c] = SweepRows{inputRows + std::size_t(c) * perPlane.input,
                                   resultRows + std::size_t(c) * perPlane.result};
    }
}
