// BMP files, as this codec reads and writes them
//
// All integers are little-endian. A file starts with a 14-byte file header:
//
//   0  2  signature "BM" (0x4D42 read as one 16-bit number)
//   2  4  size of the whole file          (read, not used)
//   6  2  reserved, 8  2  reserved        (read, not used)
//  10  4  offset of the pixel data        (read, not used: the pixels are
//                                          taken to follow the palette directly)
//
// A bitmap header follows at offset 14. Its first 4 bytes give its size: 12 for
// the core header, 40 for the info header; any other size is refused.
//
//   core header (12)                      info header (40)
//  18  2  width, unsigned                18  4  width, signed
//  20  2  height, unsigned               22  4  height, signed (positive: bottom-up)
//  22  2  planes (any)                   26  2  planes (any)
//  24  2  bits per pixel: 8 or 24        28  2  bits per pixel: 8 or 24
//                                        30  4  compression: must be 0
//                                        34  4  image size, 38/42 resolutions (unused)
//                                        46  4  colours used: palette entries, 0 = default
//                                        50  4  important colours (unused)
//
// The palette follows the bitmap header: 3 bytes per entry (blue, green, red)
// after a core header, 4 bytes (blue, green, red, reserved) after an info
// header. Its length is the colours-used field, or when that is 0 the default
// for the depth: 256 entries for 8 bits, none for 24. A core header has no
// such field and always uses the default.
//
// The pixel rows follow the palette, bottom row first. Each row holds its
// pixels left to right, then zero to three padding bytes up to a multiple of 4.
// An 8-bit pixel is a palette index; a 24-bit pixel is blue, green, red. An
// 8-bit picture keeps the red component of its palette colours, which is the
// grey level for a grey palette.
//
// The reader never trusts a count from the file to index memory: the palette
// table has 256 entries and longer palettes are refused; entries the file does
// not hold read as black. The writer always writes the info header, a 256-step
// grey palette for 8 bits (entry i is the byte i four times), and rows
// bottom-up.
#include "bmp.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "interrupt.h"
#include "owners.h"

#if defined(_WIN32)
#include <windows.h>
#define ONDA_GETC _fgetc_nolock
#define ONDA_PUTC _fputc_nolock
#else
#define ONDA_GETC getc_unlocked
#define ONDA_PUTC putc_unlocked
#endif

namespace {

constexpr std::uint16_t BMP_SIGNATURE = 0x4D42;
constexpr std::int32_t CORE_HEADER_SIZE = 12;
constexpr std::int32_t INFO_HEADER_SIZE = 40;
constexpr std::int32_t FILE_HEADER_SIZE = 14;
constexpr int PALETTE_CAPACITY = 256;
constexpr std::int32_t WRITTEN_RESOLUTION = 300;  // pixels per metre

// Pixels move between file and image through a small stack buffer, a few
// thousand pixels at a time, so no row of any width is ever held whole.
constexpr int CHUNK_PIXELS = 4096;
using Chunk = std::array<unsigned char, std::size_t{CHUNK_PIXELS} * 3>;

struct Header {
    std::int32_t headerSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitsPerPixel = 0;
    std::int32_t compression = 0;
    std::int32_t colorsUsed = 0;
};

// Palette colours are kept as bytes, which is all they can be.
struct PaletteEntry {
    unsigned char r, g, b;
};
using Palette = std::array<PaletteEntry, PALETTE_CAPACITY>;

// Streams left to their owner to close were only read, or are being abandoned.
using File = FilePtr;

// Reads n bytes and drops them.
bool skipBytes(std::FILE* stream, std::int64_t n) {
    for (; n > 0; --n) {
        if (ONDA_GETC(stream) == EOF) return false;
    }
    return true;
}

// The file header after the signature.
bool readFileHeader(std::FILE* stream) {
    std::int32_t fileSize = 0;
    std::int32_t pixelOffset = 0;
    std::uint16_t reserved = 0;
    return freadDWORD(&fileSize, stream) && freadWORD(&reserved, stream) &&
           freadWORD(&reserved, stream) && freadDWORD(&pixelOffset, stream);
}

bool readCoreHeader(std::FILE* stream, Header& header) {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint16_t planes = 0;
    if (!(freadWORD(&width, stream) && freadWORD(&height, stream) && freadWORD(&planes, stream) &&
          freadWORD(&header.bitsPerPixel, stream))) {
        return false;
    }
    header.width = width;
    header.height = height;
    return true;
}

bool readInfoHeader(std::FILE* stream, Header& header) {
    std::uint16_t planes = 0;
    std::int32_t unused = 0;
    return freadDWORD(&header.width, stream) && freadDWORD(&header.height, stream) &&
           freadWORD(&planes, stream) && freadWORD(&header.bitsPerPixel, stream) &&
           freadDWORD(&header.compression, stream) && freadDWORD(&unused, stream) &&  // image size
           freadDWORD(&unused, stream) &&  // horizontal resolution
           freadDWORD(&unused, stream) &&  // vertical resolution
           freadDWORD(&header.colorsUsed, stream) &&
           freadDWORD(&unused, stream);  // important colours
}

// Palette entries are stored blue, green, red (and a reserved byte after an
// info header). Entries past `length` stay black. Returns the number of
// entries read whole.
int readPalette(std::FILE* stream, int length, int entryBytes, Palette& palette) {
    for (int i = 0; i < length; ++i) {
        std::array<unsigned char, 4> entry{};
        if (std::fread(entry.data(), 1, std::size_t(entryBytes), stream) !=
            std::size_t(entryBytes)) {
            return i;
        }
        palette[std::size_t(i)] = PaletteEntry{entry[2], entry[1], entry[0]};
    }
    return length;
}

// Works on a local copy of the image record: the byte stores then cannot alias
// its fields, and the compiler keeps them in registers.
void storePixels(Image* target, int x0, int y, const unsigned char* bytes, int count,
                 const Palette& palette) {
    Image image = *target;
    if (image.depth == 8) {
        for (int k = 0; k < count; ++k) {
            const PaletteEntry& colour = palette[bytes[k]];
            const Pixel pixel{colour.r, colour.g, colour.b};
            setPixel(&image, x0 + k, y, &pixel);
        }
        return;
    }
    for (int k = 0; k < count; ++k) {
        const unsigned char* p = bytes + std::ptrdiff_t{3} * k;
        const Pixel pixel{p[2], p[1], p[0]};
        setPixel(&image, x0 + k, y, &pixel);
    }
}

// One stored row: its pixels, then its padding. Pixels read before the data
// ends are kept.
bool readRow(std::FILE* stream, Image* image, int y, std::int64_t padding, const Palette& palette) {
    const std::size_t bytesPerPixel = std::size_t(image->depth / 8);
    Chunk chunk;
    for (int x = 0; x < image->width;) {
        const int wanted = std::min(image->width - x, CHUNK_PIXELS);
        // fread counts whole pixels only: a pixel cut short is not stored.
        const int got = int(std::fread(chunk.data(), bytesPerPixel, std::size_t(wanted), stream));
        storePixels(image, x, y, chunk.data(), got, palette);
        if (got < wanted) return false;
        x += got;
    }
    return skipBytes(stream, padding);
}

// Every stored row, bottom row first. Returns 0, or the number of the stored
// row (from 1) that the file ends in.
int readPixelRows(std::FILE* stream, Image* image, const Palette& palette) {
    const std::int64_t rowLength = getDIBxmax(image->width, image->depth);
    if (rowLength == 0) return 0;  // zero width: the rows hold no bytes
    const std::int64_t padding = rowLength - std::int64_t{image->width} * image->depth / 8;
    for (int y = image->height - 1; y >= 0; --y) {
        if (!readRow(stream, image, y, padding, palette)) return image->height - y;
    }
    return 0;
}

// Gives `status`, recording the fault and its values in `cause` when there is
// one. A read that failed for another reason than the file's end is recorded
// as that reason, with its errno.
int refuse(std::FILE* stream, BmpReadCause* cause, int status, int fault, std::int64_t value = 0,
           std::int64_t other = 0) {
    const int error = errno;
    if (cause == nullptr) return status;
    *cause = std::ferror(stream) ? BmpReadCause{BMP_FAULT_READ_ERROR, 0, 0, error}
                                 : BmpReadCause{fault, value, other, 0};
    return status;
}

// Why createImage gave no image for these dimensions.
int noImageFault(const Header& header) {
    if (header.height < 0) return BMP_FAULT_TOP_DOWN;
    if (header.width < 0) return BMP_FAULT_NEGATIVE_WIDTH;
    const std::int64_t rowBytes = std::int64_t{header.width} * (header.bitsPerPixel / 8);
    const bool fits = rowBytes == 0 || header.height <= (IMAGE_BYTE_LIMIT - 1) / rowBytes;
    return fits ? BMP_FAULT_NO_MEMORY : BMP_FAULT_TOO_LARGE;
}

const char* compressionName(std::int64_t code) {
    switch (code) {
        case 1: return "RLE8";
        case 2: return "RLE4";
        case 3: return "bit fields";
        case 4: return "JPEG";
        case 5: return "PNG";
        case 6: return "alpha bit fields";
        case 11: return "CMYK";
        case 12: return "CMYK RLE8";
        case 13: return "CMYK RLE4";
        default: return "of unknown kind";
    }
}

// The size of the file writeBMPstream makes, or -1 when it would not fit the
// format's signed 32-bit size field.
std::int64_t writtenFileSize(const Image* image) {
    const std::int64_t paletteEntries = image->depth == 8 ? PALETTE_CAPACITY : 0;
    const std::int64_t pixelOffset = FILE_HEADER_SIZE + INFO_HEADER_SIZE + 4 * paletteEntries;
    const std::int64_t rowLength = getDIBxmax(image->width, image->depth);
    if (rowLength != 0 && image->height > (INT32_MAX - pixelOffset) / rowLength) return -1;
    return rowLength * image->height + pixelOffset;
}

void writeHeaders(std::FILE* stream, const Image* image, std::int32_t fileSize) {
    const std::int32_t paletteEntries = image->depth == 8 ? PALETTE_CAPACITY : 0;
    fwriteWORD(BMP_SIGNATURE, stream);
    fwriteDWORD(fileSize, stream);
    fwriteWORD(0, stream);
    fwriteWORD(0, stream);
    fwriteDWORD(FILE_HEADER_SIZE + INFO_HEADER_SIZE + 4 * paletteEntries, stream);
    fwriteDWORD(INFO_HEADER_SIZE, stream);
    fwriteDWORD(image->width, stream);
    fwriteDWORD(image->height, stream);
    fwriteWORD(1, stream);  // planes
    fwriteWORD(unsigned(image->depth), stream);
    fwriteDWORD(0, stream);  // compression
    fwriteDWORD(0, stream);  // image size
    fwriteDWORD(WRITTEN_RESOLUTION, stream);
    fwriteDWORD(WRITTEN_RESOLUTION, stream);
    fwriteDWORD(0, stream);  // colours used
    fwriteDWORD(0, stream);  // important colours
    for (int i = 0; i < paletteEntries; ++i) {
        for (int k = 0; k < 4; ++k) ONDA_PUTC(i, stream);
    }
}

// False as soon as a write fails; errno is then that of the failed write.
bool writeRow(std::FILE* stream, const Image* source, int y, std::size_t padding) {
    const Image image = *source;  // see storePixels
    Chunk chunk;
    for (int x0 = 0; x0 < image.width; x0 += CHUNK_PIXELS) {
        const int count = std::min(image.width - x0, CHUNK_PIXELS);
        unsigned char* out = chunk.data();
        Pixel pixel{};
        for (int k = 0; k < count; ++k) {
            getPixel(&image, x0 + k, y, &pixel);
            if (image.depth == 8) {
                *out++ = static_cast<unsigned char>(pixel.r);
            } else {
                *out++ = static_cast<unsigned char>(pixel.b);
                *out++ = static_cast<unsigned char>(pixel.g);
                *out++ = static_cast<unsigned char>(pixel.r);
            }
        }
        std::fwrite(chunk.data(), 1, std::size_t(out - chunk.data()), stream);
        if (std::ferror(stream)) return false;
    }
    static const unsigned char zeros[4] = {0, 0, 0, 0};
    std::fwrite(zeros, 1, padding, stream);
    return !std::ferror(stream);
}

// Gives BMP_WRITE_FAILED, keeping the step and the errno of its failed call.
int writeFailed(BmpWriteCause& cause, int step) {
    const int error = errno;
    cause = BmpWriteCause{step, 0, 0, error};
    return BMP_WRITE_FAILED;
}

// True for an image the writer takes: 8 or 24 bits, pixels when it has an
// area, a file that fits the size field.
bool acceptsImage(const Image* image, BmpWriteCause& cause) {
    if (image == nullptr || (image->depth != 8 && image->depth != 24) ||
        (image->width > 0 && image->height > 0 && image->data == nullptr)) {
        cause = BmpWriteCause{BMP_WRITE_BAD_IMAGE, image ? image->depth : 0, 0, 0};
        return false;
    }
    if (writtenFileSize(image) < 0) {
        cause = BmpWriteCause{BMP_WRITE_TOO_LARGE, image->width, image->height, 0};
        return false;
    }
    return true;
}

int writeStream(std::FILE* stream, const Image* image, BmpWriteCause& cause) {
    if (!acceptsImage(image, cause)) return BMP_WRITE_FAILED;
    writeHeaders(stream, image, std::int32_t(writtenFileSize(image)));
    if (std::ferror(stream)) return writeFailed(cause, BMP_WRITE_WRITE);
    const std::int64_t rowLength = getDIBxmax(image->width, image->depth);
    if (rowLength > 0) {
        const auto padding = std::size_t(rowLength - std::int64_t{image->width} * image->depth / 8);
        for (int y = image->height - 1; y >= 0; --y) {
            if (!writeRow(stream, image, y, padding)) return writeFailed(cause, BMP_WRITE_WRITE);
        }
    }
    if (std::fflush(stream) != 0 || std::ferror(stream)) return writeFailed(cause, BMP_WRITE_WRITE);
    return BMP_WRITTEN;
}

#if defined(_WIN32)
// A path named in the ANSI code page, as the C runtime reads a file name and
// the programs get their arguments. (Not every standard library converts a
// narrow path with that code page.)
std::filesystem::path pathOf(const char* name) {
    const int length = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    if (length <= 0) return std::filesystem::path(name);
    std::wstring wide(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name, -1, &wide[0], length);
    wide.resize(std::size_t(length - 1));
    return std::filesystem::path(wide);
}
#else
std::filesystem::path pathOf(const char* name) {
    return std::filesystem::path(name);
}
#endif

// A fresh file beside `target`, opened exclusively so that no existing file is
// ever reused. Its name is returned through `name`; on failure errno is that
// of the last attempt.
File createFileBeside(const std::filesystem::path& target, std::filesystem::path& name) {
    auto seed = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        name = target;
        name += "." + std::to_string(seed >> 40) + ".tmp";
        std::FILE* created = createNewFile(name);
        if (created != nullptr) return File(created);
        if (errno != EEXIST) break;
    }
    return nullptr;
}

bool closeChecked(File file) {
    return std::fclose(file.release()) == 0;
}

// Devices and pipes (an existing path that is not a regular file) take the
// bytes straight: there is nothing to keep and nothing to rename over.
int writeInPlace(const char* path, const Image* image, BmpWriteCause& cause) {
    File file(std::fopen(path, "wb"));
    if (!file) return writeFailed(cause, BMP_WRITE_CREATE);
    const int written = writeStream(file.get(), image, cause);
    if (!closeChecked(std::move(file)) && written == BMP_WRITTEN) {
        return writeFailed(cause, BMP_WRITE_CLOSE);
    }
    return written;
}

// The errno of a failed file system call.
int errnoOf(const std::error_code& error) {
    return error.default_error_condition().value();
}

// The temporary file's write, then its rename over the target; the file is
// removed when either fails. Interruptions remove it too while it exists.
int writeThroughTemporary(const std::filesystem::path& target,
                          const std::filesystem::file_status& old, const Image* image,
                          BmpWriteCause& cause) {
    namespace fs = std::filesystem;
    fs::path temporary;
    File file;
    {
        const InterruptsHeld held;
        file = createFileBeside(target, temporary);
        if (!file) return writeFailed(cause, BMP_WRITE_CREATE);
        armRemovalOnInterrupt(temporary.c_str());
    }
    int written = writeStream(file.get(), image, cause);
    if (!closeChecked(std::move(file)) && written == BMP_WRITTEN) {
        written = writeFailed(cause, BMP_WRITE_CLOSE);
    }
    const InterruptsHeld held;
    std::error_code error;
    if (written == BMP_WRITTEN) {
        if (fs::exists(old)) fs::permissions(temporary, old.permissions(), error);
        fs::rename(temporary, target, error);
        if (error) cause = BmpWriteCause{BMP_WRITE_RENAME, 0, 0, errnoOf(error)};
    }
    if (written != BMP_WRITTEN || error) fs::remove(temporary, error);
    disarmRemovalOnInterrupt();
    return cause.step == BMP_WRITE_DONE ? BMP_WRITTEN : BMP_WRITE_FAILED;
}

}  // namespace

const char* bmpStatusName(int status) {
    switch (status) {
        case BMP_OK: return "read";
        case BMP_CANNOT_OPEN: return "cannot be opened";
        case BMP_NO_SIGNATURE: return "no signature (empty file)";
        case BMP_UNSUPPORTED_BITS: return "bits per pixel neither 8 nor 24";
        case BMP_BAD_HEADER: return "not a BMP header, or header or palette cut short";
        case BMP_BAD_PIXELS: return "compressed, or pixel data cut short";
        case BMP_NO_IMAGE: return "dimensions the image cannot hold";
        default: return "unknown status";
    }
}

int freadWORD(std::uint16_t* value, std::FILE* stream) {
    const int b0 = ONDA_GETC(stream);
    if (b0 == EOF) return 0;
    const int b1 = ONDA_GETC(stream);
    if (b1 == EOF) return 0;
    *value = static_cast<std::uint16_t>(b0 | (b1 << 8));
    return 1;
}

int freadDWORD(std::int32_t* value, std::FILE* stream) {
    std::uint32_t bits = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int b = ONDA_GETC(stream);
        if (b == EOF) return 0;
        bits |= std::uint32_t(b) << shift;
    }
    *value = static_cast<std::int32_t>(bits);
    return 1;
}

int fwriteWORD(unsigned value, std::FILE* stream) {
    ONDA_PUTC(int(value & 0xFF), stream);
    ONDA_PUTC(int((value >> 8) & 0xFF), stream);
    return 1;
}

int fwriteDWORD(std::int32_t value, std::FILE* stream) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) ONDA_PUTC(int((bits >> shift) & 0xFF), stream);
    return 1;
}

int countOfDIBColorEntries(int bitsPerPixel) {
    switch (bitsPerPixel) {
        case 1: return 2;
        case 4: return 16;
        case 8: return 256;
        default: return 0;
    }
}

std::int64_t getDIBxmax(std::int64_t width, int bitsPerPixel) {
    switch (bitsPerPixel) {
        case 1: return ((width + 7) / 8 + 3) / 4 * 4;
        case 4: return ((width + 1) / 2 + 3) / 4 * 4;
        case 8: return (width + 3) / 4 * 4;
        case 16: return (width + 1) / 2 * 4;
        case 24: return (3 * width + 3) / 4 * 4;
        case 32: return 4 * width;
        default: return width;
    }
}

int readBMPfile(const char* path, Image** image) {
    File file(std::fopen(path, "rb"));
    if (!file) return BMP_CANNOT_OPEN;
    return readBMPstream(file.get(), image);
}

int readBMPstream(std::FILE* stream, Image** image, BmpReadCause* cause) {
    if (cause != nullptr) *cause = BmpReadCause{};
    const auto refused = [stream, cause](int status, int fault, std::int64_t value = 0,
                                         std::int64_t other = 0) {
        return refuse(stream, cause, status, fault, value, other);
    };
    const int first = ONDA_GETC(stream);
    if (first == EOF) return refused(BMP_NO_SIGNATURE, BMP_FAULT_EMPTY, 0);
    const int second = ONDA_GETC(stream);
    if (second == EOF) return refused(BMP_NO_SIGNATURE, BMP_FAULT_EMPTY, 1);
    const int signature = first | (second << 8);
    if (signature != BMP_SIGNATURE) return refused(BMP_BAD_HEADER, BMP_FAULT_SIGNATURE, signature);

    Header header;
    if (!readFileHeader(stream)) return refused(BMP_BAD_HEADER, BMP_FAULT_FILE_HEADER_CUT);
    if (!freadDWORD(&header.headerSize, stream)) {
        return refused(BMP_BAD_HEADER, BMP_FAULT_HEADER_CUT, 0);
    }
    if (header.headerSize != INFO_HEADER_SIZE && header.headerSize != CORE_HEADER_SIZE) {
        return refused(BMP_BAD_HEADER, BMP_FAULT_HEADER_SIZE, std::uint32_t(header.headerSize));
    }
    const bool core = header.headerSize == CORE_HEADER_SIZE;
    if (!(core ? readCoreHeader(stream, header) : readInfoHeader(stream, header))) {
        return refused(BMP_BAD_HEADER, BMP_FAULT_HEADER_CUT, header.headerSize);
    }
    if (header.bitsPerPixel != 8 && header.bitsPerPixel != 24) {
        return refused(BMP_UNSUPPORTED_BITS, BMP_FAULT_BITS, header.bitsPerPixel);
    }
    if (header.compression != 0) {
        return refused(BMP_BAD_PIXELS, BMP_FAULT_COMPRESSION, std::uint32_t(header.compression));
    }
    if (header.colorsUsed < 0 || header.colorsUsed > PALETTE_CAPACITY) {
        return refused(BMP_BAD_HEADER, BMP_FAULT_COLOURS_USED, std::uint32_t(header.colorsUsed));
    }

    const int paletteLength =
        header.colorsUsed != 0 ? header.colorsUsed : countOfDIBColorEntries(header.bitsPerPixel);
    Palette palette{};
    const int entries = readPalette(stream, paletteLength, core ? 3 : 4, palette);
    if (entries < paletteLength) {
        return refused(BMP_BAD_HEADER, BMP_FAULT_PALETTE_CUT, entries + 1, paletteLength);
    }

    Image* created = createImage(header.width, header.height, header.bitsPerPixel);
    if (created == nullptr) {
        return refused(BMP_NO_IMAGE, noImageFault(header), header.width, header.height);
    }
    *image = created;
    const int shortRow = readPixelRows(stream, created, palette);
    if (shortRow != 0)
        return refused(BMP_BAD_PIXELS, BMP_FAULT_PIXELS_CUT, shortRow, created->height);
    return BMP_OK;
}

namespace {

// printf-style text of a reason, at most 255 bytes long.
template <class... Values>
std::string formatted(const char* format, Values... values) {
    char text[256];
    const int length = std::snprintf(text, sizeof text, format, values...);
    return length < 0 ? std::string("(unprintable reason)") : std::string(text);
}

}  // namespace

std::string bmpReadReason(const BmpReadCause& cause) {
    const long long value = cause.value;
    const long long other = cause.other;
    switch (cause.fault) {
        case BMP_FAULT_NONE: return "read";
        case BMP_FAULT_CANNOT_OPEN:
            return std::string("cannot be opened: ") + std::strerror(cause.error);
        case BMP_FAULT_READ_ERROR:
            return std::string("cannot be read: ") + std::strerror(cause.error);
        case BMP_FAULT_EMPTY:
            return value == 0 ? "empty file; a BMP file starts with \"BM\""
                              : "file of 1 byte; a BMP file starts with \"BM\"";
        case BMP_FAULT_SIGNATURE:
            return formatted("starts with the bytes 0x%02llX 0x%02llX, not \"BM\": not a BMP file",
                             value & 0xFF, value >> 8);
        case BMP_FAULT_FILE_HEADER_CUT: return "file ends inside the 14-byte file header";
        case BMP_FAULT_HEADER_SIZE:
            return formatted(
                "bitmap header of %lld bytes; only the 12-byte and 40-byte headers are read "
                "(ImageMagick: convert IN -compress none BMP3:OUT.bmp, with -type TrueColor for "
                "16 colours or fewer, which it may store with 4 or 1 bits per pixel)",
                value);
        case BMP_FAULT_HEADER_CUT:
            if (value == 0) return "file ends inside the bitmap header's size field";
            return formatted("file ends inside the %lld-byte bitmap header", value);
        case BMP_FAULT_BITS:
            return formatted("%lld %s per pixel; only 8-bit (palette) and 24-bit pictures are read",
                             value, value == 1 ? "bit" : "bits");
        case BMP_FAULT_COMPRESSION:
            return formatted("compression %s (%lld); only uncompressed pictures are read",
                             compressionName(value), value);
        case BMP_FAULT_COLOURS_USED:
            return formatted("%lld colours used; a palette holds at most 256", value);
        case BMP_FAULT_PALETTE_CUT:
            return formatted("file ends inside the palette, in entry %lld of %lld", value, other);
        case BMP_FAULT_NEGATIVE_WIDTH:
            return formatted("width %lld; a width cannot be negative", value);
        case BMP_FAULT_TOP_DOWN:
            return formatted("rows stored top-down (height %lld); only bottom-up pictures are read",
                             other);
        case BMP_FAULT_TOO_LARGE:
            return formatted(
                "picture of %lldx%lld pixels; a picture must hold less than 2 GiB of pixels", value,
                other);
        case BMP_FAULT_NO_MEMORY:
            return formatted("no memory for a picture of %lldx%lld pixels", value, other);
        case BMP_FAULT_PIXELS_CUT:
            return formatted(
                "file ends inside pixel row %lld of %lld (rows are stored bottom row first)", value,
                other);
        default: return "unknown fault";
    }
}

int writeBMPstream(std::FILE* stream, const Image* image) {
    BmpWriteCause cause;
    return writeStream(stream, image, cause);
}

int writeBMPfile(const char* path, const Image* image) {
    return writeBMPfileReporting(path, image, nullptr);
}

int writeBMPfileReporting(const char* path, const Image* image, BmpWriteCause* cause) {
    namespace fs = std::filesystem;
    BmpWriteCause unreported;
    BmpWriteCause& told = cause != nullptr ? *cause : unreported;
    told = BmpWriteCause{};
    if (!acceptsImage(image, told)) return BMP_WRITE_FAILED;

    std::error_code error;
    fs::path target = pathOf(path);
    const fs::file_status status = fs::status(target, error);
    if (fs::exists(status) && !fs::is_regular_file(status)) return writeInPlace(path, image, told);
    // A link is followed, so that the file it names is replaced, not the link.
    const fs::path resolved = fs::weakly_canonical(target, error);
    if (!error) target = resolved;
    return writeThroughTemporary(target, status, image, told);
}

std::string bmpWriteReason(const BmpWriteCause& cause) {
    switch (cause.step) {
        case BMP_WRITE_DONE: return "written";
        case BMP_WRITE_BAD_IMAGE:
            if (cause.value == 8 || cause.value == 24) return "the picture has no pixels to write";
            return formatted("a %lld-bit picture cannot be written; only 8-bit and 24-bit ones",
                             static_cast<long long>(cause.value));
        case BMP_WRITE_TOO_LARGE:
            return formatted(
                "a %lldx%lld picture makes a file beyond the 2 GiB a BMP file's size "
                "field counts",
                static_cast<long long>(cause.value), static_cast<long long>(cause.other));
        case BMP_WRITE_CREATE:
            return std::string("cannot be created: ") + std::strerror(cause.error);
        case BMP_WRITE_WRITE:
            return std::string("cannot be written: ") + std::strerror(cause.error);
        case BMP_WRITE_CLOSE: return std::string("cannot be closed: ") + std::strerror(cause.error);
        case BMP_WRITE_RENAME:
            return std::string("cannot be put in place: ") + std::strerror(cause.error);
        default: return "unknown failure";
    }
}
