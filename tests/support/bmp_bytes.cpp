#include "bmp_bytes.h"

namespace onda_test {

void putWord(Bytes& out, unsigned value) {
    out.push_back(std::uint8_t(value & 0xFF));
    out.push_back(std::uint8_t((value >> 8) & 0xFF));
}

void putDword(Bytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(std::uint8_t((value >> shift) & 0xFF));
}

Bytes BmpBuilder::bytes() const {
    Bytes out;
    putWord(out, signature);
    putDword(out, fileSize);
    putWord(out, 0);
    putWord(out, 0);
    putDword(out, pixelOffset);
    putDword(out, headerSize);
    if (headerSize == 12) {
        putWord(out, std::uint16_t(width));
        putWord(out, std::uint16_t(height));
        putWord(out, planes);
        putWord(out, bitsPerPixel);
    } else {
        putDword(out, std::uint32_t(width));
        putDword(out, std::uint32_t(height));
        putWord(out, planes);
        putWord(out, bitsPerPixel);
        putDword(out, compression);
        putDword(out, 0);  // image size
        putDword(out, 2835);
        putDword(out, 2835);
        putDword(out, colorsUsed);
        putDword(out, 0);
        // Larger headers (108, 124 bytes) get zeros for their extra fields.
        for (std::uint32_t i = 40; i < headerSize; ++i) out.push_back(0);
    }
    out.insert(out.end(), palette.begin(), palette.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

Bytes greyPalette() {
    Bytes palette;
    for (int i = 0; i < 256; ++i)
        palette.insert(palette.end(), {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0});
    return palette;
}

std::size_t rowStride(int width, int bytesPerPixel) {
    if (width <= 0) return 0;
    return (std::size_t(width) * std::size_t(bytesPerPixel) + 3) / 4 * 4;
}
namespace {

Bytes rows(int width, int height, int bytesPerPixel,
           const std::function<int(int x, int y, int c)>& value) {
    const std::size_t rowLength = rowStride(width, bytesPerPixel);
    Bytes pixels;
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            if (bytesPerPixel == 1) {
                pixels.push_back(std::uint8_t(value(x, y, 0)));
            } else {
                for (int c = 2; c >= 0; --c) pixels.push_back(std::uint8_t(value(x, y, c)));
            }
        }
        pixels.resize(pixels.size() + rowLength - std::size_t(width * bytesPerPixel), 0);
    }
    return pixels;
}

}  // namespace

Bytes greyBmp(int width, int height, const std::function<int(int x, int y)>& value) {
    BmpBuilder b;
    b.width = width;
    b.height = height;
    b.bitsPerPixel = 8;
    b.pixelOffset = 1078;
    b.palette = greyPalette();
    b.pixels = rows(width, height, 1, [&](int x, int y, int) { return value(x, y); });
    b.fileSize = std::uint32_t(1078 + b.pixels.size());
    return b.bytes();
}

Bytes colourBmp(int width, int height, const std::function<int(int x, int y, int c)>& value) {
    BmpBuilder b;
    b.width = width;
    b.height = height;
    b.bitsPerPixel = 24;
    b.pixelOffset = 54;
    b.pixels = rows(width, height, 3, value);
    b.fileSize = std::uint32_t(54 + b.pixels.size());
    return b.bytes();
}

}  // namespace onda_test
