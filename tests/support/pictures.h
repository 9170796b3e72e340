// Pictures in memory for the tests: made from a formula or at random, their
// written bytes, and their channels read back.
#ifndef ONDA_TEST_PICTURES_H
#define ONDA_TEST_PICTURES_H

#include <functional>

#include "bmp_bytes.h"
#include "image.h"
#include "owners.h"

namespace onda_test {

// An image made by createImage and filled from a formula.
ImagePtr makeImage(int width, int height, int depth,
                   const std::function<int(int x, int y, int c)>& value);

// A picture of random bytes, the same for the same seed.
ImagePtr randomImage(int width, int height, int depth, unsigned seed);

// The bytes writeBMPfile writes for an image.
Bytes bmpFileOf(const Image& image);

// Reads a channel back (c = 0 red or grey, 1 green, 2 blue).
int channelAt(const Image& image, int x, int y, int c);

}  // namespace onda_test

#endif
