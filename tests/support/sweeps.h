// The sweeps run on plain buffers: a whole plane, the progress text a
// program's wavelet_process prints, and the plane shapes that reach their edges.
#ifndef ONDA_TEST_SWEEPS_H
#define ONDA_TEST_SWEEPS_H

#include <cstdio>
#include <string>
#include <vector>

#include "plane.h"
#include "reference_transforms.h"
#include "workspace.h"

namespace onda_test {

// Sweeps `source` whole with `transform` at `levels` levels through plain
// buffers, with rows of exactly the lengths the transform asks and a result
// buffer, all full of NaN (so that a value read before it is written, or
// never written, shows); returns the result buffer.
Plane runSweep(const SweepTransform& transform, const Plane& source, int height, int width,
               int levels);

// A program's wavelet_process (fwd::, inv::wavelet_inv_process, split::).
using Process = void (*)(const SweepWorkspace& workspace, const PlaneIO& io, std::FILE* progress);

// What `process` prints, with R_Times set to `repeat`, for a picture of
// `planes` planes of height x width, all zero, in a workspace of `transform`
// at `levels` levels.
std::string progressText(Process process, const SweepTransform& transform, int repeat, int levels,
                         int height, int width, int planes = 1);

// Plane shapes that reach the sweeps' edges: deepest regions of one row pair,
// tall and wide planes, odd detail widths, and from 1 to the most levels a
// size allows.
struct EdgeShape {
    int width, height, levels;
};
std::vector<EdgeShape> sweepEdgeShapes();

}  // namespace onda_test

#endif
