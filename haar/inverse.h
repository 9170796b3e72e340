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
// removes it. Both buffers hold the rebuilt values on return. Height and width
// must be divisible by 2^R_Times.
//
// wavelet_inv_process runs every level in one sweep down the picture, a row
// pair at a time, with the same operations on the same values as the passes
// below. Besides the two buffers it takes scratch of two rows per level from
// level 2 on, less than two rows of the picture in all; when even that cannot
// be had it runs the levels as separate passes.
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
void wavelet_inv_process(double* source, double* result, int height, int width,
                         std::FILE* progress = stdout);

}  // namespace inv

#endif
