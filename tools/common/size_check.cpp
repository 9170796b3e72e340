#include "size_check.h"

#include <algorithm>
#include <cstdio>

#include "bmp.h"
#include "console.h"
#include "plane.h"

namespace {

// "no level", "at most 1 level", "at most N levels".
std::string mostLevels(int levels) {
    if (levels == 0) return "no level";
    return "at most " + std::to_string(levels) + (levels == 1 ? " level" : " levels");
}

// The levels a side of `side` pixels can take, cropped: floor(log2(side)).
int levelsForSide(int side) {
    int levels = 0;
    while (side >> (levels + 1) != 0) ++levels;
    return levels;
}

// The levels a side takes as it is: how often 2 divides it.
int levelsDividing(int side) {
    int levels = 0;
    while ((side >> levels & 1) == 0) ++levels;
    return levels;
}

// " crop to WxH (the commands)": the largest size whose sides are multiples
// of `multiple`; "" when the size is one already.
std::string cropAdvice(int width, int height, std::int64_t multiple) {
    if (width % multiple == 0 && height % multiple == 0) return "";
    const std::string cropped =
        std::to_string(width - width % multiple) + "x" + std::to_string(height - height % multiple);
    return " crop to " + cropped + " (" +
           bmpConversionAdvice("-crop " + cropped + "+0+0 +repage", width, height) + ")";
}

}  // namespace

std::int64_t sideMultipleForLevels(int levels) {
    return std::int64_t{1} << halvings(levels);
}

BmpAdviceFit adviceFit(int levels, SizeAdvice advice) {
    BmpAdviceFit fit;
    fit.sideMultiple = sideMultipleForLevels(levels);
    fit.cropOrResize = advice == SIZE_ADVICE_CROP;
    return fit;
}

std::string sizeAdvice(int width, int height, int levels, SizeAdvice advice) {
    if (width <= 0 || height <= 0) return "";
    const int shorter = width < height ? width : height;
    if (advice == SIZE_ADVICE_REPEAT_NUMBER) {
        const int most = std::min(levelsDividing(width), levelsDividing(height));
        return "; give the repeat number the transform was made with: this size takes " +
               mostLevels(most);
    }
    const std::int64_t multiple = sideMultipleForLevels(levels);
    if (levels >= MOST_LEVELS || shorter < multiple) {
        // The most levels the shorter side takes, and the crop that gives
        // them where the size does not already.
        const int most = levelsForSide(shorter);
        const std::string takes = "; a side of " + std::to_string(shorter) +
                                  (shorter == 1 ? " pixel" : " pixels") + " takes " +
                                  mostLevels(most);
        const std::string crop = cropAdvice(width, height, sideMultipleForLevels(most));
        return crop.empty() ? takes : takes + ": for " + std::to_string(most) + "," + crop;
    }
    return ":" + cropAdvice(width, height, multiple);
}

namespace {

// What a size must be for `levels` levels. No side an int can hold is a
// multiple of 2^31: from there on it is said in words rather than naming a
// multiple.
std::string sizeRule(int levels) {
    return levels >= MOST_LEVELS
               ? "no picture side can be halved " + std::to_string(levels) + " times"
               : "width and height must be positive multiples of " +
                     std::to_string(sideMultipleForLevels(levels));
}

}  // namespace

std::string sizeReason(int width, int height, int levels, SizeAdvice advice) {
    const std::int64_t multiple = sideMultipleForLevels(levels);
    if (width > 0 && height > 0 && width % multiple == 0 && height % multiple == 0) return "";
    return "size " + std::to_string(width) + "x" + std::to_string(height) + "; " +
           sizeRule(levels) + (levels >= MOST_LEVELS ? "" : " for the levels asked") +
           sizeAdvice(width, height, levels, advice);
}

bool checkImageSizeForLevels(const Image& image, int levels, const char* path, SizeAdvice advice) {
    const std::string reason = sizeReason(image.width, image.height, levels, advice);
    if (reason.empty()) return true;
    const std::string size = std::to_string(image.width) + "x" + std::to_string(image.height);
    std::printf("Image size %s cannot be transformed: %s.\n", size.c_str(),
                sizeRule(levels).c_str());
    printReason(path, reason);
    return false;
}
