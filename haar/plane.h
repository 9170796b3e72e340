// The plane arithmetic the transforms share: where an element of a coefficient
// buffer lies, which region each level works on, the detail offset, the
// number of levels and the scratch of the one-sweep transforms.
//
// A coefficient buffer is width x height doubles, row-major; element (x, y)
// lies at y * width + x whatever region a level works on.
#ifndef ONDA_HAAR_PLANE_H
#define ONDA_HAAR_PLANE_H

#include <cstddef>

#include "owners.h"

// A coefficient buffer: width x height doubles, row-major, never cleared.
using CoefficientBuffer = BlockPtr<double>;

// The number of transform levels, set once by main and read by the transform.
extern int R_Times;

// The detail offset: lifts every detail coefficient so that zero shows mid-grey.
constexpr double DETAIL_OFFSET = 128.0;

// Element (x, y) of a coefficient buffer whose rows are `stride` long.
inline std::size_t bufferIndex(int x, int y, int stride) {
    return std::size_t(y) * std::size_t(stride) + std::size_t(x);
}

// The top-left region that level `level` (counted from 1) of the multi-level
// transforms works on: height / 2^(level-1) rows of width / 2^(level-1).
struct LevelRegion {
    int rows;
    int cols;
};
LevelRegion levelRegion(int height, int width, int level);

// The level limit: no side an int can hold is a positive multiple of 2^31,
// so no picture takes this many levels; shift counts stop here too.
constexpr int MOST_LEVELS = 31;

// n halvings as a shift count: none for n <= 0, and from MOST_LEVELS on as
// many as an int has bits to lose.
int halvings(int n);

// The doubles of scratch the one-sweep transforms take for `levels` levels of
// a height x width plane: two rows for each level from 2 on, each as long as
// its level region is wide, level 2's first. Less than two rows of the plane.
std::size_t scratchLength(int height, int width, int levels);

#endif
