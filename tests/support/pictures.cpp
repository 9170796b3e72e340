#include "pictures.h"

#include <random>
#include <stdexcept>

#include "bmp.h"
#include "scratch_files.h"

namespace onda_test {

ImagePtr makeImage(int width, int height, int depth,
                   const std::function<int(int x, int y, int c)>& value) {
    ImagePtr image(createImage(width, height, depth));
    if (!image) throw std::runtime_error("createImage refused a test image");
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Pixel pixel{value(x, y, 0), value(x, y, 1), value(x, y, 2)};
            setPixel(image.get(), x, y, &pixel);
        }
    }
    return image;
}

ImagePtr randomImage(int width, int height, int depth, unsigned seed) {
    std::mt19937 random(seed);
    return makeImage(width, height, depth, [&](int, int, int) { return int(random() % 256); });
}

Bytes bmpFileOf(const Image& image) {
    ScratchDir dir;
    if (writeBMPfile(dir.path("x.bmp").string().c_str(), &image) != BMP_WRITTEN) {
        throw std::runtime_error("cannot write a test picture");
    }
    return readFileBytes(dir.path("x.bmp"));
}

int channelAt(const Image& image, int x, int y, int c) {
    Pixel pixel{-1, -1, -1};
    getPixel(&image, x, y, &pixel);
    return c == 0 ? pixel.r : c == 1 ? pixel.g : pixel.b;
}

}  // namespace onda_test
