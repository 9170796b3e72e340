#include "wavelet_inv.h"

#include <algorithm>
#include <cstddef>

#include "tool.h"

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

// Each level's column pass reads the source buffer and writes the result
// buffer; its row pass then reads the column pass's output from the result
// buffer and writes the level's output back into the source buffer, where the
// next level reads it. The values are those of passes that always read the
// source buffer with a copy-back after each, without the copies. One copy at
// the end makes the result buffer equal to the source buffer; values outside
// every region pass through unchanged.
void wavelet_inv_process(double* source, double* result, int height, int width,
                         std::FILE* progress) {
    if (progress) std::fputs("Wavelet Inverse Transfer --", progress);
    for (int level = R_Times; level >= 1; --level) {
        if (progress) std::fprintf(progress, " %d times --", level);
        const auto [rows, cols] = levelRegion(height, width, level);
        wavelet_1d_inv_height(0, rows, source, result, width, cols);
        // NOLINTNEXTLINE(readability-suspicious-call-argument): the buffers take turns
        for (int j = 0; j < rows; ++j) wavelet_1d_inv_wide(j, cols, result, source, width);
    }
    std::copy_n(source, std::size_t(height) * std::size_t(width), result);
    if (progress) std::fputc('\n', progress);
}
