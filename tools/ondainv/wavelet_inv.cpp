#include "wavelet_inv.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "owners.h"
#include "plane.h"

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
// element, with nothing stored between them. The pair's averages row is `left`
// (its left half) and `right` (its right half), its details row `details`;
// the two rebuilt rows go to `upper` and `lower`. Each value is the same sum
// or difference as in the passes. With Mirror the rebuilt rows go to
// `upperCopy` and `lowerCopy` too; with RefillRight each element of `right`,
// once read, is overwritten by the same element of `rightRefill`.
template <bool Mirror, bool RefillRight>
void rebuildRowPair(const double* __restrict left, double* __restrict right,
                    const double* __restrict details, const double* __restrict rightRefill,
                    double* __restrict upper, double* __restrict lower,
                    double* __restrict upperCopy, double* __restrict lowerCopy, int count) {
    const std::ptrdiff_t half = count / 2;
    for (std::ptrdiff_t k = 0; k < half; ++k) {
        const double upperLeft = left[k] + details[k];
        const double lowerLeft = left[k] - details[k];
        const double upperRight = right[k] + details[half + k];
        const double lowerRight = right[k] - details[half + k];
        if (RefillRight) right[k] = rightRefill[k];
        const double upperEven = upperLeft + upperRight;
        const double upperOdd = upperLeft - upperRight;
        const double lowerEven = lowerLeft + lowerRight;
        const double lowerOdd = lowerLeft - lowerRight;
        upper[2 * k] = upperEven;
        upper[2 * k + 1] = upperOdd;
        lower[2 * k] = lowerEven;
        lower[2 * k + 1] = lowerOdd;
        if (Mirror) {
            upperCopy[2 * k] = upperEven;
            upperCopy[2 * k + 1] = upperOdd;
            lowerCopy[2 * k] = lowerEven;
            lowerCopy[2 * k + 1] = lowerOdd;
        }
    }
}

// All levels in one sweep down the picture. The first level rebuilds the
// picture's rows two by two into the result buffer; the averages each level
// needs on the left of a row come from the level below it, which rebuilds its
// own row pair into two scratch rows when asked for the first of them, and
// so on down to the deepest level, which reads them from the source buffer.
//
// Every rebuilt value reaches the source buffer too, once the source value in
// its place has been read (each is read once): the lower half of the picture
// as it is rebuilt; the right half of an upper row from the result buffer as
// the first level reads it; the left half of an upper row from the result
// buffer after the deeper levels' last read of it. So both buffers end equal.
//
// Time is counted in row pairs of the first level: pair j of level k runs at
// time 2^(k-1) * j, and the first level's pair t makes rows 2t and 2t + 1.
struct Sweep {
    double* source;
    double* result;
    int width;   // the row stride
    int height;  // the whole picture, level 1's region
    int levels;
    double* scratch;                           // two rows per level from level 2 on
    ScratchLayout layout;                      // where they lie
    std::array<int, MOST_LEVELS + 1> rowsOut;  // rows level k has handed up
};

// The time of the last read of the left half of source row `row`, an upper row.
std::int64_t lastReadOfLeftHalf(const Sweep& s, int row) {
    if (s.levels == 1) return row;
    std::int64_t last = 0;
    for (int level = 2; level <= s.levels; ++level) {
        const int band = levelRegion(s.height, s.width, level).rows / 2;
        const std::int64_t scale = std::int64_t{1} << (level - 1);
        if (row >= band) return std::max(last, (row - band) * scale);
        last = std::max(last, row * scale);
    }
    return last;
}

// Columns [from, to) of a finished row, from the result buffer to the source.
void copyToSource(const Sweep& s, int row, int from, int to) {
    const std::size_t start = bufferIndex(from, row, s.width);
    std::copy_n(s.result + start, to - from, s.source + start);
}

// The left half of upper row `row`, read for the last time at time t, goes to
// the source buffer while that source row is in cache, when it was made
// before.
void catchUp(const Sweep& s, int t, int row) {
    if (lastReadOfLeftHalf(s, row) == t && t > row / 2) copyToSource(s, row, 0, s.width / 2);
}

void runPair(Sweep& s, int level, int pair, double* upper, double* lower);

// The next row that level `level` (from 2 on) hands up, rebuilt in its scratch.
const double* nextRowOf(Sweep& s, int level) {
    int& handed = s.rowsOut[std::size_t(level)];
    const int cols = levelRegion(s.height, s.width, level).cols;
    double* rows = s.scratch + s.layout.at[std::size_t(level)];
    if (handed % 2 == 0) runPair(s, level, handed / 2, rows, rows + cols);
    return rows + std::size_t(handed++ % 2) * std::size_t(cols);
}

// A pair of level 2 or deeper, rebuilt into scratch rows.
void runPair(Sweep& s, int level, int pair, double* upper, double* lower) {
    const auto [rows, cols] = levelRegion(s.height, s.width, level);
    double* averages = s.source + bufferIndex(0, pair, s.width);
    const double* left = level == s.levels ? averages : nextRowOf(s, level + 1);
    const double* details = s.source + bufferIndex(0, rows / 2 + pair, s.width);
    rebuildRowPair<false, false>(left, averages + cols / 2, details, nullptr, upper, lower, nullptr,
                                 nullptr, cols);
    const int t = pair << (level - 1);
    catchUp(s, t, pair);
    catchUp(s, t, rows / 2 + pair);
}

// The first level's pair t: rows 2t and 2t + 1 of the picture. Returns
// whether they went to the source buffer too.
bool runFirstLevelPair(Sweep& s, int t) {
    const int half = s.height / 2;
    double* averages = s.source + bufferIndex(0, t, s.width);
    const double* left = s.levels == 1 ? averages : nextRowOf(s, 2);
    double* right = averages + s.width / 2;
    const double* details = s.source + bufferIndex(0, half + t, s.width);
    const double* rightRefill = s.result + bufferIndex(s.width / 2, t, s.width);
    double* upper = s.result + bufferIndex(0, 2 * t, s.width);
    double* upperCopy = s.source + bufferIndex(0, 2 * t, s.width);
    double* lower = upper + s.width;
    double* lowerCopy = upperCopy + s.width;
    // Rows of the lower half have had their only read; the last pair's lower
    // row is its own details row, still being read.
    const bool mirror = 2 * t >= half && t != half - 1;
    // The right half of source row t is read now; its finished row was made
    // at time t / 2.
    const bool refill = t >= 1;
    if (mirror && refill) {
        rebuildRowPair<true, true>(left, right, details, rightRefill, upper, lower, upperCopy,
                                   lowerCopy, s.width);
    } else if (refill) {
        rebuildRowPair<false, true>(left, right, details, rightRefill, upper, lower, nullptr,
                                    nullptr, s.width);
    } else if (mirror) {
        rebuildRowPair<true, false>(left, right, details, nullptr, upper, lower, upperCopy,
                                    lowerCopy, s.width);
    } else {
        rebuildRowPair<false, false>(left, right, details, nullptr, upper, lower, nullptr, nullptr,
                                     s.width);
    }
    return mirror;
}

// After time t: the parts of the rows just rebuilt whose source values have
// been read go to the source buffer, unless the pair put them there.
void copyFinishedParts(const Sweep& s, int t, bool mirrored) {
    const int half = s.height / 2;
    const int middle = s.width / 2;
    for (const int row : {2 * t, 2 * t + 1}) {
        if (row >= half) {
            if (!mirrored) copyToSource(s, row, 0, s.width);
            continue;
        }
        if (row <= t) copyToSource(s, row, middle, s.width);
        if (lastReadOfLeftHalf(s, row) <= t) copyToSource(s, row, 0, middle);
    }
    if (s.levels == 1) catchUp(s, t, t);
}

// The levels as separate passes: each level's column pass from the source
// buffer into the result buffer, its row pass back into the source, and one
// copy at the end. Used only when the scratch rows cannot be had.
void runLevelsAsPasses(double* source, double* result, int height, int width, int levels) {
    for (int level = levels; level >= 1; --level) {
        const auto [rows, cols] = levelRegion(height, width, level);
        wavelet_1d_inv_height(0, rows, source, result, width, cols);
        // NOLINTNEXTLINE(readability-suspicious-call-argument): the buffers take turns
        for (int j = 0; j < rows; ++j) wavelet_1d_inv_wide(j, cols, result, source, width);
    }
    std::copy_n(source, std::size_t(height) * std::size_t(width), result);
}

void runLevels(double* source, double* result, int height, int width, int levels) {
    const ScratchLayout layout = scratchLayout(height, width, levels);
    Sweep s{source, result, width, height, levels, nullptr, layout, {}};
    const std::size_t length = layout.length;
    const BlockPtr<double> scratch(
        length > 0 ? static_cast<double*>(allocateBlock(length * sizeof(double))) : nullptr);
    if (length > 0 && !scratch) return runLevelsAsPasses(source, result, height, width, levels);
    s.scratch = scratch.get();
    for (int t = 0; t < height / 2; ++t) copyFinishedParts(s, t, runFirstLevelPair(s, t));
}

}  // namespace

// With no level to run the result buffer receives the source as it is; values
// outside every region pass through unchanged.
void wavelet_inv_process(double* source, double* result, int height, int width,
                         std::FILE* progress) {
    if (progress) std::fputs("Wavelet Inverse Transfer --", progress);
    for (int level = R_Times; level >= 1; --level) {
        if (progress) std::fprintf(progress, " %d times --", level);
    }
    if (R_Times >= 1 && R_Times <= MOST_LEVELS) {
        runLevels(source, result, height, width, R_Times);
    } else {
        std::copy_n(source, std::size_t(height) * std::size_t(width), result);
    }
    if (progress) std::fputc('\n', progress);
}
