#include "tool.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "console.h"
#include "messages.h"

namespace {

// What setPixel stores for any coefficient truncated toward zero: 0..255,
// and 0 for NaN.
unsigned char channelByte(double value) {
    const double low = value > 0.0 ? value : 0.0;
    return static_cast<unsigned char>(static_cast<int>(low < 255.0 ? low : 255.0));
}

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

bool checkArgumentCount(int argc, const ToolBanner& banner) {
    if (argc > 2) return true;
    std::puts(consoleText(message::NOT_ENOUGH_PARAMETERS));
    std::puts(banner.usage);
    printProgramReason(argc < 2 ? "missing the input and output file names"
                                : "missing the output file name");
    return false;
}

ImagePtr readInputImage(const char* path) {
    Image* image = nullptr;
    BmpReadCause cause;
    const int status = readBMPfileReporting(path, &image, &cause);
    ImagePtr owned(image);  // a partly read image is released here too
    if (status < 0) {
        std::printf("%s", consoleText(message::CANNOT_READ_IMAGE));
        printReason(path, bmpReadReason(cause), true);
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

KeptCorner approximationCorner(const Image& image, int levels) {
    const int shift = halvings(levels);
    return KeptCorner{image.width >> shift, image.height >> shift};
}

bool prepareWorkspace(const Image& input, std::size_t scratchLength, Workspace& workspace,
                      const char* path) {
    workspace.output.reset(createImage(input.width, input.height, input.depth));
    const auto count = std::size_t(input.width) * std::size_t(input.height);
    const auto bytes = count * sizeof(double);
    std::printf(message::MEMORY_SIZE, static_cast<long long>(bytes));
    if (workspace.output) {
        workspace.source.reset(static_cast<double*>(allocateBlock(bytes)));
        if (workspace.source) workspace.result.reset(static_cast<double*>(allocateBlock(bytes)));
        if (workspace.result && scratchLength > 0) {
            workspace.scratch.reset(
                static_cast<double*>(allocateBlock(scratchLength * sizeof(double))));
        }
    }
    const bool scratchMissing = scratchLength > 0 && !workspace.scratch;
    if (!workspace.output || !workspace.source || !workspace.result || scratchMissing) {
        std::printf("%s", message::MEMORY_CANNOT_BE_ALLOCATED);
        printReason(path,
                    "no memory for a " + std::to_string(input.width) + "x" +
                        std::to_string(input.height) +
                        " output picture and two coefficient buffers of " + std::to_string(bytes) +
                        " bytes each",
                    true);
        return false;
    }
    return true;
}

void printBufferAddresses(const Workspace& workspace) {
    std::printf(message::MEMORY_ALLOCATED, static_cast<void*>(workspace.source.get()),
                static_cast<void*>(workspace.result.get()));
}

int channelCount(const Image& image) {
    return image.depth == 24 ? 3 : 1;
}

namespace {

// The row loops, for channels 1 byte apart (grey) or 3 (colour): with the
// step known, the compiler turns each into a few instructions a pixel.
template <std::size_t Step>
void fillRow(const unsigned char* __restrict pixels, double* __restrict row, std::size_t kept,
             std::size_t width) {
    for (std::size_t x = 0; x < kept; ++x) row[x] = pixels[x * Step];
    for (std::size_t x = kept; x < width; ++x) row[x] = pixels[x * Step] - DETAIL_OFFSET;
}

// True when every value lies strictly between -2^31 and 2^31, where its
// conversion to int is defined. The test reads the high 32 bits of each
// value: with the sign cleared they lie below those of 2^31 exactly for such
// values (infinities and NaNs carry the largest exponent). Unlike comparisons
// of doubles, the loop vectorises to a few instructions a value.
bool allWithinInt(const double* row, std::size_t width) {
    constexpr std::uint32_t HIGH_WORD_OF_2_TO_31 = 0x41E00000;
    std::uint32_t outside = 0;
    for (std::size_t x = 0; x < width; ++x) {
        std::uint64_t bits = 0;
        std::memcpy(&bits, row + x, sizeof bits);
        const auto magnitude = static_cast<std::uint32_t>(bits >> 32) & 0x7FFFFFFFU;
        outside |= static_cast<std::uint32_t>(magnitude >= HIGH_WORD_OF_2_TO_31);
    }
    return outside == 0;
}

// Truncated toward zero and clamped to 0..255, each row's values as setPixel
// stores them: through int where every value converts to one, which the
// compiler vectorises, through channelByte otherwise.
template <std::size_t Step>
void writeBackRow(const double* __restrict row, unsigned char* __restrict pixels,
                  std::size_t width) {
    if (allWithinInt(row, width)) {
        for (std::size_t x = 0; x < width; ++x) {
            pixels[x * Step] = static_cast<unsigned char>(correctValue(int(row[x]), 255));
        }
    } else {
        for (std::size_t x = 0; x < width; ++x) pixels[x * Step] = channelByte(row[x]);
    }
}

}  // namespace

void fillPlane(const Image& input, int channel, double* source, KeptCorner kept) {
    const auto width = std::size_t(input.width);
    for (int y = 0; y < input.height; ++y) {
        const unsigned char* pixels = imageRow(input, y) + channel;
        double* row = source + std::size_t(y) * width;
        const std::size_t keptWidth =
            y < kept.height ? std::min(std::size_t(kept.width), width) : 0;
        if (pixelBytes(input) == 1) {
            fillRow<1>(pixels, row, keptWidth, width);
        } else {
            fillRow<3>(pixels, row, keptWidth, width);
        }
    }
}

void writeBackPlane(Image& output, int channel, const double* result) {
    const auto width = std::size_t(output.width);
    for (int y = 0; y < output.height; ++y) {
        unsigned char* pixels = imageRow(output, y) + channel;
        const double* row = result + std::size_t(y) * width;
        if (pixelBytes(output) == 1) {
            writeBackRow<1>(row, pixels, width);
        } else {
            writeBackRow<3>(row, pixels, width);
        }
    }
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
                        bmpConversionAdvice("-type TrueColor") + ")");
    }
    return EXIT_RUN;
}
