// The multi-level inverse Haar transform.
//
// It undoes the forward transform level by level, from the deepest (R_Times)
// back to the first. Level L works on the top-left region of height / 2^(L-1)
// rows and width / 2^(L-1) columns. On entry the region's upper half holds
// column averages s and its lower half the matching half-differences t; a
// column pass turns each (s, t) back into the pair s + t, s - t of neighbouring
// rows. Within every row the left half then holds row averages and the right
// half row half-differences, and a row pass rebuilds the neighbouring columns
// the same way. The buffers are width x height doubles, row-major, and the row
// stride is always the full image width.
//
// The detail offset must already be taken off: the transform never adds or
// removes it. wavelet_inv_process runs every level in one sweep down the
// picture, a row pair at a time, with the same operations on the same values
// as the passes below. It reads `source`, writes `result`, and keeps the rows
// each level rebuilds for the next in `scratch`, scratchLength(height, width,
// R_Times) doubles. Height and width must be divisible by 2^R_Times.
#ifndef ONDA_HAAR_INVERSE_H
#define ONDA_HAAR_INVERSE_H

#include <cstdio>

namespace inv {

// Column pass over `count` elements of column `column`, and of the `columns` - 1
// columns to its right, taken row pair by row pair.
void wavelet_1d_inv_height(int column, int count, const double* source, double* result, int stride,
                           int columns = 1);

// Row pass over `count` elements of row `row`.
void wavelet_1d_inv_wide(int row, int count, const double* source, double* result, int stride);

// Runs levels R_Times down to 1 and prints the progress line to `progress`
// (none when it is null). With no level to run, `result` receives `source` as
// it is.
void wavelet_inv_process(const double* source, double* result, int height, int width,
                         double* scratch, std::FILE* progress = stdout);

}  // namespace inv

#endif
