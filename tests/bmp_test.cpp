#include "bmp.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "test_support.h"
#include "vectors.h"

#if defined(_WIN32)
#include <windows.h>
#endif

using namespace onda_test;
using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

// Reads bytes as a file; the image, if any, is released by the holder.
struct ReadResult {
    int status;
    ImagePtr image;
    BmpReadCause cause;
    bool colourPalette;
};

// Reads the bytes through the stream entry, which also tells the cause.
ReadResult readBytes(const Bytes& bytes) {
    const FilePtr stream(temporaryFile());
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), stream.get());
    std::rewind(stream.get());
    BmpReading reading = readBMPstreamReporting(stream.get());
    const int status = bmpReadStatus(reading.cause);
    return {status, std::move(reading.image), reading.cause, reading.colourPalette};
}

BmpBuilder grey8(int width, int height) {
    BmpBuilder b;
    b.width = width;
    b.height = height;
    b.palette = greyPalette();
    b.pixels.assign(rowStride(width, 1) * std::size_t(height), 9);
    return b;
}

Bytes truncated(Bytes bytes, std::size_t length) {
    bytes.resize(length);
    return bytes;
}

// A file of other bytes than a BMP file's, 32 bytes long.
Bytes startingWith(std::string head) {
    head.resize(32);
    return Bytes(head.begin(), head.end());
}

// The picture with a palette entry that is not grey.
BmpBuilder coloured(BmpBuilder b) {
    b.palette[4 * 5 + 1] = 0;
    return b;
}

struct StatusCase {
    const char* name;
    Bytes bytes;
    BmpReadKind kind;
    std::string reason;           // what bmpReadReason says, in part
    bool handsOverImage = false;  // the partly read image of pixel data cut short
};

std::vector<StatusCase> statusCases() {
    const Bytes good = grey8(5, 3).bytes();
    // One case a line.
    // clang-format off
    std::vector<StatusCase> cases = {
        {"empty file", {}, BMP_FAULT_EMPTY, "empty file"},
        {"one byte", {'B'}, BMP_FAULT_EMPTY, "file of 1 byte"},
        {"signature only", {'B', 'M'}, BMP_FAULT_FILE_HEADER_CUT, "file ends inside the 14-byte file header"},
        {"signature reversed", [] { BmpBuilder b = grey8(1, 1); b.signature = 0x424D; return b.bytes(); }(), BMP_FAULT_SIGNATURE, "starts with the bytes 0x4D 0x42, not \"BM\""},
        {"header size 108", [] { BmpBuilder b = grey8(1, 1); b.headerSize = 108; return b.bytes(); }(), BMP_FAULT_HEADER_SIZE, "bitmap header of 108 bytes"},
        {"header size 124", [] { BmpBuilder b = grey8(1, 1); b.headerSize = 124; return b.bytes(); }(), BMP_FAULT_HEADER_SIZE, "bitmap header of 124 bytes; only the 12-byte and 40-byte headers are read"},
        {"header size 0", [] { BmpBuilder b = grey8(1, 1); b.headerSize = 0; return b.bytes(); }(), BMP_FAULT_HEADER_SIZE, "bitmap header of 0 bytes"},
        {"16 bits, header cut short", truncated([] { BmpBuilder b; b.bitsPerPixel = 16; return b.bytes(); }(), 40), BMP_FAULT_HEADER_CUT, "file ends inside the 40-byte bitmap header"},
        {"1 bit per pixel", [] { BmpBuilder b = grey8(1, 1); b.bitsPerPixel = 1; return b.bytes(); }(), BMP_FAULT_BITS, "1 bit per pixel; only 8-bit (palette) and 24-bit pictures are read"},
        {"compressed 4 bits", [] { BmpBuilder b; b.bitsPerPixel = 4; b.compression = 2; return b.bytes(); }(), BMP_FAULT_BITS, "4 bits per pixel"},
        {"8-bit run-length", [] { BmpBuilder b = grey8(4, 1); b.compression = 1; return b.bytes(); }(), BMP_FAULT_COMPRESSION, "compression RLE8 (1)"},
        {"24-bit bitfields", [] { BmpBuilder b; b.bitsPerPixel = 24; b.compression = 3; return b.bytes(); }(), BMP_FAULT_COMPRESSION, "compression bit fields (3)"},
        {"colours used 257", [] { BmpBuilder b = grey8(1, 1); b.colorsUsed = 257; return b.bytes(); }(), BMP_FAULT_COLOURS_USED, "257 colours used"},
        {"colours used 300", [] { BmpBuilder b = grey8(1, 1); b.colorsUsed = 300; return b.bytes(); }(), BMP_FAULT_COLOURS_USED, "300 colours used"},
        {"colours used 2^32-1", [] { BmpBuilder b = grey8(1, 1); b.colorsUsed = 0xFFFFFFFF; return b.bytes(); }(), BMP_FAULT_COLOURS_USED, "4294967295 colours used"},
        {"colours used 2^31", [] { BmpBuilder b = grey8(1, 1); b.colorsUsed = 0x80000000; return b.bytes(); }(), BMP_FAULT_COLOURS_USED, "2147483648 colours used"},
        {"palette cut short", truncated(good, 54 + 4 * 255 + 3), BMP_FAULT_PALETTE_CUT, "inside the palette, in entry 256 of 256"},
        {"pixels cut short", truncated(good, good.size() - 9), BMP_FAULT_PIXELS_CUT, "inside pixel row 2 of 3", true},
        {"last padding byte missing", truncated(good, good.size() - 1), BMP_FAULT_PIXELS_CUT, "inside pixel row 3 of 3", true},
        {"negative width", [] { BmpBuilder b = grey8(1, 1); b.width = -4; return b.bytes(); }(), BMP_FAULT_NEGATIVE_WIDTH, "width -4; a width cannot be negative"},
        {"top-down (negative height)", [] { BmpBuilder b = grey8(4, 1); b.height = -1; return b.bytes(); }(), BMP_FAULT_TOP_DOWN, "rows stored top-down (height -1)"},
        {"50000 x 50000", [] { BmpBuilder b = grey8(0, 0); b.width = 50000; b.height = 50000; return b.bytes(); }(), BMP_FAULT_TOO_LARGE, "picture of 50000x50000 pixels"},
        {"65535 x 65535 core header", [] { BmpBuilder b; b.headerSize = 12; b.width = 65535; b.height = 65535; b.palette.assign(768, 0); return b.bytes(); }(), BMP_FAULT_TOO_LARGE, "picture of 65535x65535 pixels"},
        {"width 2^30, 24 bits", [] { BmpBuilder b; b.bitsPerPixel = 24; b.width = 1 << 30; b.height = 1; return b.bytes(); }(), BMP_FAULT_TOO_LARGE, "picture of 1073741824x1 pixels"},
        {"pixel offset beyond the file's end", [] { BmpBuilder b = grey8(5, 3); b.pixelOffset = 1078 + 25; return b.bytes(); }(), BMP_FAULT_PIXELS_CUT, "file ends inside pixel row 1 of 3", true},
        {"pixel offset 2^32-1", [] { BmpBuilder b = grey8(5, 3); b.pixelOffset = 0xFFFFFFFF; return b.bytes(); }(), BMP_FAULT_PIXELS_CUT, "file ends inside pixel row 1 of 3", true},
        {"pixel offset inside the palette", [] { BmpBuilder b = grey8(5, 3); b.pixelOffset = 100; return b.bytes(); }(), BMP_FAULT_NONE, "read"},
        {"well formed", good, BMP_FAULT_NONE, "read"},
        {"256 colours used", [] { BmpBuilder b = grey8(5, 3); b.colorsUsed = 256; return b.bytes(); }(), BMP_FAULT_NONE, "read"},
        {"P7, not netpbm", startingWith("P7\n"), BMP_FAULT_SIGNATURE, "starts with the bytes 0x50 0x37, not \"BM\": not a BMP file"},
        {"P6 without a blank", startingWith("P6x"), BMP_FAULT_SIGNATURE, "starts with the bytes 0x50 0x36"},
        {"RIFF, not WebP", startingWith("RIFF\x10\0\0\0WAVE"s), BMP_FAULT_SIGNATURE, "starts with the bytes 0x52 0x49"},
        {"GIF88a", startingWith("GIF88a"), BMP_FAULT_SIGNATURE, "starts with the bytes 0x47 0x49"},
        {"cursor, not icon", startingWith("\0\0\2\0"s), BMP_FAULT_SIGNATURE, "starts with the bytes 0x00 0x00"},
        {"PNG cut short", truncated(startingWith("\x89PNG\r\n\x1A\n"), 8), BMP_FAULT_SIGNATURE, "a PNG file, not a BMP file" + conversionAdvice("-type TrueColor ")},
        // Advice from what the header says: true colour for fewer than 8 bits and a colour palette.
        {"124 bytes, colour palette", [] { BmpBuilder b = coloured(grey8(1, 1)); b.headerSize = 124; return b.bytes(); }(), BMP_FAULT_HEADER_SIZE, "are read" + conversionAdvice("-type TrueColor ")},
        {"124 bytes, grey palette", [] { BmpBuilder b = grey8(1, 1); b.headerSize = 124; return b.bytes(); }(), BMP_FAULT_HEADER_SIZE, "are read" + conversionAdvice("")},
        {"124 bytes, 4 bits", [] { BmpBuilder b = grey8(1, 1); b.headerSize = 124; b.bitsPerPixel = 4; return b.bytes(); }(), BMP_FAULT_HEADER_SIZE, "are read" + conversionAdvice("-type TrueColor ")},
        {"124 bytes, 24 bits", [] { BmpBuilder b; b.headerSize = 124; b.bitsPerPixel = 24; return b.bytes(); }(), BMP_FAULT_HEADER_SIZE, "are read" + conversionAdvice("")},
        {"124 bytes, colour cut", [] { BmpBuilder b = coloured(grey8(1, 1)); b.headerSize = 124; return truncated(b.bytes(), 138 + 4 * 5 + 1); }(), BMP_FAULT_HEADER_SIZE, "are read" + conversionAdvice("")},
        {"124 bytes cut in the first 40", [] { BmpBuilder b; b.headerSize = 124; return truncated(b.bytes(), 53); }(), BMP_FAULT_HEADER_SIZE, "BMP3:OUT.bmp; with -type TrueColor before -compress for 16 colours or fewer"},
        {"RLE8, colour palette", [] { BmpBuilder b = coloured(grey8(4, 1)); b.compression = 1; return b.bytes(); }(), BMP_FAULT_COMPRESSION, "are read" + conversionAdvice("-type TrueColor ")},
        {"RLE8, colour beyond the entries", [] { BmpBuilder b = coloured(grey8(4, 1)); b.compression = 1; b.colorsUsed = 5; return b.bytes(); }(), BMP_FAULT_COMPRESSION, "are read" + conversionAdvice("")},
        {"top-down, colour palette", [] { BmpBuilder b = coloured(grey8(4, 1)); b.height = -1; return b.bytes(); }(), BMP_FAULT_TOP_DOWN, "are read" + conversionAdvice("-type TrueColor ")},
    };
    // clang-format on
    // A core header and its 3-byte palette entries cut short, colour pixels
    // cut short, and sides whose 8-bit rows fit the file's limit or not.
    BmpBuilder core = grey8(6, 2);
    core.headerSize = 12;
    core.palette.assign(std::size_t{3} * 256, 40);
    const Bytes coreGrey = core.bytes(), colour = [] {
        BmpBuilder b;
        b.bitsPerPixel = 24;
        b.width = 3;
        b.height = 2;
        b.pixels.assign(24, 150);
        return b.bytes();
    }();
    // clang-format off
    for (std::size_t cut = 18; cut < 26; ++cut) cases.push_back({"core header cut short", truncated(coreGrey, cut), BMP_FAULT_HEADER_CUT, "file ends inside the 12-byte bitmap header"});
    cases.push_back({"core palette cut short", truncated(coreGrey, 26 + 767), BMP_FAULT_PALETTE_CUT, "file ends inside the palette, in entry 256 of 256"});
    cases.push_back({"colour pixels cut short", truncated(colour, 54 + 12 + 5), BMP_FAULT_PIXELS_CUT, "file ends inside pixel row 2 of 2", true});
    cases.push_back({"width 2^30, 8 bits", [] { BmpBuilder b = grey8(0, 0); b.width = 1 << 30; b.height = 1; return b.bytes(); }(), BMP_FAULT_PIXELS_CUT, "file ends inside pixel row 1 of 1", true});
    cases.push_back({"height 2^30, 8 bits", [] { BmpBuilder b = grey8(0, 0); b.width = 1; b.height = 1 << 30; return b.bytes(); }(), BMP_FAULT_TOO_LARGE, "picture of 1x1073741824 pixels; the programs read and write pictures whose BMP file stays under 2 GiB"});
    cases.push_back({"top-down colour", [] { BmpBuilder b; b.bitsPerPixel = 24; b.width = 4; b.height = -4; return b.bytes(); }(), BMP_FAULT_TOP_DOWN, "rows stored top-down (height -4); only bottom-up pictures are read" + conversionAdvice("")});
    // clang-format on
    // Other formats, named by their first bytes with the conversion that makes
    // a file read without a note: true colour but for a photograph or grey of
    // 8 bits or more.
    const std::string png = "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\1\0\0\0\1"s;
    // clang-format off
    for (const auto& [head, name, trueColour] : {std::tuple<std::string, std::string, bool>
             {png + "\x08\0"s, "a PNG", false}, {png + "\x10\x04", "a PNG", false}, {png + "\x04\0"s, "a PNG", true},
             {png + "\x08\x02", "a PNG", true}, {png + "\x08\x03", "a PNG", true}, {png, "a PNG", true},
             {"\xFF\xD8\xFF\xE0", "a JPEG", false}, {"GIF87a", "a GIF", true}, {"GIF89a", "a GIF", true},
             {"II*\0"s, "a TIFF", true}, {"MM\0*"s, "a TIFF", true}, {"RIFF\x10\0\0\0WEBPVP8 "s, "a WebP", true},
             {"\0\0\1\0\1\0"s, "an ICO (Windows icon)", true}, {"P1\n", "a PBM (netpbm)", true},
             {"P4 ", "a PBM (netpbm)", true}, {"P2\r", "a PGM (netpbm)", false}, {"P5\t", "a PGM (netpbm)", false},
             {"P3\n", "a PPM (netpbm)", true}, {"P6\n", "a PPM (netpbm)", true}}) {
        // clang-format on
        cases.push_back({"other format", startingWith(head), BMP_FAULT_SIGNATURE,
                         name + " file, not a BMP file" +
                             conversionAdvice(trueColour ? "-type TrueColor " : "")});
    }
    for (int bits : {4, 16, 32, 0, 2}) {
        BmpBuilder b = grey8(1, 1);
        b.bitsPerPixel = uint16_t(bits);
        cases.push_back({"unsupported bits per pixel", b.bytes(), BMP_FAULT_BITS,
                         std::to_string(bits) + " bits per pixel;"});
    }
    // Every cut inside the file and bitmap headers is a header fault.
    for (std::size_t cut = 3; cut < 54; ++cut) {
        const char* part = cut < 14   ? "14-byte file header"
                           : cut < 18 ? "bitmap header's size field"
                                      : "40-byte bitmap header";
        cases.push_back({"header cut short", truncated(good, cut),
                         cut < 14 ? BMP_FAULT_FILE_HEADER_CUT : BMP_FAULT_HEADER_CUT, part});
    }
    return cases;
}

TEST(ReadBMP, NamesTheKindOfEachFault) {
    for (const auto& c : statusCases()) {
        const ReadResult r = readBytes(c.bytes);
        EXPECT_EQ(r.cause.kind, c.kind) << c.name << " (" << c.bytes.size() << " bytes)";
        // An image is handed over on success and on pixel data cut short only.
        EXPECT_EQ(r.image != nullptr, c.kind == BMP_FAULT_NONE || c.handsOverImage) << c.name;
        EXPECT_NE(bmpReadReason(r.cause).find(c.reason), std::string::npos)
            << c.name << ": " << bmpReadReason(r.cause);
    }
}

// A read error takes the status of the check it interrupted, and a folder
// that cannot be opened that of a file (the other kinds' statuses are the
// public suite's).
TEST(ReadBMP, ReadErrorsGiveTheStatusOfTheirStep) {
    const struct {
        BmpReadKind kind, interrupted;
        int status;
    } rows[] = {
        {BMP_FAULT_READ_ERROR, BMP_FAULT_NONE, BMP_CANNOT_OPEN},
        {BMP_FAULT_READ_ERROR, BMP_FAULT_EMPTY, BMP_NO_SIGNATURE},
        {BMP_FAULT_READ_ERROR, BMP_FAULT_PALETTE_CUT, BMP_BAD_HEADER},
        {BMP_FAULT_READ_ERROR, BMP_FAULT_PIXELS_CUT, BMP_BAD_PIXELS},
        {BMP_FAULT_EMPTY, BMP_FAULT_NONE, BMP_NO_SIGNATURE},
    };
    for (const auto& row : rows) {
        BmpReadCause cause;
        cause.kind = row.kind;
        cause.interrupted = row.interrupted;
        EXPECT_EQ(bmpReadStatus(cause), row.status) << row.kind << " in " << row.interrupted;
    }
    // The plain entry points give the same.
    const Bytes cut = truncated(grey8(5, 3).bytes(), 60);
    const FilePtr stream(temporaryFile());
    std::fwrite(cut.data(), 1, cut.size(), stream.get());
    std::rewind(stream.get());
    Image* image = nullptr;
    EXPECT_EQ(readBMPstream(stream.get(), &image), BMP_BAD_HEADER);
    EXPECT_EQ(image, nullptr);
}

// An 8-bit picture read from a palette with a colour among the entries it
// declares says so beside the image.
TEST(ReadBMP, ColourPaletteComesWithTheImage) {
    Bytes reversed;
    for (int i = 255; i >= 0; --i) reversed.insert(reversed.end(), 4, std::uint8_t(i));
    const struct {
        const char* name;
        BmpBuilder picture;
        bool colourPalette;
    } rows[] = {
        {"grey", grey8(4, 4), false},
        {"grey in reverse",
         [&] {
             BmpBuilder b = grey8(4, 4);
             b.palette = reversed;
             return b;
         }(),
         false},
        {"colour", coloured(grey8(4, 4)), true},
        {"colour past the entries declared",
         [] {
             BmpBuilder b = coloured(grey8(4, 4));
             b.colorsUsed = 5;
             return b;
         }(),
         false},
        {"24 bits with a colour palette",
         [] {
             BmpBuilder b;
             b.bitsPerPixel = 24;
             b.width = b.height = 4;
             b.pixels.assign(48, 1);
             b.colorsUsed = 2;
             b.palette = {1, 2, 3, 0, 4, 5, 6, 0};
             return b;
         }(),
         false},
    };
    for (const auto& row : rows) {
        const ReadResult r = readBytes(row.picture.bytes());
        EXPECT_EQ(r.cause.kind, BMP_FAULT_NONE) << row.name;
        EXPECT_EQ(r.colourPalette, row.colourPalette) << row.name;
    }
}

// A path that names no file, a folder, and a file the user may not read.
TEST(ReadBMP, PathsThatCannotBeReadAreNamed) {
    ScratchDir dir;
    fs::create_directory(dir.path("folder.bmp"));
    std::vector<std::pair<std::string, std::string>> rows = {
        {"missing.bmp", "cannot be opened: No such file or directory"},
        {"folder.bmp", "cannot be read: Is a directory"}};
    writeFileBytes(dir.path("locked.bmp"), {'B', 'M'});
    fs::permissions(dir.path("locked.bmp"), fs::perms::none);
    if (!std::ifstream(dir.path("locked.bmp"))) {  // a superuser reads it still
        rows.push_back({"locked.bmp", "cannot be opened: Permission denied"});
    }
    for (const auto& [name, reason] : rows) {
        const BmpReading reading = readBMPfileReporting(dir.path(name).string().c_str());
        EXPECT_EQ(bmpReadReason(reading.cause), reason) << name;
        EXPECT_EQ(reading.image, nullptr) << name;
    }
    Image* image = nullptr;
    EXPECT_EQ(readBMPfile(dir.path("missing.bmp").string().c_str(), &image), BMP_CANNOT_OPEN);
    EXPECT_EQ(image, nullptr);
    fs::permissions(dir.path("locked.bmp"),
                    fs::perms::owner_all);  // Windows removes no read-only file
}

TEST(ReadBMP, RowsAreStoredBottomUpAndPaddingIsSkipped) {
    // 24-bit, width 3: 9 pixel bytes and 3 padding bytes (garbage) per row.
    BmpBuilder b;
    b.bitsPerPixel = 24;
    b.width = 3;
    b.height = 2;
    b.pixels = {1,  2,  3,  4,  5,  6,  7,  8,  9,  0xEE, 0xEE, 0xEE,
                11, 12, 13, 14, 15, 16, 17, 18, 19, 0xEE, 0xEE, 0xEE};
    const ReadResult r = readBytes(b.bytes());
    ASSERT_EQ(r.status, BMP_OK);
    // First stored row is the bottom row (y = 1); blue comes first in the file.
    EXPECT_EQ(channelAt(*r.image, 0, 1, 0), 3);
    EXPECT_EQ(channelAt(*r.image, 0, 1, 2), 1);
    EXPECT_EQ(channelAt(*r.image, 2, 1, 0), 9);
    EXPECT_EQ(channelAt(*r.image, 0, 0, 0), 13);
    EXPECT_EQ(channelAt(*r.image, 2, 0, 1), 18);
}

TEST(ReadBMP, EightBitPixelsTakeTheRedOfTheirPaletteEntry) {
    BmpBuilder b;
    b.width = 4;
    b.height = 1;
    b.colorsUsed = 6;
    b.palette.assign(std::size_t{6} * 4, 0);
    b.palette[5 * 4 + 0] = 10;  // blue
    b.palette[5 * 4 + 1] = 20;  // green
    b.palette[5 * 4 + 2] = 30;  // red
    b.palette[1 * 4 + 2] = 99;
    b.pixels = {5, 1, 6, 255};  // 6 and 255 lie beyond the palette: black
    const ReadResult r = readBytes(b.bytes());
    ASSERT_EQ(r.status, BMP_OK);
    EXPECT_EQ(channelAt(*r.image, 0, 0, 0), 30);
    EXPECT_EQ(channelAt(*r.image, 1, 0, 0), 99);
    EXPECT_EQ(channelAt(*r.image, 2, 0, 0), 0);
    EXPECT_EQ(channelAt(*r.image, 3, 0, 0), 0);
    // With 255 grey entries, index 255 is the first beyond them.
    b.colorsUsed = 255;
    b.palette = greyPalette();
    b.palette.resize(std::size_t{255} * 4);
    b.pixels = {254, 255, 0, 0};
    const ReadResult grey = readBytes(b.bytes());
    ASSERT_EQ(grey.status, BMP_OK);
    EXPECT_EQ(channelAt(*grey.image, 0, 0, 0), 254);
    EXPECT_EQ(channelAt(*grey.image, 1, 0, 0), 0);
}

TEST(ReadBMP, CoreHeaderHasThreeBytePaletteEntries) {
    BmpBuilder b;
    b.headerSize = 12;
    b.width = 2;
    b.height = 1;
    for (int i = 0; i < 256; ++i) b.palette.insert(b.palette.end(), {0, 0, uint8_t(255 - i)});
    b.pixels = {0, 7, 0, 0};
    const ReadResult r = readBytes(b.bytes());
    ASSERT_EQ(r.status, BMP_OK);
    EXPECT_EQ(channelAt(*r.image, 0, 0, 0), 255);
    EXPECT_EQ(channelAt(*r.image, 1, 0, 0), 248);
}

TEST(ReadBMP, ColourFileSetsAsideTheEntriesItsColourCountNames) {
    BmpBuilder b;
    b.bitsPerPixel = 24;
    b.width = 1;
    b.height = 1;
    b.colorsUsed = 2;
    b.palette.assign(8, 0x55);
    b.pixels = {1, 2, 3, 0};
    const ReadResult r = readBytes(b.bytes());
    ASSERT_EQ(r.status, BMP_OK);
    EXPECT_EQ(channelAt(*r.image, 0, 0, 0), 3);
    EXPECT_EQ(channelAt(*r.image, 0, 0, 1), 2);
    EXPECT_EQ(channelAt(*r.image, 0, 0, 2), 1);
}

// The rows start at the pixel data offset when it lies beyond the palette's
// end (1078 here), right after the palette otherwise.
TEST(ReadBMP, PixelsStartAtTheOffsetBeyondThePalette) {
    const struct {
        std::uint32_t offset;
        Bytes gap;
    } cases[] = {{0, {}}, {54, {}}, {1077, {}}, {1078, {}}, {1079, {9}}, {1082, {9, 9, 9, 9}}};
    for (const auto& c : cases) {
        BmpBuilder b = grey8(1, 1);
        b.pixelOffset = c.offset;
        b.pixels = c.gap;
        b.pixels.insert(b.pixels.end(), {42, 0, 0, 0});
        const ReadResult r = readBytes(b.bytes());
        ASSERT_EQ(r.status, BMP_OK) << c.offset;
        EXPECT_EQ(channelAt(*r.image, 0, 0, 0), 42) << c.offset;
    }
    // A 12-byte header's palette ends at 794.
    BmpBuilder core;
    core.headerSize = 12;
    core.width = 1;
    core.height = 1;
    for (int i = 0; i < 256; ++i) core.palette.insert(core.palette.end(), 3, std::uint8_t(i));
    core.pixelOffset = 797;
    core.pixels = {9, 9, 9, 42, 0, 0, 0};
    const ReadResult r = readBytes(core.bytes());
    ASSERT_EQ(r.status, BMP_OK);
    EXPECT_EQ(channelAt(*r.image, 0, 0, 0), 42);
}

TEST(ReadBMP, PixelsReadBeforeTheDataEndsAreKept) {
    Bytes bytes = colourBmp(3, 2, [](int x, int y, int c) { return 10 * y + x + 100 * c; });
    bytes.pop_back();  // the last row's last padding byte
    ReadResult r = readBytes(bytes);
    EXPECT_EQ(r.status, BMP_BAD_PIXELS);
    ASSERT_NE(r.image, nullptr);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(channelAt(*r.image, x, y, 2), 10 * y + x + 200);

    // Cut inside the bottom row's second pixel: the first is kept, the rest are 0.
    bytes.resize(54 + 3 + 2);
    r = readBytes(bytes);
    EXPECT_EQ(r.status, BMP_BAD_PIXELS);
    ASSERT_NE(r.image, nullptr);
    EXPECT_EQ(channelAt(*r.image, 0, 1, 0), 10);
    EXPECT_EQ(channelAt(*r.image, 1, 1, 0), 0);
    EXPECT_EQ(channelAt(*r.image, 2, 0, 0), 0);
}

// Files larger than the reader's block of bytes, whose end cuts rows and
// pixels: every pixel is read, through a reordered palette or turned from
// blue, green, red, at each vector width; a file that ends past the first
// block ends in the row it cuts.
TEST(ReadBMP, FilesLargerThanTheTransferBlockAreReadWhole) {
    const int width = 1021, height = 1100;
    const auto index = [](int x, int y) { return (7 * x + 3 * y) % 256; };
    Bytes grey = greyBmp(width, height, index);
    for (std::size_t i = 0; i < 256; ++i) {
        for (std::size_t k = 0; k < 3; ++k) grey[54 + 4 * i + k] = std::uint8_t(255 - i);
    }
    const auto value = [](int x, int y, int c) { return (5 * x + 9 * y + 85 * c) % 256; };
    Bytes colour = colourBmp(width, 400, value);
    Bytes reversed, rgb;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            reversed.push_back(std::uint8_t(255 - index(x, y)));
            for (int c = 0; c < 3 && y < 400; ++c) rgb.push_back(std::uint8_t(value(x, y, c)));
        }
    }
    const VectorWidth widest = vectorWidth();
    for (const VectorWidth vectors : {VECTORS_PORTABLE, VECTORS_SSE2, VECTORS_AVX2}) {
        if (!useVectors(vectors)) continue;
        for (const auto& [file, expected] : {std::pair{&grey, &reversed}, {&colour, &rgb}}) {
            const ReadResult r = readBytes(*file);
            ASSERT_EQ(r.status, BMP_OK);
            EXPECT_EQ(Bytes(r.image->data, r.image->data + expected->size()), *expected) << vectors;
        }
    }
    useVectors(widest);
    colour.resize(54 + 350 * rowStride(width, 3) + 5);  // inside the second pixel of row 351
    const ReadResult r = readBytes(colour);
    EXPECT_EQ(r.status, BMP_BAD_PIXELS);
    EXPECT_EQ(r.cause.endsIn, 351);
    EXPECT_EQ(channelAt(*r.image, 0, 49, 2), value(0, 49, 2));
    EXPECT_EQ(channelAt(*r.image, 1, 49, 0), 0);
    EXPECT_EQ(channelAt(*r.image, 0, 50, 0), value(0, 50, 0));
}

TEST(ReadBMP, ZeroWidthGivesAnImageWithoutPixels) {
    BmpBuilder b = grey8(0, 70000);
    const ReadResult r = readBytes(b.bytes());
    ASSERT_EQ(r.status, BMP_OK);
    EXPECT_EQ(r.image->height, 70000);
    EXPECT_EQ(r.image->data, nullptr);
}

TEST(ReadBMP, StreamEntryReadsFromTheCurrentStream) {
    const Bytes bytes = greyBmp(2, 2, [](int x, int y) { return 50 * y + x; });
    std::FILE* stream = temporaryFile();
    std::fwrite(bytes.data(), 1, bytes.size(), stream);
    std::rewind(stream);
    Image* image = nullptr;
    EXPECT_EQ(readBMPstream(stream, &image), BMP_OK);
    EXPECT_EQ(std::fclose(stream), 0);
    const ImagePtr owned(image);
    EXPECT_EQ(channelAt(*owned, 1, 1, 0), 51);
}

TEST(Tables, PaletteLengthAndRowLength) {
    EXPECT_EQ(countOfDIBColorEntries(1), 2);
    EXPECT_EQ(countOfDIBColorEntries(4), 16);
    EXPECT_EQ(countOfDIBColorEntries(8), 256);
    EXPECT_EQ(countOfDIBColorEntries(24), 0);
    const struct {
        int width, bits;
        std::int64_t bytes;
    } rows[] = {
        {5, 8, 8},   {1, 24, 4},  {3, 24, 12},
        {4, 24, 12}, {33, 1, 8},  {9, 4, 8},
        {3, 16, 8},  {3, 32, 12}, {7, 5, 7},
        {0, 24, 0},  {4, 8, 4},   {715827882, 24, 2147483648LL},  // wider than an int can count
    };
    for (const auto& r : rows)
        EXPECT_EQ(getDIBxmax(r.width, r.bits), r.bytes) << r.width << "@" << r.bits;
}

TEST(Fields, LittleEndianWordsAndDoubleWords) {
    std::FILE* stream = temporaryFile();
    fwriteWORD(0x12345, stream);  // the low 16 bits only
    fwriteDWORD(-2, stream);
    fwriteDWORD(0x01020304, stream);
    std::rewind(stream);
    std::uint16_t word = 0;
    std::int32_t dword = 0;
    EXPECT_EQ(freadWORD(&word, stream), 1);
    EXPECT_EQ(word, 0x2345);
    EXPECT_EQ(freadDWORD(&dword, stream), 1);
    EXPECT_EQ(dword, -2);
    EXPECT_EQ(freadDWORD(&dword, stream), 1);
    EXPECT_EQ(dword, 0x01020304);
    dword = 77;
    EXPECT_EQ(freadDWORD(&dword, stream), 0);  // end of file: target kept
    EXPECT_EQ(dword, 77);
    EXPECT_EQ(std::fclose(stream), 0);
}

// The 54 header bytes writeBMPfile must produce.
Bytes expectedHeader(int width, int height, int depth, std::uint32_t fileSize) {
    Bytes h;
    putWord(h, 0x4D42);
    putDword(h, fileSize);
    putWord(h, 0);
    putWord(h, 0);
    putDword(h, depth == 8 ? 1078 : 54);
    putDword(h, 40);
    putDword(h, std::uint32_t(width));
    putDword(h, std::uint32_t(height));
    putWord(h, 1);
    putWord(h, unsigned(depth));
    for (std::uint32_t v : {0u, 0u, 300u, 300u, 0u, 0u}) putDword(h, v);
    return h;
}

Bytes writeToBytes(const Image& image) {
    ScratchDir dir;
    EXPECT_EQ(writeBMPfile(dir.path("out.bmp").c_str(), &image), BMP_WRITTEN);
    return readFileBytes(dir.path("out.bmp"));
}

TEST(WriteBMP, EightBitFileIsExact) {
    const ImagePtr image = makeImage(3, 2, 8, [](int x, int y, int) { return 1 + x + 10 * y; });
    const Bytes file = writeToBytes(*image);
    ASSERT_EQ(file.size(), 1086u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 54), expectedHeader(3, 2, 8, 1086));
    for (int i = 0; i < 256; ++i) {
        for (int k = 0; k < 4; ++k) ASSERT_EQ(file[std::size_t(54 + 4 * i + k)], i);
    }
    // Bottom row first, one zero padding byte per row.
    EXPECT_EQ(Bytes(file.begin() + 1078, file.end()), (Bytes{11, 12, 13, 0, 1, 2, 3, 0}));
}

TEST(WriteBMP, ColourFilesAreExact) {
    const ImagePtr image = makeImage(3, 2, 24, [](int x, int y, int c) {
        return c == 0 ? 200 : c == 1 ? 100 + x : 50 + y;
    });
    const Bytes file = writeToBytes(*image);
    ASSERT_EQ(file.size(), 78u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 54), expectedHeader(3, 2, 24, 78));
    EXPECT_EQ(Bytes(file.begin() + 54, file.end()),
              (Bytes{51, 100, 200, 51, 101, 200, 51, 102, 200, 0, 0, 0,
                     50, 100, 200, 50, 101, 200, 50, 102, 200, 0, 0, 0}));

    const ImagePtr row = makeImage(4, 1, 24, [](int, int, int) { return 1; });
    const Bytes unpadded = writeToBytes(*row);
    EXPECT_EQ(unpadded.size(), 66u);
    EXPECT_EQ(Bytes(unpadded.begin(), unpadded.begin() + 54), expectedHeader(4, 1, 24, 66));
}

// Files larger than the writer's block of bytes, whose end cuts rows and
// colour pixels, are written whole, at each vector width.
TEST(WriteBMP, FilesLargerThanTheTransferBlockAreExact) {
    const auto value = [](int x, int y, int c) { return (7 * x + 3 * y + 85 * c) % 256; };
    const struct { int width, height, depth; } shapes[] = {{4096 + 4097, 50, 24}, {1021, 1100, 8}};
    for (const auto& s : shapes) {
        const std::size_t stride = rowStride(s.width, s.depth / 8);
        Bytes palette;  // entry i is the byte i four times
        for (int i = 0; s.depth == 8 && i < 256; ++i)
            palette.insert(palette.end(), 4, std::uint8_t(i));
        const std::size_t offset = 54 + palette.size();
        Bytes expected = expectedHeader(s.width, s.height, s.depth,
                                        std::uint32_t(offset + std::size_t(s.height) * stride));
        expected.insert(expected.end(), palette.begin(), palette.end());
        for (int y = s.height - 1; y >= 0; --y) {
            for (int x = 0; x < s.width; ++x) {
                for (int c = s.depth / 8 - 1; c >= 0; --c) {
                    expected.push_back(std::uint8_t(value(x, y, c)));
                }
            }
            expected.resize(offset + std::size_t(s.height - y) * stride, 0);
        }
        const ImagePtr image = makeImage(s.width, s.height, s.depth, value);
        const VectorWidth widest = vectorWidth();
        for (const VectorWidth vectors : {VECTORS_PORTABLE, VECTORS_SSE2, VECTORS_AVX2}) {
            if (!useVectors(vectors)) continue;
            EXPECT_EQ(writeToBytes(*image), expected) << s.depth << vectors;
        }
        useVectors(widest);
    }
}

TEST(WriteBMP, ZeroWidthWritesHeadersOnly) {
    for (int depth : {8, 24}) {
        Image* image = createImage(0, 7, depth);
        const Bytes file = writeToBytes(*image);
        const std::uint32_t size = depth == 8 ? 1078 : 54;
        EXPECT_EQ(file.size(), size);
        EXPECT_EQ(Bytes(file.begin(), file.begin() + 54), expectedHeader(0, 7, depth, size));
        disposeImage(image);
    }
}

TEST(WriteBMP, WrittenFilesReadBackUnchanged) {
    for (int depth : {8, 24}) {
        for (int width = 1; width <= 9; ++width) {
            const ImagePtr image = makeImage(width, 3, depth, [](int x, int y, int c) {
                return (37 * x + 91 * y + 53 * c) % 256;
            });
            const ReadResult back = readBytes(writeToBytes(*image));
            ASSERT_EQ(back.status, BMP_OK);
            const std::size_t bytes = std::size_t(width) * 3 * std::size_t(depth / 8);
            EXPECT_EQ(Bytes(back.image->data, back.image->data + bytes),
                      Bytes(image->data, image->data + bytes))
                << depth << " bits, width " << width;
        }
    }
}

TEST(WriteBMP, RefusesDepthsItCannotWriteAndCreatesNothing) {
    ScratchDir dir;
    const std::string out = dir.path("out.bmp").string();
    EXPECT_EQ(writeBMPfile(out.c_str(), nullptr), BMP_WRITE_FAILED);
    unsigned char byte = 0;
    const struct {
        Image image;
        const char* reason;
    } cases[] = {
        {{1, 1, 16, &byte}, "a 16-bit picture cannot be written; only 8-bit and 24-bit ones"},
        {{1, 1, 8, nullptr}, "the picture has no pixels to write"},
        {{1, 1, 24, nullptr}, "the picture has no pixels to write"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(writeBMPfile(out.c_str(), &c.image), BMP_WRITE_FAILED) << c.reason;
        EXPECT_EQ(bmpWriteReason(writeBMPfileReporting(out.c_str(), &c.image)), c.reason);
    }
    EXPECT_TRUE(dir.entries().empty());
}

TEST(WriteBMP, FailuresLeaveNoFileBehind) {
    ScratchDir dir;
    const ImagePtr image = makeImage(4, 4, 8, [](int, int, int) { return 3; });
    EXPECT_EQ(writeBMPfile(dir.path("missing/out.bmp").c_str(), image.get()), BMP_WRITE_FAILED);
    EXPECT_EQ(writeBMPfile(dir.root().string().c_str(), image.get()),
              BMP_WRITE_FAILED);  // a folder
    const ScratchDir devices;
    if (const std::string full = writableDevice(devices, "full"); !full.empty()) {
        EXPECT_EQ(writeBMPfile(full.c_str(), image.get()), BMP_WRITE_FAILED);
    }
    EXPECT_TRUE(dir.entries().empty());
}

TEST(WriteBMP, StreamWriteErrorsAreReported) {
    ScratchDir dir;
    writeFileBytes(dir.path("ro.bmp"), {});
    std::FILE* readOnly = std::fopen(dir.path("ro.bmp").c_str(), "rb");
    const ImagePtr image = makeImage(64, 64, 24, [](int, int, int) { return 3; });
    EXPECT_EQ(writeBMPstream(readOnly, image.get()), BMP_WRITE_FAILED);
    (void)std::fclose(readOnly);  // its failure is what the test is about
}

TEST(WriteBMP, ReplacesAnExistingFileKeepingItsModeAndLeavesNoTemporary) {
    ScratchDir dir;
    const TextPath out = dir.path("out.bmp");
    writeFileBytes(out, Bytes(5000, 0xAB));
    fs::permissions(out, fs::perms::owner_read | fs::perms::owner_write);
    const ImagePtr image = makeImage(2, 2, 8, [](int, int, int) { return 1; });
    ASSERT_EQ(writeBMPfile(out.c_str(), image.get()), BMP_WRITTEN);
    EXPECT_EQ(readFileBytes(out).size(), 1078u + 8u);
#if !defined(_WIN32)  // Windows files have no mode beyond read-only
    EXPECT_EQ(fs::status(out).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    // A new file takes 0666 less the umask.
    const mode_t umaskBefore = ::umask(027);
    EXPECT_EQ(writeBMPfile(dir.path("new.bmp").c_str(), image.get()), BMP_WRITTEN);
    ::umask(umaskBefore);
    EXPECT_EQ(fs::status(dir.path("new.bmp")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::remove(dir.path("new.bmp"));
#endif
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"out.bmp"});
}

// Wherever a name leads, the file is written there: through links (a dangling
// one creates the file it names, a relative one is read from its own folder),
// under the longest name a folder holds, and in a folder whose path leaves
// room for little more than the name. Links stay links; nothing else is left.
TEST(WriteBMP, WritesWhereverTheNameLeads) {
#if defined(_WIN32)
    GTEST_SKIP() << "symbolic links need a privilege there, and Windows keeps its own path limits";
#else
    ScratchDir dir;
    const fs::path& root = dir.root();
    fs::path deep = root;
    while (deep.string().size() + 220 < PATH_MAX) deep /= std::string(200, 'd');
    deep /= std::string(PATH_MAX - 10 - deep.string().size(), 'e');  // then "/out.bmp"
    fs::create_directories(deep);
    fs::create_directory(root / "sub");
    const std::string longest = std::string(251, 'n') + ".bmp";  // 255 bytes
    const struct {
        const char* what;
        fs::path asked, written;
        std::string linkText;  // when `asked` is a link
        bool existing;
    } rows[] = {
        {"link", root / "link.bmp", root / "real.bmp", "real.bmp", true},
        {"dangling link", root / "dangling.bmp", root / "sub" / "absent.bmp", "sub/absent.bmp",
         false},
        {"link to a link", root / "sub" / "twice.bmp", root / "real.bmp", "../link.bmp", true},
        {"255-byte name", root / longest, root / longest, "", false},
        {"255-byte name, existing", root / longest, root / longest, "", true},
        {"deep folder", deep / "out.bmp", deep / "out.bmp", "", false},
        {"deep folder, existing", deep / "out.bmp", deep / "out.bmp", "", true},
    };
    const ImagePtr image = makeImage(4, 2, 24, [](int x, int y, int c) { return x + y + c; });
    const Bytes expected = bmpFileOf(*image);
    for (const auto& row : rows) {
        if (row.existing) writeFileBytes(row.written, Bytes(7, 1));
        if (!row.linkText.empty() && !fs::is_symlink(row.asked)) {
            fs::create_symlink(row.linkText, row.asked);
        }
        EXPECT_EQ(writeBMPfile(row.asked.c_str(), image.get()), BMP_WRITTEN) << row.what;
        EXPECT_EQ(readFileBytes(row.written), expected) << row.what;
        EXPECT_EQ(fs::is_symlink(row.asked), !row.linkText.empty()) << row.what;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            EXPECT_NE(entry.path().filename().string().rfind(".onda-", 0), 0u) << row.what;
        }
    }
#endif
}

TEST(WriteBMP, RefusesAFileTooLargeForTheSizeField) {
    // 46341 x 46340 grey pixels: under 2^31 bytes in memory, over it with the
    // headers and row padding on disk. The image is never touched, so its
    // pages are never really allocated.
    ScratchDir dir;
    Image* image = createImage(46341, 46340, 8);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(writeBMPfile(dir.path("big.bmp").c_str(), image), BMP_WRITE_FAILED);
    disposeImage(image);
    EXPECT_TRUE(dir.entries().empty());
}

// The size a too-large refusal advises, for sides that are multiples of
// `multiple`, passes the reader's limit (a header of that size is read up to
// its missing pixels) and the writer's (which fails only for want of the
// output's folder); where the picture's height did not limit it, `multiple`
// rows more are refused.
// clang-format off
TEST(ReadBMP, TooLargeAdviceFitsTheReaderAndTheWriter) {
    const struct {
        int width, height, bits, multiple, fittingWidth, fittingHeight;
        const char* fits;  // the levels are named where a crop fits them
    } cases[] = {
        {50000, 50000, 8, 1, 50000, 42949, " fits ("}, {50000, 50000, 8, 2, 50000, 42948, " fits the levels asked ("},
        {50000, 50000, 8, 8, 50000, 42944, " fits the levels asked ("}, {46342, 46340, 8, 1, 46342, 46337, " fits ("},
        {65532, 32770, 8, 4, 65532, 32768, " fits the levels asked ("}, {26755, 26755, 24, 2, 26754, 26754, " fits the levels asked ("},
        {1 << 30, 1, 24, 2, 715827864, 1, " fits ("},
    };
    const ScratchDir dir;
    for (const auto& c : cases) {
        const auto header = [&c](int width, int height) {  // the cause of reading it
            BmpBuilder b = c.bits == 8 ? grey8(0, 0) : BmpBuilder{};
            b.bitsPerPixel = std::uint16_t(c.bits);
            std::tie(b.width, b.height) = std::tie(width, height);
            return readBytes(b.bytes()).cause;
        };
        const std::string size = std::to_string(c.fittingWidth) + "x" + std::to_string(c.fittingHeight);
        const std::string reason = bmpReadReason(header(c.width, c.height), BmpAdviceFit{c.multiple, true});
        EXPECT_NE(reason.find("at most " + size + c.fits + "GraphicsMagick: gm convert IN -crop " + size + "+0+0 +repage -compress none BMP3:OUT.bmp; or -resize " + size + "! in place"), std::string::npos) << reason;  // NOLINT(performance-inefficient-string-concatenation): once a row
        EXPECT_EQ(header(c.fittingWidth, c.fittingHeight).kind, BMP_FAULT_PIXELS_CUT) << size;
        // Where the file's limit stopped the height, the next size of the levels is refused.
        EXPECT_TRUE(c.fittingHeight + c.multiple > c.height || header(c.fittingWidth, c.fittingHeight + c.multiple).kind == BMP_FAULT_TOO_LARGE) << size;
        const ImagePtr image(createImage(c.fittingWidth, c.fittingHeight, c.bits));
        EXPECT_EQ(writeBMPfileReporting(dir.path("missing/out.bmp").c_str(), image.get()).kind, BMP_WRITE_CREATE) << size;
    }
}
// clang-format on

// ImageMagick's stock policy refuses a side over 16,000 pixels and an area
// over 2^27 pixels: beyond those, only GraphicsMagick is advised.
// clang-format off
TEST(ReadBMP, ConversionAdviceNamesTheConvertersThatTakeTheSize) {
    const std::string both = conversionAdvice("-x "), graphicsMagick = " (" + both.substr(both.find("GraphicsMagick"));
    for (const auto& [width, height, imageMagick] : {std::tuple{16000, 8000, true}, {16001, 8, false}, {8, 16001, false},
             {11585, 11585, true}, {11586, 11586, false}, {16, -16000, true}, {16, -16001, false}})
        EXPECT_EQ(" (" + bmpConversionAdvice("-x", width, height) + ")", imageMagick ? both : graphicsMagick) << width;
}
// clang-format on

#if defined(_WIN32)
// `wide` in the ANSI code page, or "" when the code page cannot spell it
// both ways.
std::string inAnsiCodePage(const std::wstring& wide) {
    BOOL lossy = FALSE;
    char narrow[64] = {};
    wchar_t back[64] = {};
    const bool spelt = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, narrow, sizeof narrow,
                                           nullptr, &lossy) > 0 &&
                       !lossy && MultiByteToWideChar(CP_ACP, 0, narrow, -1, back, 64) > 0;
    return spelt && wide == back ? narrow : "";
}

// Windows programs get their arguments in the ANSI code page (CP932 on a
// Japanese system); a name beyond ASCII names the same file for the reader,
// the writer and its replacement of an existing file.
TEST(WriteBMP, NamesInTheAnsiCodePageAreTheFilesTheyName) {
    std::wstring wide;
    std::string narrow;
    for (const wchar_t* name : {L"\u30c6\u30b9\u30c8", L"\u0192\u00e9"}) {  // テスト, fe
        narrow = inAnsiCodePage(name);
        wide = name;
        if (!narrow.empty()) break;
    }
    if (narrow.empty()) GTEST_SKIP() << "the ANSI code page spells none of the test names";
    ScratchDir dir;
    const std::string path = dir.root().string() + "\\" + narrow + ".bmp";
    const ImagePtr image = makeImage(2, 2, 8, [](int x, int, int) { return 40 * x; });
    ASSERT_EQ(writeBMPfile(path.c_str(), image.get()), BMP_WRITTEN);
    EXPECT_TRUE(fs::exists(dir.root() / (wide + L".bmp")));
    ASSERT_EQ(writeBMPfile(path.c_str(), image.get()), BMP_WRITTEN);
    Image* read = nullptr;
    EXPECT_EQ(readBMPfile(path.c_str(), &read), BMP_OK);
    const ImagePtr owned(read);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.root()), fs::directory_iterator()), 1);
}
#endif

}  // namespace
