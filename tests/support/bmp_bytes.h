// BMP files as bytes: crafted field by field, or well formed from a formula.
#ifndef ONDA_TEST_BMP_BYTES_H
#define ONDA_TEST_BMP_BYTES_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace onda_test {

using Bytes = std::vector<std::uint8_t>;

void putWord(Bytes& out, unsigned value);
void putDword(Bytes& out, std::uint32_t value);

// The fields of a BMP file, written as they stand (nothing is made
// consistent), so that tests can craft any header. By default a valid 8-bit
// info-header file of 0 x 0 pixels.
struct BmpBuilder {
    std::uint16_t signature = 0x4D42;
    std::uint32_t fileSize = 0;
    std::uint32_t pixelOffset = 0;
    std::uint32_t headerSize = 40;
    std::int32_t width = 0;   // written as 16 bits after a 12-byte header
    std::int32_t height = 0;  // likewise
    std::uint16_t planes = 1;
    std::uint16_t bitsPerPixel = 8;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    Bytes palette;  // raw entry bytes
    Bytes pixels;   // raw row bytes, padding included

    Bytes bytes() const;
};

// The 256 entries of the grey palette, entry i holding i, i, i and 0.
Bytes greyPalette();

// The bytes a stored row of `width` pixels takes, padding to a multiple of 4
// included; 0 when width is not positive.
std::size_t rowStride(int width, int bytesPerPixel);

// A well-formed file with a grey palette (8-bit) or none (24-bit), rows
// bottom-up and padded; value(x, y) gives the grey level or, for 24 bits,
// the channel `c` of pixel (x, y).
Bytes greyBmp(int width, int height, const std::function<int(int x, int y)>& value);
Bytes colourBmp(int width, int height, const std::function<int(int x, int y, int c)>& value);

}  // namespace onda_test

#endif
