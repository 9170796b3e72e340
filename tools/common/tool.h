// What a program is, and the one run every program makes of it.
//
// A program is a description (ProgramDescription): its name, banner and
// usage, how its repeat number gives its levels, and its transform. runProgram
// takes it along a straight line: banner, arguments, read the input, the
// repeat number and its levels, size check, the workspace the transforms'
// library makes for the picture's shape and those levels, the sweep (which
// loads each row it needs from the input and stores each finished row segment
// into the output), and finally the output file. Each step that can refuse
// the run prints its own message and returns false (or no image), and the
// program then ends with EXIT_REFUSED. Beside its standard output text, every
// refusal writes one reason line, "PROGRAM: PATH: reason", to standard error.
#ifndef ONDA_TOOL_H
#define ONDA_TOOL_H

#include <climits>
#include <cstdio>

#include "image.h"
#include "messages.h"
#include "plane.h"
#include "size_check.h"
#include "workspace.h"

constexpr int EXIT_WRITTEN = 0;   // the output file was written
constexpr int EXIT_REFUSED = 1;   // the run was refused or the output could not be written
constexpr int EXIT_ANSWERED = 0;  // --help or --version was answered

// A program's wavelet_process.
using WaveletProcess = void (*)(const SweepWorkspace& workspace, const PlaneIO& io,
                                std::FILE* progress);

struct ProgramDescription {
    message::ProgramBanner banner;
    int defaultRepeat;  // the repeat number without a third argument
    // The largest repeat number taken, and what the refusal of a larger one
    // says the program makes (unused at INT_MAX).
    int largestRepeat;
    const char* repeatRange;
    int (*levelsOf)(int repeatNumber);  // the levels a repeat number gives
    SizeAdvice sizeAdvice;              // what a size refusal advises
    bool reportsKind;                   // says whether the input is colour or monochrome
    // The input carries the detail offset outside the approximation corner
    // its levels leave (a transform); otherwise it carries none.
    bool inputIsTransform;
    const SweepTransform* transform;  // the rows, step and steps its sweep takes
    WaveletProcess process;
    // Printed once the workspace is had; null: the rows' addresses instead.
    const message::JapaneseText* workspaceLine;
};

// The multi-level transforms' levels: as many as the repeat number.
int levelsOfRepeatNumber(int repeatNumber);

// The run of `program` on the command line; the program's exit status.
int runProgram(const ProgramDescription& program, int argc, char** argv);

// Prints whether the image at `path` is colour (24-bit) or monochrome (8-bit);
// for any other depth says it is neither and returns false.
bool reportImageKind(const Image& image, const char* path);

#endif
