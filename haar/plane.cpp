#include "plane.h"

#include <algorithm>

int R_Times = 0;

int halvings(int n) {
    return std::clamp(n, 0, MOST_LEVELS);
}

LevelRegion levelRegion(int height, int width, int level) {
    const int shift = halvings(level - 1);
    return LevelRegion{height >> shift, width >> shift};
}

std::size_t scratchLength(int height, int width, int levels) {
    std::size_t length = 0;
    for (int level = 2; level <= std::min(levels, MOST_LEVELS); ++level) {
        length += 2 * std::size_t(levelRegion(height, width, level).cols);
    }
    return length;
}
