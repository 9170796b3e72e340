#include "split.h"

#include <cstddef>

#include "plane.h"

namespace split {

namespace {

// The half and the quarter of the width: where the quadrants of the first
// level and of the second (inside the top-left quadrant) begin.
struct Layout {
    int hm, qm;  // half and a quarter of the width
    int hn, qn;  // half and a quarter of the height
};

Layout layoutOf(const PlaneSweep& s) {
    return Layout{s.width / 2, s.width / 4, s.height / 2, s.height / 4};
}

// The first level of the row pair `upper`, `lower`: its averages (when
// `averages` is given) and its three details, each at column j / 2 of its
// quadrant for the block at column j.
void firstLevel(const double* upper, const double* lower, double* averages, double* horizontal,
                double* vertical, double* diagonal, int width) {
    for (int j = 0; j < width; j += 2) {
        const double s00 = upper[j], s01 = upper[j + 1];
        const double s10 = lower[j], s11 = lower[j + 1];
        if (averages) averages[j / 2] = w_ll2(s00, s01, s10, s11, 0.0);
        horizontal[j / 2] = w_ll2(s00, -s01, s10, -s11, DETAIL_OFFSET);
        vertical[j / 2] = w_ll2(s00, s01, -s10, -s11, DETAIL_OFFSET);
        diagonal[j / 2] = w_ll2(s00, -s01, -s10, s11, DETAIL_OFFSET);
    }
}

// The second level of the four rows r[0..3]: for the 4x4 block at column j,
// the average and the three details from the means of its four 2x2
// quarters, at column j / 4 of their quarter-width quadrants: `upper` holds
// the average and the horizontal detail, `lower` the vertical and diagonal.
void secondLevel(const double* const r[4], double* upper, double* lower, int width, int qm) {
    for (int j = 0; j < width; j += 4) {
        const double m00 = w_ll2(r[0][j], r[0][j + 1], r[1][j], r[1][j + 1], 0.0);
        const double m01 = w_ll2(r[0][j + 2], r[0][j + 3], r[1][j + 2], r[1][j + 3], 0.0);
        const double m10 = w_ll2(r[2][j], r[2][j + 1], r[3][j], r[3][j + 1], 0.0);
        const double m11 = w_ll2(r[2][j + 2], r[2][j + 3], r[3][j + 2], r[3][j + 3], 0.0);
        upper[j / 4] = w_ll2(m00, m01, m10, m11, 0.0);
        upper[qm + j / 4] = w_ll2(m00, -m01, m10, -m11, DETAIL_OFFSET);
        lower[j / 4] = w_ll2(m00, m01, -m10, -m11, DETAIL_OFFSET);
        lower[qm + j / 4] = w_ll2(m00, -m01, -m10, m11, DETAIL_OFFSET);
    }
}

// Rows 2 * group and 2 * group + 1, one level: output row `group` takes the
// averages and the horizontal details, row hn + group the vertical and
// diagonal details.
void oneLevelGroup(const PlaneSweep& s, int group) {
    const Layout q = layoutOf(s);
    double* upper = s.rows.input;
    double* lower = upper + s.width;
    s.io.load(s.io.source, 2 * group, 0, s.width, upper);
    s.io.load(s.io.source, 2 * group + 1, 0, s.width, lower);
    double* top = s.rows.result;
    double* bottom = top + s.width;
    firstLevel(upper, lower, top, top + q.hm, bottom, bottom + q.hm, s.width);
    s.io.store(s.io.sink, group, 0, s.width, top);
    s.io.store(s.io.sink, q.hn + group, 0, s.width, bottom);
}

// Rows 4 * group to 4 * group + 3, two levels: the first level's details of
// both row pairs, then the second level's average and details of the group.
void twoLevelGroup(const PlaneSweep& s, int group) {
    const Layout q = layoutOf(s);
    const double* r[4];
    for (int k = 0; k < 4; ++k) {
        double* row = s.rows.input + std::size_t(k) * std::size_t(s.width);
        s.io.load(s.io.source, 4 * group + k, 0, s.width, row);
        r[k] = row;
    }
    double* horizontal = s.rows.result;  // hm
    double* lower = horizontal + q.hm;   // width: vertical, then diagonal
    for (int k = 0; k < 2; ++k) {
        const int row = 2 * group + k;
        firstLevel(r[2 * std::size_t(k)], r[2 * std::size_t(k) + 1], nullptr, horizontal, lower,
                   lower + q.hm, s.width);
        s.io.store(s.io.sink, row, q.hm, q.hm, horizontal);
        s.io.store(s.io.sink, q.hn + row, 0, s.width, lower);
    }
    double* second = lower + s.width;     // hm: average, horizontal
    double* secondLower = second + q.hm;  // hm: vertical, diagonal
    secondLevel(r, second, secondLower, s.width, q.qm);
    s.io.store(s.io.sink, group, 0, q.hm, second);
    s.io.store(s.io.sink, q.qn + group, 0, q.hm, secondLower);
}

}  // namespace

double w_ll2(double a, double b, double c, double d, double offset) {
    return (a + b + c + d) / 4.0 + offset;
}

int splitLevels(int repeatNumber) {
    return repeatNumber == 1 ? 1 : 2;
}

int splitSideMultiple(int repeatNumber) {
    return splitLevels(repeatNumber) == 1 ? 2 : 4;
}

SweepRowsLength sweepRowsLength(int width, int levels) {
    const std::size_t row = std::size_t(width);
    if (levels == 1) return SweepRowsLength{2 * row, 2 * row};
    return SweepRowsLength{4 * row, row + 3 * (row / 2)};
}

int sweepSteps(int height, int levels) {
    return height / (2 * levels);
}

void sweepRowGroup(const PlaneSweep& sweep, int group) {
    if (sweep.levels == 1) {
        oneLevelGroup(sweep, group);
    } else {
        twoLevelGroup(sweep, group);
    }
}

void sweepPlane(const PlaneSweep& sweep) {
    const int steps = sweepSteps(sweep.height, sweep.levels);
    for (int step = 0; step < steps; ++step) sweepRowGroup(sweep, step);
}

void wavelet_process(const PicturePlanes& planes, std::FILE* progress) {
    const int ysize = planes.height, xsize = planes.width;
    if (progress) {
        for (int plane = 0; plane < planes.count; ++plane) {
            std::fprintf(progress, "Plane : %d\n", plane);
            std::fprintf(progress, "Wavelet Transfer -- %d Times --", R_Times);
            std::fprintf(progress,
                         "\nv:%d, h:%d, ysize:%d, xsize:%d, hm:%d, hn:%d, qm:%d, qn:%d\n\n", ysize,
                         xsize, ysize, xsize, xsize / 2, ysize / 2, xsize / 4, ysize / 4);
        }
    }
    const int levels = splitLevels(R_Times);
    sweepPicture(planes, levels, sweepRowGroup, sweepSteps(ysize, levels));
}

}  // namespace split
