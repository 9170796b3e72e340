#include "wavelet_inv.h"

#include <algorithm>
#include <cstddef>

#include "tool.h"

namespace {

std::size_t at(int x, int y, int stride) { return std::size_t(y) * std::size_t(stride) + std::size_t(x); }

void copyRowPart(const double* from, double* to, int row, int count, int stride) {
    std::copy_n(from + at(0, row, stride), count, to + at(0, row, stride));
}

}  // namespace

void wavelet_1d_inv_height(int column, int count, const double* source, double* result,
                           int stride, int columns) {
    const int half = count / 2;
    for (int i = 0; i < count; i += 2) {
        const double* average = source + at(column, i / 2, stride);
        const double* detail = source + at(column, half + i / 2, stride);
        double* upper = result + at(column, i, stride);
        double* lower = result + at(column, i + 1, stride);
        for (int c = 0; c < columns; ++c) {
            upper[c] = average[c] + detail[c];
            lower[c] = average[c] - detail[c];
        }
    }
}

void wavelet_1d_inv_wide(int row, int count, const double* source, double* result,
                         int stride) {
    const double* averages = source + at(0, row, stride);
    const double* details = averages + count / 2;
    double* out = result + at(0, row, stride);
    for (int i = 0; i < count; i += 2) {
        out[i] = averages[i / 2] + details[i / 2];
        out[i + 1] = averages[i / 2] - details[i / 2];
    }
}

void wavelet_inv_process(double* source, double* result, int height, int width,
                         std::FILE* progress) {
    if (progress) std::fputs("Wavelet Inverse Transfer --", progress);
    // Values outside a level's region pass through unchanged. Every level
    // copies its region back, so after this one whole copy both buffers agree
    // outside every later region too.
    std::copy_n(source, std::size_t(height) * std::size_t(width), result);
    for (int level = R_Times; level >= 1; --level) {
        if (progress) std::fprintf(progress, " %d times --", level);
        const int shift = std::min(level - 1, 31);
        const int rows = int(height >> shift);
        const int cols = int(width >> shift);
        wavelet_1d_inv_height(0, rows, source, result, width, cols);
        for (int j = 0; j < rows; ++j) copyRowPart(result, source, j, cols, width);
        for (int j = 0; j < rows; ++j) {
            wavelet_1d_inv_wide(j, cols, source, result, width);
            copyRowPart(result, source, j, cols, width);
        }
    }
    if (progress) std::fputc('\n', progress);
}
