#include "kernels.h"

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
// The arithmetic, one value at a time, as the transforms define it.

double average(double a, double b) {
    return (a + b) / 2.0;
}
double difference(double a, double b) {
    return DETAIL_OFFSET + (a - b) / 2.0;
}
double quarter(double a, double b, double c, double d, double offset) {
    return (a + b + c + d) / 4.0 + offset;
}

// A coefficient truncated toward zero and clamped to 0..255; NaN gives 0.
unsigned char channelByte(double value) {
    const double low = value > 0.0 ? value : 0.0;
    return static_cast<unsigned char>(static_cast<int>(low < 255.0 ? low : 255.0));
}

// The loops from element `k` on, one value at a time: the portable version,
// and the end of a row that the vectors leave.
void forwardPairFrom(std::ptrdiff_t k, const double* __restrict upper,
                     const double* __restrict lower, double* __restrict averages,
                     double* __restrict horizontal, double* __restrict details,
                     std::ptrdiff_t half) {
    for (; k < half; ++k) {
        const double upperAverage = average(upper[2 * k], upper[2 * k + 1]);
        const double upperDetail = difference(upper[2 * k], upper[2 * k + 1]);
        const double lowerAverage = average(lower[2 * k], lower[2 * k + 1]);
        const double lowerDetail = difference(lower[2 * k], lower[2 * k + 1]);
        averages[k] = average(upperAverage, lowerAverage);
        horizontal[k] = average(upperDetail, lowerDetail);
        details[k] = difference(upperAverage, lowerAverage);
        details[half + k] = difference(upperDetail, lowerDetail);
    }
}

void inversePairFrom(std::ptrdiff_t k, const double* __restrict left,
                     const double* __restrict right, const double* __restrict details,
                     double* __restrict upper, double* __restrict lower, std::ptrdiff_t half) {
    for (; k < half; ++k) {
        const double upperLeft = left[k] + details[k];
        const double lowerLeft = left[k] - details[k];
        const double upperRight = right[k] + details[half + k];
        const double lowerRight = right[k] - details[half + k];
        upper[2 * k] = upperLeft + upperRight;
        upper[2 * k + 1] = upperLeft - upperRight;
        lower[2 * k] = lowerLeft + lowerRight;
        lower[2 * k + 1] = lowerLeft - lowerRight;
    }
}

// `averages` may be `upper`: each block is read before its average is
// written, at or before the block's own place.
void blockLevelFrom(std::ptrdiff_t j, const double* upper, const double* lower, double* averages,
                    double* horizontal, double* vertical, double* diagonal, std::ptrdiff_t width) {
    for (; j < width; j += 2) {
        const double s00 = upper[j], s01 = upper[j + 1];
        const double s10 = lower[j], s11 = lower[j + 1];
        if (averages) averages[j / 2] = quarter(s00, s01, s10, s11, 0.0);
        horizontal[j / 2] = quarter(s00, -s01, s10, -s11, DETAIL_OFFSET);
        vertical[j / 2] = quarter(s00, s01, -s10, -s11, DETAIL_OFFSET);
        diagonal[j / 2] = quarter(s00, -s01, -s10, s11, DETAIL_OFFSET);
    }
}

// The row loops, for channels `Step` bytes apart: 1 for grey, 3 for colour.
template <std::size_t Step>
void loadFrom(std::size_t x, const unsigned char* __restrict pixels, double* __restrict values,
              std::size_t offsetFree, std::size_t count) {
    for (; x < offsetFree; ++x) values[x] = pixels[x * Step];
    for (; x < count; ++x) values[x] = pixels[x * Step] - DETAIL_OFFSET;
}

template <std::size_t Step>
void storeFrom(std::size_t x, const double* __restrict values, unsigned char* __restrict pixels,
               std::size_t count) {
    for (; x < count; ++x) pixels[x * Step] = channelByte(values[x]);
}

void forwardPairPortable(const double* upper, const double* lower, double* averages,
                         double* horizontal, double* details, std::ptrdiff_t half) {
    forwardPairFrom(0, upper, lower, averages, horizontal, details, half);
}
void inversePairPortable(const double* left, const double* right, const double* details,
                         double* upper, double* lower, std::ptrdiff_t half) {
    inversePairFrom(0, left, right, details, upper, lower, half);
}
void blockLevelPortable(const double* upper, const double* lower, double* averages,
                        double* horizontal, double* vertical, double* diagonal,
                        std::ptrdiff_t width) {
    blockLevelFrom(0, upper, lower, averages, horizontal, vertical, diagonal, width);
}
void loadGreyPortable(const unsigned char* pixels, double* values, std::size_t offsetFree,
                      std::size_t count) {
    loadFrom<1>(0, pixels, values, offsetFree, count);
}
void storeGreyPortable(const double* values, unsigned char* pixels, std::size_t count) {
    storeFrom<1>(0, values, pixels, count);
}
void loadColourPortable(const unsigned char* pixels, double* values, std::size_t offsetFree,
                        std::size_t count) {
    loadFrom<3>(0, pixels, values, offsetFree, count);
}
void storeColourPortable(const double* values, unsigned char* pixels, std::size_t count) {
    storeFrom<3>(0, values, pixels, count);
}

constexpr Kernels PORTABLE{forwardPairPortable, inversePairPortable, blockLevelPortable,
                           loadGreyPortable,    storeGreyPortable,   loadColourPortable,
                           storeColourPortable};

#if defined(ONDA_SSE2_VECTORS)
// ---------------------------------------------------------------------------
// SSE2: two values at a time. Neighbours are parted into the even and the
// odd elements by unpacking two vectors, and joined again the same way.

void forwardPairSse2(const double* __restrict upper, const double* __restrict lower,
                     double* __restrict averages, double* __restrict horizontal,
                     double* __restrict details, std::ptrdiff_t half) {
    const __m128d halving = _mm_set1_pd(0.5), offset = _mm_set1_pd(DETAIL_OFFSET);
    std::ptrdiff_t k = 0;
    for (; k + 2 <= half; k += 2) {
        const __m128d u0 = _mm_loadu_pd(upper + 2 * k), u1 = _mm_loadu_pd(upper + 2 * k + 2);
        const __m128d l0 = _mm_loadu_pd(lower + 2 * k), l1 = _mm_loadu_pd(lower + 2 * k + 2);
        const __m128d ue = _mm_unpacklo_pd(u0, u1), uo = _mm_unpackhi_pd(u0, u1);
        const __m128d le = _mm_unpacklo_pd(l0, l1), lo = _mm_unpackhi_pd(l0, l1);
        const __m128d upperAverage = _mm_mul_pd(_mm_add_pd(ue, uo), halving);
        const __m128d upperDetail = _mm_add_pd(offset, _mm_mul_pd(_mm_sub_pd(ue, uo), halving));
        const __m128d lowerAverage = _mm_mul_pd(_mm_add_pd(le, lo), halving);
        const __m128d lowerDetail = _mm_add_pd(offset, _mm_mul_pd(_mm_sub_pd(le, lo), halving));
        _mm_storeu_pd(averages + k, _mm_mul_pd(_mm_add_pd(upperAverage, lowerAverage), halving));
        _mm_storeu_pd(horizontal + k, _mm_mul_pd(_mm_add_pd(upperDetail, lowerDetail), halving));
        _mm_storeu_pd(
            details + k,
            _mm_add_pd(offset, _mm_mul_pd(_mm_sub_pd(upperAverage, lowerAverage), halving)));
        _mm_storeu_pd(
            details + half + k,
            _mm_add_pd(offset, _mm_mul_pd(_mm_sub_pd(upperDetail, lowerDetail), halving)));
    }
    forwardPairFrom(k, upper, lower, averages, horizontal, details, half);
}

void inversePairSse2(const double* __restrict left, const double* __restrict right,
                     const double* __restrict details, double* __restrict upper,
                     double* __restrict lower, std::ptrdiff_t half) {
    std::ptrdiff_t k = 0;
    for (; k + 2 <= half; k += 2) {
        const __m128d l = _mm_loadu_pd(left + k), r = _mm_loadu_pd(right + k);
        const __m128d dl = _mm_loadu_pd(details + k), dr = _mm_loadu_pd(details + half + k);
        const __m128d upperLeft = _mm_add_pd(l, dl), lowerLeft = _mm_sub_pd(l, dl);
        const __m128d upperRight = _mm_add_pd(r, dr), lowerRight = _mm_sub_pd(r, dr);
        const __m128d upperSum = _mm_add_pd(upperLeft, upperRight);
        const __m128d upperDifference = _mm_sub_pd(upperLeft, upperRight);
        const __m128d lowerSum = _mm_add_pd(lowerLeft, lowerRight);
        const __m128d lowerDifference = _mm_sub_pd(lowerLeft, lowerRight);
        _mm_storeu_pd(upper + 2 * k, _mm_unpacklo_pd(upperSum, upperDifference));
        _mm_storeu_pd(upper + 2 * k + 2, _mm_unpackhi_pd(upperSum, upperDifference));
        _mm_storeu_pd(lower + 2 * k, _mm_unpacklo_pd(lowerSum, lowerDifference));
        _mm_storeu_pd(lower + 2 * k + 2, _mm_unpackhi_pd(lowerSum, lowerDifference));
    }
    inversePairFrom(k, left, right, details, upper, lower, half);
}

void blockLevelSse2(const double* upper, const double* lower, double* averages, double* horizontal,
                    double* vertical, double* diagonal, std::ptrdiff_t width) {
    const __m128d quartering = _mm_set1_pd(0.25), offset = _mm_set1_pd(DETAIL_OFFSET);
    const __m128d zero = _mm_setzero_pd();
    std::ptrdiff_t j = 0;
    for (; j + 4 <= width; j += 4) {
        const __m128d u0 = _mm_loadu_pd(upper + j), u1 = _mm_loadu_pd(upper + j + 2);
        const __m128d l0 = _mm_loadu_pd(lower + j), l1 = _mm_loadu_pd(lower + j + 2);
        const __m128d s00 = _mm_unpacklo_pd(u0, u1), s01 = _mm_unpackhi_pd(u0, u1);
        const __m128d s10 = _mm_unpacklo_pd(l0, l1), s11 = _mm_unpackhi_pd(l0, l1);
        const __m128d sum = _mm_add_pd(s00, s01), difference = _mm_sub_pd(s00, s01);
        if (averages) {
            const __m128d all = _mm_add_pd(_mm_add_pd(sum, s10), s11);
            _mm_storeu_pd(averages + j / 2, _mm_add_pd(_mm_mul_pd(all, quartering), zero));
        }
        const __m128d h = _mm_sub_pd(_mm_add_pd(difference, s10), s11);
        const __m128d v = _mm_sub_pd(_mm_sub_pd(sum, s10), s11);
        const __m128d d = _mm_add_pd(_mm_sub_pd(difference, s10), s11);
        _mm_storeu_pd(horizontal + j / 2, _mm_add_pd(_mm_mul_pd(h, quartering), offset));
        _mm_storeu_pd(vertical + j / 2, _mm_add_pd(_mm_mul_pd(v, quartering), offset));
        _mm_storeu_pd(diagonal + j / 2, _mm_add_pd(_mm_mul_pd(d, quartering), offset));
    }
    blockLevelFrom(j, upper, lower, averages, horizontal, vertical, diagonal, width);
}

// Four bytes, widened to ints, as doubles less `offset`.
void fourDoubles(__m128i dwords, double* values, __m128d offset) {
    _mm_storeu_pd(values, _mm_sub_pd(_mm_cvtepi32_pd(dwords), offset));
    _mm_storeu_pd(values + 2, _mm_sub_pd(_mm_cvtepi32_pd(_mm_shuffle_epi32(dwords, 0xEE)), offset));
}

// Four bytes as doubles, less `offset`.
void fourValues(const unsigned char* pixels, double* values, __m128d offset) {
    int word = 0;
    std::memcpy(&word, pixels, sizeof word);
    const __m128i zero = _mm_setzero_si128();
    fourDoubles(_mm_unpacklo_epi16(_mm_unpacklo_epi8(_mm_cvtsi32_si128(word), zero), zero), values,
                offset);
}

// Sixteen bytes as doubles, less `offset`, widened from one load.
void sixteenValues(const unsigned char* pixels, double* values, __m128d offset) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
    const __m128i words[2] = {_mm_unpacklo_epi8(bytes, zero), _mm_unpackhi_epi8(bytes, zero)};
    for (std::size_t k = 0; k < 2; ++k) {
        fourDoubles(_mm_unpacklo_epi16(words[k], zero), values + 8 * k, offset);
        fourDoubles(_mm_unpackhi_epi16(words[k], zero), values + 8 * k + 4, offset);
    }
}

// Values x to `end` of a grey row, less `offset`, as far as whole groups of
// four reach; gives where it stopped.
std::size_t loadRunSse2(const unsigned char* pixels, double* values, std::size_t x, std::size_t end,
                        __m128d offset) {
    for (; x + 16 <= end; x += 16) sixteenValues(pixels + x, values + x, offset);
    for (; x + 4 <= end; x += 4) fourValues(pixels + x, values + x, offset);
    return x;
}

void loadGreySse2(const unsigned char* __restrict pixels, double* __restrict values,
                  std::size_t offsetFree, std::size_t count) {
    std::size_t x = loadRunSse2(pixels, values, 0, offsetFree, _mm_setzero_pd());
    for (; x < offsetFree; ++x) values[x] = pixels[x];
    x = loadRunSse2(pixels, values, x, count, _mm_set1_pd(DETAIL_OFFSET));
    loadFrom<1>(x, pixels, values, offsetFree, count);
}

// Eight values as channelByte stores them, two at a time. minpd(255, v)
// gives 255 for anything from 255 up and v otherwise, NaN included; the
// truncation gives 0 to 254 for what lies above -1, and for anything else
// (NaN too) a negative int, which the signed pack keeps negative and the
// unsigned pack turns into 0, as channelByte does.
void eightBytes(const double* values, unsigned char* bytes) {
    const __m128d top = _mm_set1_pd(255.0);
    __m128i words[4];
    for (std::size_t k = 0; k < 4; ++k) {
        words[k] = _mm_cvttpd_epi32(_mm_min_pd(top, _mm_loadu_pd(values + 2 * k)));
    }
    const __m128i halves = _mm_packs_epi32(_mm_unpacklo_epi64(words[0], words[1]),
                                           _mm_unpacklo_epi64(words[2], words[3]));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(bytes), _mm_packus_epi16(halves, halves));
}

template <std::size_t Step>
void storeSse2(const double* __restrict values, unsigned char* __restrict pixels,
               std::size_t count) {
    std::size_t x = 0;
    for (; x + 8 <= count; x += 8) {
        unsigned char bytes[8];
        eightBytes(values + x, bytes);
        if constexpr (Step == 1) {
            std::memcpy(pixels + x, bytes, sizeof bytes);
        } else {
            for (std::size_t k = 0; k < 8; ++k) pixels[(x + k) * Step] = bytes[k];
        }
    }
    storeFrom<Step>(x, values, pixels, count);
}

void storeGreySse2(const double* values, unsigned char* pixels, std::size_t count) {
    storeSse2<1>(values, pixels, count);
}
void storeColourSse2(const double* values, unsigned char* pixels, std::size_t count) {
    storeSse2<3>(values, pixels, count);
}

constexpr Kernels SSE2{forwardPairSse2, inversePairSse2,    blockLevelSse2, loadGreySse2,
                       storeGreySse2,   loadColourPortable, storeColourSse2};
#endif

#if defined(ONDA_AVX2_VECTORS)
// ---------------------------------------------------------------------------
// AVX2: four values at a time. Unpacking works inside each 128-bit half, so
// the even and odd elements it parts come in the order 0, 2, 1, 3, and the
// results are put back in order before they are stored.

ONDA_AVX2 __m256d inOrder(__m256d v) {
    return _mm256_permute4x64_pd(v, 0xD8);  // elements 0, 2, 1, 3
}

ONDA_AVX2 void forwardPairAvx2(const double* __restrict upper, const double* __restrict lower,
                               double* __restrict averages, double* __restrict horizontal,
                               double* __restrict details, std::ptrdiff_t half) {
    const __m256d halving = _mm256_set1_pd(0.5), offset = _mm256_set1_pd(DETAIL_OFFSET);
    std::ptrdiff_t k = 0;
    for (; k + 4 <= half; k += 4) {
        const __m256d u0 = _mm256_loadu_pd(upper + 2 * k);
        const __m256d u1 = _mm256_loadu_pd(upper + 2 * k + 4);
        const __m256d l0 = _mm256_loadu_pd(lower + 2 * k);
        const __m256d l1 = _mm256_loadu_pd(lower + 2 * k + 4);
        const __m256d ue = _mm256_unpacklo_pd(u0, u1), uo = _mm256_unpackhi_pd(u0, u1);
        const __m256d le = _mm256_unpacklo_pd(l0, l1), lo = _mm256_unpackhi_pd(l0, l1);
        const __m256d upperAverage = _mm256_mul_pd(_mm256_add_pd(ue, uo), halving);
        const __m256d upperDetail =
            _mm256_add_pd(offset, _mm256_mul_pd(_mm256_sub_pd(ue, uo), halving));
        const __m256d lowerAverage = _mm256_mul_pd(_mm256_add_pd(le, lo), halving);
        const __m256d lowerDetail =
            _mm256_add_pd(offset, _mm256_mul_pd(_mm256_sub_pd(le, lo), halving));
        _mm256_storeu_pd(averages + k, inOrder(_mm256_mul_pd(
                                           _mm256_add_pd(upperAverage, lowerAverage), halving)));
        _mm256_storeu_pd(horizontal + k,
                         inOrder(_mm256_mul_pd(_mm256_add_pd(upperDetail, lowerDetail), halving)));
        _mm256_storeu_pd(
            details + k,
            inOrder(_mm256_add_pd(
                offset, _mm256_mul_pd(_mm256_sub_pd(upperAverage, lowerAverage), halving))));
        _mm256_storeu_pd(
            details + half + k,
            inOrder(_mm256_add_pd(
                offset, _mm256_mul_pd(_mm256_sub_pd(upperDetail, lowerDetail), halving))));
    }
    forwardPairFrom(k, upper, lower, averages, horizontal, details, half);
}

// Two rows' sums and differences of element k interleaved: sum, difference,
// sum, difference, into `row` from element 2k.
ONDA_AVX2 void interleaved(double* row, __m256d sums, __m256d differences) {
    const __m256d low = _mm256_unpacklo_pd(sums, differences);   // k: 0, 0, 2, 2
    const __m256d high = _mm256_unpackhi_pd(sums, differences);  // k: 1, 1, 3, 3
    _mm256_storeu_pd(row, _mm256_permute2f128_pd(low, high, 0x20));
    _mm256_storeu_pd(row + 4, _mm256_permute2f128_pd(low, high, 0x31));
}

ONDA_AVX2 void inversePairAvx2(const double* __restrict left, const double* __restrict right,
                               const double* __restrict details, double* __restrict upper,
                               double* __restrict lower, std::ptrdiff_t half) {
    std::ptrdiff_t k = 0;
    for (; k + 4 <= half; k += 4) {
        const __m256d l = _mm256_loadu_pd(left + k), r = _mm256_loadu_pd(right + k);
        const __m256d dl = _mm256_loadu_pd(details + k);
        const __m256d dr = _mm256_loadu_pd(details + half + k);
        const __m256d upperLeft = _mm256_add_pd(l, dl), lowerLeft = _mm256_sub_pd(l, dl);
        const __m256d upperRight = _mm256_add_pd(r, dr), lowerRight = _mm256_sub_pd(r, dr);
        interleaved(upper + 2 * k, _mm256_add_pd(upperLeft, upperRight),
                    _mm256_sub_pd(upperLeft, upperRight));
        interleaved(lower + 2 * k, _mm256_add_pd(lowerLeft, lowerRight),
                    _mm256_sub_pd(lowerLeft, lowerRight));
    }
    inversePairFrom(k, left, right, details, upper, lower, half);
}

ONDA_AVX2 void blockLevelAvx2(const double* upper, const double* lower, double* averages,
                              double* horizontal, double* vertical, double* diagonal,
                              std::ptrdiff_t width) {
    const __m256d quartering = _mm256_set1_pd(0.25), offset = _mm256_set1_pd(DETAIL_OFFSET);
    const __m256d zero = _mm256_setzero_pd();
    std::ptrdiff_t j = 0;
    for (; j + 8 <= width; j += 8) {
        const __m256d u0 = _mm256_loadu_pd(upper + j), u1 = _mm256_loadu_pd(upper + j + 4);
        const __m256d l0 = _mm256_loadu_pd(lower + j), l1 = _mm256_loadu_pd(lower + j + 4);
        const __m256d s00 = _mm256_unpacklo_pd(u0, u1), s01 = _mm256_unpackhi_pd(u0, u1);
        const __m256d s10 = _mm256_unpacklo_pd(l0, l1), s11 = _mm256_unpackhi_pd(l0, l1);
        const __m256d sum = _mm256_add_pd(s00, s01), difference = _mm256_sub_pd(s00, s01);
        if (averages) {
            const __m256d all = _mm256_add_pd(_mm256_add_pd(sum, s10), s11);
            _mm256_storeu_pd(averages + j / 2,
                             inOrder(_mm256_add_pd(_mm256_mul_pd(all, quartering), zero)));
        }
        const __m256d h = _mm256_sub_pd(_mm256_add_pd(difference, s10), s11);
        const __m256d v = _mm256_sub_pd(_mm256_sub_pd(sum, s10), s11);
        const __m256d d = _mm256_add_pd(_mm256_sub_pd(difference, s10), s11);
        _mm256_storeu_pd(horizontal + j / 2,
                         inOrder(_mm256_add_pd(_mm256_mul_pd(h, quartering), offset)));
        _mm256_storeu_pd(vertical + j / 2,
                         inOrder(_mm256_add_pd(_mm256_mul_pd(v, quartering), offset)));
        _mm256_storeu_pd(diagonal + j / 2,
                         inOrder(_mm256_add_pd(_mm256_mul_pd(d, quartering), offset)));
    }
    blockLevelFrom(j, upper, lower, averages, horizontal, vertical, diagonal, width);
}

// Four bytes as doubles, less `offset`.
ONDA_AVX2 void fourValuesAvx2(const unsigned char* pixels, double* values, __m256d offset) {
    int word = 0;
    std::memcpy(&word, pixels, sizeof word);
    const __m128i dwords = _mm_cvtepu8_epi32(_mm_cvtsi32_si128(word));
    _mm256_storeu_pd(values, _mm256_sub_pd(_mm256_cvtepi32_pd(dwords), offset));
}

// As loadRunSse2.
ONDA_AVX2 std::size_t loadRunAvx2(const unsigned char* pixels, double* values, std::size_t x,
                                  std::size_t end, __m256d offset) {
    for (; x + 16 <= end; x += 16) {
        for (std::size_t k = 0; k < 16; k += 4)
            fourValuesAvx2(pixels + x + k, values + x + k, offset);
    }
    for (; x + 4 <= end; x += 4) fourValuesAvx2(pixels + x, values + x, offset);
    return x;
}

ONDA_AVX2 void loadGreyAvx2(const unsigned char* __restrict pixels, double* __restrict values,
                            std::size_t offsetFree, std::size_t count) {
    std::size_t x = loadRunAvx2(pixels, values, 0, offsetFree, _mm256_setzero_pd());
    for (; x < offsetFree; ++x) values[x] = pixels[x];
    x = loadRunAvx2(pixels, values, x, count, _mm256_set1_pd(DETAIL_OFFSET));
    loadFrom<1>(x, pixels, values, offsetFree, count);
}

// Four values as words that the packs turn into the bytes channelByte
// gives (see eightBytes).
ONDA_AVX2 __m128i fourWords(const double* values, __m256d top) {
    return _mm256_cvttpd_epi32(_mm256_min_pd(top, _mm256_loadu_pd(values)));
}

// As storeGreySse2, sixteen at a time.
ONDA_AVX2 void storeGreyAvx2(const double* __restrict values, unsigned char* __restrict pixels,
                             std::size_t count) {
    const __m256d top = _mm256_set1_pd(255.0);
    std::size_t x = 0;
    for (; x + 16 <= count; x += 16) {
        const __m128i low =
            _mm_packs_epi32(fourWords(values + x, top), fourWords(values + x + 4, top));
        const __m128i high =
            _mm_packs_epi32(fourWords(values + x + 8, top), fourWords(values + x + 12, top));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + x), _mm_packus_epi16(low, high));
    }
    storeGreySse2(values + x, pixels + x, count - x);
}

// A colour row's bytes are read sixteen at a time from the first byte of
// pixel x on, which holds while x + 6 <= count, and written 48 at a time,
// while x + 17 <= count: from there, the channel's own bytes reach
// 3 * (count - x) - 2 bytes on.

// Channel bytes of four pixels as doubles, less `offset`.
ONDA_AVX2 void fourChannelValues(const unsigned char* pixels, double* values, __m256d offset) {
    const __m128i pick = _mm_setr_epi8(0, -1, -1, -1, 3, -1, -1, -1, 6, -1, -1, -1, 9, -1, -1, -1);
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
    const __m128i dwords = _mm_shuffle_epi8(bytes, pick);
    _mm256_storeu_pd(values, _mm256_sub_pd(_mm256_cvtepi32_pd(dwords), offset));
}

ONDA_AVX2 void loadColourAvx2(const unsigned char* __restrict pixels, double* __restrict values,
                              std::size_t offsetFree, std::size_t count) {
    const __m256d none = _mm256_setzero_pd(), offset = _mm256_set1_pd(DETAIL_OFFSET);
    std::size_t x = 0;
    for (; x + 4 <= offsetFree && x + 6 <= count; x += 4) {
        fourChannelValues(pixels + 3 * x, values + x, none);
    }
    for (; x < offsetFree; ++x) values[x] = pixels[3 * x];
    for (; x + 6 <= count; x += 4) fourChannelValues(pixels + 3 * x, values + x, offset);
    loadFrom<3>(x, pixels, values, offsetFree, count);
}

// Sixteen values into the channel's bytes of sixteen pixels, the other
// bytes kept: 48 bytes read and written whole, in three vectors, none of
// which is read again after it is written (a read of bytes just written in
// part waits for the write).
ONDA_AVX2 void storeColourAvx2(const double* __restrict values, unsigned char* __restrict pixels,
                               std::size_t count) {
    const __m256d top = _mm256_set1_pd(255.0);
    // Where the sixteen bytes go in each vector: the channel's bytes lie at
    // 0, 3, ... 15 of the first, 2, 5, ... 14 of the second and 1, 4, ... 13
    // of the third.
    const __m128i place[3] = {
        _mm_setr_epi8(0, -1, -1, 1, -1, -1, 2, -1, -1, 3, -1, -1, 4, -1, -1, 5),
        _mm_setr_epi8(-1, -1, 6, -1, -1, 7, -1, -1, 8, -1, -1, 9, -1, -1, 10, -1),
        _mm_setr_epi8(-1, 11, -1, -1, 12, -1, -1, 13, -1, -1, 14, -1, -1, 15, -1, -1)};
    std::size_t x = 0;
    for (; x + 17 <= count; x += 16) {
        const __m128i low =
            _mm_packs_epi32(fourWords(values + x, top), fourWords(values + x + 4, top));
        const __m128i high =
            _mm_packs_epi32(fourWords(values + x + 8, top), fourWords(values + x + 12, top));
        const __m128i bytes = _mm_packus_epi16(low, high);
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
