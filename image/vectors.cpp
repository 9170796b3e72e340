#include "vectors.h"

#include <cstdlib>
#include <cstring>

namespace {

// The width asked for first: the widest, or the one ONDA_VECTORS names.
VectorWidth namedWidth() {
    const char* named = std::getenv("ONDA_VECTORS");
    if (named != nullptr && std::strcmp(named, "portable") == 0) return VECTORS_PORTABLE;
    if (named != nullptr && std::strcmp(named, "sse2") == 0) return VECTORS_SSE2;
    return VECTORS_AVX2;
}

// The widest width that runs, no wider than ONDA_VECTORS names.
VectorWidth firstWidth() {
    for (int width = namedWidth(); width > VECTORS_PORTABLE; --width) {
        if (runsVectors(VectorWidth(width))) return VectorWidth(width);
    }
    return VECTORS_PORTABLE;
}

bool chosen = false;
VectorWidth inUse = VECTORS_PORTABLE;

}  // namespace

VectorWidth vectorWidth() {
    if (!chosen) {
        inUse = firstWidth();
        chosen = true;
    }
    return inUse;
}

bool runsVectors(VectorWidth width) {
    if (width == VECTORS_AVX2) {
#if defined(ONDA_AVX2_VECTORS)
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
#else
        return false;
#endif
    }
#if defined(ONDA_SSE2_VECTORS)
    return width == VECTORS_PORTABLE || width == VECTORS_SSE2;
#else
    return width == VECTORS_PORTABLE;
#endif
}

bool useVectors(VectorWidth width) {
    if (!runsVectors(width)) return false;
    inUse = width;
    chosen = true;
    return true;
}
