// The multi-level forward Haar transform.
//
// Each level works on the top-left region of height / 2^(L-1) rows and
// width / 2^(L-1) columns: a row pass turns every pair of neighbours into its
// average (left half of the row) and its half-difference plus 128 (right
// half), then a column pass does the same down every column (averages in the
// upper half). The passes work on buffers of width x height doubles,
// row-major, whose row stride is always the full image width: they are the
// reference the sweep is held to.
//
// The sweep runs every level in one walk down the plane, a row pair at a
// time, with the same operations on the same values as the passes. It loads
// each pair of rows whole, keeps the averages that deeper levels work on in
// two rows a level, and stores each finished row segment at once. Height and
// width must be divisible by 2^levels; a sweep that runs no level (see
// runsLevels) stores every row as it was loaded.
#ifndef ONDA_HAAR_FORWARD_H
#define ONDA_HAAR_FORWARD_H

#include <cstdio>

#include "plane.h"
#include "workspace.h"

namespace fwd {

double w_average(double a, double b);     // (a + b) / 2
double w_difference(double a, double b);  // 128 + (a - b) / 2

// Row pass over `count` elements of row `row`.
void wavelet_1d_wide(int row, int count, const double* source, double* result, int stride);

// Column pass over `count` elements of column `column`, and of the `columns` - 1
// columns to its right, taken row pair by row pair.
void wavelet_1d_height(int column, int count, const double* source, double* result, int stride,
                       int columns = 1);

// The rows a sweep of `levels` levels over a plane needs: two input rows;
// two result rows, and two rows for each level from 2 on, each as long as its
// level region is wide.
SweepRowsLength sweepRowsLength(int height, int width, int levels);

// The steps a sweep takes: a row pair each, or a row each when it runs no
// level.
int sweepSteps(int height, int levels);

// Row pair `pair` of level 1, then every deeper pair that it completes (or
// row `pair` as it is, when the sweep runs no level).
void sweepRowPair(const PlaneSweep& sweep, int pair);

// The sweep as a whole: its rows, its step and its steps.
extern const SweepTransform TRANSFORM;

// Prints the progress line to `progress` (none when it is null) and runs
// levels 1 to the workspace's levels on every plane, the planes in step.
// The workspace is one made for TRANSFORM.
void wavelet_process(const SweepWorkspace& workspace, const PlaneIO& io,
                     std::FILE* progress = stdout);

}  // namespace fwd

#endif
