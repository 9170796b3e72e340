#include "inverse.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "owners.h"
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

// One row pair for rebuildRowPair: the pair's averages row is `left` (its
// left half) and `right` (its right half), its details row `details`, and the
// two rebuilt rows go to `upper` and `lower`. Each refill row, when given,
// holds the finished values of the input it stands for, which overwrite that
// input element by element once it is read. The copy rows, when given,
// receive the rebuilt rows too.
struct RowPair {
    double* left;
    double* right;
    double* details;
    const double* leftRefill;
    const double* rightRefill;
    const double* detailsRefill;
    double* upper;
    double* lower;
    double* upperCopy;
    double* lowerCopy;
    int count;  // the elements of each rebuilt row
};

// The column step and the row pass of one row pair undone at once, element by
// element, with nothing stored between them. Each value is the same sum or
// difference as in the passes.
template <bool Mirror, bool RefillLeft, bool RefillRight, bool RefillDetails>
void rebuildRowPair(double* __restrict left, double* __restrict right, double* __restrict details,
                    const double* __restrict leftRefill, const double* __restrict rightRefill,
                    const double* __restrict detailsRefill, double* __restrict upper,
                    double* __restrict lower, double* __restrict upperCopy,
                    double* __restrict lowerCopy, int count) {
    const std::ptrdiff_t half = count / 2;
    for (std::ptrdiff_t k = 0; k < half; ++k) {
        const double upperLeft = left[k] + details[k];
        const double lowerLeft = left[k] - details[k];
        const double upperRight = right[k] + details[half + k];
        const double lowerRight = right[k] - details[half + k];
        if (RefillLeft) left[k] = leftRefill[k];
        if (RefillRight) right[k] = rightRefill[k];
        if (RefillDetails) {
            details[k] = detailsRefill[k];
            details[half + k] = detailsRefill[half + k];
        }
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

// rebuildRowPair for each combination of copy and refill rows, picked by
// which of them the pair gives.
using RebuildFunction = void (*)(const RowPair&);

template <std::size_t Flags>
void rebuildWith(const RowPair& p) {
    rebuildRowPair<(Flags & 1U) != 0, (Flags & 2U) != 0, (Flags & 4U) != 0, (Flags & 8U) != 0>(
        p.left, p.right, p.details, p.leftRefill, p.rightRefill, p.detailsRefill, p.upper, p.lower,
        p.upperCopy, p.lowerCopy, p.count);
}

template <std::size_t... Flags>
constexpr std::array<RebuildFunction, sizeof...(Flags)> rebuildTable(
    std::index_sequence<Flags...> /*unused*/) {
    return {&rebuildWith<Flags>...};
}

constexpr auto REBUILD = rebuildTable(std::make_index_sequence<16>{});

void rebuild(const RowPair& pair) {
    const std::size_t flags = (pair.upperCopy ? 1U : 0U) | (pair.leftRefill ? 2U : 0U) |
                              (pair.rightRefill ? 4U : 0U) | (pair.detailsRefill ? 8U : 0U);
    REBUILD[flags](pair);
}

// All levels in one sweep down the picture. The first level rebuilds the
// picture's rows two by two into the result buffer; the averages each level
// needs on the left of a row come from the level below it, which rebuilds its
// own row pair into two scratch rows when asked for the first of them, and
// so on down to the deepest level, which reads them from the source buffer.
//
// Every source value is read once, and every rebuilt value reaches the source
// buffer too, so both buffers end equal. Row r of the picture is rebuilt at
// time r / 2. Where the source values in its place are read later, the pair
// that reads them puts the rebuilt ones back as it goes (a refill, from the
// result buffer); where they were read already, the rebuilt ones go there as
// they are made: the lower half of the picture by the first level's pair
// itself, the rest of a row just after its pair.
//
// Time is counted in row pairs of the first level: pair j of level k runs at
// time 2^(k-1) * j, its deeper levels' pairs just before it, and the first
// level's pair t makes rows 2t and 2t + 1.
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

std::int64_t timeOf(int level, int pair) {
    return std::int64_t{pair} << (level - 1);
}

// The refill for source values of row `row` read at time `now` from `read`
// on: the same place in the result buffer when the row was rebuilt before.
const double* refillFor(const Sweep& s, const double* read, int row, std::int64_t now) {
    return row / 2 < now ? s.result + (read - s.source) : nullptr;
}

// Columns [from, to) of a finished row, from the result buffer to the source.
void copyToSource(const Sweep& s, int row, int from, int to) {
    const std::size_t start = bufferIndex(from, row, s.width);
    std::copy_n(s.result + start, to - from, s.source + start);
}

// Just after upper row `row` is rebuilt at time t: its parts whose source
// values have all been read go to the source buffer. The first level reads
// the right half at time `row`; each deeper level reads the right half of its
// region in its averages rows (the whole region width at the deepest) and the
// whole width in its details rows. With one level the first reads it all.
void copyPartsAlreadyRead(const Sweep& s, int row, int t) {
    if (row <= t) copyToSource(s, row, s.levels == 1 ? 0 : s.width / 2, s.width);
    for (int level = 2; level <= s.levels; ++level) {
        const auto [rows, cols] = levelRegion(s.height, s.width, level);
        if (row >= rows / 2) {
            if (timeOf(level, row - rows / 2) <= t) copyToSource(s, row, 0, cols);
            return;
        }
        const bool deepest = level == s.levels;
        if (timeOf(level, row) <= t) copyToSource(s, row, deepest ? 0 : cols / 2, cols);
    }
}

void runPair(Sweep& s, int level, int pair, double* upper, double* lower);

// The next row that level `level` (from 2 on) hands up, rebuilt in its scratch.
double* nextRowOf(Sweep& s, int level) {
    int& handed = s.rowsOut[std::size_t(level)];
    const int cols = levelRegion(s.height, s.width, level).cols;
    double* rows = s.scratch + s.layout.at[std::size_t(level)];
    if (handed % 2 == 0) runPair(s, level, handed / 2, rows, rows + cols);
    return rows + std::size_t(handed++ % 2) * std::size_t(cols);
}

// A pair of level 2 or deeper, rebuilt into scratch rows.
void runPair(Sweep& s, int level, int pair, double* upper, double* lower) {
    const auto [rows, cols] = levelRegion(s.height, s.width, level);
    const bool deepest = level == s.levels;
    double* averages = s.source + bufferIndex(0, pair, s.width);
    double* left = deepest ? averages : nextRowOf(s, level + 1);
    double* details = s.source + bufferIndex(0, rows / 2 + pair, s.width);
    const std::int64_t now = timeOf(level, pair);
    rebuild(RowPair{
        left, averages + cols / 2, details, deepest ? refillFor(s, left, pair, now) : nullptr,
        refillFor(s, averages + cols / 2, pair, now), refillFor(s, details, rows / 2 + pair, now),
        upper, lower, nullptr, nullptr, cols});
}

// The first level's pair t: rows 2t and 2t + 1 of the picture. Returns
// whether they went to the source buffer too.
bool runFirstLevelPair(Sweep& s, int t) {
    const int half = s.height / 2;
    double* averages = s.source + bufferIndex(0, t, s.width);
    double* left = s.levels == 1 ? averages : nextRowOf(s, 2);
    double* right = averages + s.width / 2;
    double* details = s.source + bufferIndex(0, half + t, s.width);
    double* upper = s.result + bufferIndex(0, 2 * t, s.width);
    // Rows of the lower half have had their only read; the last pair's lower
    // row is its own details row, still being read.
    const bool mirror = 2 * t >= half && t != half - 1;
    double* upperCopy = mirror ? s.source + bufferIndex(0, 2 * t, s.width) : nullptr;
    rebuild(RowPair{left, right, details, s.levels == 1 ? refillFor(s, left, t, t) : nullptr,
                    refillFor(s, right, t, t), refillFor(s, details, half + t, t), upper,
                    upper + s.width, upperCopy, mirror ? upperCopy + s.width : nullptr, s.width});
    return mirror;
}

// After time t: the rows just rebuilt go to the source buffer where the
// source values in their place have been read, unless the pair put them
// there.
void copyFinishedParts(const Sweep& s, int t, bool mirrored) {
    const int half = s.height / 2;
    for (const int row : {2 * t, 2 * t + 1}) {
        if (row < half) {
            copyPartsAlreadyRead(s, row, t);
        } else if (!mirrored) {
            copyToSource(s, row, 0, s.width);
        }
    }
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

}  // namespace inv
