#include "wavelet_fwd.h"

#include <algorithm>
#include <cstddef>

#include "tool.h"

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

// Each level's row pass reads the source buffer and writes the result buffer;
// its column pass then reads the row pass's output from the result buffer and
// writes the level's output back into the source buffer, where the next level
// reads it. The values are those of passes that always read the source buffer
// with a copy-back after each, without the copies. One copy at the end makes
// the result buffer equal to the source buffer: level 1 covers the whole
// picture, so it is a single sweep.
void wavelet_process(double* source, double* result, int height, int width, std::FILE* progress) {
    if (progress) std::fputs("Wavelet Transfer --", progress);
    for (int level = 1; level <= R_Times; ++level) {
        if (progress) std::fprintf(progress, " %d Times --", level);
        const auto [rows, cols] = levelRegion(height, width, level);
        for (int j = 0; j < rows; ++j) wavelet_1d_wide(j, cols, source, result, width);
        // NOLINTNEXTLINE(readability-suspicious-call-argument): the buffers take turns
        wavelet_1d_height(0, rows, result, source, width, cols);
    }
    std::copy_n(source, std::size_t(height) * std::size_t(width), result);
    if (progress) std::fputc('\n', progress);
}
