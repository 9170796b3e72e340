#include "inverse.h"

#include <algorithm>
#include <cstddef>

#include "plane.h"

namespace inv {

void wavelet_1d_inv_height(int column, int count, const double* source, double* result, int stride,
                           int columns) {
    const int half = count / 2;
    for (int i = 0; i < count; i += 2) {
        const double* average = source + bufferIndex(column, i / 2, stride);
        const double* detail = source + bufferIndex(column, half + i / 2, stride);
        double* upper = result + bufferIndex(column, i, stride);
        double* lower = result + bufferIndex(column, i + 1, stride);
        for (int c = 0; c < columns; ++c) {
            upper[c] = average[c] + detail[c];
            lower[c] = average[c] - detail[c];
        }
    }
}

void wavelet_1d_inv_wide(int row, int count, const double* source, double* result, int stride) {
    const double* averages = source + bufferIndex(0, row, stride);
    const double* details = averages + count / 2;
    double* out = result + bufferIndex(0, row, stride);
    for (std::ptrdiff_t k = 0; k < count / 2; ++k) {
        out[2 * k] = averages[k] + details[k];
        out[2 * k + 1] = averages[k] - details[k];
    }
}

namespace {

// The column step and the row pass of one row pair undone at once, element by
// element, with nothing stored between them: the pair's averages row is
// `left` (its left half) and `right` (its right half), its details row
// `details`, and the rebuilt rows go to `upper` and `lower`. Each value is the
// same sum or difference as in the passes.
void rebuildRowPair(const double* __restrict left, const double* __restrict right,
                    const double* __restrict details, double* __restrict upper,
                    double* __restrict lower, int count) {
    const std::ptrdiff_t half = count / 2;
    for (std::ptrdiff_t k = 0; k < half; ++k) {
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

struct Sweep {
    const double* source;
    int height;  // the whole picture, level 1's region
    int width;   // the row stride
    int levels;
};

// Rebuilds pair `pair` of level `level` into `upper` and `lower`. The left
// half of its averages row is row `pair` of the next level, which rebuilds
// its own pair into its two rows at the start of `scratch` (the deeper
// levels' rows follow) when asked for the first of them; at the deepest level
// it is in the source buffer with the rest.
void runPair(const Sweep& s, int level, int pair, double* upper, double* lower, double* scratch) {
    const auto [rows, cols] = levelRegion(s.height, s.width, level);
    const std::size_t half = std::size_t(cols / 2);
    const double* averages = s.source + bufferIndex(0, pair, s.width);
    const double* details = s.source + bufferIndex(0, rows / 2 + pair, s.width);
    const double* left = averages;
    if (level < s.levels) {
        if (pair % 2 == 0) {
            runPair(s, level + 1, pair / 2, scratch, scratch + half, scratch + 2 * half);
        }
        left = scratch + std::size_t(pair % 2) * half;
    }
    rebuildRowPair(left, averages + half, details, upper, lower, cols);
}

}  // namespace

void wavelet_inv_process(const double* source, double* result, int height, int width,
                         double* scratch, std::FILE* progress) {
    if (progress) std::fputs("Wavelet Inverse Transfer --", progress);
    for (int level = R_Times; level >= 1; --level) {
        if (progress) std::fprintf(progress, " %d times --", level);
    }
    if (R_Times >= 1 && R_Times <= MOST_LEVELS) {
        const Sweep sweep{source, height, width, R_Times};
        for (int pair = 0; pair < height / 2; ++pair) {
            double* upper = result + bufferIndex(0, 2 * pair, width);
            runPair(sweep, 1, pair, upper, upper + width, scratch);
        }
    } else {
        std::copy_n(source, std::size_t(height) * std::size_t(width), result);
    }
    if (progress) std::fputc('\n', progress);
}

}  // namespace inv
