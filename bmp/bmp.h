// The BMP codec: reads 8-bit palette and 24-bit uncompressed BMP files (12-byte
// core header or 40-byte info header) into an Image, and writes an Image as an
// uncompressed file with the 40-byte info header, 8-bit ones with a grey
// palette. The file layout is described in bmp.cpp, above the reader.
#ifndef ONDA_BMP_H
#define ONDA_BMP_H

#include <cstdint>
#include <cstdio>

#include "image.h"

// Results of readBMPfile and readBMPstream. Callers test the sign only.
constexpr int BMP_OK = 0;
constexpr int BMP_CANNOT_OPEN = -1;       // the file cannot be opened for reading
constexpr int BMP_NO_SIGNATURE = -2;      // its first two bytes cannot be read
constexpr int BMP_UNSUPPORTED_BITS = -3;  // bits per pixel neither 8 nor 24
constexpr int BMP_BAD_HEADER = -10;       // not "BM", header cut short or of unknown size,
                                          // palette longer than 256 entries or cut short
constexpr int BMP_BAD_PIXELS = -20;       // compressed, or the pixel rows end early
constexpr int BMP_NO_IMAGE = -30;         // no image can be made: negative or too large
                                          // dimensions, or no memory

// Results of writeBMPfile and writeBMPstream.
constexpr int BMP_WRITTEN = 0;
constexpr int BMP_WRITE_FAILED = 1;

// A short English name for a read status, for messages and test output.
const char* bmpStatusName(int status);

// Little-endian field access. The readers return 1, or 0 when a byte cannot be
// read (the target is then unchanged); the writers always return 1 and leave
// errors to be found on the stream.
int freadWORD(std::uint16_t* value, std::FILE* stream);
int freadDWORD(std::int32_t* value, std::FILE* stream);
int fwriteWORD(unsigned value, std::FILE* stream);
int fwriteDWORD(std::int32_t value, std::FILE* stream);

// Default palette length for a bit depth: 2, 16, 256, or 0 for anything else.
int countOfDIBColorEntries(int bitsPerPixel);

// Bytes per stored row: the row's bits rounded up to bytes, then to a multiple
// of 4. 64-bit because a row of the widest images does not fit an int.
std::int64_t getDIBxmax(std::int64_t width, int bitsPerPixel);

// Reads a BMP file. On BMP_OK, and on BMP_BAD_PIXELS when the pixel rows end
// early, *image receives a new Image that the caller releases with
// disposeImage; on every other status *image is left untouched.
int readBMPfile(const char* path, Image** image);

// The same, from a stream open for reading at the start of the file. The
// stream is not closed.
int readBMPstream(std::FILE* stream, Image** image);

// Writes an 8-bit or 24-bit image. The file appears complete under its name or
// not at all: it is written beside the target and renamed into place, so a
// failed write leaves any earlier file intact. Returns BMP_WRITE_FAILED for
// another depth, a file too large for the format's size field, or any failed
// open, write, flush, close or rename.
int writeBMPfile(const char* path, const Image* image);

// Writes the file to an open stream and flushes it; BMP_WRITE_FAILED on a
// rejected image or any failed write.
int writeBMPstream(std::FILE* stream, const Image* image);

#endif
