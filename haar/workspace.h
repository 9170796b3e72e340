// The rows a transform works in, for every plane of one picture.
//
// One call sizes them from the picture's shape and the levels the transform
// runs, and allocates them; the workspace keeps the transform, the shape and
// the levels beside the rows, and sweepPicture runs exactly those. So the
// rows a sweep uses can never be shorter than the rows it was given.
#ifndef ONDA_HAAR_WORKSPACE_H
#define ONDA_HAAR_WORKSPACE_H

#include <cstddef>
#include <cstdint>

#include "owners.h"
#include "plane.h"

// One plane for grey, three for colour.
constexpr int MOST_PLANES = 3;

// A picture as a transform sweeps it: `planes` planes (1 to MOST_PLANES) of
// height x width, at `levels` levels.
struct SweepShape {
    int height;
    int width;
    int planes;
    int levels;
};

// What a transform's sweeps work in. Plane p takes perPlane.input values
// from inputRows + p * perPlane.input, and likewise of resultRows. Either
// block is empty when it could not be had (the result rows are asked for
// only once the input rows are).
struct SweepWorkspace {
    const SweepTransform* transform = nullptr;
    SweepShape shape{};
    SweepRowsLength perPlane{};
    std::uint64_t inputBytes = 0;  // the size of each block, as asked for
    std::uint64_t resultBytes = 0;
    BlockPtr<RowValue> inputRows;
    BlockPtr<RowValue> resultRows;
};

// The workspace of `transform` for `shape`: sized and allocated.
SweepWorkspace makeSweepWorkspace(const SweepTransform& transform, const SweepShape& shape);

// True when both blocks of rows were had.
bool hasRows(const SweepWorkspace& workspace);

// Where each plane's row source and sink is.
struct PlaneIO {
    const RowIO* plane[MOST_PLANES];
};

// Runs the workspace's transform over every plane: step i of every plane
// before step i + 1 of any, so that the planes of a colour picture go down
// the picture together. The workspace must have its rows.
void sweepPicture(const SweepWorkspace& workspace, const PlaneIO& io);

#endif
