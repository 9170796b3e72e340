// ondafwd: the multi-level forward Haar transform of a BMP picture.
//
//   ondafwd <read image file name> <write image file name> <Repeat Number>
//
// Writes a picture of the same size and depth with the averages of the last
// level top-left and every detail lifted by 128. Each colour channel of a
// 24-bit picture is transformed on its own. The repeat number defaults to 2.
#include <climits>

#include "forward.h"
#include "messages.h"
#include "tool.h"

namespace {

constexpr ProgramDescription ONDAFWD{
    message::FWD_BANNER,
    2,        // repeat number by default
    INT_MAX,  // any repeat number
    "",
    levelsOfRepeatNumber,
    SIZE_ADVICE_CROP,
    false,  // says nothing of the input's kind
    false,  // the input is a picture
    &fwd::TRANSFORM,
    fwd::wavelet_process,
    nullptr,  // prints the rows' addresses
};

}  // namespace

int main(int argc, char** argv) {
    return runProgram(ONDAFWD, argc, argv);
}
