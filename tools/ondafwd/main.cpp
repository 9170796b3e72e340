// ondafwd: the multi-level forward Haar transform of a BMP picture.
//
//   ondafwd <read image file name> <write image file name> <Repeat Number>
//
// Writes a picture of the same size and depth with the averages of the last
// level top-left and every detail lifted by 128. Each colour channel of a
// 24-bit picture is transformed on its own. The repeat number defaults to 2.
#include <cstddef>

#include "forward.h"
#include "messages.h"
#include "plane.h"
#include "repeat_number.h"
#include "size_check.h"
#include "tool.h"

namespace {

constexpr ToolBanner BANNER = {
    "ondafwd",
    "Wavelet Function (Ondeline) ",
    message::FWD_PRODUCT,
    "ondafwd <read image file name> <write image file name> <Repeat Number>",
};
constexpr int DEFAULT_LEVELS = 2;

}  // namespace

int main(int argc, char** argv) {
    printBanner(BANNER);
    if (answerHelpOrVersion(argc, argv, BANNER)) return EXIT_ANSWERED;
    if (!checkArgumentCount(argc, BANNER)) return EXIT_REFUSED;

    const int levelsToCome = repeatNumberForAdvice(argc, argv, DEFAULT_LEVELS);
    const ImagePtr input = readInputImage(argv[1], adviceFit(levelsToCome, SIZE_ADVICE_CROP));
    if (!input) return EXIT_REFUSED;
    const std::optional<int> repeat = repeatNumberArgument(argc, argv, DEFAULT_LEVELS);
    if (!repeat) return EXIT_REFUSED;
    R_Times = *repeat;
    if (!checkImageSizeForLevels(*input, R_Times, argv[1], SIZE_ADVICE_CROP)) return EXIT_REFUSED;

    Workspace workspace;
    const SweepRowsLength rows = fwd::sweepRowsLength(input->height, input->width, R_Times);
    if (!prepareWorkspace(*input, rows, workspace, argv[1])) return EXIT_REFUSED;
    printBufferAddresses(workspace);

    ImagePlanes planes;
    const OffsetFreeCorner wholeImage{input->width, input->height};
    bindWorkspacePlanes(planes, *input, workspace, wholeImage);
    fwd::wavelet_process(planes.planes);
    return writeOutputImage(argv[2], *workspace.output);
}
