// ondasplit: the one-pass block Haar transform of a BMP picture.
//
//   ondasplit <read image file name> <write image file name> <Repeat Number>
//
// Writes a picture of the same size and depth holding one level (repeat
// number 1, the default) or two levels of the transform, every detail lifted
// by 128. A repeat number above 2 is refused; 0 or less gives the two levels
// of 2. Each colour channel of a 24-bit picture is transformed on its own.
#include "messages.h"
#include "split.h"
#include "tool.h"

namespace {

constexpr ProgramDescription ONDASPLIT{
    message::SPLIT_BANNER,
    1,  // repeat number by default
    2,  // the largest repeat number
    "ondasplit makes 1 or 2 levels (0 or less gives 2)",
    split::splitLevels,
    SIZE_ADVICE_CROP,
    true,   // says whether the input is colour or monochrome
    false,  // the input is a picture
    &split::TRANSFORM,
    split::wavelet_process,
    nullptr,  // prints the rows' addresses
};

}  // namespace

int main(int argc, char** argv) {
    return runProgram(ONDASPLIT, argc, argv);
}
