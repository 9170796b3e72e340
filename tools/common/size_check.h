// The sizes a transform accepts: both sides positive multiples of what its
// levels halve them by. A refusal prints its line on standard output and one
// reason line on standard error.
#ifndef ONDA_SIZE_CHECK_H
#define ONDA_SIZE_CHECK_H

#include <cstdint>

#include "image.h"

// The side multiple `levels` halvings need: 2^levels, 1 for levels <= 0,
// and 2^31 (which no image side can meet) from 31 levels on.
std::int64_t sideMultipleForLevels(int levels);

// checkImageSize with the multiple `levels` levels need; from
// MOST_LEVELS on, refuses any size, saying in words that no side can
// be halved that many times.
bool checkImageSizeForLevels(const Image& image, int levels, const char* path);

// True when width and height are both positive multiples of `multiple`;
// otherwise prints a one-line refusal naming the size and the requirement.
// `path` is the input's, for the reason line.
bool checkImageSize(const Image& image, std::int64_t multiple, const char* path);

#endif
