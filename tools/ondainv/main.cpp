// ondainv: the multi-level inverse Haar transform of a BMP picture.
//
//   ondainv <read image file name> <write image file name>  <Repeat Number>
//
// Reads a picture laid out as ondafwd writes it (averages of the last level
// top-left, every detail lifted by 128), takes the 128 off every value outside
// that corner and rebuilds the picture level by level. Each colour channel of
// a 24-bit picture is rebuilt on its own. The repeat number defaults to 2.
#include <cstdio>

#include "console.h"
#include "messages.h"
#include "tool.h"
#include "wavelet_inv.h"

namespace {

constexpr ToolBanner BANNER = {
    "ondainv",
    "Wavelet Inv. Function (Ondeline) ",
    message::INV_PRODUCT,
    "ondainv <read image file name> <write image file name>  <Repeat Number>",
};
constexpr int DEFAULT_LEVELS = 2;

// The progress line is printed once, for the first channel.
void transformPlane(int channel, double* source, double* result, int height, int width) {
    wavelet_inv_process(source, result, height, width, channel == 0 ? stdout : nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    printBanner(BANNER);
    if (!checkArgumentCount(argc, BANNER)) return EXIT_REFUSED;

    const ImagePtr input = readInputImage(argv[1]);
    if (!input) return EXIT_REFUSED;
    R_Times = repeatNumberArgument(argc, argv, DEFAULT_LEVELS);
    if (!checkImageSizeForLevels(*input, R_Times, argv[1])) return EXIT_REFUSED;

    Workspace workspace;
    if (!prepareWorkspace(*input, workspace, argv[1])) return EXIT_REFUSED;
    std::puts(consoleText(message::INV_CONVERTING));

    transformChannels(*input, workspace, approximationCorner(*input, R_Times), transformPlane);
    return writeOutputImage(argv[2], *workspace.output);
}
