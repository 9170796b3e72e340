// The inner loops of the sweeps and of the row pipeline, in a version
// for each width of vector (image/vectors.h).
//
// Every version does the same IEEE operations in the same order on each
// value as the transforms define them (a halving is a multiplication by 0.5
// and a quartering one by 0.25, which give the same bits as the divisions);
// only how many values go at once differs. No version lets the compiler fuse
// a multiplication and an addition (the library is built without
// contraction).
#ifndef ONDA_HAAR_KERNELS_H
#define ONDA_HAAR_KERNELS_H

#include <cstddef>

struct Kernels {
    // The forward transform's row pass over the neighbouring rows `upper`
    // and `lower` of 2 * half values each, then its column step over the
    // pair: the pair's column averages of the row averages to `averages`,
    // of the row details to `horizontal`, and its column details to
    // `details` (the averages' first, then the row details').
    void (*forwardPair)(const double* upper, const double* lower, double* averages,
                        double* horizontal, double* details, std::ptrdiff_t half);
    // The inverse: rows `upper` and `lower` of 2 * half values rebuilt from
    // the averages `left` and `right` (half values each) and the 2 * half
    // column details `details`.
    void (*inversePair)(const double* left, const double* right, const double* details,
                        double* upper, double* lower, std::ptrdiff_t half);
    // The block transform's first level over the rows `upper` and `lower` of
    // `width` values: for the 2x2 block at column j, the average (when
    // `averages` is not null; it may be `upper` itself) and the three
    // details, each at j / 2.
    void (*blockLevel)(const double* upper, const double* lower, double* averages,
                       double* horizontal, double* vertical, double* diagonal,
                       std::ptrdiff_t width);
    // `count` grey bytes as doubles, the first `offsetFree` as they are and
    // the others less DETAIL_OFFSET.
    void (*loadGrey)(const unsigned char* pixels, double* values, std::size_t offsetFree,
                     std::size_t count);
    // `count` values as grey bytes, each truncated toward zero and clamped to
    // 0..255 (NaN gives 0).
    void (*storeGrey)(const double* values, unsigned char* pixels, std::size_t count);
    // The same for one channel of a colour row, whose bytes lie 3 apart from
    // `pixels` on; the store leaves the other channels as they are.
    void (*loadColour)(const unsigned char* pixels, double* values, std::size_t offsetFree,
                       std::size_t count);
    void (*storeColour)(const double* values, unsigned char* pixels, std::size_t count);
};

// The version of the width in use (vectors.h).
const Kernels& kernels();

#endif
