#include "workspace.h"

#include <algorithm>
#include <cstdint>

namespace {

// A block of `perPlane` values for each plane, at least one a plane so that
// every block has an address.
std::uint64_t blockBytes(std::size_t perPlane, int planes) {
    return std::uint64_t{std::max<std::size_t>(perPlane, 1)} * std::uint64_t(planes) *
           sizeof(RowValue);
}

BlockPtr<RowValue> allocateRows(std::uint64_t bytes) {
    if (bytes > SIZE_MAX) return nullptr;
    return BlockPtr<RowValue>(static_cast<RowValue*>(allocateBlock(std::size_t(bytes))));
}

}  // namespace

SweepWorkspace makeSweepWorkspace(const SweepTransform& transform, const SweepShape& shape) {
    SweepWorkspace workspace;
    workspace.transform = &transform;
    workspace.shape = shape;
    workspace.perPlane = transform.rowsLength(shape.height, shape.width, shape.levels);
    workspace.inputBytes = blockBytes(workspace.perPlane.input, shape.planes);
    workspace.resultBytes = blockBytes(workspace.perPlane.result, shape.planes);
    workspace.inputRows = allocateRows(workspace.inputBytes);
    if (workspace.inputRows) workspace.resultRows = allocateRows(workspace.resultBytes);
    return workspace;
}

bool hasRows(const SweepWorkspace& workspace) {
    return workspace.inputRows && workspace.resultRows;
}

void sweepPicture(const SweepWorkspace& workspace, const PlaneIO& io) {
    const SweepShape& shape = workspace.shape;
    PlaneSweep planes[MOST_PLANES];
    for (int plane = 0; plane < shape.planes; ++plane) {
        const SweepRows rows{
            workspace.inputRows.get() + std::size_t(plane) * workspace.perPlane.input,
            workspace.resultRows.get() + std::size_t(plane) * workspace.perPlane.result};
        planes[plane] = PlaneSweep{io.plane[plane], rows, shape.height, shape.width, shape.levels};
    }
    const SweepTransform& transform = *workspace.transform;
    const int steps = transform.steps(shape.height, shape.levels);
    for (int i = 0; i < steps; ++i) {
        for (int plane = 0; plane < shape.planes; ++plane) transform.step(planes[plane], i);
    }
}
