#include "image_rows.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "kernels.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

namespace {

// A coefficient truncated toward zero and clamped to 0..255; NaN gives 0.
unsigned char channelByte(double value) {
    const double low = value > 0.0 ? value : 0.0;
    return static_cast<unsigned char>(static_cast<int>(low < 255.0 ? low : 255.0));
}

// The row loops of a colour channel, whose bytes lie `Step` apart (grey rows
// go through the vector kernels, kernels.h): with the step known, the
// compiler turns each into a few instructions a pixel.
template <std::size_t Step>
void loadRow(const unsigned char* __restrict pixels, double* __restrict values,
             std::size_t offsetFree, std::size_t count) {
    for (std::size_t x = 0; x < offsetFree; ++x) values[x] = pixels[x * Step];
    for (std::size_t x = offsetFree; x < count; ++x) values[x] = pixels[x * Step] - DETAIL_OFFSET;
}

// Eight values as channelByte stores them. With SSE2, two at a time:
// maxpd against 0 gives 0 for NaN and for anything not above 0, exactly as
// channelByte's first select; minpd against 255 is its second; the
// truncation then meets only 0..255, which the packs keep as they are.
void eightBytes(const double* values, unsigned char* bytes) {
#if defined(__SSE2__) || defined(_M_X64)
    const __m128d zero = _mm_setzero_pd(), top = _mm_set1_pd(255.0);
    __m128i words[4];
    for (std::size_t k = 0; k < 4; ++k) {
        const __m128d v = _mm_loadu_pd(values + 2 * k);
        words[k] = _mm_cvttpd_epi32(_mm_min_pd(_mm_max_pd(v, zero), top));
    }
    const __m128i halves = _mm_packs_epi32(_mm_unpacklo_epi64(words[0], words[1]),
                                           _mm_unpacklo_epi64(words[2], words[3]));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(bytes), _mm_packus_epi16(halves, halves));
#else
    for (int k = 0; k < 8; ++k) bytes[k] = channelByte(values[k]);
#endif
}

// Each value truncated toward zero and clamped to 0..255, eight at a time.
template <std::size_t Step>
void storeRow(const double* __restrict values, unsigned char* __restrict pixels,
              std::size_t count) {
    std::size_t x = 0;
    for (; x + 8 <= count; x += 8) {
        unsigned char bytes[8];
        eightBytes(values + x, bytes);
        if constexpr (Step == 1) {
            std::memcpy(pixels + x, bytes, sizeof bytes);
        } else {
            for (std::size_t k = 0; k < 8; ++k) pixels[(x + k) * Step] = bytes[k];
        }
    }
    for (; x < count; ++x) pixels[x * Step] = channelByte(values[x]);
}

void loadFromImage(const void* source, int y, int x, int count, double* values) {
    const auto& c = *static_cast<const ChannelRows*>(source);
    const int step = pixelBytes(*c.input);
    const unsigned char* pixels = imageRow(*c.input, y) + c.channel + std::ptrdiff_t(x) * step;
    const int offsetFree =
        y < c.offsetFree.height ? std::clamp(c.offsetFree.width - x, 0, count) : 0;
    if (step == 1) {
        kernels().loadGrey(pixels, values, std::size_t(offsetFree), std::size_t(count));
    } else {
        loadRow<3>(pixels, values, std::size_t(offsetFree), std::size_t(count));
    }
}

void storeToImage(void* sink, int y, int x, int count, const double* values) {
    const auto& c = *static_cast<const ChannelRows*>(sink);
    const int step = pixelBytes(*c.output);
    unsigned char* pixels = imageRow(*c.output, y) + c.channel + std::ptrdiff_t(x) * step;
    if (step == 1) {
        kernels().storeGrey(values, pixels, std::size_t(count));
    } else {
        storeRow<3>(values, pixels, std::size_t(count));
    }
}

}  // namespace

OffsetFreeCorner approximationCorner(const Image& image, int levels) {
    const int shift = halvings(levels);
    return OffsetFreeCorner{image.width >> shift, image.height >> shift};
}

int channelCount(const Image& image) {
    return image.depth == 24 ? 3 : 1;
}

void bindImagePlanes(ImagePlanes& bound, const Image& input, Image& output,
                     OffsetFreeCorner offsetFree, double* inputRows, double* resultRows,
                     SweepRowsLength perPlane) {
    PicturePlanes& planes = bound.planes;
    planes.count = channelCount(input);
    planes.height = input.height;
    planes.width = input.width;
    for (int c = 0; c < planes.count; ++c) {
        bound.channels[c] = ChannelRows{&input, &output, c, offsetFree};
        planes.io[c] = RowIO{loadFromImage, &bound.channels[c], storeToImage, &bound.channels[c]};
        planes.rows[c] = SweepRows{inputRows + std::size_t(c) * perPlane.input,
                                   resultRows + std::size_t(c) * perPlane.result};
    }
}
