// The one-pass block Haar transform, one or two levels.
//
// A single sweep reads the plane in 2x2 blocks, s00 s01 over s10 s11. Every
// block gives three details, each lifted by 128:
//
//   horizontal (left minus right)  (s00 - s01 + s10 - s11) / 4 + 128   top-right quadrant
//   vertical (upper minus lower)   (s00 + s01 - s10 - s11) / 4 + 128   bottom-left quadrant
//   diagonal                       (s00 - s01 - s10 + s11) / 4 + 128   bottom-right quadrant
//
// With one level the block's average (s00 + s01 + s10 + s11) / 4 fills the
// top-left quadrant. With two levels the first-level averages are never
// stored: at every 4x4 block the sweep forms the means of its four 2x2
// quarters, m00 m01 over m10 m11, and the same four formulas on them give the
// second level's average and details, in the four quarters of the top-left
// quadrant. The numbers are those of the separable step (pair averages and
// half-differences plus 128, rows then columns) run level by level.
//
// The sweep takes the plane two rows at a time for one level and four for
// two, and stores each finished row segment at once; every element of the
// result is stored exactly once. The sides must be even for one level and
// multiples of 4 for two: the program's size check refuses other sides
// before the sweep. Nothing is allocated.
#ifndef ONDA_HAAR_SPLIT_H
#define ONDA_HAAR_SPLIT_H

#include <cstdio>

#include "plane.h"
#include "workspace.h"

namespace split {

// (a + b + c + d) / 4 + offset, the sum formed left to right. A difference
// is formed by passing negated arguments.
double w_ll2(double a, double b, double c, double d, double offset);

// The levels a repeat number gives: one for 1, two for every other value.
int splitLevels(int repeatNumber);

// The rows a sweep of `levels` (1 or 2) levels over a plane `width` wide
// needs, whatever its height: the two or four rows of a group, and the rows
// it finishes from them.
SweepRowsLength sweepRowsLength(int height, int width, int levels);

// The groups of rows a plane takes: height / 2 for one level, height / 4 for
// two.
int sweepSteps(int height, int levels);

// Group `group` of rows: rows 2 * group and the next for one level, 4 * group
// and the next three for two.
void sweepRowGroup(const PlaneSweep& sweep, int group);

// The sweep as a whole: its rows, its step and its steps.
extern const SweepTransform TRANSFORM;

// Transforms every plane at the workspace's levels (1 or 2), the planes in
// step, and prints to `progress` (none when it is null), for each plane: its
// number, the repeat number as given (R_Times), a line of the sizes, and an
// empty line. The workspace is one made for TRANSFORM.
void wavelet_process(const SweepWorkspace& workspace, const PlaneIO& io,
                     std::FILE* progress = stdout);

}  // namespace split

#endif
