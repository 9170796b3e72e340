// The multi-level inverse Haar transform.
//
// It undoes the forward transform level by level, from the deepest (R_Times)
// back to the first. Level L works on the top-left region of height / 2^(L-1)
// rows and width / 2^(L-1) columns. On entry the region's upper half holds
// column averages s and its lower half the matching half-differences t; a
// column pass turns each (s, t) back into the pair s + t, s - t of neighbouring
// rows. Within every row the left half then holds row averages and the right
// half row half-differences, and a row pass rebuilds the neighbouring columns
// the same way. The passes work on buffers of width x height doubles,
// row-major, whose row stride is always the full image width: they are the
// reference the sweep is held to.
//
// The detail offset must already be taken off when a value is loaded: the
// transform never adds or removes it. The sweep runs every level in one walk
// down the plane, a row pair at a time, with the same operations on the same
// values as the passes. For each pair of a level it loads the two rows it
// reads (random access by rows), keeps the rows each level rebuilds for the
// next in two rows a level, and stores each rebuilt pair of level 1 at once.
// Height and width must be divisible by 2^levels; a sweep that runs no level
// stores every row as it was loaded.
#ifndef ONDA_HAAR_INVERSE_H
#define ONDA_HAAR_INVERSE_H

#include <cstdio>

#include "plane.h"
#include "workspace.h"

namespace inv {

// Column pass over `count` elements of column `column`, and of the `columns` - 1
// columns to its right, taken row pair by row pair.
void wavelet_1d_inv_height(int column, int count, const double* source, double* result, int stride,
                           int columns = 1);

// Row pass over `count` elements of row `row`.
void wavelet_1d_inv_wide(int row, int count, const double* source, double* result, int stride);

// The rows a sweep needs: as many as the forward sweep's.
SweepRowsLength sweepRowsLength(int height, int width, int levels);

// Rebuilds row pair `pair` of level 1 from every level (or stores row `pair`
// as it is, when the sweep runs no level). Steps as fwd::sweepSteps.
void sweepRowPair(const PlaneSweep& sweep, int pair);

// The sweep as a whole: its rows, its step and its steps.
extern const SweepTransform TRANSFORM;

// Prints the progress line to `progress` (none when it is null) and runs
// levels from the workspace's down to 1 on every plane, the planes in step.
// The workspace is one made for TRANSFORM.
void wavelet_inv_process(const SweepWorkspace& workspace, const PlaneIO& io,
                         std::FILE* progress = stdout);

}  // namespace inv

#endif
