#include "split.h"

#include <cstddef>

#include "plane.h"

namespace split {

namespace {

// Where the outputs of a plane go: the quadrant sides of the first level and
// those of the second, inside the top-left quadrant.
struct Layout {
    int xsize;
    int hm, hn;  // half the width, half the height
    int qm, qn;  // a quarter of each
};

// The average and the three details of the 4x4 block whose upper-left element
// is (i, j), from the means of its four 2x2 quarters.
void storeSecondLevel(const double* source, double* result, int i, int j, const Layout& layout) {
    const int stride = layout.xsize;
    const double* r0 = source + bufferIndex(j, i, stride);
    const double* r1 = r0 + stride;
    const double* r2 = r1 + stride;
    const double* r3 = r2 + stride;
    const double m00 = w_ll2(r0[0], r0[1], r1[0], r1[1], 0.0);
    const double m01 = w_ll2(r0[2], r0[3], r1[2], r1[3], 0.0);
    const double m10 = w_ll2(r2[0], r2[1], r3[0], r3[1], 0.0);
    const double m11 = w_ll2(r2[2], r2[3], r3[2], r3[3], 0.0);
    double* upper = result + bufferIndex(j / 4, i / 4, stride);
    double* lower = result + bufferIndex(j / 4, layout.qn + i / 4, stride);
    upper[0] = w_ll2(m00, m01, m10, m11, 0.0);
    upper[layout.qm] = w_ll2(m00, -m01, m10, -m11, DETAIL_OFFSET);
    lower[0] = w_ll2(m00, m01, -m10, -m11, DETAIL_OFFSET);
    lower[layout.qm] = w_ll2(m00, -m01, -m10, m11, DETAIL_OFFSET);
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

void wavelet_process(const double* source, double* result, int ysize, int xsize,
                     std::FILE* progress) {
    const Layout layout{xsize, xsize / 2, ysize / 2, xsize / 4, ysize / 4};
    if (progress) {
        std::fprintf(progress, "Wavelet Transfer -- %d Times --", R_Times);
        std::fprintf(progress, "\nv:%d, h:%d, ysize:%d, xsize:%d, hm:%d, hn:%d, qm:%d, qn:%d\n",
                     ysize, xsize, ysize, xsize, layout.hm, layout.hn, layout.qm, layout.qn);
    }
    const bool twoLevels = splitLevels(R_Times) == 2;
    for (int i = 0; i < ysize; i += 2) {
        const double* upper = source + bufferIndex(0, i, xsize);
        const double* lower = upper + xsize;
        double* averages = result + bufferIndex(0, i / 2, xsize);
        double* horizontal = averages + layout.hm;
        double* vertical = result + bufferIndex(0, layout.hn + i / 2, xsize);
        double* diagonal = vertical + layout.hm;
        for (int j = 0; j < xsize; j += 2) {
            const double s00 = upper[j], s01 = upper[j + 1];
            const double s10 = lower[j], s11 = lower[j + 1];
            if (!twoLevels) {
                averages[j / 2] = w_ll2(s00, s01, s10, s11, 0.0);
            } else if (i % 4 == 0 && j % 4 == 0) {
                storeSecondLevel(source, result, i, j, layout);
            }
            horizontal[j / 2] = w_ll2(s00, -s01, s10, -s11, DETAIL_OFFSET);
            vertical[j / 2] = w_ll2(s00, s01, -s10, -s11, DETAIL_OFFSET);
            diagonal[j / 2] = w_ll2(s00, -s01, -s10, s11, DETAIL_OFFSET);
        }
    }
    if (progress) std::fputc('\n', progress);
}

}  // namespace split
