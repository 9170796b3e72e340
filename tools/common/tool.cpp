#include "tool.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "console.h"
#include "messages.h"

namespace {

// The input whose colour palette the note after a written output names; none
// for a grey palette or none at all.
const char* colourPaletteInput = nullptr;

}  // namespace

void printBanner(const ToolBanner& banner) {
    nameProgram(banner.name);
    std::puts(banner.title);
    std::puts(consoleText(banner.product));
    std::puts(message::MAKERS_NOTICE);
}

bool answerHelpOrVersion(int argc, char** argv, const ToolBanner& banner) {
    if (argc != 2) return false;
    if (std::strcmp(argv[1], "--version") == 0) {
        std::printf("%s %s\n", banner.name, ONDA_VERSION);
        return true;
    }
    if (std::strcmp(argv[1], "--help") != 0 && std::strcmp(argv[1], "-h") != 0) return false;
    std::puts(banner.usage);
#if defined(_WIN32)
    std::puts("README.txt, beside the program, tells the details.");
#else
    std::printf("The manual page tells the details: man %s\n", banner.name);
#endif
    return true;
}

bool checkArgumentCount(int argc, const ToolBanner& banner) {
    if (argc > 2) return true;
    std::puts(consoleText(message::NOT_ENOUGH_PARAMETERS));
    std::puts(banner.usage);
    printProgramReason(argc < 2 ? "missing the input and output file names"
                                : "missing the output file name");
    return false;
}

ImagePtr readInputImage(const char* path, const BmpAdviceFit& fit) {
    Image* image = nullptr;
    BmpReadCause cause;
    const int status = readBMPfileReporting(path, &image, &cause);
    ImagePtr owned(image);  // a partly read image is released here too
    if (status < 0) {
        std::printf("%s", consoleText(message::CANNOT_READ_IMAGE));
        printReasonAfterOpenLine(path, bmpReadReason(cause, fit));
        return nullptr;
    }
    if (cause.colourPalette) colourPaletteInput = path;
    return owned;
}

bool reportImageKind(const Image& image, const char* path) {
    const message::JapaneseText& line = image.depth == 24  ? message::FILE_IS_COLOUR
                                        : image.depth == 8 ? message::FILE_IS_MONO
                                                           : message::FILE_NEITHER_COLOUR_NOR_MONO;
    std::printf(consoleText(line), path);
    if (image.depth == 24 || image.depth == 8) return true;
    printReason(path, std::to_string(image.depth) +
                          " bits per pixel; only 8-bit (grey) and 24-bit (colour) pictures are "
                          "transformed");
    return false;
}

namespace {

// The bytes of every channel's share of rows (at least one value, so that
// every block has an address), or 0 when they overflow.
std::size_t rowsBytes(std::size_t perPlane, int planes) {
    constexpr std::size_t MOST = SIZE_MAX / sizeof(RowValue) / MOST_PLANES;
    if (perPlane > MOST) return 0;
    return std::max<std::size_t>(perPlane, 1) * std::size_t(planes) * sizeof(RowValue);
}

BlockPtr<RowValue> allocateRows(std::size_t bytes) {
    if (bytes == 0) return nullptr;
    return BlockPtr<RowValue>(static_cast<RowValue*>(allocateBlock(bytes)));
}

}  // namespace

bool prepareWorkspace(const Image& input, SweepRowsLength perPlane, Workspace& workspace,
                      const char* path) {
    const auto planeBytes = std::uint64_t(input.width) * std::uint64_t(input.height) * 8U;
    std::printf(message::MEMORY_SIZE, static_cast<long long>(planeBytes));
    workspace.perPlane = perPlane;
    workspace.output.reset(createImage(input.width, input.height, input.depth));
    std::string missing;
    if (!workspace.output) {
        const auto pictureBytes = std::uint64_t(input.width) * std::uint64_t(input.height) *
                                  std::uint64_t(pixelBytes(input));
        missing = "a " + std::to_string(input.width) + "x" + std::to_string(input.height) +
                  " output picture of " + std::to_string(pictureBytes) + " bytes";
    } else {
        const int planes = channelCount(input);
        const std::size_t inputBytes = rowsBytes(perPlane.input, planes);
        const std::size_t resultBytes = rowsBytes(perPlane.result, planes);
        workspace.inputRows = allocateRows(inputBytes);
        if (workspace.inputRows) workspace.resultRows = allocateRows(resultBytes);
        if (!workspace.resultRows) {  // made only once the input rows are
            missing = "the transform's rows of " + std::to_string(inputBytes) + " and " +
                      std::to_string(resultBytes) + " bytes";
        }
    }
    if (missing.empty()) return true;
    std::printf("%s", message::MEMORY_CANNOT_BE_ALLOCATED);
    printReasonAfterOpenLine(path, "no memory for " + missing);
    return false;
}

void printBufferAddresses(const Workspace& workspace) {
    std::printf(message::MEMORY_ALLOCATED, static_cast<void*>(workspace.inputRows.get()),
                static_cast<void*>(workspace.resultRows.get()));
}

void bindWorkspacePlanes(ImagePlanes& planes, const Image& input, Workspace& workspace,
                         OffsetFreeCorner offsetFree) {
    bindImagePlanes(planes, input, *workspace.output, offsetFree, workspace.inputRows.get(),
                    workspace.resultRows.get(), workspace.perPlane);
}

int writeOutputImage(const char* path, const Image& output) {
    BmpWriteCause cause;
    if (writeBMPfileReporting(path, &output, &cause) != BMP_WRITTEN) {
        std::printf("Cannot write the output file %s\n", path);
        printReason(path, bmpWriteReason(cause));
        return EXIT_REFUSED;
    }
    if (colourPaletteInput != nullptr) {
        printReason(colourPaletteInput,
                    "colour palette: each pixel is read as the red component of its colour; "
                    "for all three, make it a 24-bit picture (" +
                        bmpConversionAdvice("-type TrueColor", output.width, output.height) + ")");
    }
    return EXIT_WRITTEN;
}
