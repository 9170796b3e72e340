// The multi-level forward Haar transform.
//
// Each level works on the top-left region of height / 2^(L-1) rows and
// width / 2^(L-1) columns: a row pass turns every pair of neighbours into its
// average (left half of the row) and its half-difference plus 128 (right
// half), then a column pass does the same down every column (averages in the
// upper half). The buffers are width x height doubles, row-major, and the row
// stride is always the full image width.
//
// wavelet_process runs every level in one sweep down the picture, a row pair
// at a time, with the same operations on the same values as the passes below.
// It reads `source`, writes `result`, and keeps the averages that deeper
// levels work on in `scratch`, scratchLength(height, width, R_Times) doubles.
// Height and width must be divisible by 2^R_Times.
#ifndef ONDA_HAAR_FORWARD_H
#define ONDA_HAAR_FORWARD_H

#include <cstdio>

namespace fwd {

double w_average(double a, double b);     // (a + b) / 2
double w_difference(double a, double b);  // 128 + (a - b) / 2

// Row pass over `count` elements of row `row`.
void wavelet_1d_wide(int row, int count, const double* source, double* result, int stride);

// Column pass over `count` elements of column `column`, and of the `columns` - 1
// columns to its right, taken row pair by row pair.
void wavelet_1d_height(int column, int count, const double* source, double* result, int stride,
                       int columns = 1);

// Runs levels 1 to R_Times and prints the progress line to `progress` (none
// when it is null). With no level to run, `result` receives `source` as it is.
void wavelet_process(const double* source, double* result, int height, int width, double* scratch,
                     std::FILE* progress = stdout);

}  // namespace fwd

#endif
