// The sizes a transform accepts: both sides positive multiples of what its
// levels halve them by. A refusal prints its line on standard output and one
// reason line on standard error, which ends with what to do about it.
#ifndef ONDA_SIZE_CHECK_H
#define ONDA_SIZE_CHECK_H

#include <cstdint>
#include <string>

#include "bmp.h"
#include "image.h"

// What a size refusal advises.
enum SizeAdvice {
    // The input is a picture: a crop to the largest size the levels halve,
    // or, where no crop can do, the most levels the picture takes.
    SIZE_ADVICE_CROP,
    // The input is a transform, which a crop would ruin: the repeat number it
    // was made with, and the most levels its size takes.
    SIZE_ADVICE_REPEAT_NUMBER,
};

// The side multiple `levels` halvings need: 2^levels, 1 for levels <= 0,
// and 2^31 (which no image side can meet) from 31 levels on.
std::int64_t sideMultipleForLevels(int levels);

// True when width and height are both positive multiples of what `levels`
// levels need. Otherwise prints a one-line refusal naming the size and the
// requirement (from MOST_LEVELS on, saying in words that no side can be
// halved that many times), and a reason line naming `path`, the input, that
// ends with the advice.
bool checkImageSizeForLevels(const Image& image, int levels, const char* path, SizeAdvice advice);

// What the advice for a picture too large to read fits it to: sides the
// levels halve, by a crop or a resize; for a transform, no advice.
BmpAdviceFit adviceFit(int levels, SizeAdvice advice);

// The reason that line gives, after the path, for a width x height picture:
// empty when `levels` levels halve it.
std::string sizeReason(int width, int height, int levels, SizeAdvice advice);

// The end of the reason line for a width x height picture that `levels`
// levels cannot halve: "" for a picture without pixels, which nothing fixes.
std::string sizeAdvice(int width, int height, int levels, SizeAdvice advice);

#endif
