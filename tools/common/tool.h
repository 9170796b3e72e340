// The steps every onda program takes, written once.
//
// A run is a straight line: banner, argument check, read the input, set the
// repeat number, check the size, make the output image and the rows the
// transform works in, bind every colour channel of the input and the output
// to them, transform (the sweep loads each row it needs from the input and
// stores each finished row segment into the output); finally write the
// output file. Each step that can refuse the run prints its own message and
// returns false (or no image), and the program then ends with EXIT_REFUSED.
// Beside its standard output text, every refusal writes one reason line,
// "PROGRAM: PATH: reason", to standard error.
#ifndef ONDA_TOOL_H
#define ONDA_TOOL_H

#include <cstddef>
#include <cstdio>

#include "bmp.h"
#include "image.h"
#include "image_rows.h"
#include "messages.h"
#include "owners.h"
#include "plane.h"

constexpr int EXIT_WRITTEN = 0;   // the output file was written
constexpr int EXIT_REFUSED = 1;   // the run was refused or the output could not be written
constexpr int EXIT_ANSWERED = 0;  // --help or --version was answered

struct ToolBanner {
    const char* name;               // the program, as reason lines name it
    const char* title;              // first banner line
    message::JapaneseText product;  // second banner line
    const char* usage;              // printed under "not enough parameters"
};

// What a run owns besides its input image.
struct Workspace {
    ImagePtr output;
    BlockPtr<RowValue> inputRows;   // the rows the sweeps load, every plane's in turn
    BlockPtr<RowValue> resultRows;  // the rows the sweeps finish and keep, likewise
    SweepRowsLength perPlane;       // each plane's share of both
};

// Prints the banner; reason lines from now on name banner.name.
void printBanner(const ToolBanner& banner);

// With --help or -h as the only argument, prints the usage and where the
// manual is; with --version, the program's name and version. True when it
// answered one of them: the run then ends with EXIT_ANSWERED.
bool answerHelpOrVersion(int argc, char** argv, const ToolBanner& banner);

// True when both paths are given; otherwise prints the complaint and usage.
bool checkArgumentCount(int argc, const ToolBanner& banner);

// The input image, or none after printing that it cannot be read and why,
// the advice for a picture too large fitted to `fit`. An 8-bit picture with
// a colour palette is read as the red components of its colours;
// writeOutputImage then says so.
ImagePtr readInputImage(const char* path, const BmpAdviceFit& fit);

// Prints whether the image at `path` is colour (24-bit) or monochrome (8-bit);
// for any other depth says it is neither and returns false.
bool reportImageKind(const Image& image, const char* path);

// Makes the output image (the input's shape), prints the memory size line
// (the bytes of a plane of doubles, as the transform's size is documented)
// and takes `perPlane` rows for every channel. If anything cannot be had,
// prints "Memory cannot be allocated." and a reason naming what and its
// size, and returns false. `path` is the input's, for the reason line.
bool prepareWorkspace(const Image& input, SweepRowsLength perPlane, Workspace& workspace,
                      const char* path);

// "Memory has been allocated. The address is %p:%p\n": the two row workspaces.
void printBufferAddresses(const Workspace& workspace);

// Binds every channel of `input` and of the workspace's output to the
// workspace's rows, for a wavelet_process; `offsetFree` as in loading
// (image_rows.h).
void bindWorkspacePlanes(ImagePlanes& planes, const Image& input, Workspace& workspace,
                         OffsetFreeCorner offsetFree);

// Writes the output file; on failure prints a line naming the path, and the
// reason. Once it is written, an input read from a colour palette gets its
// note on standard error. Returns the program's exit status.
int writeOutputImage(const char* path, const Image& output);

#endif
