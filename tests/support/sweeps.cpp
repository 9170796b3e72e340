#include "sweeps.h"

#include <cmath>
#include <cstddef>

#include "scratch_files.h"

namespace onda_test {

Plane runSweep(Sweep sweep, SweepRowsLength rows, const Plane& source, int height, int width,
               int levels) {
    Plane result(source.size(), std::nan(""));
    std::vector<RowValue> input(rows.input, std::nanf("")), kept(rows.result, std::nanf(""));
    BufferPlanes buffers{source.data(), result.data(), width};
    sweep(PlaneSweep{bufferRowIO(buffers), {input.data(), kept.data()}, height, width, levels});
    return result;
}

std::string progressText(Process process, int repeat, int height, int width, int planes) {
    const Plane source(std::size_t(height) * std::size_t(width), 0.0);
    Plane result(source.size());
    std::vector<RowValue> input(8 * std::size_t(width)), kept(8 * std::size_t(width));
    BufferPlanes buffers{source.data(), result.data(), width};
    PicturePlanes picture{};
    picture.count = planes;
    picture.height = height;
    picture.width = width;
    for (int plane = 0; plane < planes; ++plane) {
        picture.io[plane] = bufferRowIO(buffers);
        picture.rows[plane] = SweepRows{input.data(), kept.data()};
    }
    R_Times = repeat;
    std::FILE* text = temporaryFile();
    process(picture, text);
    return readAllAndClose(text);
}

std::vector<SweepShape> sweepEdgeShapes() {
    return {
        {2, 2, 1},   {4, 4, 2},    {8, 8, 3},   {16, 16, 4}, {16, 8, 1},  {16, 8, 2},  {12, 4, 2},
        {24, 8, 3},  {40, 12, 2},  {40, 24, 3}, {24, 40, 3}, {64, 32, 5}, {96, 32, 5}, {192, 64, 6},
        {256, 4, 2}, {512, 2, 1},  {6, 18, 1},  {6, 96, 1},  {2, 32, 1},  {8, 32, 3},  {8, 128, 3},
        {4, 192, 2}, {32, 256, 5}, {48, 16, 1}, {48, 16, 2}, {48, 16, 3}, {48, 16, 4},
    };
}

}  // namespace onda_test
