// Reading BMP files. The layout, as this codec reads and writes it:
//
// All integers are little-endian. A file starts with a 14-byte file header:
//
//   0  2  signature "BM" (0x4D42 read as one 16-bit number)
//   2  4  size of the whole file          (read, not used)
//   6  2  reserved, 8  2  reserved        (read, not used)
//  10  4  offset of the pixel data        (a gap between the palette and this
//                                          offset is skipped)
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
// The pixel rows follow the palette, bottom row first: at the pixel data
// offset when that lies beyond the palette's end, and right after the palette
// otherwise (some writers put a smaller offset than their own palette takes).
// Each row holds its pixels left to right, then zero to three padding bytes up
// to a multiple of 4.
// An 8-bit pixel is a palette index; a 24-bit pixel is blue, green, red. An
// 8-bit picture keeps the red component of its palette colours, which is the
// grey level for a grey palette; the cause record tells the caller when an
// entry the file declares is not grey.
//
// The reader never trusts a count from the file to index memory: the palette
// table has 256 entries and longer palettes are refused; entries the file does
// not hold read as black. The writer (bmp_write.cpp) always writes the info
// header, a 256-step grey palette for 8 bits (entry i is the byte i four
// times), and rows bottom-up.
#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "bmp.h"
#include "bmp_format.h"
#include "owners.h"
#include "transfer_block.h"
#include "vectors.h"

#if defined(ONDA_AVX2_VECTORS)
#include <immintrin.h>
#endif

namespace {

struct Header {
    std::int32_t pixelOffset = 0;
    std::int32_t headerSize = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::uint16_t bitsPerPixel = 0;
    std::int32_t compression = 0;
    std::int32_t colorsUsed = 0;
};

// What an 8-bit picture keeps of each palette colour: its red byte.
using Reds = std::array<unsigned char, PALETTE_CAPACITY>;

// The file header after the signature; keeps the pixel data offset.
bool readFileHeader(std::FILE* stream, Header& header) {
    std::int32_t fileSize = 0;
    std::uint16_t reserved = 0;
    return freadDWORD(&fileSize, stream) && freadWORD(&reserved, stream) &&
           freadWORD(&reserved, stream) && freadDWORD(&header.pixelOffset, stream);
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
// entries read whole; `colour` tells whether one of them is not grey.
int readPalette(std::FILE* stream, int length, int entryBytes, Reds& reds, bool& colour) {
    for (int i = 0; i < length; ++i) {
        std::array<unsigned char, 4> entry{};
        if (std::fread(entry.data(), 1, std::size_t(entryBytes), stream) !=
            std::size_t(entryBytes)) {
            return i;
        }
        reds[std::size_t(i)] = entry[2];
        colour = colour || entry[0] != entry[2] || entry[1] != entry[2];
    }
    return length;
}

// True for a grey palette, whose every index is its own red.
bool isGrey(const Reds& reds) {
    for (std::size_t i = 0; i < reds.size(); ++i) {
        if (reds[i] != i) return false;
    }
    return true;
}

// The pixel data, as the rows take it from the stream: a block at a time
// (transfer_block.h), each read ending at a multiple of the block's size
// from the file's start, and no further than the rows' end.
struct PixelSource {
    std::FILE* stream;
    TransferBlock* block;
    std::size_t begin;  // the block's bytes not yet taken: [begin, end)
    std::size_t end;
    std::uint64_t offset;  // the file offset after the last byte read
    std::uint64_t left;    // the bytes still to read; 0 after a short read
};

// The next at most `count` bytes, with `count` set to how many there are:
// 0 once the file has ended or a read has failed.
const unsigned char* takeBytes(PixelSource& source, std::size_t& count) {
    if (source.begin == source.end && source.left > 0) {
        const std::size_t wanted = std::size_t(
            std::min<std::uint64_t>(bytesToBoundary(*source.block, source.offset), source.left));
        source.begin = 0;
        source.end = std::fread(source.block->bytes, 1, wanted, source.stream);
        source.offset += source.end;
        source.left = source.end == wanted ? source.left - wanted : 0;
    }
    count = std::min(count, source.end - source.begin);
    const unsigned char* bytes = source.block->bytes + source.begin;
    source.begin += count;
    return bytes;
}

// The palette's reds, each widened to an int, for the AVX2 lookup.
using WideReds = std::array<std::int32_t, PALETTE_CAPACITY>;

// The palette's reds, for the pixels of an 8-bit picture whose palette is not
// the grey one.
struct Translation {
    Reds reds;
    WideReds wide;
};

#if defined(ONDA_AVX2_VECTORS)
// Sixteen bytes at a time through the palette's reds, each lane of a gather
// looking one up; gives how many were done.
ONDA_AVX2 std::size_t translateAvx2(const unsigned char* in, unsigned char* out, std::size_t count,
                                    const WideReds& wide) {
    std::size_t x = 0;
    for (; x + 16 <= count; x += 16) {
        const __m128i indices = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + x));
        const __m256i low = _mm256_i32gather_epi32(wide.data(), _mm256_cvtepu8_epi32(indices), 4);
        const __m256i high = _mm256_i32gather_epi32(
            wide.data(), _mm256_cvtepu8_epi32(_mm_srli_si128(indices, 8)), 4);
        // The packs work inside each 128-bit half: the words of `low` are
        // put before those of `high` first.
        const __m256i words = _mm256_permute4x64_epi64(_mm256_packus_epi32(low, high), 0xD8);
        const __m128i bytes =
            _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), bytes);
    }
    return x;
}
#endif

// Each byte through the palette's reds.
void translate(const unsigned char* __restrict in, unsigned char* __restrict out, std::size_t count,
               const Translation& translation) {
    std::size_t x = 0;
#if defined(ONDA_AVX2_VECTORS)
    if (vectorWidth() == VECTORS_AVX2) x = translateAvx2(in, out, count, translation.wide);
#endif
    for (; x < count; ++x) out[x] = translation.reds[in[x]];
}

// The next `count` bytes of the stream into `out` (through `translation`
// unless it is null), or dropped when `out` is null. Gives how many there were.
std::uint64_t moveBytes(PixelSource& source, unsigned char* out, std::uint64_t count,
                        const Translation* translation) {
    std::uint64_t moved = 0;
    while (moved < count) {
        std::size_t taken = std::size_t(std::min<std::uint64_t>(count - moved, TRANSFER_BYTES));
        const unsigned char* bytes = takeBytes(source, taken);
        if (taken == 0) break;
        if (out != nullptr && translation != nullptr) {
            translate(bytes, out + moved, taken, *translation);
        } else if (out != nullptr) {
            std::memcpy(out + moved, bytes, taken);
        }
        moved += taken;
    }
    return moved;
}

// One stored row into row y of the image, turned into its pixels on the way
// (through `translation` for an 8-bit picture, unless it is null), then its
// padding.
// Pixels read before the data ends are kept; a pixel cut short is not stored.
bool readRow(PixelSource& source, Image& image, int y, std::int64_t padding,
             const Translation* translation) {
    unsigned char* row = imageRow(image, y);
    const auto width = std::size_t(image.width);
    const auto bytes = std::size_t(pixelBytes(image));
    const auto got =
        std::size_t(moveBytes(source, row, width * bytes, bytes == 1 ? translation : nullptr));
    const std::size_t pixels = got / bytes;
    std::fill(row + pixels * bytes, row + width * bytes, 0);
    if (bytes == 3) swapRedAndBlue(row, row, pixels);
    return pixels == width &&
           moveBytes(source, nullptr, std::uint64_t(padding), nullptr) == std::uint64_t(padding);
}

// Cause records of each shape: a kind alone, or with an errno, the value of
// a refused field, the picture's dimensions, or where the file ends.
BmpReadCause faultOf(BmpReadKind kind) {
    BmpReadCause cause;
    cause.kind = kind;
    return cause;
}
BmpReadCause errorFault(BmpReadKind kind, int error) {
    BmpReadCause cause = faultOf(kind);
    cause.error = error;
    return cause;
}
BmpReadCause fieldFault(BmpReadKind kind, std::int64_t field) {
    BmpReadCause cause = faultOf(kind);
    cause.field = field;
    return cause;
}
BmpReadCause sizeFault(BmpReadKind kind, std::int64_t width, std::int64_t height) {
    BmpReadCause cause = faultOf(kind);
    cause.width = width;
    cause.height = height;
    return cause;
}
BmpReadCause cutFault(BmpReadKind kind, std::int64_t endsIn, std::int64_t count) {
    BmpReadCause cause = faultOf(kind);
    cause.endsIn = endsIn;
    cause.count = count;
    return cause;
}

// Every stored row, bottom row first, after `gap` bytes (none when it is not
// positive), from a stream at file offset `offset`; BMP_FAULT_PIXELS_CUT
// when the file ends first (a file that ends in the gap ends before the
// first row).
BmpReadCause readPixelRows(std::FILE* stream, Image* image, std::int64_t offset, std::int64_t gap,
                           const Reds& reds) {
    const std::int64_t rowLength = getDIBxmax(image->width, image->depth);
    if (rowLength == 0 || image->height == 0) return faultOf(BMP_FAULT_NONE);  // no bytes
    const auto skipped = std::uint64_t(std::max<std::int64_t>(gap, 0));
    TransferBlock block;
    openTransferBlock(block);
    PixelSource source{stream,
                       &block,
                       0,
                       0,
                       std::uint64_t(offset),
                       skipped + std::uint64_t(rowLength) * std::uint64_t(image->height)};
    if (moveBytes(source, nullptr, skipped, nullptr) != skipped) {
        return cutFault(BMP_FAULT_PIXELS_CUT, 1, image->height);
    }
    const std::int64_t padding = rowLength - std::int64_t{image->width} * image->depth / 8;
    Translation translation{reds, {}};
    std::copy(reds.begin(), reds.end(), translation.wide.begin());
    const bool translated = image->depth == 8 && !isGrey(reds);
    for (int y = image->height - 1; y >= 0; --y) {
        if (!readRow(source, *image, y, padding, translated ? &translation : nullptr)) {
            return cutFault(BMP_FAULT_PIXELS_CUT, image->height - y, image->height);
        }
    }
    return faultOf(BMP_FAULT_NONE);
}

// A refusal of a header field, `field`, once the header is read: with the
// picture's size and depth, and whether its palette has a colour, which
// the advice goes by.
BmpReadCause headerFault(BmpReadKind kind, std::int64_t field, const Header& header,
                         bool colourPalette) {
    BmpReadCause cause = sizeFault(kind, header.width, header.height);
    cause.field = field;
    cause.bitsPerPixel = header.bitsPerPixel;
    cause.colourPalette = colourPalette;
    return cause;
}

// Reads past `n` bytes; false when the file ends first.
bool skipBytes(std::FILE* stream, std::int64_t n) {
    for (; n > 0; --n) {
        if (ONDA_GETC(stream) == EOF) return false;
    }
    return true;
}

// Whether the palette of an 8-bit picture, `skip` bytes on from the stream's
// place, has a colour among the entries the file declares and holds; read
// only for the advice of a refusal.
bool hasColourPalette(std::FILE* stream, const Header& header, std::int64_t skip) {
    if (header.bitsPerPixel != 8 || header.colorsUsed < 0 || header.colorsUsed > PALETTE_CAPACITY ||
        !skipBytes(stream, skip)) {
        return false;
    }
    const int length = header.colorsUsed != 0 ? header.colorsUsed : PALETTE_CAPACITY;
    Reds reds{};
    bool colour = false;
    readPalette(stream, length, 4, reds, colour);
    return colour;
}

// The refusal `found`; or, when a read failed for another reason than the
// file's end, that reason with its errno, and the check it interrupted.
BmpReadCause refusal(std::FILE* stream, const BmpReadCause& found) {
    const int error = errno;
    if (found.kind == BMP_FAULT_NONE || !std::ferror(stream)) return found;
    BmpReadCause cause = errorFault(BMP_FAULT_READ_ERROR, error);
    cause.interrupted = found.kind;
    return cause;
}

// Why createImage gave no image for dimensions that the written file's
// limit lets through: a negative side, or no memory.
BmpReadKind noImageFault(const Header& header) {
    if (header.height < 0) return BMP_FAULT_TOP_DOWN;
    if (header.width < 0) return BMP_FAULT_NEGATIVE_WIDTH;
    return BMP_FAULT_NO_MEMORY;
}

struct Size {
    std::int64_t width;
    std::int64_t height;
};

// The largest crop of a width x height picture of `bitsPerPixel` bits that
// the reader takes, both sides multiples of `multiple`: the full width where
// `multiple` rows of it fit, and as many rows as fit. A side is 0 where no
// multiple fits.
Size largestFittingSize(std::int64_t width, std::int64_t height, int bitsPerPixel,
                        std::int64_t multiple) {
    std::int64_t fittingWidth = width;
    if (mostWrittenRows(width, bitsPerPixel) < multiple) {
        const std::int64_t rowRoom = (INT32_MAX - writtenPixelOffset(bitsPerPixel)) / multiple;
        fittingWidth = rowRoom / 4 * 4 / (bitsPerPixel / 8);  // rows of whole 4-byte words
    }
    fittingWidth -= fittingWidth % multiple;
    const std::int64_t rows = std::min(height, mostWrittenRows(fittingWidth, bitsPerPixel));
    return {fittingWidth, rows - rows % multiple};
}

// The reason for a picture beyond the written file's limit, with the crop
// and the resize that fit `fit` where it asks for them.
std::string tooLargeReason(const BmpReadCause& cause, const BmpAdviceFit& fit) {
    std::string reason = formatted(
        "picture of %lldx%lld pixels; the programs read and write pictures whose BMP "
        "file stays under 2 GiB",
        static_cast<long long>(cause.width), static_cast<long long>(cause.height));
    if (!fit.cropOrResize) return reason;
    Size size = largestFittingSize(cause.width, cause.height, cause.bitsPerPixel, fit.sideMultiple);
    const bool levels = fit.sideMultiple > 1 && size.width > 0 && size.height > 0;
    if (!levels) size = largestFittingSize(cause.width, cause.height, cause.bitsPerPixel, 1);
    const std::string fitting = std::to_string(size.width) + "x" + std::to_string(size.height);
    return reason + ": at most " + fitting + " fits" + (levels ? " the levels asked" : "") + " (" +
           bmpConversionAdvice("-crop " + fitting + "+0+0 +repage", cause.width, cause.height) +
           "; or -resize " + fitting + "! in place of the crop, to keep the whole picture smaller)";
}

// What a file is that starts with `head` (its first `length` bytes, up to
// 32) rather than "BM".
BmpOtherFormat otherFormat(const unsigned char* head, std::size_t length) {
    using namespace std::string_view_literals;
    const std::string_view bytes(reinterpret_cast<const char*>(head), length);
    const auto startsWith = [bytes](std::string_view signature, std::size_t at = 0) {
        return bytes.size() >= at + signature.size() &&
               bytes.compare(at, signature.size(), signature) == 0;
    };
    if (startsWith("\x89PNG\r\n\x1A\n"sv)) {
        // IHDR: bit depth at byte 24, colour type at 25 (0 grey, 4 grey and alpha).
        const bool grey = length >= 26 && head[24] >= 8 && (head[25] == 0 || head[25] == 4);
        return grey ? BMP_OTHER_PNG_GREY : BMP_OTHER_PNG_COLOUR;
    }
    if (startsWith("\xFF\xD8\xFF"sv)) return BMP_OTHER_JPEG;
    if (startsWith("GIF87a"sv) || startsWith("GIF89a"sv)) return BMP_OTHER_GIF;
    if (startsWith("II*\0"sv) || startsWith("MM\0*"sv)) return BMP_OTHER_TIFF;
    if (startsWith("RIFF"sv) && startsWith("WEBP"sv, 8)) return BMP_OTHER_WEBP;
    if (startsWith("\0\0\1\0"sv)) return BMP_OTHER_ICO;
    if (length >= 3 && head[0] == 'P' &&
        " \t\r\n"sv.find(char(head[2])) != std::string_view::npos) {
        switch (head[1]) {
            case '1':
            case '4': return BMP_OTHER_PBM;
            case '2':
            case '5': return BMP_OTHER_PGM;
            case '3':
            case '6': return BMP_OTHER_PPM;
            default: break;
        }
    }
    return BMP_OTHER_UNKNOWN;
}

// The name of another format, and the options that convert a picture of it
// into a file read without a note: true colour unless it is sure to be grey
// of 8 bits or more, or a photograph.
struct OtherFormatText {
    const char* name;
    const char* options;
};
OtherFormatText otherFormatText(BmpOtherFormat format) {
    switch (format) {
        case BMP_OTHER_UNKNOWN: break;
        case BMP_OTHER_PNG_GREY: return {"a PNG file", ""};
        case BMP_OTHER_PNG_COLOUR: return {"a PNG file", "-type TrueColor"};
        case BMP_OTHER_JPEG: return {"a JPEG file", ""};
        case BMP_OTHER_GIF: return {"a GIF file", "-type TrueColor"};
        case BMP_OTHER_TIFF: return {"a TIFF file", "-type TrueColor"};
        case BMP_OTHER_WEBP: return {"a WebP file", "-type TrueColor"};
        case BMP_OTHER_PBM: return {"a PBM (netpbm) file", "-type TrueColor"};
        case BMP_OTHER_PGM: return {"a PGM (netpbm) file", ""};
        case BMP_OTHER_PPM: return {"a PPM (netpbm) file", "-type TrueColor"};
        case BMP_OTHER_ICO: return {"an ICO (Windows icon) file", "-type TrueColor"};
    }
    return {nullptr, nullptr};
}

// The refusal of a file whose first two bytes, `signature`, are not "BM":
// what it is instead, by its first 32 bytes.
BmpReadCause signatureFault(std::FILE* stream, int signature) {
    std::array<unsigned char, 32> head{static_cast<unsigned char>(signature & 0xFF),
                                       static_cast<unsigned char>(signature >> 8)};
    const std::size_t length = 2 + std::fread(head.data() + 2, 1, head.size() - 2, stream);
    BmpReadCause cause = fieldFault(BMP_FAULT_SIGNATURE, signature);
    cause.format = otherFormat(head.data(), length);
    return cause;
}

// The refusal of a header whose size is neither 12 nor 40. The larger
// headers begin as the info header does: its depth and palette tell the
// advice, where the file holds them.
BmpReadCause headerSizeFault(std::FILE* stream, Header& header) {
    const std::uint32_t size = std::uint32_t(header.headerSize);
    if (size > std::uint32_t{INFO_HEADER_SIZE} && readInfoHeader(stream, header)) {
        const bool colour = hasColourPalette(stream, header, size - INFO_HEADER_SIZE);
        return headerFault(BMP_FAULT_HEADER_SIZE, size, header, colour);
    }
    return fieldFault(BMP_FAULT_HEADER_SIZE, size);
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

}  // namespace

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

namespace {

// The status of a refusal of `kind`; a read error that interrupted no check
// is one of opening (a folder).
int statusOfKind(BmpReadKind kind) {
    switch (kind) {
        case BMP_FAULT_NONE: return BMP_OK;
        case BMP_FAULT_CANNOT_OPEN:
        case BMP_FAULT_READ_ERROR: return BMP_CANNOT_OPEN;
        case BMP_FAULT_EMPTY: return BMP_NO_SIGNATURE;
        case BMP_FAULT_SIGNATURE:
        case BMP_FAULT_FILE_HEADER_CUT:
        case BMP_FAULT_HEADER_SIZE:
        case BMP_FAULT_HEADER_CUT:
        case BMP_FAULT_COLOURS_USED:
        case BMP_FAULT_PALETTE_CUT: return BMP_BAD_HEADER;
        case BMP_FAULT_BITS: return BMP_UNSUPPORTED_BITS;
        case BMP_FAULT_COMPRESSION:
        case BMP_FAULT_PIXELS_CUT: return BMP_BAD_PIXELS;
        case BMP_FAULT_NEGATIVE_WIDTH:
        case BMP_FAULT_TOP_DOWN:
        case BMP_FAULT_TOO_LARGE:
        case BMP_FAULT_NO_MEMORY: return BMP_NO_IMAGE;
    }
    return BMP_BAD_HEADER;  // a kind outside the enumeration
}

}  // namespace

int bmpReadStatus(const BmpReadCause& cause) {
    const bool interrupted =
        cause.kind == BMP_FAULT_READ_ERROR && cause.interrupted != BMP_FAULT_NONE;
    return statusOfKind(interrupted ? cause.interrupted : cause.kind);
}

namespace {

// The headers, the palette and the pixels, from the stream's place on; the
// cause of the first refusal, or BMP_FAULT_NONE.
BmpReadCause readStream(std::FILE* stream, BmpReading& reading) {
    const auto refused = [stream](const BmpReadCause& found) { return refusal(stream, found); };
    const int first = ONDA_GETC(stream);
    if (first == EOF) return refused(cutFault(BMP_FAULT_EMPTY, 0, 0));
    const int second = ONDA_GETC(stream);
    if (second == EOF) return refused(cutFault(BMP_FAULT_EMPTY, 0, 1));
    const int signature = first | (second << 8);
    if (signature != BMP_SIGNATURE) return refused(signatureFault(stream, signature));

    Header header;
    if (!readFileHeader(stream, header)) return refused(faultOf(BMP_FAULT_FILE_HEADER_CUT));
    if (!freadDWORD(&header.headerSize, stream)) {
        return refused(fieldFault(BMP_FAULT_HEADER_CUT, 0));
    }
    if (header.headerSize != INFO_HEADER_SIZE && header.headerSize != CORE_HEADER_SIZE) {
        return refused(headerSizeFault(stream, header));
    }
    const bool core = header.headerSize == CORE_HEADER_SIZE;
    if (!(core ? readCoreHeader(stream, header) : readInfoHeader(stream, header))) {
        return refused(fieldFault(BMP_FAULT_HEADER_CUT, header.headerSize));
    }
    if (header.bitsPerPixel != 8 && header.bitsPerPixel != 24) {
        return refused(headerFault(BMP_FAULT_BITS, header.bitsPerPixel, header, false));
    }
    if (header.compression != 0) {  // after an info header, whose palette follows
        const bool colour = hasColourPalette(stream, header, 0);
        return refused(
            headerFault(BMP_FAULT_COMPRESSION, std::uint32_t(header.compression), header, colour));
    }
    if (header.colorsUsed < 0 || header.colorsUsed > PALETTE_CAPACITY) {
        return refused(fieldFault(BMP_FAULT_COLOURS_USED, std::uint32_t(header.colorsUsed)));
    }

    const int paletteLength =
        header.colorsUsed != 0 ? header.colorsUsed : countOfDIBColorEntries(header.bitsPerPixel);
    Reds reds{};
    bool colourPalette = false;
    const int entryBytes = core ? 3 : 4;
    const int entries = readPalette(stream, paletteLength, entryBytes, reds, colourPalette);
    if (entries < paletteLength) {
        return refused(cutFault(BMP_FAULT_PALETTE_CUT, entries + 1, paletteLength));
    }
    const std::int64_t paletteEnd =
        FILE_HEADER_SIZE + header.headerSize + std::int64_t{paletteLength} * entryBytes;
    const std::int64_t gap = std::int64_t{std::uint32_t(header.pixelOffset)} - paletteEnd;

    if (header.width >= 0 && header.height >= 0 &&
        header.height > mostWrittenRows(header.width, header.bitsPerPixel)) {
        BmpReadCause found = sizeFault(BMP_FAULT_TOO_LARGE, header.width, header.height);
        found.bitsPerPixel = header.bitsPerPixel;
        return refused(found);
    }
    reading.image.reset(createImage(header.width, header.height, header.bitsPerPixel));
    if (!reading.image) {
        BmpReadCause found = sizeFault(noImageFault(header), header.width, header.height);
        found.colourPalette = colourPalette && header.bitsPerPixel == 8;
        return refused(found);
    }
    reading.colourPalette = colourPalette && header.bitsPerPixel == 8;
    return refused(readPixelRows(stream, reading.image.get(), paletteEnd, gap, reds));
}

// The image of a reading, handed to a caller of the plain entry points.
int handOver(BmpReading reading, Image** image) {
    if (reading.image) *image = reading.image.release();
    return bmpReadStatus(reading.cause);
}

}  // namespace

BmpReading readBMPstreamReporting(std::FILE* stream) {
    BmpReading reading;
    reading.cause = readStream(stream, reading);
    return reading;
}

BmpReading readBMPfileReporting(const char* path) {
    const FilePtr file(std::fopen(path, "rb"));
    if (file) return readBMPstreamReporting(file.get());
    const int error = errno;
    BmpReading reading;
    // Some systems refuse to open a folder, others to read one: either way
    // it is named for what it is.
    std::error_code ignored;
    reading.cause = std::filesystem::is_directory(path, ignored)
                        ? errorFault(BMP_FAULT_READ_ERROR, EISDIR)
                        : errorFault(BMP_FAULT_CANNOT_OPEN, error);
    return reading;
}

int readBMPstream(std::FILE* stream, Image** image) {
    return handOver(readBMPstreamReporting(stream), image);
}

int readBMPfile(const char* path, Image** image) {
    return handOver(readBMPfileReporting(path), image);
}

std::string bmpConversionAdvice(const std::string& options, std::int64_t width,
                                std::int64_t height) {
    const std::string command =
        " IN " + (options.empty() ? "" : options + " ") + "-compress none BMP3:OUT.bmp";
    std::string graphicsMagick = "GraphicsMagick: gm convert" + command;
    width = std::abs(width);
    height = std::abs(height);
    if (width > IMAGEMAGICK_SIDE_LIMIT || height > IMAGEMAGICK_SIDE_LIMIT ||
        width * height > IMAGEMAGICK_AREA_LIMIT) {
        return graphicsMagick;
    }
    return "ImageMagick: convert" + command + "; " + graphicsMagick;
}

std::string bmpReadReason(const BmpReadCause& cause, const BmpAdviceFit& fit) {
    const long long field = cause.field;
    const long long width = cause.width;
    const long long height = cause.height;
    // Where a conversion makes a file the reader reads, the reason ends with
    // it: in true colour for fewer than 8 bits a pixel, whose palette the
    // converters keep that small, and for a colour palette, which would
    // otherwise come out as one again.
    const std::string converted = " (" + bmpConversionAdvice("", width, height) + ")";
    const std::string trueColour =
        " (" + bmpConversionAdvice("-type TrueColor", width, height) + ")";
    const std::string asRead = cause.colourPalette ? trueColour : converted;
    switch (cause.kind) {
        case BMP_FAULT_NONE: return "read";
        case BMP_FAULT_CANNOT_OPEN:
            return std::string("cannot be opened: ") + std::strerror(cause.error);
        case BMP_FAULT_READ_ERROR:
            return std::string("cannot be read: ") + std::strerror(cause.error);
        case BMP_FAULT_EMPTY:
            return cause.count == 0 ? "empty file; a BMP file starts with \"BM\""
                                    : "file of 1 byte; a BMP file starts with \"BM\"";
        case BMP_FAULT_SIGNATURE:
            if (cause.format != BMP_OTHER_UNKNOWN) {
                const OtherFormatText other = otherFormatText(cause.format);
                return std::string(other.name) + ", not a BMP file (" +
                       bmpConversionAdvice(other.options) + ")";
            }
            return formatted("starts with the bytes 0x%02llX 0x%02llX, not \"BM\": not a BMP file",
                             field & 0xFF, field >> 8);
        case BMP_FAULT_FILE_HEADER_CUT: return "file ends inside the 14-byte file header";
        case BMP_FAULT_HEADER_SIZE:
            if (cause.bitsPerPixel != 0) {  // its first 40 bytes were read
                return formatted(
                           "bitmap header of %lld bytes; only the 12-byte and 40-byte "
                           "headers are read",
                           field) +
                       (cause.bitsPerPixel < 8 ? trueColour : asRead);
            }
            return formatted(
                       "bitmap header of %lld bytes; only the 12-byte and 40-byte headers "
                       "are read (",
                       field) +
                   bmpConversionAdvice("") +
                   "; with -type TrueColor before -compress for 16 colours or fewer, which they "
                   "may store with 4 or 1 bits per pixel)";
        case BMP_FAULT_HEADER_CUT:
            if (field == 0) return "file ends inside the bitmap header's size field";
            return formatted("file ends inside the %lld-byte bitmap header", field);
        case BMP_FAULT_BITS: {
            // Fewer than 8 bits hold a palette too small for 8 bits to be
            // written again; 16 and 32 bits become 24 by themselves.
            const std::string advice = field < 8 && field > 0       ? trueColour
                                       : field == 16 || field == 32 ? converted
                                                                    : "";
            return formatted("%lld %s per pixel; only 8-bit (palette) and 24-bit pictures are read",
                             field, field == 1 ? "bit" : "bits") +
                   advice;
        }
        case BMP_FAULT_COMPRESSION:  // of an 8-bit or a 24-bit picture
            return formatted("compression %s (%lld); only uncompressed pictures are read",
                             compressionName(field), field) +
                   asRead;
        case BMP_FAULT_COLOURS_USED:
            return formatted("%lld colours used; a palette holds at most 256", field);
        case BMP_FAULT_PALETTE_CUT:
            return formatted("file ends inside the palette, in entry %lld of %lld",
                             static_cast<long long>(cause.endsIn),
                             static_cast<long long>(cause.count));
        case BMP_FAULT_NEGATIVE_WIDTH:
            return formatted("width %lld; a width cannot be negative", width);
        case BMP_FAULT_TOP_DOWN:
            return formatted("rows stored top-down (height %lld); only bottom-up pictures are read",
                             height) +
                   asRead;
        case BMP_FAULT_TOO_LARGE: return tooLargeReason(cause, fit);
        case BMP_FAULT_NO_MEMORY:
            return formatted("no memory for a picture of %lldx%lld pixels", width, height);
        case BMP_FAULT_PIXELS_CUT:
            return formatted(
                "file ends inside pixel row %lld of %lld (rows are stored bottom row first)",
                static_cast<long long>(cause.endsIn), static_cast<long long>(cause.count));
    }
    return "unknown fault";  // a kind outside the enumeration
}
