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
// The buffers are ysize rows of xsize doubles, row-major. The source is only
// read; every element of the result is written exactly once, so it needs no
// clearing. The sides must be even for one level and multiples of 4 for two:
// the caller checks (see splitSideMultiple). Nothing is allocated.
#ifndef ONDA_HAAR_SPLIT_H
#define ONDA_HAAR_SPLIT_H

#include <cstdio>

namespace split {

// (a + b + c + d) / 4 + offset, the sum formed left to right. A difference
// is formed by passing negated arguments.
double w_ll2(double a, double b, double c, double d, double offset);

// The levels a repeat number gives: one for 1, two for every other value.
int splitLevels(int repeatNumber);

// What both sides must be a multiple of for those levels: 2 or 4.
int splitSideMultiple(int repeatNumber);

// Transforms one plane at splitLevels(R_Times) levels and prints the progress
// text to `progress` (none when it is null): the repeat number as given, a
// line of the sizes, and an empty line.
void wavelet_process(const double* source, double* result, int ysize, int xsize,
                     std::FILE* progress = stdout);

}  // namespace split

#endif
