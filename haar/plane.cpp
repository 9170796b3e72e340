#include "plane.h"

#include <algorithm>
#include <cstddef>

int R_Times = 0;

int halvings(int n) {
    return std::clamp(n, 0, MOST_LEVELS);
}

LevelRegion levelRegion(int height, int width, int level) {
    const int shift = halvings(level - 1);
    return LevelRegion{height >> shift, width >> shift};
}

bool runsLevels(int levels) {
    return levels >= 1 && levels <= MOST_LEVELS;
}

void copyRow(const PlaneSweep& sweep, int y) {
    sweep.io->load(y, 0, sweep.width, sweep.rows.input);
    sweep.io->store(y, 0, sweep.width, sweep.rows.input);
}

void sweepPlane(const SweepTransform& transform, const PlaneSweep& sweep) {
    const int steps = transform.steps(sweep.height, sweep.levels);
    for (int step = 0; step < steps; ++step) transform.step(sweep, step);
}

void BufferPlanes::load(int y, int x, int count, RowValue* values) const {
    std::copy_n(source_ + bufferIndex(x, y, width_), count, values);
}

void BufferPlanes::store(int y, int x, int count, const RowValue* values) const {
    std::copy_n(values, count, result_ + bufferIndex(x, y, width_));
}
