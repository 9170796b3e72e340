// What the reader and the writer share: the constants of the file layout
// (described in bmp_read.cpp), byte access without per-call locking, and the
// text of a reason.
#ifndef ONDA_BMP_FORMAT_H
#define ONDA_BMP_FORMAT_H

#include <climits>
#include <cstdint>
#include <cstdio>
#include <string>

#include "bmp.h"

#if defined(_WIN32)
#define ONDA_GETC _fgetc_nolock
#define ONDA_PUTC _fputc_nolock
#else
#define ONDA_GETC getc_unlocked
#define ONDA_PUTC putc_unlocked
#endif

constexpr std::uint16_t BMP_SIGNATURE = 0x4D42;
constexpr std::int32_t CORE_HEADER_SIZE = 12;
constexpr std::int32_t INFO_HEADER_SIZE = 40;
constexpr std::int32_t FILE_HEADER_SIZE = 14;
constexpr int PALETTE_CAPACITY = 256;

// Where the pixel rows start in a file the writer makes: after the headers
// and, for 8 bits, the 256-entry grey palette.
inline std::int64_t writtenPixelOffset(int bitsPerPixel) {
    return FILE_HEADER_SIZE + INFO_HEADER_SIZE + (bitsPerPixel == 8 ? 4 * PALETTE_CAPACITY : 0);
}

// The rows of a file the writer makes of a width x height picture at most:
// as many as keep the file within the format's signed 32-bit size field.
// The reader refuses a picture beyond them, so that whatever it reads can be
// written again; the image model's own limit lies beyond this one.
inline std::int64_t mostWrittenRows(std::int64_t width, int bitsPerPixel) {
    const std::int64_t rowLength = getDIBxmax(width, bitsPerPixel);
    const std::int64_t room = INT32_MAX - writtenPixelOffset(bitsPerPixel);
    return rowLength == 0 ? INT32_MAX : room / rowLength;
}

// printf-style text of a reason, at most 255 bytes long.
template <class... Values>
std::string formatted(const char* format, Values... values) {
    char text[256];
    const int length = std::snprintf(text, sizeof text, format, values...);
    return length < 0 ? std::string("(unprintable reason)") : std::string(text);
}

#endif
