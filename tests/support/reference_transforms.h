// Planes of coefficients, and the transforms as a textbook writes them: what
// the sweeps and the programs are held to.
#ifndef ONDA_TEST_REFERENCE_TRANSFORMS_H
#define ONDA_TEST_REFERENCE_TRANSFORMS_H

#include <cstddef>
#include <random>
#include <vector>

#include "image.h"
#include "owners.h"

namespace onda_test {

// A row-major plane of coefficients.
using Plane = std::vector<double>;

// A width x height plane of values drawn evenly from [low, high).
Plane randomPlane(std::mt19937& random, int width, int height, double low, double high);
// A width x height plane of whole numbers drawn evenly from 0..255: pixel
// bytes, the values the sweeps are exact on.
Plane randomBytes(std::mt19937& random, int width, int height);
// Where element (x, y) of a plane `width` elements wide is kept.
inline std::size_t planeIndex(int x, int y, int width) {
    return std::size_t(y) * std::size_t(width) + std::size_t(x);
}

// A width x height plane whose element (x, y) is value(x, y).
Plane planeFromFormula(int width, int height, double (*value)(int x, int y));

// The forward transform as a textbook writes it: per level, pair averages and
// half-differences plus 128 along each row of the region, then down each
// column. `plane` is row-major, width x height.
std::vector<double> referenceForward(std::vector<double> plane, int width, int height, int levels);

// The inverse as a textbook writes it, from coefficients laid out as the
// forward transform leaves them: 128 taken off every value outside the top-left
// (width / 2^levels) x (height / 2^levels) corner, then from the deepest level
// up, each column of the region rebuilt from its averages a and
// half-differences d as the pairs a + d, a - d, then each row likewise.
std::vector<double> referenceInverse(std::vector<double> plane, int width, int height, int levels);

// The plane with 128 taken off every detail: every element outside the
// top-left (width / 2^levels) x (height / 2^levels) corner; none for
// levels <= 0.
Plane withoutDetailOffset(Plane plane, int width, int height, int levels);

// An image holding, in every channel, `reference` (referenceForward or
// referenceInverse) of the same channel of `input` at `levels` levels,
// truncated toward zero and clamped to 0..255.
using Reference = Plane (*)(Plane plane, int width, int height, int levels);
ImagePtr referenceImage(const Image& input, int levels, Reference reference);

// The plane of channel c of an image, as doubles.
std::vector<double> planeOf(const Image& image, int c);

}  // namespace onda_test

#endif
