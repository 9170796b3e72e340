#include "wavelet_fwd.h"

#include <algorithm>
#include <cstddef>

#include "tool.h"

namespace {

std::size_t at(int x, int y, int stride) { return std::size_t(y) * std::size_t(stride) + std::size_t(x); }

void copyRowPart(const double* from, double* to, int row, int count, int stride) {
    std::copy_n(from + at(0, row, stride), count, to + at(0, row, stride));
}

}  // namespace

double w_average(double a, double b) { return (a + b) / 2.0; }

double w_difference(double a, double b) { return DETAIL_OFFSET + (a - b) / 2.0; }

void wavelet_1d_wide(int row, int count, const double* source, double* result, int stride) {
    const double* in = source + at(0, row, stride);
    double* averages = result + at(0, row, stride);
    double* details = averages + count / 2;
    for (int i = 0; i < count; i += 2) {
        averages[i / 2] = w_average(in[i], in[i + 1]);
        details[i / 2] = w_difference(in[i], in[i + 1]);
    }
}

void wavelet_1d_height(int column, int count, const double* source, double* result,
                       int stride, int columns) {
    const int half = count / 2;
    for (int i = 0; i < count; i += 2) {
        const double* upper = source + at(column, i, stride);
        const double* lower = source + at(column, i + 1, stride);
        double* average = result + at(column, i / 2, stride);
        double* detail = result + at(column, half + i / 2, stride);
        for (int c = 0; c < columns; ++c) {
            average[c] = w_average(upper[c], lower[c]);
            detail[c] = w_difference(upper[c], lower[c]);
        }
    }
}

void wavelet_process(double* source, double* result, int height, int width,
                     std::FILE* progress) {
    if (progress) std::fputs("Wavelet Transfer --", progress);
    if (R_Times <= 0) std::copy_n(source, std::size_t(height) * std::size_t(width), result);
    for (int level = 1; level <= R_Times; ++level) {
        if (progress) std::fprintf(progress, " %d Times --", level);
        const int shift = std::min(level - 1, 31);
        const int rows = int(height >> shift);
        const int cols = int(width >> shift);
        for (int j = 0; j < rows; ++j) {
            wavelet_1d_wide(j, cols, source, result, width);
            copyRowPart(result, source, j, cols, width);
        }
        wavelet_1d_height(0, rows, source, result, width, cols);
        for (int j = 0; j < rows; ++j) copyRowPart(result, source, j, cols, width);
    }
    if (progress) std::fputc('\n', progress);
}
