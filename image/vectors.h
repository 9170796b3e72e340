// Which width of vector the loops over pixels and coefficients use.
//
// A loop that has vector versions has one for each width this build can
// make and the processor may run: the portable one (plain C++, any
// processor), SSE2 (every x86-64 processor has it) and, where the compiler
// takes it for single functions and can ask the processor for it (GCC and
// clang for x86-64 ELF systems), AVX2. Each version does the same IEEE
// operations in the same order on each value, so all give the same bits.
#ifndef ONDA_VECTORS_H
#define ONDA_VECTORS_H

#if defined(__SSE2__) || defined(_M_X64)
#define ONDA_SSE2_VECTORS 1
#endif

#if defined(ONDA_SSE2_VECTORS) && (defined(__GNUC__) || defined(__clang__)) && \
    defined(__x86_64__) && defined(__ELF__)
#define ONDA_AVX2_VECTORS 1
// Marks a function built for AVX2, which only runs where vectorWidth() says so.
#define ONDA_AVX2 __attribute__((target("avx2")))
#endif

// The widths, narrowest first.
enum VectorWidth { VECTORS_PORTABLE, VECTORS_SSE2, VECTORS_AVX2 };

// The width in use: at first the widest this build and processor run, or a
// narrower one that the environment variable ONDA_VECTORS names ("portable",
// "sse2"), which serves to compare them.
VectorWidth vectorWidth();

// True when this build and processor run `width`.
bool runsVectors(VectorWidth width);

// Puts `width` in use; false, and nothing changes, when it cannot run.
bool useVectors(VectorWidth width);

#endif
