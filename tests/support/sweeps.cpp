#include "sweeps.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>

#include "scratch_files.h"

namespace onda_test {

namespace {

// Plain buffers that fail the test on a segment outside the plane.
class CheckedBuffers final : public RowIO {
   public:
    CheckedBuffers(const Plane& source, Plane& result, int height, int width)
        : buffers_(source.data(), result.data(), width), height_(height), width_(width) {}
    void load(int y, int x, int count, RowValue* values) const override {
        if (inside(y, x, count)) buffers_.load(y, x, count, values);
    }
    void store(int y, int x, int count, const RowValue* values) const override {
        if (inside(y, x, count)) buffers_.store(y, x, count, values);
    }

   private:
    bool inside(int y, int x, int count) const {
        const bool in = y >= 0 && y < height_ && x >= 0 && count >= 0 && x + count <= width_;
        EXPECT_TRUE(in) << "segment of " << count << " at (" << x << ", " << y << ")";
        return in;
    }
    BufferPlanes buffers_;
    int height_, width_;
};

}  // namespace

Plane runSweep(const SweepTransform& transform, const Plane& source, int height, int width,
               int levels) {
    const SweepRowsLength rows = transform.rowsLength(height, width, levels);
    Plane result(source.size(), std::nan(""));
    std::vector<RowValue> input(rows.input, std::nanf("")), kept(rows.result, std::nanf(""));
    const CheckedBuffers buffers(source, result, height, width);
    sweepPlane(transform, PlaneSweep{&buffers, {input.data(), kept.data()}, height, width, levels});
    return result;
}

std::string progressText(Process process, const SweepTransform& transform, int repeat, int levels,
                         int height, int width, int planes) {
    const Plane source(std::size_t(height) * std::size_t(width), 0.0);
    Plane result(source.size());
    const BufferPlanes buffers{source.data(), result.data(), width};
    const SweepWorkspace workspace =
        makeSweepWorkspace(transform, SweepShape{height, width, planes, levels});
    const PlaneIO io{{&buffers, &buffers, &buffers}};
    R_Times = repeat;
    std::FILE* text = temporaryFile();
    process(workspace, io, text);
    return readAllAndClose(text);
}

std::vector<EdgeShape> sweepEdgeShapes() {
    return {
        {2, 2, 1},   {4, 4, 2},    {8, 8, 3},   {16, 16, 4}, {16, 8, 1},  {16, 8, 2},  {12, 4, 2},
        {24, 8, 3},  {40, 12, 2},  {40, 24, 3}, {24, 40, 3}, {64, 32, 5}, {96, 32, 5}, {192, 64, 6},
        {256, 4, 2}, {512, 2, 1},  {6, 18, 1},  {6, 96, 1},  {2, 32, 1},  {8, 32, 3},  {8, 128, 3},
        {4, 192, 2}, {32, 256, 5}, {48, 16, 1}, {48, 16, 2}, {48, 16, 3}, {48, 16, 4},
    };
}

}  // namespace onda_test
