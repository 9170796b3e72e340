// The image model: one picture in memory, and access to it a pixel at a time
// or, for loops over whole rows, a row at a time.
//
// An Image holds `width` x `height` pixels of 8 bits (one grey byte) or 24 bits
// (three bytes: red, green, blue). Rows follow one another without gaps, the
// top row first; pixel (x, y) is pixel number width * y + x. Pixel numbers are
// formed in 32-bit arithmetic, so an image holds fewer than 2^31 bytes:
// createImage refuses anything larger.
//
// A Pixel carries any integers; setPixel clamps each channel to 0..255 on the
// way in, and getPixel always yields values in 0..255. The pixel calls serve
// the tests and the tools that make pictures; the programs go a row at a
// time, and their write-back (haar/image_rows.cpp) truncates and clamps there.
#ifndef ONDA_IMAGE_H
#define ONDA_IMAGE_H

#include <cstddef>
#include <cstdint>

struct Image {
    std::int32_t width;   // pixels per row, never negative
    std::int32_t height;  // rows, never negative
    std::int32_t depth;   // bits per pixel: 8 or 24
    unsigned char* data;  // width * height * depth / 8 bytes; none when that is 0
};

struct Pixel {
    std::int32_t r;  // red, or the grey value of an 8-bit pixel
    std::int32_t g;
    std::int32_t b;
};

// Results of getPixel and setPixel.
constexpr int IMAGE_DONE = 1;      // the pixel was read or written
constexpr int IMAGE_OUTSIDE = 0;   // the position lies outside the image
constexpr int IMAGE_INVALID = -1;  // no image, no pixels, or a depth other than 8 and 24

// The largest picture the model holds: its byte count stays below this.
constexpr std::int64_t IMAGE_BYTE_LIMIT = std::int64_t{1} << 31;

// A new image with zeroed pixels, or nullptr when width or
// height is negative, depth is neither 8 nor 24, the byte count would reach
// IMAGE_BYTE_LIMIT, or memory runs out. A width or height of 0 gives an image
// with no pixel buffer.
Image* createImage(int width, int height, int depth);

// Releases an image from createImage; nullptr is ignored.
void disposeImage(Image* image);

// value clamped to 0..max; the test against 0 comes first.
inline int correctValue(int value, int max) {
    if (value < 0) return 0;
    if (value > max) return max;
    return value;
}

// Row access, for loops over whole rows. Each pixel takes pixelBytes bytes
// (1 or 3); channel c (0 red or grey, 1 green, 2 blue) of pixel x lies at
// byte x * pixelBytes + c of its row. The image must have pixels and row y
// must lie inside it.
inline int pixelBytes(const Image& image) {
    return image.depth / 8;
}
inline std::ptrdiff_t rowStart(const Image& image, int y) {
    return std::ptrdiff_t(y) * image.width * pixelBytes(image);
}
inline unsigned char* imageRow(Image& image, int y) {
    return image.data + rowStart(image, y);
}
inline const unsigned char* imageRow(const Image& image, int y) {
    return image.data + rowStart(image, y);
}

// Reads pixel (x, y). Outside the image the coordinates are clamped to the
// nearest edge pixel and the result is IMAGE_OUTSIDE. For an 8-bit image the
// grey byte goes to r, g and b alike. On IMAGE_INVALID the pixel is untouched.
inline int getPixel(const Image* image, int x, int y, Pixel* pixel) {
    if (image == nullptr || image->data == nullptr) return IMAGE_INVALID;
    int result = IMAGE_DONE;
    if (x < 0) {
        x = 0;
        result = IMAGE_OUTSIDE;
    }
    if (x >= image->width) {
        x = image->width - 1;
        result = IMAGE_OUTSIDE;
    }
    if (y < 0) {
        y = 0;
        result = IMAGE_OUTSIDE;
    }
    if (y >= image->height) {
        y = image->height - 1;
        result = IMAGE_OUTSIDE;
    }
    const int index = image->width * y + x;
    if (image->depth == 8) {
        const unsigned char* p = image->data + index;
        pixel->r = pixel->g = pixel->b = p[0];
    } else if (image->depth == 24) {
        const unsigned char* p = image->data + std::ptrdiff_t{3} * index;
        pixel->r = p[0];
        pixel->g = p[1];
        pixel->b = p[2];
    } else {
        return IMAGE_INVALID;
    }
    return result;
}

// Writes pixel (x, y), each channel clamped to 0..255; an 8-bit image takes r
// only. Checks, in order: image and pixels present, position, depth.
inline int setPixel(Image* image, int x, int y, const Pixel* pixel) {
    if (image == nullptr || image->data == nullptr) return IMAGE_INVALID;
    if (x < 0 || x >= image->width || y < 0 || y >= image->height) return IMAGE_OUTSIDE;
    const int index = image->width * y + x;
    if (image->depth == 8) {
        image->data[index] = static_cast<unsigned char>(correctValue(pixel->r, 255));
    } else if (image->depth == 24) {
        unsigned char* p = image->data + std::ptrdiff_t{3} * index;
        p[0] = static_cast<unsigned char>(correctValue(pixel->r, 255));
        p[1] = static_cast<unsigned char>(correctValue(pixel->g, 255));
        p[2] = static_cast<unsigned char>(correctValue(pixel->b, 255));
    } else {
        return IMAGE_INVALID;
    }
    return IMAGE_DONE;
}

#endif
