#include "forward.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "owners.h"
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
// same two w_average / w_difference calls as in the passes. With Refill, each
// input element is overwritten, once read, by the same element of the refill
// rows. With MirrorHorizontal the right half of the averages goes to
// `horizontalCopy` too, and with MirrorAverages the left half to
// `averagesCopy`.
template <bool Refill, bool MirrorHorizontal, bool MirrorAverages>
void transformRowPair(double* __restrict upper, double* __restrict lower,
                      const double* __restrict upperRefill, const double* __restrict lowerRefill,
                      double* __restrict averages, double* __restrict averagesCopy,
                      double* __restrict horizontal, double* __restrict horizontalCopy,
                      double* __restrict details, int count) {
    const std::ptrdiff_t half = count / 2;
    for (std::ptrdiff_t k = 0; k < half; ++k) {
        const double upperAverage = w_average(upper[2 * k], upper[2 * k + 1]);
        const double upperDetail = w_difference(upper[2 * k], upper[2 * k + 1]);
        const double lowerAverage = w_average(lower[2 * k], lower[2 * k + 1]);
        const double lowerDetail = w_difference(lower[2 * k], lower[2 * k + 1]);
        if (Refill) {
            upper[2 * k] = upperRefill[2 * k];
            upper[2 * k + 1] = upperRefill[2 * k + 1];
            lower[2 * k] = lowerRefill[2 * k];
            lower[2 * k + 1] = lowerRefill[2 * k + 1];
        }
        averages[k] = w_average(upperAverage, lowerAverage);
        if (MirrorAverages) averagesCopy[k] = averages[k];
        horizontal[k] = w_average(upperDetail, lowerDetail);
        if (MirrorHorizontal) horizontalCopy[k] = horizontal[k];
        details[k] = w_difference(upperAverage, lowerAverage);
        details[half + k] = w_difference(upperDetail, lowerDetail);
    }
}

// All levels in one sweep down the picture. The first level takes the source
// rows two by two; the averages of every level's row pair that a deeper level
// works on (its left half) are never stored in the buffers: they go to that
// level's two scratch rows, and a level runs its pair as soon as both rows are
// there. Every finished value is written to the result buffer when it is
// made. The source buffer gets it too, at once when its row of the source has
// already been read, or otherwise from the result buffer just after that row
// is read, so that both buffers end equal.
//
// Time is counted in row pairs of the first level: pair q of level k is made
// at time 2^(k-1) * (q + 1) - 1, and source row r is read at time r / 2.
struct Sweep {
    double* source;
    double* result;
    int width;   // the row stride
    int height;  // the whole picture, level 1's region
    int levels;
    double* scratch;                          // two rows per level from level 2 on
    ScratchLayout layout;                     // where they lie
    std::array<int, MOST_LEVELS + 1> rowsIn;  // rows level k has been given
    int time;                                 // the first level's current row pair
};

std::int64_t madeAt(int level, int pair) {
    return (std::int64_t{pair} + 1) * (std::int64_t{1} << (level - 1)) - 1;
}

// Columns [from, to) of row `row`, just written to the result buffer, go to
// the source buffer too when that source row has been read.
void mirrorIfRead(const Sweep& s, int row, int from, int to) {
    if (row / 2 > s.time || from >= to) return;
    const double* finished = s.result + bufferIndex(0, row, s.width);
    std::copy(finished + from, finished + to, s.source + bufferIndex(from, row, s.width));
}

// Just after source row `row` is read: the values of that row made before
// now, all of one detail band, go from the result buffer to the source.
void catchUp(const Sweep& s, int row) {
    for (int level = 1; level <= s.levels; ++level) {
        const LevelRegion region = levelRegion(s.height, s.width, level);
        const int half = region.rows / 2;
        if (row < half) continue;
        if (madeAt(level, row - half) < s.time) {
            const double* finished = s.result + bufferIndex(0, row, s.width);
            std::copy(finished, finished + region.cols, s.source + bufferIndex(0, row, s.width));
        }
        return;
    }
}

void runPair(Sweep& s, int level, int pair, double* upper, double* lower,
             const double* refill = nullptr);

// transformRowPair with the refill rows `refill` and `refill` + `stride` when
// given, and the copies asked for.
void runKernel(double* upper, double* lower, const double* refill, int stride, double* averages,
               double* averagesCopy, double* horizontal, double* horizontalCopy, double* details,
               int count, bool mirrorHorizontal, bool mirrorAverages) {
    const double* lowerRefill = refill ? refill + stride : nullptr;
    if (refill && mirrorAverages) {
        transformRowPair<true, true, true>(upper, lower, refill, lowerRefill, averages,
                                           averagesCopy, horizontal, horizontalCopy, details,
                                           count);
    } else if (refill) {
        transformRowPair<true, true, false>(upper, lower, refill, lowerRefill, averages, nullptr,
                                            horizontal, horizontalCopy, details, count);
    } else if (mirrorAverages) {
        transformRowPair<false, true, true>(upper, lower, nullptr, nullptr, averages, averagesCopy,
                                            horizontal, horizontalCopy, details, count);
    } else if (mirrorHorizontal) {
        transformRowPair<false, true, false>(upper, lower, nullptr, nullptr, averages, nullptr,
                                             horizontal, horizontalCopy, details, count);
    } else {
        transformRowPair<false, false, false>(upper, lower, nullptr, nullptr, averages, nullptr,
                                              horizontal, nullptr, details, count);
    }
}

// Hands level `level` its next row, already in its scratch; runs the pair when
// the row completes one.
void feed(Sweep& s, int level) {
    const int given = ++s.rowsIn[std::size_t(level)];
    if (given % 2 != 0) return;
    const LevelRegion region = levelRegion(s.height, s.width, level);
    double* upper = s.scratch + s.layout.at[std::size_t(level)];
    runPair(s, level, given / 2 - 1, upper, upper + region.cols);
}

// Where level `level` takes its next row.
double* nextRowOf(const Sweep& s, int level) {
    const LevelRegion region = levelRegion(s.height, s.width, level);
    const int slot = s.rowsIn[std::size_t(level)] % 2;
    return s.scratch + s.layout.at[std::size_t(level)] + std::size_t(slot) * region.cols;
}

// Runs pair `pair` of level `level` on its two input rows. `refill`, when
// given, holds the finished values of the two rows (two rows of the result
// buffer), which replace the input as it is read.
void runPair(Sweep& s, int level, int pair, double* upper, double* lower, const double* refill) {
    const auto [rows, cols] = levelRegion(s.height, s.width, level);
    const bool deepest = level == s.levels;
    double* averages = s.result + bufferIndex(0, pair, s.width);
    double* details = s.result + bufferIndex(0, rows / 2 + pair, s.width);
    double* kept = deepest ? averages : nextRowOf(s, level + 1);
    // The source row of the averages has been read, and unless this is the
    // first pair of level 1 it is not an input row: the finished averages row
    // can go there in the pass.
    const bool mirrorInPass = level > 1 || pair > 0;
    double* averagesCopy = s.source + bufferIndex(0, pair, s.width);
    runKernel(upper, lower, refill, s.width, kept, averagesCopy, averages + cols / 2,
              averagesCopy + cols / 2, details, cols, mirrorInPass, mirrorInPass && deepest);
    if (!mirrorInPass) mirrorIfRead(s, pair, deepest ? 0 : cols / 2, cols);
    mirrorIfRead(s, rows / 2 + pair, 0, cols);
    if (!deepest) feed(s, level + 1);
}

// The levels as separate passes: each level's row pass from the source
// buffer into the result buffer, its column pass back into the source, and
// one copy at the end. Used only when the scratch rows cannot be had.
void runLevelsAsPasses(double* source, double* result, int height, int width, int levels) {
    for (int level = 1; level <= levels; ++level) {
        const auto [rows, cols] = levelRegion(height, width, level);
        for (int j = 0; j < rows; ++j) wavelet_1d_wide(j, cols, source, result, width);
        // NOLINTNEXTLINE(readability-suspicious-call-argument): the buffers take turns
        wavelet_1d_height(0, rows, result, source, width, cols);
    }
    std::copy_n(source, std::size_t(height) * std::size_t(width), result);
}

// True when both source rows of the first level's pair `pair` lie in its
// detail band and were made earlier: the pair can then put them back as it
// reads them, while they are in cache.
bool refillsBothRows(const Sweep& s, int pair) {
    const int half = s.height / 2;
    return 2 * pair >= half && 2 * pair + 1 - half < pair;
}

void runLevels(double* source, double* result, int height, int width, int levels) {
    const ScratchLayout layout = scratchLayout(height, width, levels);
    Sweep s{source, result, width, height, levels, nullptr, layout, {}, 0};
    const std::size_t length = layout.length;
    const BlockPtr<double> scratch(
        length > 0 ? static_cast<double*>(allocateBlock(length * sizeof(double))) : nullptr);
    if (length > 0 && !scratch) return runLevelsAsPasses(source, result, height, width, levels);
    s.scratch = scratch.get();
    for (int pair = 0; pair < height / 2; ++pair) {
        s.time = pair;
        double* upper = source + bufferIndex(0, 2 * pair, width);
        if (refillsBothRows(s, pair)) {
            runPair(s, 1, pair, upper, upper + width, result + bufferIndex(0, 2 * pair, width));
        } else {
            runPair(s, 1, pair, upper, upper + width);
            catchUp(s, 2 * pair);
            catchUp(s, 2 * pair + 1);
        }
    }
}

}  // namespace

// With no level to run the result buffer receives the source as it is.
void wavelet_process(double* source, double* result, int height, int width, std::FILE* progress) {
    if (progress) std::fputs("Wavelet Transfer --", progress);
    for (int level = 1; level <= R_Times; ++level) {
        if (progress) std::fprintf(progress, " %d Times --", level);
    }
    if (R_Times >= 1 && R_Times <= MOST_LEVELS) {
        runLevels(source, result, height, width, R_Times);
    } else {
        std::copy_n(source, std::size_t(height) * std::size_t(width), result);
    }
    if (progress) std::fputc('\n', progress);
}

}  // namespace fwd
