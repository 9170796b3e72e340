#include "tool.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "bmp.h"
#include "console.h"
#include "image_rows.h"
#include "messages.h"
#include "owners.h"
#include "repeat_number.h"

namespace {

void printBanner(const message::ProgramBanner& banner) {
    nameProgram(banner.name);
    std::puts(banner.title);
    std::puts(consoleText(banner.product));
    std::puts(message::MAKERS_NOTICE);
}

bool answerHelpOrVersion(int argc, char** argv, const message::ProgramBanner& banner) {
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

bool checkArgumentCount(int argc, const message::ProgramBanner& banner) {
    if (argc > 2) return true;
    std::puts(consoleText(message::NOT_ENOUGH_PARAMETERS));
    std::puts(banner.usage);
    printProgramReason(argc < 2 ? "missing the input and output file names"
                                : "missing the output file name");
    return false;
}

// The input image, or none after printing that it cannot be read and why,
// the advice for a picture too large fitted to `fit`. An 8-bit picture with
// a colour palette is read as the red components of its colours; the reading
// says so, for the note after the output is written.
BmpReading readInputImage(const char* path, const BmpAdviceFit& fit) {
    BmpReading reading = readBMPfileReporting(path);
    if (bmpReadStatus(reading.cause) < 0) {
        std::printf("%s", consoleText(message::CANNOT_READ_IMAGE));
        printReasonAfterOpenLine(path, bmpReadReason(reading.cause, fit));
        reading.image.reset();  // a partly read image is released here
    }
    return reading;
}

// The workspace `program` sweeps `input` in, at `levels` levels, after the
// memory size line. If the output picture or the rows cannot be had, prints
// "Memory cannot be allocated." and a reason naming what and its size (`path`
// is the input's), and gives a workspace without rows.
SweepWorkspace prepareWorkspace(const ProgramDescription& program, const Image& input, int levels,
                                ImagePtr& output, const char* path) {
    const auto planeBytes = std::uint64_t(input.width) * std::uint64_t(input.height) * 8U;
    std::printf(message::MEMORY_SIZE, static_cast<long long>(planeBytes));
    output.reset(createImage(input.width, input.height, input.depth));
    std::string missing;
    SweepWorkspace workspace;
    if (!output) {
        const auto pictureBytes = std::uint64_t(input.width) * std::uint64_t(input.height) *
                                  std::uint64_t(pixelBytes(input));
        missing = "a " + std::to_string(input.width) + "x" + std::to_string(input.height) +
                  " output picture of " + std::to_string(pictureBytes) + " bytes";
    } else {
        workspace = makeSweepWorkspace(
            *program.transform, SweepShape{input.height, input.width, channelCount(input), levels});
        if (!hasRows(workspace)) {
            missing = "the transform's rows of " + std::to_string(workspace.inputBytes) + " and " +
                      std::to_string(workspace.resultBytes) + " bytes";
        }
    }
    if (!missing.empty()) {
        std::printf("%s", message::MEMORY_CANNOT_BE_ALLOCATED);
        printReasonAfterOpenLine(path, "no memory for " + missing);
    }
    return workspace;
}

void printWorkspaceLine(const ProgramDescription& program, const SweepWorkspace& workspace) {
    if (program.workspaceLine != nullptr) {
        std::puts(consoleText(*program.workspaceLine));
        return;
    }
    std::printf(message::MEMORY_ALLOCATED, static_cast<void*>(workspace.inputRows.get()),
                static_cast<void*>(workspace.resultRows.get()));
}

// True when the transform takes the repeat number; otherwise says it does not.
bool checkRepeatRange(const ProgramDescription& program, int repeat, const char* path) {
    if (repeat <= program.largestRepeat) return true;
    std::puts(message::REPEAT_NUMBER_INPUT_ERROR);
    printReason(path, "repeat number " + std::to_string(repeat) + "; " + program.repeatRange);
    return false;
}

// Writes the output file; on failure prints a line naming the path, and the
// reason. Once it is written, an input read from a colour palette gets its
// note on standard error. Returns the program's exit status.
int writeOutputImage(const char* path, const Image& output, const BmpReading& input,
                     const char* inputPath) {
    const BmpWriteCause cause = writeBMPfileReporting(path, &output);
    if (bmpWriteStatus(cause) != BMP_WRITTEN) {
        std::printf("Cannot write the output file %s\n", path);
        printReason(path, bmpWriteReason(cause));
        return EXIT_REFUSED;
    }
    if (input.colourPalette) {
        printReason(inputPath,
                    "colour palette: each pixel is read as the red component of its colour; "
                    "for all three, make it a 24-bit picture (" +
                        bmpConversionAdvice("-type TrueColor", output.width, output.height) + ")");
    }
    return EXIT_WRITTEN;
}

}  // namespace

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

int levelsOfRepeatNumber(int repeatNumber) {
    return repeatNumber;
}

int runProgram(const ProgramDescription& program, int argc, char** argv) {
    const message::ProgramBanner& banner = program.banner;
    printBanner(banner);
    if (answerHelpOrVersion(argc, argv, banner)) return EXIT_ANSWERED;
    if (!checkArgumentCount(argc, banner)) return EXIT_REFUSED;
    const char* inputPath = argv[1];

    const int levelsToCome =
        program.levelsOf(repeatNumberForAdvice(argc, argv, program.defaultRepeat));
    const BmpReading input = readInputImage(inputPath, adviceFit(levelsToCome, program.sizeAdvice));
    if (!input.image) return EXIT_REFUSED;
    if (program.reportsKind && !reportImageKind(*input.image, inputPath)) return EXIT_REFUSED;
    const std::optional<int> repeat = repeatNumberArgument(argc, argv, program.defaultRepeat);
    if (!repeat || !checkRepeatRange(program, *repeat, inputPath)) return EXIT_REFUSED;
    R_Times = *repeat;
    const int levels = program.levelsOf(R_Times);
    if (!checkImageSizeForLevels(*input.image, levels, inputPath, program.sizeAdvice)) {
        return EXIT_REFUSED;
    }

    ImagePtr output;
    const SweepWorkspace workspace =
        prepareWorkspace(program, *input.image, levels, output, inputPath);
    if (!hasRows(workspace)) return EXIT_REFUSED;
    printWorkspaceLine(program, workspace);

    ImagePlanes planes;
    const OffsetFreeCorner offsetFree =
        program.inputIsTransform ? approximationCorner(*input.image, levels)
                                 : OffsetFreeCorner{input.image->width, input.image->height};
    bindImagePlanes(planes, *input.image, *output, offsetFree);
    program.process(workspace, planes.io, stdout);
    return writeOutputImage(argv[2], *output, input, inputPath);
}
