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
    sweep.io.load(sweep.io.source, y, 0, sweep.width, sweep.rows.input);
    sweep.io.store(sweep.io.sink, y, 0, sweep.width, sweep.rows.input);
}

void runSweeps(const PlaneSweep* planes, int planeCount, SweepStep step, int steps) {
    for (int i = 0; i < steps; ++i) {
        for (int plane = 0; plane < planeCount; ++plane) step(planes[plane], i);
    }
}

void sweepPicture(const PicturePlanes& picture, int levels, SweepStep step, int steps) {
    PlaneSweep planes[MOST_PLANES];
    for (int plane = 0; plane < picture.count; ++plane) {
        planes[plane] = PlaneSweep{picture.io[plane], picture.rows[plane], picture.height,
                                   picture.width, levels};
    }
    runSweeps(planes, picture.count, step, steps);
}

namespace {

void loadFromBuffer(const void* source, int y, int x, int count, RowValue* values) {
    const auto& planes = *static_cast<const BufferPlanes*>(source);
    std::copy_n(planes.source + bufferIndex(x, y, planes.width), count, values);
}

void storeToBuffer(void* sink, int y, int x, int count, const RowValue* values) {
    const auto& planes = *static_cast<const BufferPlanes*>(sink);
    std::copy_n(values, count, planes.result + bufferIndex(x, y, planes.width));
}

}  // namespace

RowIO bufferRowIO(BufferPlanes& planes) {
    return RowIO{loadFromBuffer, &planes, storeToBuffer, &planes};
}
