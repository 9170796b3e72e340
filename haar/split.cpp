#include "split.h"

#include <cstddef>

#include "kernels.h"
#include "plane.h"
#include "workspace.h"

namespace split {

namespace {

// The half and the quarter of the width and of the height: the columns and
// rows where the quadrants of the first level, and of the second (inside the
// top-left quadrant), begin.
struct Layout {
    int hm, qm;  // half and a quarter of the width
    int hn, qn;  // half and a quarter of the height
};

Layout layoutOf(const PlaneSweep& s) {
    return Layout{s.width / 2, s.width / 4, s.height / 2, s.height / 4};
}

// Rows 2 * group and 2 * group + 1, one level: output row `group` takes the
// averages and the horizontal details, row hn + group the vertical and
// diagonal details.
void oneLevelGroup(const PlaneSweep& s, int group) {
    const Layout q = layoutOf(s);
    RowValue* upper = s.rows.input;
    RowValue* lower = upper + s.width;
    s.io->load(2 * group, 0, s.width, upper);
    s.io->load(2 * group + 1, 0, s.width, lower);
    RowValue* top = s.rows.result;
    RowValue* bottom = top + s.width;
    kernels().blockLevel(upper, lower, top, top + q.hm, bottom, bottom + q.hm, s.width);
    s.io->store(group, 0, s.width, top);
    s.io->store(q.hn + group, 0, s.width, bottom);
}

// Rows 4 * group to 4 * group + 3, two levels: the first level of both row
// pairs, then the second level of the group. The means of the group's 2x2
// blocks that the second level works on are the first level's averages of
// each row pair; they take the place of the pair's upper row, which they no
// longer need, and the second level is the first one over them.
void twoLevelGroup(const PlaneSweep& s, int group) {
    const Layout q = layoutOf(s);
    RowValue* r[4];
    for (int k = 0; k < 4; ++k) {
        RowValue* row = s.rows.input + std::size_t(k) * std::size_t(s.width);
        s.io->load(4 * group + k, 0, s.width, row);
        r[k] = row;
    }
    RowValue* horizontal = s.rows.result;  // hm
    RowValue* lower = horizontal + q.hm;   // width: vertical, then diagonal
    for (int k = 0; k < 2; ++k) {
        const int row = 2 * group + k;
        RowValue* upper = r[2 * std::size_t(k)];
        kernels().blockLevel(upper, r[2 * std::size_t(k) + 1], upper, horizontal, lower,
                             lower + q.hm, s.width);
        s.io->store(row, q.hm, q.hm, horizontal);
        s.io->store(q.hn + row, 0, s.width, lower);
    }
    RowValue* second = lower + s.width;     // hm: average, horizontal
    RowValue* secondLower = second + q.hm;  // hm: vertical, diagonal
    kernels().blockLevel(r[0], r[2], second, second + q.qm, secondLower, secondLower + q.qm, q.hm);
    s.io->store(group, 0, q.hm, second);
    s.io->store(q.qn + group, 0, q.hm, secondLower);
}

}  // namespace

double w_ll2(double a, double b, double c, double d, double offset) {
    return (a + b + c + d) / 4.0 + offset;
}

int splitLevels(int repeatNumber) {
    return repeatNumber == 1 ? 1 : 2;
}

SweepRowsLength sweepRowsLength(int /*height*/, int width, int levels) {
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

const SweepTransform TRANSFORM{sweepRowsLength, sweepRowGroup, sweepSteps};

void wavelet_process(const SweepWorkspace& workspace, const PlaneIO& io, std::FILE* progress) {
    const int ysize = workspace.shape.height, xsize = workspace.shape.width;
    if (progress) {
        for (int plane = 0; plane < workspace.shape.planes; ++plane) {
            std::fprintf(progress, "Plane : %d\n", plane);
            std::fprintf(progress, "Wavelet Transfer -- %d Times --", R_Times);
            std::fprintf(progress,
                         "\nv:%d, h:%d, ysize:%d, xsize:%d, hm:%d, hn:%d, qm:%d, qn:%d\n\n", ysize,
                         xsize, ysize, xsize, xsize / 2, ysize / 2, xsize / 4, ysize / 4);
        }
    }
    sweepPicture(workspace, io);
}

}  // namespace split
