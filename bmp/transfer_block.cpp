#include "transfer_block.h"

#include "vectors.h"

#if defined(ONDA_SSE2_VECTORS)
#include <emmintrin.h>
#endif
#if defined(ONDA_AVX2_VECTORS)
#include <immintrin.h>
#endif

namespace {

#if defined(ONDA_SSE2_VECTORS)
// Five pixels at a time in sixteen bytes: each first byte moved two places
// up, each third two places down, the second bytes and the sixteenth kept;
// stops where fewer than sixteen bytes are left. Each sixteen are read
// before the ones before them are written, since `out` may be `in` (and a
// read of bytes just written in part waits for the write). Gives how many
// pixels were done.
std::size_t swapRedAndBlueSse2(const unsigned char* in, unsigned char* out, std::size_t pixels) {
    if (pixels < 6) return 0;
    const __m128i first = _mm_setr_epi8(-1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, -1, 0, 0, 0);
    const __m128i third = _mm_slli_si128(first, 2);
    const __m128i kept = _mm_or_si128(
        _mm_slli_si128(first, 1), _mm_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, -1));
    const auto swapped = [first, third, kept](__m128i bytes) {
        const __m128i moved = _mm_or_si128(_mm_and_si128(_mm_srli_si128(bytes, 2), first),
                                           _mm_and_si128(_mm_slli_si128(bytes, 2), third));
        return _mm_or_si128(moved, _mm_and_si128(bytes, kept));
    };
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    std::size_t x = 0;
    for (; x + 11 <= pixels; x += 5) {
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * x + 15));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * x), swapped(bytes));
        bytes = next;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * x), swapped(bytes));
    return x + 5;
}
#endif

#if defined(ONDA_AVX2_VECTORS)
// As swapRedAndBlueSse2, each sixteen bytes put in their new order by one
// byte shuffle.
ONDA_AVX2 std::size_t swapRedAndBlueAvx2(const unsigned char* in, unsigned char* out,
                                         std::size_t pixels) {
    if (pixels < 6) return 0;
    const __m128i order = _mm_setr_epi8(2, 1, 0, 5, 4, 3, 8, 7, 6, 11, 10, 9, 14, 13, 12, 15);
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
    std::size_t x = 0;
    for (; x + 11 <= pixels; x += 5) {
        const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 3 * x + 15));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * x), _mm_shuffle_epi8(bytes, order));
        bytes = next;
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 3 * x), _mm_shuffle_epi8(bytes, order));
    return x + 5;
}
#endif

}  // namespace

void openTransferBlock(TransferBlock& block) {
    block.owned.reset(static_cast<unsigned char*>(allocateBlock(TRANSFER_BYTES)));
    block.bytes = block.owned ? block.owned.get() : block.spare;
    block.capacity = block.owned ? TRANSFER_BYTES : SPARE_TRANSFER_BYTES;
}

void swapRedAndBlue(const unsigned char* in, unsigned char* out, std::size_t pixels) {
    std::size_t x = 0;
#if defined(ONDA_SSE2_VECTORS)
    if (vectorWidth() == VECTORS_SSE2) x = swapRedAndBlueSse2(in, out, pixels);
#endif
#if defined(ONDA_AVX2_VECTORS)
    if (vectorWidth() == VECTORS_AVX2) x = swapRedAndBlueAvx2(in, out, pixels);
#endif
    for (; x < pixels; ++x) {
        const unsigned char first = in[3 * x], third = in[3 * x + 2];
        out[3 * x] = third;
        out[3 * x + 1] = in[3 * x + 1];
        out[3 * x + 2] = first;
    }
}
