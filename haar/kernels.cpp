#include "kernels.h"

#include <cmath>
#include <cstring>

#include "plane.h"
#include "vectors.h"

#if defined(ONDA_SSE2_VECTORS)
#include <emmintrin.h>
#endif
#if defined(ONDA_AVX2_VECTORS)
#include <immintrin.h>
#endif

namespace {

// ---------------------------------------------------------------------------
// The arithmetic, one value at a time, as the transforms define it, in the
// type of the values (RowValue for the rows, double for the forward
// transform's deepest levels).

template <typename T>
T average(T a, T b) {
    return (a + b) / T{2};
}
template <typename T>
T difference(T a, T b) {
    return static_cast<T>(DETAIL_OFFSET) + (a - b) / T{2};
}
RowValue quarter(RowValue a, RowValue b, RowValue c, RowValue d, RowValue offset) {
    return (a + b + c + d) / RowValue{4} + offset;
}

constexpr auto OFFSET = static_cast<RowValue>(DETAIL_OFFSET);

// A coefficient truncated toward zero and clamped to 0..255; NaN gives 0.
unsigned char channelByte(RowValue value) {
    const RowValue low = value > 0 ? value : 0;
    return static_cast<unsigned char>(static_cast<int>(low < 255 ? low : 255));
}

// Rows of the forward transform's pair step: RowValue as they are, and
// doubles kept two RowValue apart (widenValues).
struct Values {
    static RowValue get(const RowValue* row, std::ptrdiff_t k) { return row[k]; }
    static void put(RowValue* row, std::ptrdiff_t k, RowValue value) { row[k] = value; }
};
struct WideValues {
    static double get(const RowValue* row, std::ptrdiff_t k) {
        double value = 0;
        std::memcpy(&value, row + 2 * k, sizeof value);
        return value;
    }
    static void put(RowValue* row, std::ptrdiff_t k, double value) {
        std::memcpy(row + 2 * k, &value, sizeof value);
    }
};
// Doubles stored as RowValue, rounded toward zero (see forwardPairWide).
struct TowardZero {
    static void put(RowValue* row, std::ptrdiff_t k, double value) {
        auto narrow = static_cast<RowValue>(value);
        if (std::fabs(double{narrow}) > std::fabs(value)) {
            narrow = std::nextafter(narrow, RowValue{0});
        }
        row[k] = narrow;
    }
};

// The loops from element `k` on, one value at a time: the portable version,
// and the end of a row that the vectors leave. The forward step reads its
// rows through In and keeps its averages through Kept, in the type T.
template <typename T, typename In, typename Kept, typename Out>
void forwardPairFrom(std::ptrdiff_t k, const RowValue* __restrict upper,
                     const RowValue* __restrict lower, RowValue* __restrict averages,
                     RowValue* __restrict horizontal, RowValue* __restrict details,
                     std::ptrdiff_t half) {
    for (; k < half; ++k) {
        const T upperAverage = average<T>(In::get(upper, 2 * k), In::get(upper, 2 * k + 1));
        const T upperDetail = difference<T>(In::get(upper, 2 * k), In::get(upper, 2 * k + 1));
        const T lowerAverage = average<T>(In::get(lower, 2 * k), In::get(lower, 2 * k + 1));
        const T lowerDetail = difference<T>(In::get(lower, 2 * k), In::get(lower, 2 * k + 1));
        Kept::put(averages, k, average(upperAverage, lowerAverage));
        Out::put(horizontal, k, average(upperDetail, lowerDetail));
        Out::put(details, k, difference(upperAverage, lowerAverage));
        Out::put(details, half + k, difference(upperDetail, lowerDetail));
    }
}

void forwardPairFrom(std::ptrdiff_t k, const RowValue* upper, const RowValue* lower,
                     RowValue* averages, RowValue* horizontal, RowValue* details,
                     std::ptrdiff_t half) {
    forwardPairFrom<RowValue, Values, Values, Values>(k, upper, lower, averages, horizontal,
                                                      details, half);
}

void inversePairFrom(std::ptrdiff_t k, const RowValue* __restrict left,
                     const RowValue* __restrict right, const RowValue* __restrict details,
                     RowValue* __restrict upper, RowValue* __restrict lower, std::ptrdiff_t half) {
    for (; k < half; ++k) {
        const RowValue upperLeft = left[k] + details[k];
        const RowValue lowerLeft = left[k] - details[k];
        const RowValue upperRight = right[k] + details[half + k];
        const RowValue lowerRight = right[k] - details[half + k];
        upper[2 * k] = upperLeft + upperRight;
        upper[2 * k + 1] = upperLeft - upperRight;
        lower[2 * k] = lowerLeft + lowerRight;
        lower[2 * k + 1] = lowerLeft - lowerRight;
    }
}

// `averages` may be `upper`: each block is read before its average is
// written, at or before the block's own place.
void blockLevelFrom(std::ptrdiff_t j, const RowValue* upper, const RowValue* lower,
                    RowValue* averages, RowValue* horizontal, RowValue* vertical,
                    RowValue* diagonal, std::ptrdiff_t width) {
    for (; j < width; j += 2) {
        const RowValue s00 = upper[j], s01 = upper[j + 1];
        const RowValue s10 = lower[j], s11 = lower[j + 1];
        if (averages) averages[j / 2] = quarter(s00, s01, s10, s11, 0);
        horizontal[j / 2] = quarter(s00, -s01, s10, -s11, OFFSET);
        vertical[j / 2] = quarter(s00, s01, -s10, -s11, OFFSET);
        diagonal[j / 2] = quarter(s00, -s01, -s10, s11, OFFSET);
    }
}

// The row loops, for channels `Step` bytes apart: 1 for grey, 3 for colour.
template <std::size_t Step>
void loadFrom(std::size_t x, const unsigned char* __restrict pixels, RowValue* __restrict values,
              std::size_t offsetFree, std::size_t count) {
    for (; x < offsetFree; ++x) values[x] = pixels[x * Step];
    for (; x < count; ++x) values[x] = RowValue(pixels[x * Step]) - OFFSET;
}

template <std::size_t Step>
void storeFrom(std::size_t x, const RowValue* __restrict values, unsigned char* __restrict pixels,
               std::size_t count) {
    for (; x < count; ++x) pixels[x * Step] = channelByte(values[x]);
}

void forwardPairPortable(const RowValue* upper, const RowValue* lower, RowValue* averages,
                         RowValue* horizontal, RowValue* details, std::ptrdiff_t half) {
    forwardPairFrom(0, upper, lower, averages, horizontal, details, half);
}
void inversePairPortable(const RowValue* left, const RowValue* right, const RowValue* details,
                         RowValue* upper, RowValue* lower, std::ptrdiff_t half) {
    inversePairFrom(0, left, right, details, upper, lower, half);
}
void blockLevelPortable(const RowValue* upper, const RowValue* lower, RowValue* averages,
                        RowValue* horizontal, RowValue* vertical, RowValue* diagonal,
                        std::ptrdiff_t width) {
    blockLevelFrom(0, upper, lower, averages, horizontal, vertical, diagonal, width);
}
void loadGreyPortable(const unsigned char* pixels, RowValue* values, std::size_t offsetFree,
                      std::size_t count) {
    loadFrom<1>(0, pixels, values, offsetFree, count);
}
void storeGreyPortable(const RowValue* values, unsigned char* pixels, std::size_t count) {
    storeFrom<1>(0, values, pixels, count);
}
void loadColourPortable(const unsigned char* pixels, RowValue* values, std::size_t offsetFree,
                        std::size_t count) {
    loadFrom<3>(0, pixels, values, offsetFree, count);
}
void storeColourPortable(const RowValue* values, unsigned char* pixels, std::size_t count) {
    storeFrom<3>(0, values, pixels, count);
}

constexpr Kernels PORTABLE{forwardPairPortable, inversePairPortable, blockLevelPortable,
                           loadGreyPortable,    storeGreyPortable,   loadColourPortable,
                           storeColourPortable};

#if defined(ONDA_SSE2_VECTORS)
// ---------------------------------------------------------------------------
// SSE2: four values at a time. Neighbours are parted into the even and the
// odd elements by shuffling two vectors, and joined again by unpacking.

__m128 evens(__m128 a, __m128 b) {
    return _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
}
__m128 odds(__m128 a, __m128 b) {
    return _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
}

void forwardPairSse2(const RowValue* __restrict upper, const RowValue* __restrict lower,
                     RowValue* __restrict averages, RowValue* __restrict horizontal,
                     RowValue* __restrict details, std::ptrdiff_t half) {
    const __m128 halving = _mm_set1_ps(0.5F), offset = _mm_set1_ps(OFFSET);
    std::ptrdiff_t k = 0;
    for (; k + 4 <= half; k += 4) {
        const __m128 u0 = _mm_loadu_ps(upper + 2 * k), u1 = _mm_loadu_ps(upper + 2 * k + 4);
        const __m128 l0 = _mm_loadu_ps(lower + 2 * k), l1 = _mm_loadu_ps(lower + 2 * k + 4);
        const __m128 ue = evens(u0, u1), uo = odds(u0, u1);
        const __m128 le = evens(l0, l1), lo = odds(l0, l1);
        const __m128 upperAverage = _mm_mul_ps(_mm_add_ps(ue, uo), halving);
        const __m128 upperDetail = _mm_add_ps(offset, _mm_mul_ps(_mm_sub_ps(ue, uo), halving));
        const __m128 lowerAverage = _mm_mul_ps(_mm_add_ps(le, lo), halving);
        const __m128 lowerDetail = _mm_add_ps(offset, _mm_mul_ps(_mm_sub_ps(le, lo), halving));
        _mm_storeu_ps(averages + k, _mm_mul_ps(_mm_add_ps(upperAverage, lowerAverage), halving));
        _mm_storeu_ps(horizontal + k, _mm_mul_ps(_mm_add_ps(upperDetail, lowerDetail), halving));
        _mm_storeu_ps(
            details + k,
            _mm_add_ps(offset, _mm_mul_ps(_mm_sub_ps(upperAverage, lowerAverage), halving)));
        _mm_storeu_ps(
            details + half + k,
            _mm_add_ps(offset, _mm_mul_ps(_mm_sub_ps(upperDetail, lowerDetail), halving)));
    }
    forwardPairFrom(k, upper, lower, averages, horizontal, details, half);
}

void inversePairSse2(const RowValue* __restrict left, const RowValue* __restrict right,
                     const RowValue* __restrict details, RowValue* __restrict upper,
                     RowValue* __restrict lower, std::ptrdiff_t half) {
    std::ptrdiff_t k = 0;
    for (; k + 4 <= half; k += 4) {
        const __m128 l = _mm_loadu_ps(left + k), r = _mm_loadu_ps(right + k);
        const __m128 dl = _mm_loadu_ps(details + k), dr = _mm_loadu_ps(details + half + k);
        const __m128 upperLeft = _mm_add_ps(l, dl), lowerLeft = _mm_sub_ps(l, dl);
        const __m128 upperRight = _mm_add_ps(r, dr), lowerRight = _mm_sub_ps(r, dr);
        const __m128 upperSum = _mm_add_ps(upperLeft, upperRight);
        const __m128 upperDifference = _mm_sub_ps(upperLeft, upperRight);
        const __m128 lowerSum = _mm_add_ps(lowerLeft, lowerRight);
        const __m128 lowerDifference = _mm_sub_ps(lowerLeft, lowerRight);
        _mm_storeu_ps(upper + 2 * k, _mm_unpacklo_ps(upperSum, upperDifference));
        _mm_storeu_ps(upper + 2 * k + 4, _mm_unpackhi_ps(upperSum, upperDifference));
        _mm_storeu_ps(lower + 2 * k, _mm_unpacklo_ps(lowerSum, lowerDifference));
        _mm_storeu_ps(lower + 2 * k + 4, _mm_unpackhi_ps(lowerSum, lowerDifference));
    }
    inversePairFrom(k, left, right, details, upper, lower, half);
}

void blockLevelSse2(const RowValue* upper, const RowValue* lower, RowValue* averages,
                    RowValue* horizontal, RowValue* vertical, RowValue* diagonal,
                    std::ptrdiff_t width) {
    const __m128 quartering = _mm_set1_ps(0.25F), offset = _mm_set1_ps(OFFSET);
    const __m128 zero = _mm_setzero_ps();
    std::ptrdiff_t j = 0;
    for (; j + 8 <= width; j += 8) {
        const __m128 u0 = _mm_loadu_ps(upper + j), u1 = _mm_loadu_ps(upper + j + 4);
        const __m128 l0 = _mm_loadu_ps(lower + j), l1 = _mm_loadu_ps(lower + j + 4);
        const __m128 s00 = evens(u0, u1), s01 = odds(u0, u1);
        const __m128 s10 = evens(l0, l1), s11 = odds(l0, l1);
        const __m128 sum = _mm_add_ps(s00, s01), difference = _mm_sub_ps(s00, s01);
        if (averages) {
            const __m128 all = _mm_add_ps(_mm_add_ps(sum, s10), s11);
            _mm_storeu_ps(averages + j / 2, _mm_add_ps(_mm_mul_ps(all, quartering), zero));
        }
        const __m128 h = _mm_sub_ps(_mm_add_ps(difference, s10), s11);
        const __m128 v = _mm_sub_ps(_mm_sub_ps(sum, s10), s11);
        const __m128 d = _mm_add_ps(_mm_sub_ps(difference, s10), s11);
        _mm_storeu_ps(horizontal + j / 2, _mm_add_ps(_mm_mul_ps(h, quartering), offset));
        _mm_storeu_ps(vertical + j / 2, _mm_add_ps(_mm_mul_ps(v, quartering), offset));
        _mm_storeu_ps(diagonal + j / 2, _mm_add_ps(_mm_mul_ps(d, quartering), offset));
    }
    blockLevelFrom(j, upper, lower, averages, horizontal, vertical, diagonal, width);
}

// Sixteen bytes as values, less `offset`, widened from one load.
void sixteenValues(const unsigned char* pixels, RowValue* values, __m128 offset) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
    const __m128i words[2] = {_mm_unpacklo_epi8(bytes, zero), _mm_unpackhi_epi8(bytes, zero)};
    for (std::size_t k = 0; k < 2; ++k) {
        const __m128i low = _mm_unpacklo_epi16(words[k], zero);
        const __m128i high = _mm_unpackhi_epi16(words[k], zero);
        _mm_storeu_ps(values + 8 * k, _mm_sub_ps(_mm_cvtepi32_ps(low), offset));
        _mm_storeu_ps(values + 8 * k + 4, _mm_sub_ps(_mm_cvtepi32_ps(high), offset));
    }
}

// Values x to `end` of a grey row, less `offset`, as far as whole groups of
// sixteen reach; gives where it stopped.
std::size_t loadRunSse2(const unsigned char* pixels, RowValue* values, std::size_t x,
                        std::size_t end, __m128 offset) {
    for (; x + 16 <= end; x += 16) sixteenValues(pixels + x, values + x, offset);
    return x;
}

void loadGreySse2(const unsigned char* __restrict pixels, RowValue* __restrict values,
                  std::size_t offsetFree, std::size_t count) {
    std::size_t x = loadRunSse2(pixels, values, 0, offsetFree, _mm_setzero_ps());
    for (; x < offsetFree; ++x) values[x] = pixels[x];
    x = loadRunSse2(pixels, values, x, count, _mm_set1_ps(OFFSET));
    loadFrom<1>(x, pixels, values, offsetFree, count);
}

// Sixteen values as channelByte stores them. minps(255, v) gives 255 for
// anything from 255 up and v otherwise, NaN included; the truncation gives
// 0 to 254 for what lies above -1, and for anything else (NaN too) a
// negative int, which the signed pack keeps negative and the unsigned pack
// turns into 0, as channelByte does.
__m128i sixteenBytes(const RowValue* values) {
    const __m128 top = _mm_set1_ps(255.0F);
    __m128i words[4];
    for (std::size_t k = 0; k < 4; ++k) {
        words[k] = _mm_cvttps_epi32(_mm_min_ps(top, _mm_loadu_ps(values + 4 * k)));
    }
    return _mm_packus_epi16(_mm_packs_epi32(words[0], words[1]),
                            _mm_packs_epi32(words[2], words[3]));
}

template <std::size_t Step>
void storeSse2(const RowValue* __restrict values, unsigned char* __restrict pixels,
               std::size_t count) {
    std::size_t x = 0;
    for (; x + 16 <= count; x += 16) {
        const __m128i bytes = sixteenBytes(values + x);
        if constexpr (Step == 1) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + x), bytes);
        } else {
            unsigned char each[16];
            _mm_storeu_si128(reinterpret_cast<__m128i*>(each), bytes);
            for (std::size_t k = 0; k < 16; ++k) pixels[(x + k) * Step] = each[k];
        }
    }
    storeFrom<Step>(x, values, pixels, count);
}

void storeGreySse2(const RowValue* values, unsigned char* pixels, std::size_t count) {
    storeSse2<1>(values, pixels, count);
}
void storeColourSse2(const RowValue* values, unsigned char* pixels, std::size_t count) {
    storeSse2<3>(values, pixels, count);
}

constexpr Kernels SSE2{forwardPairSse2, inversePairSse2,    blockLevelSse2, loadGreySse2,
                       storeGreySse2,   loadColourPortable, storeColourSse2};
#endif

#if defined(ONDA_AVX2_VECTORS)
// ---------------------------------------------------------------------------
// AVX2: eight values at a time. Shuffling and unpacking work inside each
// 128-bit half, so the even and odd elements that a shuffle parts come in
// pairs in the order 0, 2, 1, 3, and the results are put back in order
// before they are stored.

ONDA_AVX2 __m256 inOrder(__m256 v) {
    return _mm256_castpd_ps(_mm256_permute4x64_pd(_mm256_castps_pd(v), 0xD8));
}
ONDA_AVX2 __m256 evens(__m256 a, __m256 b) {
    return _mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
}
ONDA_AVX2 __m256 odds(__m256 a, __m256 b) {
    return _mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
}

ONDA_AVX2 void forwardPairAvx2(const RowValue* __restrict upper, const RowValue* __restrict lower,
                               RowValue* __restrict averages, RowValue* __restrict horizontal,
                               RowValue* __restrict details, std::ptrdiff_t half) {
    const __m256 halving = _mm256_set1_ps(0.5F), offset = _mm256_set1_ps(OFFSET);
    std::ptrdiff_t k = 0;
    for (; k + 8 <= half; k += 8) {
        const __m256 u0 = _mm256_loadu_ps(upper + 2 * k);
        const __m256 u1 = _mm256_loadu_ps(upper + 2 * k + 8);
        const __m256 l0 = _mm256_loadu_ps(lower + 2 * k);
        const __m256 l1 = _mm256_loadu_ps(lower + 2 * k + 8);
        const __m256 ue = evens(u0, u1), uo = odds(u0, u1);
        const __m256 le = evens(l0, l1), lo = odds(l0, l1);
        const __m256 upperAverage = _mm256_mul_ps(_mm256_add_ps(ue, uo), halving);
        const __m256 upperDetail =
            _mm256_add_ps(offset, _mm256_mul_ps(_mm256_sub_ps(ue, uo), halving));
        const __m256 lowerAverage = _mm256_mul_ps(_mm256_add_ps(le, lo), halving);
        const __m256 lowerDetail =
            _mm256_add_ps(offset, _mm256_mul_ps(_mm256_sub_ps(le, lo), halving));
        _mm256_storeu_ps(averages + k, inOrder(_mm256_mul_ps(
                                           _mm256_add_ps(upperAverage, lowerAverage), halving)));
        _mm256_storeu_ps(horizontal + k,
                         inOrder(_mm256_mul_ps(_mm256_add_ps(upperDetail, lowerDetail), halving)));
        _mm256_storeu_ps(
            details + k,
            inOrder(_mm256_add_ps(
                offset, _mm256_mul_ps(_mm256_sub_ps(upperAverage, lowerAverage), halving))));
        _mm256_storeu_ps(
            details + half + k,
            inOrder(_mm256_add_ps(
                offset, _mm256_mul_ps(_mm256_sub_ps(upperDetail, lowerDetail), halving))));
    }
    forwardPairFrom(k, upper, lower, averages, horizontal, details, half);
}

// Two rows' sums and differences of element k interleaved: sum, difference,
// sum, difference, into `row` from element 2k.
ONDA_AVX2 void interleaved(RowValue* row, __m256 sums, __m256 differences) {
    const __m256 low = _mm256_unpacklo_ps(sums, differences);   // k: 0, 0, 1, 1, 4, 4, 5, 5
    const __m256 high = _mm256_unpackhi_ps(sums, differences);  // k: 2, 2, 3, 3, 6, 6, 7, 7
    _mm256_storeu_ps(row, _mm256_permute2f128_ps(low, high, 0x20));
    _mm256_storeu_ps(row + 8, _mm256_permute2f128_ps(low, high, 0x31));
}

ONDA_AVX2 void inversePairAvx2(const RowValue* __restrict left, const RowValue* __restrict right,
                               const RowValue* __restrict details, RowValue* __restrict upper,
                               RowValue* __restrict lower, std::ptrdiff_t half) {
    std::ptrdiff_t k = 0;
    for (; k + 8 <= half; k += 8) {
        const __m256 l = _mm256_loadu_ps(left + k), r = _mm256_loadu_ps(right + k);
        const __m256 dl = _mm256_loadu_ps(details + k);
        const __m256 dr = _mm256_loadu_ps(details + half + k);
        const __m256 upperLeft = _mm256_add_ps(l, dl), lowerLeft = _mm256_sub_ps(l, dl);
        const __m256 upperRight = _mm256_add_ps(r, dr), lowerRight = _mm256_sub_ps(r, dr);
        interleaved(upper + 2 * k, _mm256_add_ps(upperLeft, upperRight),
                    _mm256_sub_ps(upperLeft, upperRight));
        interleaved(lower + 2 * k, _mm256_add_ps(lowerLeft, lowerRight),
                    _mm256_sub_ps(lowerLeft, lowerRight));
    }
    inversePairFrom(k, left, right, details, upper, lower, half);
}

ONDA_AVX2 void blockLevelAvx2(const RowValue* upper, const RowValue* lower, RowValue* averages,
                              RowValue* horizontal, RowValue* vertical, RowValue* diagonal,
                              std::ptrdiff_t width) {
    const __m256 quartering = _mm256_set1_ps(0.25F), offset = _mm256_set1_ps(OFFSET);
    const __m256 zero = _mm256_setzero_ps();
    std::ptrdiff_t j = 0;
    for (; j + 16 <= width; j += 16) {
        const __m256 u0 = _mm256_loadu_ps(upper + j), u1 = _mm256_loadu_ps(upper + j + 8);
        const __m256 l0 = _mm256_loadu_ps(lower + j), l1 = _mm256_loadu_ps(lower + j + 8);
        const __m256 s00 = evens(u0, u1), s01 = odds(u0, u1);
        const __m256 s10 = evens(l0, l1), s11 = odds(l0, l1);
        const __m256 sum = _mm256_add_ps(s00, s01), difference = _mm256_sub_ps(s00, s01);
        if (averages) {
            const __m256 all = _mm256_add_ps(_mm256_add_ps(sum, s10), s11);
            _mm256_storeu_ps(averages + j / 2,
                             inOrder(_mm256_add_ps(_mm256_mul_ps(all, quartering), zero)));
        }
        const __m256 h = _mm256_sub_ps(_mm256_add_ps(difference, s10), s11);
        const __m256 v = _mm256_sub_ps(_mm256_sub_ps(sum, s10), s11);
        const __m256 d = _mm256_add_ps(_mm256_sub_ps(difference, s10), s11);
        _mm256_storeu_ps(horizontal + j / 2,
                         inOrder(_mm256_add_ps(_mm256_mul_ps(h, quartering), offset)));
        _mm256_storeu_ps(vertical + j / 2,
                         inOrder(_mm256_add_ps(_mm256_mul_ps(v, quartering), offset)));
        _mm256_storeu_ps(diagonal + j / 2,
                         inOrder(_mm256_add_ps(_mm256_mul_ps(d, quartering), offset)));
    }
    blockLevelFrom(j, upper, lower, averages, horizontal, vertical, diagonal, width);
}

// Eight bytes as values, less `offset`.
ONDA_AVX2 void eightValuesAvx2(const unsigned char* pixels, RowValue* values, __m256 offset) {
    const __m128i bytes = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(pixels));
    _mm256_storeu_ps(values,
                     _mm256_sub_ps(_mm256_cvtepi32_ps(_mm256_cvtepu8_epi32(bytes)), offset));
}

// Values x to `end` of a grey row, less `offset`, as far as whole groups of
// eight reach; gives where it stopped.
ONDA_AVX2 std::size_t loadRunAvx2(const unsigned char* pixels, RowValue* values, std::size_t x,
                                  std::size_t end, __m256 offset) {
    for (; x + 16 <= end; x += 16) {
        eightValuesAvx2(pixels + x, values + x, offset);
        eightValuesAvx2(pixels + x + 8, values + x + 8, offset);
    }
    for (; x + 8 <= end; x += 8) eightValuesAvx2(pixels + x, values + x, offset);
    return x;
}

ONDA_AVX2 void loadGreyAvx2(const unsigned char* __restrict pixels, RowValue* __restrict values,
                            std::size_t offsetFree, std::size_t count) {
    std::size_t x = loadRunAvx2(pixels, values, 0, offsetFree, _mm256_setzero_ps());
    for (; x < offsetFree; ++x) values[x] = pixels[x];
    x = loadRunAvx2(pixels, values, x, count, _mm256_set1_ps(OFFSET));
    loadFrom<1>(x, pixels, values, offsetFree, count);
}

// Sixteen values as the bytes channelByte gives (see sixteenBytes).
ONDA_AVX2 __m128i sixteenBytesAvx2(const RowValue* values) {
    const __m256 top = _mm256_set1_ps(255.0F);
    const __m256i low = _mm256_cvttps_epi32(_mm256_min_ps(top, _mm256_loadu_ps(values)));
    const __m256i high = _mm256_cvttps_epi32(_mm256_min_ps(top, _mm256_loadu_ps(values + 8)));
    // The pack works inside each 128-bit half: the words of `low` are put
    // before those of `high` first.
    const __m256i words = _mm256_permute4x64_epi64(_mm256_packs_epi32(low, high), 0xD8);
    return _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
}

ONDA_AVX2 void storeGreyAvx2(const RowValue* __restrict values, unsigned char* __restrict pixels,
                             std::size_t count) {
    std::size_t x = 0;
    for (; x + 16 <= count; x += 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + x), sixteenBytesAvx2(values + x));
    }
    storeFrom<1>(x, values, pixels, count);
}

// A colour row's bytes are read sixteen at a time from the first byte of
// pixel x on, which holds while x + 6 <= count, and written 48 at a time,
// while x + 17 <= count: from there, the channel's own bytes reach
// 3 * (count - x) - 2 bytes on.

// Channel bytes of eight pixels as values, less `offset`: sixteen bytes from
// pixel x and sixteen from pixel x + 4, which holds while x + 10 <= count.
ONDA_AVX2 void eightChannelValues(const unsigned char* pixels, RowValue* values, __m256 offset) {
    const __m256i pick =
        _mm256_setr_epi8(0, -1, -1, -1, 3, -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1, 0, -1, -1, -1,
                         3, -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1);
    const __m256i bytes = _mm256_loadu2_m128i(reinterpret_cast<const __m128i*>(pixels + 12),
                                              reinterpret_cast<const __m128i*>(pixels));
    const __m256i dwords = _mm256_shuffle_epi8(bytes, pick);
    _mm256_storeu_ps(values, _mm256_sub_ps(_mm256_cvtepi32_ps(dwords), offset));
}

ONDA_AVX2 void loadColourAvx2(const unsigned char* __restrict pixels, RowValue* __restrict values,
                              std::size_t offsetFree, std::size_t count) {
    const __m256 none = _mm256_setzero_ps(), offset = _mm256_set1_ps(OFFSET);
    std::size_t x = 0;
    for (; x + 8 <= offsetFree && x + 10 <= count; x += 8) {
        eightChannelValues(pixels + 3 * x, values + x, none);
    }
    for (; x < offsetFree; ++x) values[x] = pixels[3 * x];
    for (; x + 10 <= count; x += 8) eightChannelValues(pixels + 3 * x, values + x, offset);
    loadFrom<3>(x, pixels, values, offsetFree, count);
}

// Sixteen values into the channel's bytes of sixteen pixels, the other
// bytes kept: 48 bytes read and written whole, in three vectors, none of
// which is read again after it is written (a read of bytes just written in
// part waits for the write).
ONDA_AVX2 void storeColourAvx2(const RowValue* __restrict values, unsigned char* __restrict pixels,
                               std::size_t count) {
    // Where the sixteen bytes go in each vector: the channel's bytes lie at
    // 0, 3, ... 15 of the first, 2, 5, ... 14 of the second and 1, 4, ... 13
    // of the third.
    const __m128i place[3] = {
        _mm_setr_epi8(0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1, 5),
        _mm_setr_epi8(-1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10, -1),
        _mm_setr_epi8(-1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1, -1)};
    std::size_t x = 0;
    for (; x + 17 <= count; x += 16) {
        const __m128i bytes = sixteenBytesAvx2(values + x);
        for (std::size_t k = 0; k < 3; ++k) {
            auto* at = reinterpret_cast<__m128i*>(pixels + 3 * x + 16 * k);
            const __m128i mine = _mm_cmpgt_epi8(place[k], _mm_set1_epi8(-1));
            _mm_storeu_si128(
                at, _mm_blendv_epi8(_mm_loadu_si128(at), _mm_shuffle_epi8(bytes, place[k]), mine));
        }
    }
    storeFrom<3>(x, values, pixels, count);
}

constexpr Kernels AVX2{forwardPairAvx2, inversePairAvx2, blockLevelAvx2, loadGreyAvx2,
                       storeGreyAvx2,   loadColourAvx2,  storeColourAvx2};
#endif

}  // namespace

const Kernels& kernels() {
    switch (vectorWidth()) {
        case VECTORS_PORTABLE: break;
        case VECTORS_SSE2:
#if defined(ONDA_SSE2_VECTORS)
            return SSE2;
#else
            break;
#endif
        case VECTORS_AVX2:
#if defined(ONDA_AVX2_VECTORS)
            return AVX2;
#else
            break;
#endif
    }
    return PORTABLE;
}

void widenValues(RowValue* values, std::size_t count) {
    // From the last value down: value k lands at 2k and 2k + 1, past every
    // value not yet moved.
    for (std::size_t k = count; k-- > 0;) WideValues::put(values, std::ptrdiff_t(k), values[k]);
}

void forwardPairWide(const RowValue* upper, const RowValue* lower, RowValue* averages,
                     bool wideAverages, RowValue* horizontal, RowValue* details,
                     std::ptrdiff_t half) {
    if (wideAverages) {
        forwardPairFrom<double, WideValues, WideValues, TowardZero>(0, upper, lower, averages,
                                                                    horizontal, details, half);
    } else {
        forwardPairFrom<double, WideValues, TowardZero, TowardZero>(0, upper, lower, averages,
                                                                    horizontal, details, half);
    }
}
