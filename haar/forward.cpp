#include "forward.h"

#include <cstddef>

#include "kernels.h"
#include "plane.h"
#include "workspace.h"

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

// The length of a row of `values` averages kept for level `level`: doubles
// from beyond EXACT_LEVELS on, two RowValue each.
std::size_t keptRowLength(int level, int values) {
    return std::size_t(values) * (level > EXACT_LEVELS ? 2 : 1);
}

// Pair `pair` of level `level`, from its two input rows. The averages that
// the next level works on go to its two rows at the start of `scratch` (the
// deeper levels' rows follow), and it runs its pair once both are there;
// every other value is stored at once: the horizontal details (and, at the
// deepest level, the averages before them) in row `pair`, the column details
// in row rows / 2 + pair.
void runPair(const PlaneSweep& s, int level, int pair, const RowValue* upper, const RowValue* lower,
             RowValue* scratch) {
    const auto [rows, cols] = levelRegion(s.height, s.width, level);
    const int half = cols / 2;
    RowValue* averages = s.rows.result;
    RowValue* details = averages + s.width;
    const bool deepest = level == s.levels;
    const std::size_t kept = keptRowLength(level + 1, half);
    RowValue* keptRow = deepest ? averages : scratch + std::size_t(pair % 2) * kept;
    // The row pass of the two rows and the column step over the pair, value
    // by value, with nothing stored between them.
    if (level > EXACT_LEVELS) {
        forwardPairWide(upper, lower, keptRow, !deepest, averages + half, details, half);
    } else {
        kernels().forwardPair(upper, lower, keptRow, averages + half, details, half);
    }
    const int first = deepest ? 0 : half;
    s.io->store(pair, first, cols - first, averages + first);
    s.io->store(rows / 2 + pair, 0, cols, details);
    if (!deepest && pair % 2 == 1) {
        if (level == EXACT_LEVELS) {
            widenValues(scratch, std::size_t(half));
            widenValues(scratch + kept, std::size_t(half));
        }
        runPair(s, level + 1, pair / 2, scratch, scratch + kept, scratch + 2 * kept);
    }
}

}  // namespace

SweepRowsLength sweepRowsLength(int height, int width, int levels) {
    const std::size_t row = std::size_t(width);
    if (!runsLevels(levels)) return SweepRowsLength{2 * row, 0};
    std::size_t result = 2 * row;
    for (int level = 2; level <= levels; ++level) {
        result += 2 * keptRowLength(level, levelRegion(height, width, level).cols);
    }
    return SweepRowsLength{2 * row, result};
}

int sweepSteps(int height, int levels) {
    return runsLevels(levels) ? height / 2 : height;
}

void sweepRowPair(const PlaneSweep& sweep, int pair) {
    if (!runsLevels(sweep.levels)) {
        copyRow(sweep, pair);
        return;
    }
    RowValue* upper = sweep.rows.input;
    RowValue* lower = upper + sweep.width;
    sweep.io->load(2 * pair, 0, sweep.width, upper);
    sweep.io->load(2 * pair + 1, 0, sweep.width, lower);
    runPair(sweep, 1, pair, upper, lower, sweep.rows.result + 2 * std::size_t(sweep.width));
}

const SweepTransform TRANSFORM{sweepRowsLength, sweepRowPair, sweepSteps};

void wavelet_process(const SweepWorkspace& workspace, const PlaneIO& io, std::FILE* progress) {
    const int levels = workspace.shape.levels;
    if (progress) std::fputs("Wavelet Transfer --", progress);
    for (int level = 1; level <= levels; ++level) {
        if (progress) std::fprintf(progress, " %d Times --", level);
    }
    sweepPicture(workspace, io);
    if (progress) std::fputc('\n', progress);
}

}  // namespace fwd
