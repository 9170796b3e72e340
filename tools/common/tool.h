// The steps every onda program takes, written once.
//
// A run is a straight line: banner, argument check, read the input, set the
// repeat number, check the size, make the output image, the two coefficient
// buffers and the transform's scratch, then for each colour channel fill the
// source buffer, transform, and write the result back; finally write the
// output file. Each step that can refuse the run prints its own message and
// returns false (or no image), and the program then ends with EXIT_REFUSED.
// Beside its standard output text, every refusal writes one reason line,
// "PROGRAM: PATH: reason", to standard error.
#ifndef ONDA_TOOL_H
#define ONDA_TOOL_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "bmp.h"
#include "image.h"
#include "messages.h"
#include "owners.h"
#include "plane.h"

constexpr int EXIT_RUN = 0;      // the output file was written
constexpr int EXIT_REFUSED = 1;  // the run was refused or the output could not be written

struct ToolBanner {
    const char* name;               // the program, as reason lines name it
    const char* title;              // first banner line
    message::JapaneseText product;  // second banner line
    const char* usage;              // printed under "not enough parameters"
};

// What a run owns besides its input image.
struct Workspace {
    ImagePtr output;
    CoefficientBuffer source;  // filled from the pixels; the transform's input
    CoefficientBuffer result;  // the transform's output
    BlockPtr<double> scratch;  // the rows the transform keeps between levels, if any
};

// The top-left block whose values keep their detail offset when a plane is
// filled; every value outside it loses DETAIL_OFFSET.
struct KeptCorner {
    int width;
    int height;
};

// The approximation corner that `levels` levels leave: the top-left block of
// width / 2^levels by height / 2^levels; the whole image for levels <= 0.
KeptCorner approximationCorner(const Image& image, int levels);

// Prints the banner; reason lines from now on name banner.name.
void printBanner(const ToolBanner& banner);

// True when both paths are given; otherwise prints the complaint and usage.
bool checkArgumentCount(int argc, const ToolBanner& banner);

// The input image, or none after printing that it cannot be read and why. An
// 8-bit picture with a colour palette is read as the red components of its
// colours; writeOutputImage then says so.
ImagePtr readInputImage(const char* path);

// Prints whether the image at `path` is colour (24-bit) or monochrome (8-bit);
// for any other depth says it is neither and returns false.
bool reportImageKind(const Image& image, const char* path);

// Makes the output image (the input's shape), prints the memory size line and
// takes both buffers and `scratchLength` doubles of scratch. If anything
// cannot be had, prints "Memory cannot be allocated." and returns false.
// `path` is the input's, for the reason line.
bool prepareWorkspace(const Image& input, std::size_t scratchLength, Workspace& workspace,
                      const char* path);

// "Memory has been allocated. The address is %p:%p\n".
void printBufferAddresses(const Workspace& workspace);

// 3 colour channels for a 24-bit image, 1 for an 8-bit one.
int channelCount(const Image& image);

// Puts channel `channel` (0 red or grey, 1 green, 2 blue) of every pixel into
// `source` as a double, row by row from the top; outside `kept` the detail
// offset is taken off.
void fillPlane(const Image& input, int channel, double* source, KeptCorner kept);

// Stores every value of `result`, truncated toward zero and clamped to 0..255,
// into channel `channel` of the image; the other channels are kept.
void writeBackPlane(Image& output, int channel, const double* result);

// Fills, transforms and writes back every channel of the input in turn.
// `transform(channel, source, result, height, width, scratch)` runs on each
// plane.
template <class Transform>
void transformChannels(const Image& input, Workspace& workspace, KeptCorner kept,
                       Transform&& transform) {
    for (int channel = 0; channel < channelCount(input); ++channel) {
        fillPlane(input, channel, workspace.source.get(), kept);
        transform(channel, workspace.source.get(), workspace.result.get(), input.height,
                  input.width, workspace.scratch.get());
        writeBackPlane(*workspace.output, channel, workspace.result.get());
    }
}

// Writes the output file; on failure prints a line naming the path, and the
// reason. Once it is written, an input read from a colour palette gets its
// note on standard error. Returns the program's exit status.
int writeOutputImage(const char* path, const Image& output);

#endif
