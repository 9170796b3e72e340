// ondainv: the multi-level inverse Haar transform of a BMP picture.
//
//   ondainv <read image file name> <write image file name>  <Repeat Number>
//
// Reads a picture laid out as ondafwd writes it (averages of the last level
// top-left, every detail lifted by 128), takes the 128 off every value outside
// that corner and rebuilds the picture level by level. Each colour channel of
// a 24-bit picture is rebuilt on its own. The repeat number defaults to 2.
#include <cstddef>
#include <cstdio>

#include "console.h"
#include "inverse.h"
#include "messages.h"
#include "plane.h"
#include "repeat_number.h"
#include "size_check.h"
#include "tool.h"

namespace {

constexpr ToolBanner BANNER = {
    "ondainv",
    "Wavelet Inv. Function (Ondeline) ",
    message::INV_PRODUCT,
    "ondainv <read image file name> <write image file name>  <Repeat Number>",
};
constexpr int DEFAULT_LEVELS = 2;

}  // namespace

int main(int argc, char** argv) {
    printBanner(BANNER);
    if (answerHelpOrVersion(argc, argv, BANNER)) return EXIT_ANSWERED;
    if (!checkArgumentCount(argc, BANNER)) return EXIT_REFUSED;

    const int levelsToCome = repeatNumberForAdvice(argc, argv, DEFAULT_LEVELS);
    const ImagePtr input =
        readInputImage(argv[1], adviceFit(levelsToCome, SIZE_ADVICE_REPEAT_NUMBER));
    if (!input) return EXIT_REFUSED;
    const std::optional<int> repeat = repeatNumberArgument(argc, argv, DEFAULT_LEVELS);
    if (!repeat) return EXIT_REFUSED;
    R_Times = *repeat;
    if (!checkImageSizeForLevels(*input, R_Times, argv[1], SIZE_ADVICE_REPEAT_NUMBER))
        return EXIT_REFUSED;

    Workspace workspace;
    const SweepRowsLength rows = inv::sweepRowsLength(input->height, input->width, R_Times);
    if (!prepareWorkspace(*input, rows, workspace, argv[1])) return EXIT_REFUSED;
    std::puts(consoleText(message::INV_CONVERTING));

    ImagePlanes planes;
    bindWorkspacePlanes(planes, *input, workspace, approximationCorner(*input, R_Times));
    inv::wavelet_inv_process(planes.planes);
    return writeOutputImage(argv[2], *workspace.output);
}
