#include "size_check.h"

#include <cstdio>
#include <string>

#include "console.h"
#include "plane.h"

std::int64_t sideMultipleForLevels(int levels) {
    return std::int64_t{1} << halvings(levels);
}

bool checkImageSizeForLevels(const Image& image, int levels, const char* path) {
    if (levels < MOST_LEVELS) {
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
