#include "tool.h"

#include <cctype>
#include <climits>

#include "messages.h"

int R_Times = 0;

namespace {

// Truncation toward zero, with values beyond int held at its limits so that
// the conversion is always defined.
int truncateToInt(double value) {
    if (!(value > double(INT_MIN) - 1.0)) return INT_MIN;
    if (!(value < double(INT_MAX) + 1.0)) return INT_MAX;
    return static_cast<int>(value);
}

std::int32_t& channelOf(Pixel& pixel, int channel) {
    return channel == 0 ? pixel.r : channel == 1 ? pixel.g : pixel.b;
}

}  // namespace

void printBanner(const ToolBanner& banner) {
    std::puts(banner.title);
    std::puts(banner.product);
    std::puts(message::MAKERS_NOTICE);
}

bool checkArgumentCount(int argc, const ToolBanner& banner) {
    if (argc > 2) return true;
    std::puts(message::NOT_ENOUGH_PARAMETERS);
    std::puts(banner.usage);
    return false;
}

ImagePtr readInputImage(const char* path) {
    Image* image = nullptr;
    const int status = readBMPfile(path, &image);
    ImagePtr owned(image);  // a partly read image is released here too
    if (status < 0) {
        std::printf("%s", message::CANNOT_READ_IMAGE);
        return nullptr;
    }
    return owned;
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
    if (levels <= 0) return 1;
    return std::int64_t{1} << (levels < 31 ? levels : 31);
}

KeptCorner approximationCorner(const Image& image, int levels) {
    if (levels <= 0) return KeptCorner{image.width, image.height};
    const int shift = levels < 31 ? levels : 31;
    return KeptCorner{image.width >> shift, image.height >> shift};
}

bool checkImageSize(const Image& image, std::int64_t multiple) {
    if (image.width > 0 && image.height > 0 && image.width % multiple == 0 &&
        image.height % multiple == 0) {
        return true;
    }
    std::printf("Image size %dx%d cannot be transformed: width and height must be positive "
                "multiples of %lld.\n",
                image.width, image.height, static_cast<long long>(multiple));
    return false;
}

bool prepareWorkspace(const Image& input, Workspace& workspace) {
    workspace.output.reset(createImage(input.width, input.height, input.depth));
    const auto count = std::size_t(input.width) * std::size_t(input.height);
    const auto bytes = count * sizeof(double);
    std::printf(message::MEMORY_SIZE, static_cast<long long>(bytes));
    if (workspace.output) {
        workspace.source.reset(static_cast<double*>(std::malloc(bytes)));
        if (workspace.source) workspace.result.reset(static_cast<double*>(std::malloc(bytes)));
    }
    if (!workspace.output || !workspace.source || !workspace.result) {
        std::printf("%s", message::MEMORY_CANNOT_BE_ALLOCATED);
        return false;
    }
    return true;
}

void printBufferAddresses(const Workspace& workspace) {
    std::printf(message::MEMORY_ALLOCATED, static_cast<void*>(workspace.source.get()),
                static_cast<void*>(workspace.result.get()));
}

int channelCount(const Image& image) { return image.depth == 24 ? 3 : 1; }

void fillPlane(const Image& input, int channel, double* source, KeptCorner kept) {
    Pixel pixel{};
    for (int y = 0; y < input.height; ++y) {
        double* row = source + std::size_t(y) * std::size_t(input.width);
        const int keptWidth = y < kept.height ? kept.width : 0;
        for (int x = 0; x < input.width; ++x) {
            getPixel(&input, x, y, &pixel);
            const int value = channelOf(pixel, channel);
            row[x] = x < keptWidth ? double(value) : double(value) - DETAIL_OFFSET;
        }
    }
}

void writeBackPlane(Image& output, int channel, const double* result) {
    Pixel pixel{};
    const bool carryOtherChannels = output.depth == 24;
    for (int y = 0; y < output.height; ++y) {
        const double* row = result + std::size_t(y) * std::size_t(output.width);
        for (int x = 0; x < output.width; ++x) {
            if (carryOtherChannels) getPixel(&output, x, y, &pixel);
            channelOf(pixel, channel) = truncateToInt(row[x]);
            setPixel(&output, x, y, &pixel);
        }
    }
}

int writeOutputImage(const char* path, const Image& output) {
    if (writeBMPfile(path, &output) != BMP_WRITTEN) {
        std::printf("Cannot write the output file %s\n", path);
        return EXIT_REFUSED;
    }
    return EXIT_RUN;
}
