// The plane arithmetic the transforms share: which region each level works
// on, the detail offset, the number of levels, and how a sweep meets the
// plane it reads and the plane it writes.
//
// A sweep walks a plane of width x height values from the top, a few rows at
// a time, and never holds the whole plane: it loads the row segments it needs
// through a RowIO, works in a few rows of values (SweepRows, which the
// workspace of workspace.h holds for every plane of a picture), and stores
// every value it finishes, a row segment at a time, through the same RowIO.
// Element (x, y) is column x of row y of the whole plane, whatever region a
// level works on. The programs load from and store to images (see
// image_rows.h); tests and benchmarks use plain buffers (BufferPlanes).
#ifndef ONDA_HAAR_PLANE_H
#define ONDA_HAAR_PLANE_H

#include <cstddef>

#include "kernels.h"

// The repeat number, set once by main from its third argument. The
// transforms take their levels as a parameter; only the block transform's
// progress text prints the number as it was given.
extern int R_Times;

// The detail offset: lifts every detail coefficient so that zero shows mid-grey.
constexpr double DETAIL_OFFSET = 128.0;

// Element (x, y) of a buffer of doubles whose rows are `stride` long: how
// the reference passes and plain buffers lay out a plane.
inline std::size_t bufferIndex(int x, int y, int stride) {
    return std::size_t(y) * std::size_t(stride) + std::size_t(x);
}

// The level limit: no side an int can hold is a positive multiple of 2^31,
// so no picture takes this many levels; shift counts stop here too.
constexpr int MOST_LEVELS = 31;

// n halvings as a shift count: none for n <= 0, and from MOST_LEVELS on as
// many as an int has bits to lose.
int halvings(int n);

// The top-left region that level `level` (counted from 1) of the multi-level
// transforms works on: height / 2^(level-1) rows of width / 2^(level-1).
struct LevelRegion {
    int rows;
    int cols;
};
LevelRegion levelRegion(int height, int width, int level);

// Where a sweep's values come from and go to. load fills values[0..count)
// with elements (x, y) to (x + count - 1, y) of the plane read; store puts
// values[0..count) at the same places of the plane written. Each element of
// the plane written is stored exactly once.
class RowIO {
   public:
    virtual void load(int y, int x, int count, RowValue* values) const = 0;
    virtual void store(int y, int x, int count, const RowValue* values) const = 0;

   protected:
    RowIO() = default;
    RowIO(const RowIO&) = default;
    RowIO& operator=(const RowIO&) = default;
    ~RowIO() = default;
};

// The values (RowValue, kernels.h) a sweep works in: `input` for the rows it
// loads, `result` for the rows it finishes and the rows it keeps between
// levels.
struct SweepRows {
    RowValue* input;
    RowValue* result;
};

// How many values of each a sweep needs.
struct SweepRowsLength {
    std::size_t input;
    std::size_t result;
};

// One plane's sweep: its rows, its shape and its levels.
struct PlaneSweep {
    const RowIO* io;
    SweepRows rows;
    int height;
    int width;
    int levels;
};

// True when `levels` runs the multi-level transforms: 1 to MOST_LEVELS. With
// any other count they leave the plane as it is.
bool runsLevels(int levels);

// Row y stored as it was loaded, through the sweep's input rows.
void copyRow(const PlaneSweep& sweep, int y);

// One step of a sweep: a row pair, a group of rows, or a row.
using SweepStep = void (*)(const PlaneSweep& sweep, int step);

// A transform as a sweep runs it: the rows a plane of height x width needs at
// `levels` levels, the step, and how many steps a plane takes.
struct SweepTransform {
    SweepRowsLength (*rowsLength)(int height, int width, int levels);
    SweepStep step;
    int (*steps)(int height, int levels);
};

// Every step of one plane, in order.
void sweepPlane(const SweepTransform& transform, const PlaneSweep& sweep);

// Plain buffers of width x height doubles, row-major: the rows of tests and
// benchmarks.
class BufferPlanes final : public RowIO {
   public:
    BufferPlanes(const double* source, double* result, int width)
        : source_(source), result_(result), width_(width) {}
    void load(int y, int x, int count, RowValue* values) const override;
    void store(int y, int x, int count, const RowValue* values) const override;

   private:
    const double* source_;
    double* result_;
    int width_;
};

#endif
