// Writing BMP files: the 40-byte info header, a grey palette for 8 bits, rows
// bottom-up (the layout is described in bmp_read.cpp). The bytes go to a
// stream, and a file is put in place by the file replacement (replace.h).
#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstring>
#include <string>

#include "bmp.h"
#include "bmp_format.h"
#include "replace.h"

namespace {

int writeFailed(BmpWriteCause& cause, BmpWriteKind step, int error) {
    cause = BmpWriteCause{};
    cause.kind = step;
    cause.error = error;
    return BMP_WRITE_FAILED;
}

BmpWriteKind kindOf(ReplaceStep step) {
    switch (step) {
        case ReplaceStep::done: return BMP_WRITE_DONE;
        case ReplaceStep::create: return BMP_WRITE_CREATE;
        case ReplaceStep::folder: return BMP_WRITE_FOLDER;
        case ReplaceStep::write: return BMP_WRITE_WRITE;
        case ReplaceStep::close: return BMP_WRITE_CLOSE;
        case ReplaceStep::rename: return BMP_WRITE_RENAME;
        case ReplaceStep::sticky: return BMP_WRITE_STICKY;
        case ReplaceStep::stickyPipe: return BMP_WRITE_STICKY_PIPE;
        case ReplaceStep::owner: return BMP_WRITE_OWNER;
        case ReplaceStep::changed: return BMP_WRITE_CHANGED;
        case ReplaceStep::standardOutput: return BMP_WRITE_STANDARD_OUTPUT;
        case ReplaceStep::standardError: return BMP_WRITE_STANDARD_ERROR;
    }
    return BMP_WRITE_WRITE;  // a step outside the enumeration
}

constexpr std::int32_t WRITTEN_RESOLUTION = 300;  // pixels per metre

// A 24-bit row is turned from red, green, blue into the file's blue, green,
// red in a small stack buffer, a few thousand pixels at a time, so that no
// copy of a whole row of any width is made. (The reader reads straight into
// the image's rows and turns them in place.)
constexpr int CHUNK_PIXELS = 4096;
using Chunk = std::array<unsigned char, std::size_t{CHUNK_PIXELS} * 3>;

// The size of the file writeBMPstream makes of an image the writer takes.
std::int64_t writtenFileSize(const Image* image) {
    return getDIBxmax(image->width, image->depth) * image->height +
           writtenPixelOffset(image->depth);
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

// Row y of the image, then its padding: an 8-bit row as it is, a 24-bit one
// turned to blue, green, red a chunk at a time. False as soon as a write
// fails; errno is then that of the failed write.
bool writeRow(std::FILE* stream, const Image& image, int y, std::size_t padding) {
    const unsigned char* row = imageRow(image, y);
    const auto width = std::size_t(image.width);
    if (image.depth == 8) {
        if (std::fwrite(row, 1, width, stream) != width) return false;
    } else {
        for (std::size_t x0 = 0; x0 < width; x0 += CHUNK_PIXELS) {
            const std::size_t count = std::min(width - x0, std::size_t{CHUNK_PIXELS});
            const unsigned char* in = row + 3 * x0;
            Chunk chunk;
            for (std::size_t k = 0; k < 3 * count; k += 3) {
                chunk[k] = in[k + 2];
                chunk[k + 1] = in[k + 1];
                chunk[k + 2] = in[k];
            }
            if (std::fwrite(chunk.data(), 3, count, stream) != count) return false;
        }
    }
    static const unsigned char zeros[4] = {0, 0, 0, 0};
    return padding == 0 || std::fwrite(zeros, 1, padding, stream) == padding;
}

// True for an image the writer takes: 8 or 24 bits, pixels when it has an
// area, a file that fits the size field.
bool acceptsImage(const Image* image, BmpWriteCause& cause) {
    if (image == nullptr || (image->depth != 8 && image->depth != 24) ||
        (image->width > 0 && image->height > 0 && image->data == nullptr)) {
        cause = BmpWriteCause{};
        cause.kind = BMP_WRITE_BAD_IMAGE;
        cause.depth = image ? image->depth : 0;
        return false;
    }
    if (image->height > mostWrittenRows(image->width, image->depth)) {  // beyond the size field
        cause = BmpWriteCause{};
        cause.kind = BMP_WRITE_TOO_LARGE;
        cause.width = image->width;
        cause.height = image->height;
        return false;
    }
    return true;
}

int writeStream(std::FILE* stream, const Image* image, BmpWriteCause& cause) {
    if (!acceptsImage(image, cause)) return BMP_WRITE_FAILED;
    writeHeaders(stream, image, std::int32_t(writtenFileSize(image)));
    if (std::ferror(stream)) return writeFailed(cause, BMP_WRITE_WRITE, errno);
    const std::int64_t rowLength = getDIBxmax(image->width, image->depth);
    if (rowLength > 0) {
        const auto padding = std::size_t(rowLength - std::int64_t{image->width} * image->depth / 8);
        for (int y = image->height - 1; y >= 0; --y) {
            if (!writeRow(stream, *image, y, padding)) {
                return writeFailed(cause, BMP_WRITE_WRITE, errno);
            }
        }
    }
    if (std::fflush(stream) != 0 || std::ferror(stream))
        return writeFailed(cause, BMP_WRITE_WRITE, errno);
    return BMP_WRITTEN;
}

}  // namespace

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

int writeBMPstream(std::FILE* stream, const Image* image) {
    BmpWriteCause cause;
    return writeStream(stream, image, cause);
}

int writeBMPfile(const char* path, const Image* image) {
    return writeBMPfileReporting(path, image, nullptr);
}

int writeBMPfileReporting(const char* path, const Image* image, BmpWriteCause* cause) {
    BmpWriteCause unreported;
    BmpWriteCause& reported = cause != nullptr ? *cause : unreported;
    reported = BmpWriteCause{};
    if (!acceptsImage(image, reported)) return BMP_WRITE_FAILED;
    const ContentWriter writeImage = [](std::FILE* stream, const void* content) {
        BmpWriteCause failure;
        if (writeStream(stream, static_cast<const Image*>(content), failure) == BMP_WRITTEN)
            return 0;
        return failure.error != 0 ? failure.error : EIO;
    };
    const ReplaceResult result = replaceFile(path, writeImage, image);
    if (result.step == ReplaceStep::done) return BMP_WRITTEN;
    return writeFailed(reported, kindOf(result.step), result.error);
}

std::string bmpWriteReason(const BmpWriteCause& cause) {
    switch (cause.kind) {
        case BMP_WRITE_DONE: return "written";
        case BMP_WRITE_BAD_IMAGE:
            if (cause.depth == 8 || cause.depth == 24) return "the picture has no pixels to write";
            return formatted("a %lld-bit picture cannot be written; only 8-bit and 24-bit ones",
                             static_cast<long long>(cause.depth));
        case BMP_WRITE_TOO_LARGE:
            return formatted(
                "a %lldx%lld picture makes a file beyond the 2 GiB a BMP file's size "
                "field counts",
                static_cast<long long>(cause.width), static_cast<long long>(cause.height));
        case BMP_WRITE_CREATE:
            return std::string("cannot be created: ") + std::strerror(cause.error);
        case BMP_WRITE_FOLDER:
            return std::string(
                       "cannot be replaced: its folder must be writable too, since the new file "
                       "is written beside it first: ") +
                   std::strerror(cause.error);
        case BMP_WRITE_WRITE:
            return std::string("cannot be written: ") + std::strerror(cause.error);
        case BMP_WRITE_CLOSE: return std::string("cannot be closed: ") + std::strerror(cause.error);
        case BMP_WRITE_RENAME:
            return std::string("cannot be put in place: ") + std::strerror(cause.error);
        case BMP_WRITE_STICKY:
            return "cannot be replaced: it belongs to another user, in a folder whose sticky bit "
                   "lets only the file's or the folder's owner replace it";
        case BMP_WRITE_STICKY_PIPE:
            return "cannot be written: it is a pipe that belongs to another user, in a folder "
                   "whose sticky bit lets only the pipe's or the folder's owner write into it";
        case BMP_WRITE_OWNER:
            return std::string(
                       "cannot be replaced: it belongs to another user, and the new file cannot "
                       "be given to them: ") +
                   std::strerror(cause.error);
        case BMP_WRITE_CHANGED:
            return "cannot be written: it was swapped for another file while it was being "
                   "opened";
        case BMP_WRITE_STANDARD_OUTPUT:
            return "cannot be written: it is the program's own standard output, where the "
                   "console text would be mixed into the picture";
        case BMP_WRITE_STANDARD_ERROR:
            return "cannot be written: it is the program's own standard error, where its "
                   "messages would be mixed into the picture";
    }
    return "unknown failure";  // a kind outside the enumeration
}
