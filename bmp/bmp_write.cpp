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
#include "transfer_block.h"

namespace {

BmpWriteCause writeCause(BmpWriteKind step, int error) {
    BmpWriteCause cause;
    cause.kind = step;
    cause.error = error;
    return cause;
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

// The size of the file writeBMPstream makes of an image the writer takes.
std::int64_t writtenFileSize(const Image* image) {
    return getDIBxmax(image->width, image->depth) * image->height +
           writtenPixelOffset(image->depth);
}

// The headers and the palette, as the file starts: 54 bytes, and 1024 more
// for an 8-bit picture.
constexpr std::size_t MOST_HEADER_BYTES =
    FILE_HEADER_SIZE + INFO_HEADER_SIZE + 4 * std::size_t{PALETTE_CAPACITY};
using HeaderBytes = std::array<unsigned char, MOST_HEADER_BYTES>;

// Little-endian fields, at `at`, which moves past them.
void putWord(unsigned char*& at, unsigned value) {
    *at++ = static_cast<unsigned char>(value & 0xFF);
    *at++ = static_cast<unsigned char>((value >> 8) & 0xFF);
}
void putDWord(unsigned char*& at, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    putWord(at, bits & 0xFFFF);
    putWord(at, bits >> 16);
}

// Fills `bytes` with the headers and gives how many they are.
std::size_t headerBytes(const Image& image, std::int32_t fileSize, HeaderBytes& bytes) {
    const std::int32_t paletteEntries = image.depth == 8 ? PALETTE_CAPACITY : 0;
    unsigned char* at = bytes.data();
    putWord(at, BMP_SIGNATURE);
    putDWord(at, fileSize);
    putWord(at, 0);
    putWord(at, 0);
    putDWord(at, FILE_HEADER_SIZE + INFO_HEADER_SIZE + 4 * paletteEntries);
    putDWord(at, INFO_HEADER_SIZE);
    putDWord(at, image.width);
    putDWord(at, image.height);
    putWord(at, 1);  // planes
    putWord(at, unsigned(image.depth));
    putDWord(at, 0);  // compression
    putDWord(at, 0);  // image size
    putDWord(at, WRITTEN_RESOLUTION);
    putDWord(at, WRITTEN_RESOLUTION);
    putDWord(at, 0);  // colours used
    putDWord(at, 0);  // important colours
    for (int i = 0; i < paletteEntries; ++i) {
        for (int k = 0; k < 4; ++k) *at++ = static_cast<unsigned char>(i);
    }
    return std::size_t(at - bytes.data());
}

// The rows' bytes on their way to the stream: gathered in a block
// (transfer_block.h) that goes out, in one write, whenever it reaches a
// multiple of its size from the file's start, and at the end.
struct PixelSink {
    std::FILE* stream;
    TransferBlock* block;
    std::size_t used;      // the bytes gathered
    std::uint64_t offset;  // the file offset where the gathered bytes go
};

// Hands the gathered bytes to the stream. False when the write fails; errno
// is then that of the failed write.
bool sendBytes(PixelSink& sink) {
    const std::size_t used = sink.used;
    sink.used = 0;
    sink.offset += used;
    return std::fwrite(sink.block->bytes, 1, used, sink.stream) == used;
}

// Room for at most `count` bytes in the block, with `count` set to how many:
// at least 1, after sending a full block. Null when that send fails.
unsigned char* roomFor(PixelSink& sink, std::size_t& count) {
    if (sink.used == bytesToBoundary(*sink.block, sink.offset) && !sendBytes(sink)) return nullptr;
    count = std::min(count, bytesToBoundary(*sink.block, sink.offset) - sink.used);
    unsigned char* room = sink.block->bytes + sink.used;
    sink.used += count;
    return room;
}

// `count` bytes from `bytes` (zeros when it is null) into the block.
bool putBytes(PixelSink& sink, const unsigned char* bytes, std::size_t count) {
    for (std::size_t put = 0; put < count;) {
        std::size_t room = count - put;
        unsigned char* at = roomFor(sink, room);
        if (at == nullptr) return false;
        if (bytes != nullptr) {
            std::memcpy(at, bytes + put, room);
        } else {
            std::memset(at, 0, room);
        }
        put += room;
    }
    return true;
}

// A 24-bit row into the block: the pixels that fit whole, turned as they go
// in; a pixel that the block's end cuts goes in a byte at a time.
bool putColourRow(PixelSink& sink, const unsigned char* row, std::size_t width) {
    for (std::size_t x = 0; x < width;) {
        std::size_t room = 3 * (width - x);
        unsigned char* at = roomFor(sink, room);
        if (at == nullptr) return false;
        const std::size_t pixels = room / 3;
        swapRedAndBlue(row + 3 * x, at, pixels);
        x += pixels;
        sink.used -= room % 3;  // the bytes of a pixel that does not fit whole
        if (pixels == 0) {
            unsigned char pixel[3];
            swapRedAndBlue(row + 3 * x, pixel, 1);
            if (!putBytes(sink, pixel, sizeof pixel)) return false;
            ++x;
        }
    }
    return true;
}

// Row y of the image, then its padding: an 8-bit row as it is, a 24-bit one
// turned to blue, green, red. False as soon as a write fails; errno is then
// that of the failed write.
bool writeRow(PixelSink& sink, const Image& image, int y, std::size_t padding) {
    const unsigned char* row = imageRow(image, y);
    const auto width = std::size_t(image.width);
    const bool written =
        image.depth == 8 ? putBytes(sink, row, width) : putColourRow(sink, row, width);
    return written && putBytes(sink, nullptr, padding);
}

// Why the writer does not take an image; BMP_WRITE_DONE for one it takes: 8
// or 24 bits, pixels when it has an area, a file that fits the size field.
BmpWriteCause imageRefusal(const Image* image) {
    BmpWriteCause cause;
    if (image == nullptr || (image->depth != 8 && image->depth != 24) ||
        (image->width > 0 && image->height > 0 && image->data == nullptr)) {
        cause.kind = BMP_WRITE_BAD_IMAGE;
        cause.depth = image ? image->depth : 0;
    } else if (image->height > mostWrittenRows(image->width, image->depth)) {
        cause.kind = BMP_WRITE_TOO_LARGE;  // beyond the size field
        cause.width = image->width;
        cause.height = image->height;
    }
    return cause;
}

// Every write of writeStream is large or the only one, and a stream's own
// buffer would only split them: the C library fills the buffer with a first
// piece of each and sends it in a call of its own. A stream on a file
// descriptor goes without; one in memory (which has none) keeps its buffer,
// which may be where it keeps its bytes.
void unbuffered(std::FILE* stream) {
#if defined(_WIN32)
    const bool onDescriptor = _fileno(stream) >= 0;
#else
    const bool onDescriptor = fileno(stream) >= 0;
#endif
    // NOLINTNEXTLINE(cert-err33-c): a stream that keeps its buffer writes the same bytes
    if (onDescriptor) (void)std::setvbuf(stream, nullptr, _IONBF, 0);
}

BmpWriteCause writeStream(std::FILE* stream, const Image* image) {
    const BmpWriteCause refused = imageRefusal(image);
    if (refused.kind != BMP_WRITE_DONE) return refused;
    unbuffered(stream);
    HeaderBytes header;
    const std::size_t headerLength =
        headerBytes(*image, std::int32_t(writtenFileSize(image)), header);
    if (std::fwrite(header.data(), 1, headerLength, stream) != headerLength) {
        return writeCause(BMP_WRITE_WRITE, errno);
    }
    const std::int64_t rowLength = getDIBxmax(image->width, image->depth);
    if (rowLength > 0 && image->height > 0) {
        const auto padding = std::size_t(rowLength - std::int64_t{image->width} * image->depth / 8);
        TransferBlock block;
        openTransferBlock(block);
        PixelSink sink{stream, &block, 0, headerLength};
        for (int y = image->height - 1; y >= 0; --y) {
            if (!writeRow(sink, *image, y, padding)) return writeCause(BMP_WRITE_WRITE, errno);
        }
        if (!sendBytes(sink)) return writeCause(BMP_WRITE_WRITE, errno);
    }
    if (std::fflush(stream) != 0 || std::ferror(stream)) return writeCause(BMP_WRITE_WRITE, errno);
    return BmpWriteCause{};
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

int bmpWriteStatus(const BmpWriteCause& cause) {
    return cause.kind == BMP_WRITE_DONE ? BMP_WRITTEN : BMP_WRITE_FAILED;
}

int writeBMPstream(std::FILE* stream, const Image* image) {
    return bmpWriteStatus(writeStream(stream, image));
}

int writeBMPfile(const char* path, const Image* image) {
    return bmpWriteStatus(writeBMPfileReporting(path, image));
}

BmpWriteCause writeBMPfileReporting(const char* path, const Image* image) {
    const BmpWriteCause refused = imageRefusal(image);
    if (refused.kind != BMP_WRITE_DONE) return refused;
    const ContentWriter writeImage = [](std::FILE* stream, const void* content) {
        const BmpWriteCause failure = writeStream(stream, static_cast<const Image*>(content));
        if (failure.kind == BMP_WRITE_DONE) return 0;
        return failure.error != 0 ? failure.error : EIO;
    };
    const ReplaceResult result = replaceFile(path, writeImage, image);
    return writeCause(kindOf(result.step), result.error);
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
