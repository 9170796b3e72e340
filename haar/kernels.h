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

// The type of the values in the sweeps' rows: single precision.
//
// Every value a sweep computes comes from pixel bytes, and in single
// precision it gets the bits double precision would give it: an IEEE
// operation whose exact result fits the type gives that result, and each of
// these results fits 24 bits of mantissa.
// - The inverse adds and subtracts integers only: the loaded bytes (less the
//   offset) and sums of them, which grow by at most 3 * 128 a level and stay
//   below 2^14 however many levels run.
// - The block transform's first level sums four bytes (or their negations)
//   and quarters the sum; its second level does the same to four such
//   averages: every value is an integer over 16 below 2^11.
// - The forward transform's level L works on the previous level's averages,
//   each a sum of 4^(L-1) bytes over 4^(L-1). Every sum, difference, half
//   and offset detail it makes is an integer below 2^10 * 4^(L-1) over a
//   power of two, which fits 24 bits while 4^(L-1) <= 2^14: up to
//   EXACT_LEVELS. The forward transform runs deeper levels in double
//   precision (forwardPairWide).
using RowValue = float;

// The levels of the forward transform that single precision holds exactly.
constexpr int EXACT_LEVELS = 8;

struct Kernels {
    // The forward transform's row pass over the neighbouring rows `upper`
    // and `lower` of 2 * half values each, then its column step over the
    // pair: the pair's column averages of the row averages to `averages`,
    // of the row details to `horizontal`, and its column details to
    // `details` (the averages' first, then the row details').
    void (*forwardPair)(const RowValue* upper, const RowValue* lower, RowValue* averages,
                        RowValue* horizontal, RowValue* details, std::ptrdiff_t half);
    // The inverse: rows `upper` and `lower` of 2 * half values rebuilt from
    // the averages `left` and `right` (half values each) and the 2 * half
    // column details `details`.
    void (*inversePair)(const RowValue* left, const RowValue* right, const RowValue* details,
                        RowValue* upper, RowValue* lower, std::ptrdiff_t half);
    // The block transform's first level over the rows `upper` and `lower` of
    // `width` values: for the 2x2 block at column j, the average (when
    // `averages` is not null; it may be `upper` itself) and the three
    // details, each at j / 2.
    void (*blockLevel)(const RowValue* upper, const RowValue* lower, RowValue* averages,
                       RowValue* horizontal, RowValue* vertical, RowValue* diagonal,
                       std::ptrdiff_t width);
    // `count` grey bytes as values, the first `offsetFree` as they are and
    // the others less DETAIL_OFFSET.
    void (*loadGrey)(const unsigned char* pixels, RowValue* values, std::size_t offsetFree,
                     std::size_t count);
    // `count` values as grey bytes, each truncated toward zero and clamped to
    // 0..255 (NaN gives 0).
    void (*storeGrey)(const RowValue* values, unsigned char* pixels, std::size_t count);
    // The same for one channel of a colour row, whose bytes lie 3 apart from
    // `pixels` on; the store leaves the other channels as they are.
    void (*loadColour)(const unsigned char* pixels, RowValue* values, std::size_t offsetFree,
                       std::size_t count);
    void (*storeColour)(const RowValue* values, unsigned char* pixels, std::size_t count);
};

// The version of the width in use (vectors.h).
const Kernels& kernels();

// The forward transform's levels beyond EXACT_LEVELS, in double precision
// and one value at a time: rows of doubles kept in the sweep's rows of
// RowValue, two values a double, unaligned.
//
// `values` to `values` + 2 * count hold count doubles: the first `count`
// values, widened in place.
void widenValues(RowValue* values, std::size_t count);

// As Kernels::forwardPair over rows of doubles (`upper`, `lower`, and
// `averages` when `wideAverages`). The values it stores as RowValue are
// rounded toward zero, which keeps the byte that truncation and clamping
// make of each: every integer the byte store tells apart fits the type.
void forwardPairWide(const RowValue* upper, const RowValue* lower, RowValue* averages,
                     bool wideAverages, RowValue* horizontal, RowValue* details,
                     std::ptrdiff_t half);

#endif
