// ondainv: the multi-level inverse Haar transform of a BMP picture.
//
//   ondainv <read image file name> <write image file name>  <Repeat Number>
//
// Reads a picture laid out as ondafwd writes it (averages of the last level
// top-left, every detail lifted by 128), takes the 128 off every value outside
// that corner and rebuilds the picture level by level. Each colour channel of
// a 24-bit picture is rebuilt on its own. The repeat number defaults to 2.
#include <climits>

#include "inverse.h"
#include "messages.h"
#include "tool.h"

namespace {

constexpr ProgramDescription ONDAINV{
    message::INV_BANNER,
    2,        // repeat number by default
    INT_MAX,  // any repeat number
    "",
    levelsOfRepeatNumber,
    SIZE_ADVICE_REPEAT_NUMBER,
    false,  // says nothing of the input's kind
    true,   // the input is a transform
    &inv::TRANSFORM,
    inv::wavelet_inv_process,
    &message::INV_CONVERTING,
};

}  // namespace

int main(int argc, char** argv) {
    return runProgram(ONDAINV, argc, argv);
}
