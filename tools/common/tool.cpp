#include "tool.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <string>

#include "console.h"
#include "messages.h"

namespace {

// Truncation toward zero, with values beyond int (and NaN) held at its limits
// so that the conversion is always defined. Written as selects, not branches,
// so that the write-back loop stays straight.
int truncateToInt(double value) {
    constexpr double lowest = double(INT_MIN);
    constexpr double highest = double(INT_MAX);
    const double low = value >= lowest ? value : lowest;
    return static_cast<int>(low <= highest ? low : highest);
}

// n halvings as a shift count: none for n <= 0, and from 31 on as many as an
// int has bits to lose.
int halvings(int n) {
    return std::clamp(n, 0, 31);
}

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

namespace {

// readBMPfile, with the cause of a refusal.
int readInputFile(const char* path, Image** image, BmpReadCause& cause) {
    const FilePtr file(std::fopen(path, "rb"));
    if (!file) {
        const int error = errno;
        // Some systems refuse to open a folder, others to read one: either
        // way it is named for what it is.
        std::error_code ignored;
        cause = std::filesystem::is_directory(path, ignored)
                    ? BmpReadCause{BMP_FAULT_READ_ERROR, 0, 0, EISDIR}
                    : BmpReadCause{BMP_FAULT_CANNOT_OPEN, 0, 0, error};
        return BMP_CANNOT_OPEN;
    }
    return readBMPstream(file.get(), image, &cause);
}

}  // namespace

ImagePtr readInputImage(const char* path) {
    Image* image = nullptr;
    BmpReadCause cause;
    const int status = readInputFile(path, &image, cause);
    ImagePtr owned(image);  // a partly read image is released here too
    if (status < 0) {
        std::printf("%s", consoleText(message::CANNOT_READ_IMAGE));
        printReason(path, bmpReadReason(cause), true);
        return nullptr;
    }
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

int parseRepeatNumber(const char* text) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (std::isspace(*p)) ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    long long value = 0;
    for (; std::isdigit(*p); ++p) {
        value = value * 10 + (*p - '0');
        if (value > INT_MAX) {  // saturate; later digits cannot bring it back
            return negative ? INT_MIN : INT_MAX;
        }
    }
    return static_cast<int>(negative ? -value : value);
}

int repeatNumberArgument(int argc, char** argv, int defaultValue) {
    return argc > 3 ? parseRepeatNumber(argv[3]) : defaultValue;
}

std::int64_t sideMultipleForLevels(int levels) {
    return std::int64_t{1} << halvings(levels);
}

KeptCorner approximationCorner(const Image& image, int levels) {
    const int shift = halvings(levels);
    return KeptCorner{image.width >> shift, image.height >> shift};
}

bool checkImageSizeForLevels(const Image& image, int levels, const char* path) {
    if (levels < UNREACHABLE_LEVELS) {
        return checkImageSize(image, sideMultipleForLevels(levels), path);
    }
    // No side an int can hold is a multiple of 2^31: the refusal says so in
    // words rather than naming a multiple.
    const std::string halved = "no picture side can be halved " + std::to_string(levels) + " times";
    std::printf("Image size %dx%d cannot be transformed: %s.\n", image.width, image.height,
                halved.c_str());
    printReason(path, "size " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                          "; " + halved);
    return false;
}

bool checkImageSize(const Image& image, std::int64_t multiple, const char* path) {
    if (image.width > 0 && image.height > 0 && image.width % multiple == 0 &&
        image.height % multiple == 0) {
        return true;
    }
    std::printf(
        "Image size %dx%d cannot be transformed: width and height must be positive "
        "multiples of %lld.\n",
        image.width, image.height, static_cast<long long>(multiple));
    printReason(path, "size " + std::to_string(image.width) + "x" + std::to_string(image.height) +
                          "; width and height must be positive multiples of " +
                          std::to_string(multiple) + " for the levels asked");
    return false;
}

bool prepareWorkspace(const Image& input, Workspace& workspace, const char* path) {
    workspace.output.reset(createImage(input.width, input.height, input.depth));
    const auto count = std::size_t(input.width) * std::size_t(input.height);
    const auto bytes = count * sizeof(double);
    std::printf(message::MEMORY_SIZE, static_cast<long long>(bytes));
    if (workspace.output) {
        workspace.source.reset(static_cast<double*>(allocateBlock(bytes)));
        if (workspace.source) workspace.result.reset(static_cast<double*>(allocateBlock(bytes)));
    }
    if (!workspace.output || !workspace.source || !workspace.result) {
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

// The plane loops, one instance per channel so that the channel is chosen once
// per plane rather than once per pixel. Each works on a local copy of the image
// record: its pixel stores then cannot alias the record's fields, and the
// compiler keeps width, height and depth in registers.
template <std::int32_t Pixel::*Channel>
void fillChannel(const Image& input, double* source, KeptCorner kept) {
    const Image image = input;
    Pixel pixel{};
    for (int y = 0; y < image.height; ++y) {
        double* row = source + std::size_t(y) * std::size_t(image.width);
        const int keptWidth = y < kept.height ? kept.width : 0;
        for (int x = 0; x < image.width; ++x) {
            getPixel(&image, x, y, &pixel);
            const double value = pixel.*Channel;
            row[x] = x < keptWidth ? value : value - DETAIL_OFFSET;
        }
    }
}

template <std::int32_t Pixel::*Channel>
void writeBackChannel(Image& output, const double* result) {
    Image image = output;
    const bool carryOtherChannels = image.depth == 24;
    Pixel pixel{};
    for (int y = 0; y < image.height; ++y) {
        const double* row = result + std::size_t(y) * std::size_t(image.width);
        for (int x = 0; x < image.width; ++x) {
            if (carryOtherChannels) getPixel(&image, x, y, &pixel);
            pixel.*Channel = truncateToInt(row[x]);
            setPixel(&image, x, y, &pixel);
        }
    }
}

}  // namespace

void fillPlane(const Image& input, int channel, double* source, KeptCorner kept) {
    switch (channel) {
        case 0: return fillChannel<&Pixel::r>(input, source, kept);
        case 1: return fillChannel<&Pixel::g>(input, source, kept);
        default: return fillChannel<&Pixel::b>(input, source, kept);
    }
}

void writeBackPlane(Image& output, int channel, const double* result) {
    switch (channel) {
        case 0: return writeBackChannel<&Pixel::r>(output, result);
        case 1: return writeBackChannel<&Pixel::g>(output, result);
        default: return writeBackChannel<&Pixel::b>(output, result);
    }
}

int writeOutputImage(const char* path, const Image& output) {
    BmpWriteCause cause;
    if (writeBMPfileReporting(path, &output, &cause) != BMP_WRITTEN) {
        std::printf("Cannot write the output file %s\n", path);
        printReason(path, bmpWriteReason(cause));
        return EXIT_REFUSED;
    }
    return EXIT_RUN;
}
