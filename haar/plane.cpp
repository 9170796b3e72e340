#include "plane.h"

#include <algorithm>

int R_Times = 0;

LevelRegion levelRegion(int height, int width, int level) {
    // level - 1 halvings: none below level 2, and from 32 on as many as an int
    // has bits to lose.
    const int shift = std::clamp(level - 1, 0, 31);
    return LevelRegion{height >> shift, width >> shift};
}

std::size_t scratchLength(int height, int width, int levels) {
    std::size_t length = 0;
    for (int level = 2; level <= std::min(levels, MOST_LEVELS); ++level) {
        length += 2 * std::size_t(levelRegion(height, width, level).cols);
    }
    return length;
}
