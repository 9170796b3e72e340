// What the reader and the writer share: the constants of the file layout
// (described in bmp_read.cpp), byte access without per-call locking, and the
// text of a reason.
#ifndef ONDA_BMP_FORMAT_H
#define ONDA_BMP_FORMAT_H

#include <cstdint>
#include <cstdio>
#include <string>

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

// printf-style text of a reason, at most 255 bytes long.
template <class... Values>
std::string formatted(const char* format, Values... values) {
    char text[256];
    const int length = std::snprintf(text, sizeof text, format, values...);
    return length < 0 ? std::string("(unprintable reason)") : std::string(text);
}

#endif
