#include "inverse.h"

#include <cstddef>

#include "forward.h"
#include "kernels.h"
#include "plane.h"
#include "workspace.h"

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

// Rebuilds pair `pair` of level `level` into `upper` and `lower`. The left
// half of its averages row is row `pair` of the next level, which rebuilds
// its own pair into its two rows at the start of `scratch` (the deeper
// levels' rows follow) when asked for the first of them; at the deepest level
// it is loaded with the rest. The pair's own values are loaded after the
// deeper levels have used the input rows: the right half of row `pair` (the
// whole row at the deepest level) and row rows / 2 + pair.
void runPair(const PlaneSweep& s, int level, int pair, RowValue* upper, RowValue* lower,
             RowValue* scratch) {
    const auto [rows, cols] = levelRegion(s.height, s.width, level);
    const int half = cols / 2;
    const bool deepest = level == s.levels;
    if (!deepest && pair % 2 == 0) {
        runPair(s, level + 1, pair / 2, scratch, scratch + half, scratch + 2 * std::size_t(half));
    }
    RowValue* averages = s.rows.input;
    RowValue* details = averages + s.width;
    const int first = deepest ? 0 : half;
    s.io->load(pair, first, cols - first, averages + first);
    s.io->load(rows / 2 + pair, 0, cols, details);
    const RowValue* left = deepest ? averages : scratch + std::size_t(pair % 2) * std::size_t(half);
    // The column step and the row pass undone at once, value by value.
    kernels().inversePair(left, averages + half, details, upper, lower, half);
}

}  // namespace

SweepRowsLength sweepRowsLength(int height, int width, int levels) {
    return fwd::sweepRowsLength(height, width, levels);
}

void sweepRowPair(const PlaneSweep& sweep, int pair) {
    if (!runsLevels(sweep.levels)) {
        copyRow(sweep, pair);
        return;
    }
    RowValue* upper = sweep.rows.result;
    RowValue* lower = upper + sweep.width;
    runPair(sweep, 1, pair, upper, lower, lower + sweep.width);
    sweep.io->store(2 * pair, 0, sweep.width, upper);
    sweep.io->store(2 * pair + 1, 0, sweep.width, lower);
}

const SweepTransform TRANSFORM{sweepRowsLength, sweepRowPair, fwd::sweepSteps};

void wavelet_inv_process(const SweepWorkspace& workspace, const PlaneIO& io, std::FILE* progress) {
    const int levels = workspace.shape.levels;
    if (progress) std::fputs("Wavelet Inverse Transfer --", progress);
    for (int level = levels; level >= 1; --level) {
        if (progress) std::fprintf(progress, " %d times --", level);
    }
    sweepPicture(workspace, io);
    if (progress) std::fputc('\n', progress);
}

}  // namespace inv
