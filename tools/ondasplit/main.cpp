// ondasplit: the one-pass block Haar transform of a BMP picture.
//
//   ondasplit <read image file name> <write image file name> <Repeat Number>
//
// Writes a picture of the same size and depth holding one level (repeat
// number 1, the default) or two levels of the transform, every detail lifted
// by 128. A repeat number above 2 is refused; 0 or less gives the two levels
// of 2. Each colour channel of a 24-bit picture is transformed on its own.
#include <string>

#include "console.h"
#include "messages.h"
#include "repeat_number.h"
#include "size_check.h"
#include "split.h"
#include "tool.h"

namespace {

constexpr ToolBanner BANNER = {
    "ondasplit",
    "Wavelet Function (ondasplit 3) ",
    message::SPLIT_PRODUCT,
    "ondasplit <read image file name> <write image file name> <Repeat Number>",
};
constexpr int DEFAULT_REPEAT = 1;
constexpr int LARGEST_REPEAT = 2;

// True when the transform takes the repeat number; otherwise says it does not.
bool checkRepeatNumber(int repeat, const char* path) {
    if (repeat <= LARGEST_REPEAT) return true;
    std::puts(message::REPEAT_NUMBER_INPUT_ERROR);
    printReason(path, "repeat number " + std::to_string(repeat) +
                          "; ondasplit makes 1 or 2 levels (0 or less gives 2)");
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    printBanner(BANNER);
    if (answerHelpOrVersion(argc, argv, BANNER)) return EXIT_ANSWERED;
    if (!checkArgumentCount(argc, BANNER)) return EXIT_REFUSED;

    const int levelsToCome = split::splitLevels(repeatNumberForAdvice(argc, argv, DEFAULT_REPEAT));
    const ImagePtr input = readInputImage(argv[1], adviceFit(levelsToCome, SIZE_ADVICE_CROP));
    if (!input) return EXIT_REFUSED;
    if (!reportImageKind(*input, argv[1])) return EXIT_REFUSED;
    const std::optional<int> repeat = repeatNumberArgument(argc, argv, DEFAULT_REPEAT);
    if (!repeat || !checkRepeatNumber(*repeat, argv[1])) return EXIT_REFUSED;
    R_Times = *repeat;
    if (!checkImageSizeForLevels(*input, split::splitLevels(R_Times), argv[1], SIZE_ADVICE_CROP)) {
        return EXIT_REFUSED;
    }

    Workspace workspace;
    const SweepRowsLength rows = split::sweepRowsLength(input->width, split::splitLevels(R_Times));
    if (!prepareWorkspace(*input, rows, workspace, argv[1])) return EXIT_REFUSED;
    printBufferAddresses(workspace);

    ImagePlanes planes;
    const OffsetFreeCorner wholeImage{input->width, input->height};
    bindWorkspacePlanes(planes, *input, workspace, wholeImage);
    split::wavelet_process(planes.planes);
    return writeOutputImage(argv[2], *workspace.output);
}
