// onda_make_picture WIDTH HEIGHT DEPTH OUT.bmp
//
// Writes a photograph-like test picture (smooth shading plus fine noise) of the
// given size and depth (8 or 24) with the project's BMP writer.
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "bmp.h"
#include "owners.h"

namespace {

int shade(int x, int y, int c, unsigned& noise) {
    noise = noise * 1103515245u + 12345u;
    const int smooth = (x * (3 + c) + y * (5 - c)) / 16;
    return (smooth + int((noise >> 16) % 24)) % 256;
}

// A whole decimal number, or -1 (which no picture accepts) for anything else.
int numberArgument(const char* text) {
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || errno != 0 || value < 0 || value > INT_MAX) return -1;
    return int(value);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: onda_make_picture WIDTH HEIGHT DEPTH OUT.bmp\n");
        return 1;
    }
    const int width = numberArgument(argv[1]);
    const int height = numberArgument(argv[2]);
    const int depth = numberArgument(argv[3]);
    const ImagePtr image(createImage(width, height, depth));
    if (!image) {
        std::fprintf(stderr, "cannot make a %dx%d %d-bit picture\n", width, height, depth);
        return 1;
    }
    unsigned noise = 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Pixel pixel{shade(x, y, 0, noise), shade(x, y, 1, noise), shade(x, y, 2, noise)};
            setPixel(image.get(), x, y, &pixel);
        }
    }
    if (writeBMPfile(argv[4], image.get()) != BMP_WRITTEN) {
        std::fprintf(stderr, "cannot write %s\n", argv[4]);
        return 1;
    }
    return 0;
}
