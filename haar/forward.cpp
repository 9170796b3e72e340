#include "forward.h"

#include <algorithm>
#include <cstddef>

#include "plane.h"

namespace fwd {

double w_average(double a, double b) {
    return (a + b) / 2.0;
}

double w_difference(double a, double b) {
    return DETAIL_OFFSET + (a - b) / 2.0;
}

void wavelet_1d_wide(int row, int count, const double* source, double* result, int stride) {
    const double* in = source + bufferIndex(0, row, stride);
    double* averages = result + bufferIndex(0, row, stride);
    double* details = averages + count / 2;
    for (std::ptrdiff_t k = 0; k < count / 2; ++k) {
        averages[k] = w_average(in[2 * k], in[2 * k + 1]);
        details[k] = w_difference(in[2 * k], in[2 * k + 1]);
    }
}

void wavelet_1d_height(int column, int count, const double* source, double* result, int stride,
                       int columns) {
    const int half = count / 2;
    for (int i = 0; i < count; i += 2) {
        const double* upper = source + bufferIndex(column, i, stride);
        const double* lower = source + bufferIndex(column, i + 1, stride);
        double* average = result + bufferIndex(column, i / 2, stride);
        double* detail = result + bufferIndex(column, half + i / 2, stride);
        for (int c = 0; c < columns; ++c) {
            average[c] = w_average(upper[c], lower[c]);
            detail[c] = w_difference(upper[c], lower[c]);
        }
    }
}

namespace {

// The row pass of two neighbouring rows of `count` elements and the column
// step over the pair, element by element, with nothing stored between them:
// the pair's column averages go to `averages` (left half) and `horizontal`
// (right half), its column details to `details`. Each value comes from the
// same two w_average / w_difference calls as in the passes.
void transformRowPair(const double* __restrict upper, const double* __restrict lower,
                      double* __restrict averages, double* __restrict horizontal,
                      double* __restrict details, int count) {
    const std::ptrdiff_t half = count / 2;
    for (std::ptrdiff_t k = 0; k < half; ++k) {
        const double upperAverage = w_average(upper[2 * k], upper[2 * k + 1]);
        const double upperDetail = w_difference(upper[2 * k], upper[2 * k + 1]);
        const double lowerAverage = w_average(lower[2 * k], lower[2 * k + 1]);
        const double lowerDetail = w_difference(lower[2 * k], lower[2 * k + 1]);
        averages[k] = w_average(upperAverage, lowerAverage);
        horizontal[k] = w_average(upperDetail, lowerDetail);
        details[k] = w_difference(upperAverage, lowerAverage);
        details[half + k] = w_difference(upperDetail, lowerDetail);
    }
}

struct Sweep {
    double* result;
    int height;  // the whole picture, level 1's region
    int width;   // the row stride
    int levels;
};

// Pair `pair` of level `level`, from its two input rows. The averages that
// the next level works on go to its two rows at the start of `scratch` (the
// deeper levels' rows follow), and it runs its pair once both are there;
// every other value goes to its place in the result buffer.
void runPair(const Sweep& s, int level, int pair, const double* upper, const double* lower,
             double* scratch) {
    const auto [rows, cols] = levelRegion(s.height, s.width, level);
    const std::size_t half = std::size_t(cols / 2);
    double* averages = s.result + bufferIndex(0, pair, s.width);
    double* details = s.result + bufferIndex(0, rows / 2 + pair, s.width);
    const bool deepest = level == s.levels;
    double* kept = deepest ? averages : scratch + std::size_t(pair % 2) * half;
    transformRowPair(upper, lower, kept, averages + half, details, cols);
    if (!deepest && pair % 2 == 1) {
        runPair(s, level + 1, pair / 2, scratch, scratch + half, scratch + 2 * half);
    }
}

}  // namespace

void wavelet_process(const double* source, double* result, int height, int width, double* scratch,
                     std::FILE* progress) {
    if (progress) std::fputs("Wavelet Transfer --", progress);
    for (int level = 1; level <= R_Times; ++level) {
        if (progress) std::fprintf(progress, " %d Times --", level);
    }
    if (R_Times >= 1 && R_Times <= MOST_LEVELS) {
        const Sweep sweep{result, height, width, R_Times};
        for (int pair = 0; pair < height / 2; ++pair) {
            const double* upper = source + bufferIndex(0, 2 * pair, width);
            runPair(sweep, 1, pair, upper, upper + width, scratch);
        }
    } else {
        std::copy_n(source, std::size_t(height) * std::size_t(width), result);
    }
    if (progress) std::fputc('\n', progress);
}

}  // namespace fwd
