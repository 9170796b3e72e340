// The BMP codec: reads 8-bit palette and 24-bit uncompressed BMP files (12-byte
// core header or 40-byte info header) into an Image, and writes an Image as an
// uncompressed file with the 40-byte info header, 8-bit ones with a grey
// palette. The file layout is described in bmp_read.cpp, above the reader.
//
// What refused a read or a write is recorded once, as a cause: a kind and
// the fields that kind fills. bmpReadStatus and bmpWriteStatus derive from it
// the documented status of readBMPfile and writeBMPfile; bmpReadReason and
// bmpWriteReason turn it into the English sentence of a reason line.
#ifndef ONDA_BMP_H
#define ONDA_BMP_H

#include <cstdint>
#include <cstdio>
#include <string>

#include "image.h"
#include "owners.h"

// ---------------------------------------------------------------------------
// Reading

// Results of readBMPfile and readBMPstream (bmpReadStatus). Callers test
// the sign only.
constexpr int BMP_OK = 0;
constexpr int BMP_CANNOT_OPEN = -1;       // the file cannot be opened for reading
constexpr int BMP_NO_SIGNATURE = -2;      // its first two bytes cannot be read
constexpr int BMP_UNSUPPORTED_BITS = -3;  // bits per pixel neither 8 nor 24
constexpr int BMP_BAD_HEADER = -10;       // not "BM", header cut short or of unknown size,
                                          // palette longer than 256 entries or cut short
constexpr int BMP_BAD_PIXELS = -20;       // compressed, or the pixel rows end early
constexpr int BMP_NO_IMAGE = -30;         // no image can be made: negative dimensions, a
                                          // picture whose written file would be too large,
                                          // or no memory

// What a file that does not start with "BM" is, by its first bytes.
enum BmpOtherFormat {
    BMP_OTHER_UNKNOWN,
    BMP_OTHER_PNG_GREY,    // grey, 8 or 16 bits a sample
    BMP_OTHER_PNG_COLOUR,  // colour, a palette, or grey of fewer than 8 bits
    BMP_OTHER_JPEG,
    BMP_OTHER_GIF,
    BMP_OTHER_TIFF,
    BMP_OTHER_WEBP,
    BMP_OTHER_PBM,  // netpbm's P1 and P4: black and white
    BMP_OTHER_PGM,  // P2 and P5: grey
    BMP_OTHER_PPM,  // P3 and P6: colour
    BMP_OTHER_ICO,
};

// Which check refused a file, and the cause record's fields it fills.
enum BmpReadKind {
    BMP_FAULT_NONE,             // the file was read
    BMP_FAULT_CANNOT_OPEN,      // error: why the file cannot be opened
    BMP_FAULT_READ_ERROR,       // error: why a read failed (not the file's end; EISDIR: a
                                // folder); interrupted: the check it failed in, none for a
                                // folder that could not even be opened
    BMP_FAULT_EMPTY,            // count: the bytes there are before the signature's end (0 or 1)
    BMP_FAULT_SIGNATURE,        // field: the first two bytes, first byte low; format
    BMP_FAULT_FILE_HEADER_CUT,  // the file ends inside the 14-byte file header
    BMP_FAULT_HEADER_SIZE,      // field: the bitmap header's size, neither 12 nor 40; for a
                                // larger one whose first 40 bytes are there, also width,
                                // height, bitsPerPixel (else 0) and colourPalette
    BMP_FAULT_HEADER_CUT,       // field: the bitmap header's size, 0 while it is unknown
    BMP_FAULT_BITS,             // field: bits per pixel, neither 8 nor 24; width, height
    BMP_FAULT_COMPRESSION,      // field: the compression code, not 0; width, height,
                                // bitsPerPixel, colourPalette
    BMP_FAULT_COLOURS_USED,     // field: colours used, beyond 256 (read as unsigned)
    BMP_FAULT_PALETTE_CUT,      // endsIn: the entry the file ends in (from 1), count: the entries
    BMP_FAULT_NEGATIVE_WIDTH,   // width
    BMP_FAULT_TOP_DOWN,         // width, height: negative for rows stored top-down;
                                // colourPalette
    BMP_FAULT_TOO_LARGE,        // width, height: a picture whose file, as the writer
                                // writes it, would not fit the format's signed 32-bit
                                // size field; bitsPerPixel: the file's
    BMP_FAULT_NO_MEMORY,        // width, height
    BMP_FAULT_PIXELS_CUT,       // endsIn: the stored row the file ends in (from 1), count: the rows
};

// A kind fills only the fields its comment above names; the others stay 0.
struct BmpReadCause {
    BmpReadKind kind = BMP_FAULT_NONE;
    std::int64_t field = 0;   // the value of the header field the check refused
    std::int64_t width = 0;   // the picture's width, as the header gives it
    std::int64_t height = 0;  // its height, likewise
    std::int64_t endsIn = 0;  // the palette entry or stored row the file ends in
    std::int64_t count = 0;   // the entries or rows there should be; the bytes there are
    int error = 0;            // errno of the failed open or read
    BmpReadKind interrupted = BMP_FAULT_NONE;
    int bitsPerPixel = 0;
    BmpOtherFormat format = BMP_OTHER_UNKNOWN;  // what a file without "BM" is instead
    // On a refusal that comes after the palette of an 8-bit picture (or for
    // which it is read, those of the header's size and of compression): that
    // the palette has a colour, so that the advice makes the picture 24-bit.
    bool colourPalette = false;
};

// The status readBMPfile gives for a cause.
int bmpReadStatus(const BmpReadCause& cause);

// What a read hands over: the image, read whole, or up to where its pixel
// rows end early (BMP_FAULT_PIXELS_CUT), or none; and the cause of a refusal,
// BMP_FAULT_NONE when the file was read.
struct BmpReading {
    ImagePtr image;
    // An 8-bit picture whose palette, among the entries the file declares,
    // has a colour that is not grey: its pixels hold the red components alone.
    bool colourPalette = false;
    BmpReadCause cause;
};

// Reads a BMP file. Where the reading has an image, *image receives it, a
// new Image that the caller releases with disposeImage; otherwise *image is
// left untouched. Returns bmpReadStatus of the cause.
int readBMPfile(const char* path, Image** image);
BmpReading readBMPfileReporting(const char* path);

// The same, from a stream open for reading at the start of the file. The
// stream is not closed.
int readBMPstream(std::FILE* stream, Image** image);
BmpReading readBMPstreamReporting(std::FILE* stream);

// What the advice for a picture too large fits it to: sides that are
// multiples of `sideMultiple` (what the levels to come will halve), by a crop
// or a resize; or no advice, where either would ruin the input (a transform).
struct BmpAdviceFit {
    std::int64_t sideMultiple = 1;
    bool cropOrResize = true;
};

// One English sentence naming the cause and what the reader takes instead,
// for the reason line of a refusal.
std::string bmpReadReason(const BmpReadCause& cause, const BmpAdviceFit& fit = BmpAdviceFit{});

// The largest sides and area ImageMagick's stock security policy (Debian's)
// lets it read or make; GraphicsMagick has no such limit.
constexpr std::int64_t IMAGEMAGICK_SIDE_LIMIT = 16000;
constexpr std::int64_t IMAGEMAGICK_AREA_LIMIT = std::int64_t{1} << 27;

// The commands that make of a width x height picture IN a file OUT.bmp the
// reader reads, with `options` (none, or some separated by spaces) before the
// output's: "ImageMagick: convert IN OPTIONS -compress none BMP3:OUT.bmp;
// GraphicsMagick: gm convert IN OPTIONS -compress none BMP3:OUT.bmp", the
// first left out for a picture beyond ImageMagick's limits (a negative
// height counts as its size). BMP3: gives the 40-byte header, and -compress
// none keeps grey and palette pictures from RLE8.
std::string bmpConversionAdvice(const std::string& options, std::int64_t width = 0,
                                std::int64_t height = 0);

// Little-endian fields: 1, or 0 when a byte cannot be read (the target is
// then unchanged).
int freadWORD(std::uint16_t* value, std::FILE* stream);
int freadDWORD(std::int32_t* value, std::FILE* stream);

// Default palette length for a bit depth: 2, 16, 256, or 0 for anything else.
int countOfDIBColorEntries(int bitsPerPixel);

// Bytes per stored row: the row's bits rounded up to bytes, then to a multiple
// of 4. 64-bit because a row of the widest images does not fit an int.
std::int64_t getDIBxmax(std::int64_t width, int bitsPerPixel);

// ---------------------------------------------------------------------------
// Writing

// Results of writeBMPfile and writeBMPstream (bmpWriteStatus).
constexpr int BMP_WRITTEN = 0;
constexpr int BMP_WRITE_FAILED = 1;

// What refused a write: nothing, the image itself (a depth other than 8 and
// 24, or a file too large for the size field), or a step of putting the file
// in place (replace.h), with the errno of its failed call where one failed.
enum BmpWriteKind {
    BMP_WRITE_DONE,
    BMP_WRITE_BAD_IMAGE,  // depth (no pixels when it is 8 or 24)
    BMP_WRITE_TOO_LARGE,  // width, height
    BMP_WRITE_CREATE,     // the file (or the temporary beside it) cannot be created
    BMP_WRITE_FOLDER,     // an existing file's folder takes no new file beside it
    BMP_WRITE_WRITE,      // the existing file may not be written, or a write failed
    BMP_WRITE_CLOSE,
    BMP_WRITE_RENAME,       // the temporary cannot take the target's name
    BMP_WRITE_STICKY,       // the folder's sticky bit keeps the user from replacing the file
    BMP_WRITE_STICKY_PIPE,  // likewise, from writing into another user's pipe
    BMP_WRITE_OWNER,        // run as root, the new file cannot be given the replaced one's owner
    BMP_WRITE_CHANGED,      // the output was swapped for another file while it was opened
    BMP_WRITE_STANDARD_OUTPUT,  // the output is the program's own standard output
    BMP_WRITE_STANDARD_ERROR,   // the output is the program's own standard error
};

// A kind fills only the fields its comment above names, and every failed
// step its errno; the others stay 0.
struct BmpWriteCause {
    BmpWriteKind kind = BMP_WRITE_DONE;
    std::int64_t depth = 0;   // the image's bits per pixel
    std::int64_t width = 0;   // the image's width
    std::int64_t height = 0;  // its height
    int error = 0;            // errno of the failed call, 0 where no call failed
};

// The status writeBMPfile gives for a cause: BMP_WRITTEN for
// BMP_WRITE_DONE, BMP_WRITE_FAILED for every other kind.
int bmpWriteStatus(const BmpWriteCause& cause);

// Writes an 8-bit or 24-bit image. A regular file appears complete under its
// name or not at all: it is written beside the target and renamed into place,
// so a failed or interrupted write leaves any earlier file intact and no
// temporary file (replace.h tells how, and which outputs are written in
// place). Fails for another depth, a file too large for the format's size
// field, or any failed step.
int writeBMPfile(const char* path, const Image* image);
BmpWriteCause writeBMPfileReporting(const char* path, const Image* image);

// Writes the file to an open stream and flushes it; fails on a rejected
// image or any failed write.
int writeBMPstream(std::FILE* stream, const Image* image);

// One English sentence for a failed write, the system's reason included.
std::string bmpWriteReason(const BmpWriteCause& cause);

// Little-endian fields; always 1: errors are left to be found on the stream.
int fwriteWORD(unsigned value, std::FILE* stream);
int fwriteDWORD(std::int32_t value, std::FILE* stream);

#endif
