// The public BMP test suite in tests/data/bmpsuite, judged file by file: each
// file has its expected status below, with the reason. Every picture the
// reader accepts is checked pixel for pixel against a decoding made here from
// the file's own header (its pixel offset field included), and at a few
// hand-checked spots. Files the reader refuses must be refused with the
// promised status, and nothing may hold more memory than the file has bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "bmp.h"
#include "test_support.h"

using namespace onda_test;
namespace fs = std::filesystem;

namespace {

const fs::path SUITE = fs::path(ONDA_TEST_DATA_DIR) / "bmpsuite";

// A hand-checked pixel. For a grey (8-bit) result, g and b are left at -1 and
// every channel must equal r, the red of the palette colour.
struct Spot {
    int x, y, r, g = -1, b = -1;
};

struct SuiteFile {
    const char* path;  // under tests/data/bmpsuite
    int status;
    const char* why;
    std::vector<Spot> spots = {};
};

// One file a line.
// clang-format off
// The picture, in grey pal8 files and their variants (127 x 64 unless named).
const std::vector<Spot> PAL8_SPOTS = {{0, 0, 255}, {126, 0, 153}, {0, 63, 0},
                                      {126, 63, 102}, {63, 32, 255}, {10, 5, 204}};
const std::vector<Spot> RGB24_SPOTS = {{0, 0, 255, 0, 0},        {126, 0, 159, 159, 189},
                                       {0, 63, 0, 0, 0},         {126, 63, 96, 96, 126},
                                       {63, 32, 255, 255, 255},  {10, 5, 235, 82, 82}};

const std::vector<SuiteFile> SUITE_FILES = {
    // Good files: the 8-bit and 24-bit ones are read; the rest are kinds the
    // reader does not support and refuses as promised.
    {"g/pal1.bmp", BMP_UNSUPPORTED_BITS, "1 bit per pixel"},
    {"g/pal1bg.bmp", BMP_UNSUPPORTED_BITS, "1 bit per pixel"},
    {"g/pal1wb.bmp", BMP_UNSUPPORTED_BITS, "1 bit per pixel"},
    {"g/pal4.bmp", BMP_UNSUPPORTED_BITS, "4 bits per pixel"},
    {"g/pal4rle.bmp", BMP_UNSUPPORTED_BITS, "4 bits per pixel (the depth is judged first)"},
    {"g/pal8-0.bmp", BMP_OK, "colours used 0: the default 256 entries", PAL8_SPOTS},
    {"g/pal8.bmp", BMP_OK, "252 colours used", PAL8_SPOTS},
    {"g/pal8nonsquare.bmp", BMP_OK, "127 x 32",
     {{0, 0, 255}, {126, 0, 153}, {0, 31, 0}, {126, 31, 102}, {63, 16, 255}, {10, 5, 204}}},
    {"g/pal8os2.bmp", BMP_OK, "core header, 3-byte palette entries", PAL8_SPOTS},
    {"g/pal8rle.bmp", BMP_BAD_PIXELS, "run-length compressed"},
    {"g/pal8topdown.bmp", BMP_NO_IMAGE, "negative height: rows stored top-down"},
    {"g/pal8v4.bmp", BMP_BAD_HEADER, "108-byte header"},
    {"g/pal8v5.bmp", BMP_BAD_HEADER, "124-byte header"},
    {"g/pal8w124.bmp", BMP_OK, "124 x 61, rows without padding",
     {{0, 0, 255}, {123, 0, 153}, {0, 60, 51}, {123, 60, 51}, {62, 30, 255}, {10, 5, 204}}},
    {"g/pal8w125.bmp", BMP_OK, "125 x 62, 3 padding bytes a row",
     {{0, 0, 255}, {124, 0, 204}, {0, 61, 0}, {124, 61, 102}, {62, 31, 255}, {10, 5, 204}}},
    {"g/pal8w126.bmp", BMP_OK, "126 x 63, 2 padding bytes a row",
     {{0, 0, 255}, {125, 0, 153}, {0, 62, 0}, {125, 62, 51}, {63, 31, 255}, {10, 5, 204}}},
    {"g/rgb16-565.bmp", BMP_UNSUPPORTED_BITS, "16 bits per pixel"},
    {"g/rgb16-565pal.bmp", BMP_UNSUPPORTED_BITS, "16 bits per pixel"},
    {"g/rgb16.bmp", BMP_UNSUPPORTED_BITS, "16 bits per pixel"},
    {"g/rgb24.bmp", BMP_OK, "24 bits per pixel", RGB24_SPOTS},
    {"g/rgb24pal.bmp", BMP_OK, "24 bits with 256 palette entries set aside",
     RGB24_SPOTS},
    {"g/rgb32.bmp", BMP_UNSUPPORTED_BITS, "32 bits per pixel"},
    {"g/rgb32bf.bmp", BMP_UNSUPPORTED_BITS, "32 bits per pixel"},

    // Questionable files.
    {"q/pal1p1.bmp", BMP_UNSUPPORTED_BITS, "1 bit per pixel"},
    {"q/pal2.bmp", BMP_UNSUPPORTED_BITS, "2 bits per pixel"},
    {"q/pal4rletrns.bmp", BMP_UNSUPPORTED_BITS, "4 bits per pixel"},
    {"q/pal8offs.bmp", BMP_OK, "a gap between the palette and the rows, skipped", PAL8_SPOTS},
    {"q/pal8os2sp.bmp", BMP_BAD_PIXELS,
     "core header with a 252-entry palette: 256 entries are read, so the rows end early"},
    {"q/pal8os2v2-16.bmp", BMP_BAD_HEADER, "16-byte header"},
    {"q/pal8os2v2.bmp", BMP_BAD_HEADER, "64-byte header"},
    {"q/pal8oversizepal.bmp", BMP_BAD_HEADER, "300 colours used: more than 256"},
    {"q/pal8rletrns.bmp", BMP_BAD_PIXELS, "run-length compressed"},
    {"q/rgb16-231.bmp", BMP_UNSUPPORTED_BITS, "16 bits per pixel"},
    {"q/rgb24jpeg.bmp", BMP_BAD_HEADER, "124-byte header"},
    {"q/rgb24largepal.bmp", BMP_BAD_HEADER, "300 colours used: more than 256"},
    {"q/rgb24lprof.bmp", BMP_BAD_HEADER, "124-byte header"},
    {"q/rgb24png.bmp", BMP_BAD_HEADER, "124-byte header"},
    {"q/rgb24prof.bmp", BMP_BAD_HEADER, "124-byte header"},
    {"q/rgb32-111110.bmp", BMP_UNSUPPORTED_BITS, "32 bits per pixel"},
    {"q/rgb32bf-xbgr.bmp", BMP_BAD_HEADER, "124-byte header"},
    {"q/rgb32fakealpha.bmp", BMP_UNSUPPORTED_BITS, "32 bits per pixel"},
    {"q/rgb32h52.bmp", BMP_BAD_HEADER, "52-byte header"},
    {"q/rgba16-4444.bmp", BMP_BAD_HEADER, "124-byte header"},
    {"q/rgba32.bmp", BMP_BAD_HEADER, "124-byte header"},
    {"q/rgba32abf.bmp", BMP_UNSUPPORTED_BITS, "32 bits per pixel"},
    {"q/rgba32h56.bmp", BMP_BAD_HEADER, "56-byte header"},

    // Bad files. Most are 1-bit files, refused for their depth before the
    // fault is reached; the faults in fields the reader does not use pass.
    {"b/badbitcount.bmp", BMP_UNSUPPORTED_BITS, "30000 bits per pixel"},
    {"b/badbitssize.bmp", BMP_UNSUPPORTED_BITS, "1 bit per pixel"},
    {"b/baddens1.bmp", BMP_UNSUPPORTED_BITS, "1 bit per pixel"},
    {"b/baddens2.bmp", BMP_UNSUPPORTED_BITS, "1 bit per pixel"},
    {"b/badfilesize.bmp", BMP_UNSUPPORTED_BITS, "1 bit per pixel"},
    {"b/badheadersize.bmp", BMP_BAD_HEADER, "66-byte header"},
    {"b/badpalettesize.bmp", BMP_BAD_HEADER, "305402420 colours used"},
    {"b/badplanes.bmp", BMP_UNSUPPORTED_BITS, "1 bit per pixel"},
    {"b/badrle.bmp", BMP_BAD_PIXELS, "run-length compressed"},
    {"b/badwidth.bmp", BMP_UNSUPPORTED_BITS, "1 bit per pixel"},
    {"b/pal8badindex.bmp", BMP_OK, "indices beyond the 101-entry palette read as black",
     {{0, 0, 255}, {126, 0, 0}, {63, 32, 0}, {0, 63, 0}}},
    {"b/reallybig.bmp", BMP_NO_IMAGE, "3000000 x 2000000 x 24 bits: beyond the image model"},
    {"b/rletopdown.bmp", BMP_BAD_PIXELS, "run-length compressed (and top-down)"},
    {"b/shortfile.bmp", BMP_UNSUPPORTED_BITS, "1 bit per pixel"},
};
// clang-format on

std::uint32_t le32(const Bytes& bytes, std::size_t at) {
    return std::uint32_t(bytes.at(at)) | std::uint32_t(bytes.at(at + 1)) << 8 |
           std::uint32_t(bytes.at(at + 2)) << 16 | std::uint32_t(bytes.at(at + 3)) << 24;
}

unsigned le16(const Bytes& bytes, std::size_t at) {
    return unsigned(bytes.at(at)) | unsigned(bytes.at(at + 1)) << 8;
}

// What the file's header describes, read independently of the codec.
struct Description {
    int width = 0, height = 0, bits = 0;
    std::size_t paletteStart = 0, paletteEntries = 0, entryBytes = 0;
    std::size_t offsetField = 0;
    std::size_t paletteEnd() const { return paletteStart + paletteEntries * entryBytes; }
};

Description describe(const Bytes& file) {
    Description d;
    d.offsetField = le32(file, 10);
    const std::uint32_t headerSize = le32(file, 14);
    const bool core = headerSize == 12;
    d.width = core ? int(le16(file, 18)) : int(le32(file, 18));
    d.height = core ? int(le16(file, 20)) : int(le32(file, 22));
    d.bits = int(le16(file, core ? 24 : 28));
    const std::uint32_t colorsUsed = core ? 0 : le32(file, 46);
    d.paletteEntries = colorsUsed != 0 ? colorsUsed : d.bits == 8 ? 256 : 0;
    d.entryBytes = core ? 3 : 4;
    d.paletteStart = 14 + headerSize;
    return d;
}

// The image bytes (top row first; grey, or red, green, blue) that the file
// holds when its rows start at `rowStart`: 8-bit pixels keep the red of their
// palette colour, black beyond the palette.
Bytes decode(const Bytes& file, const Description& d, std::size_t rowStart) {
    const std::size_t bytesPerPixel = std::size_t(d.bits / 8);
    const std::size_t stride = rowStride(d.width, d.bits / 8);
    Bytes image;
    for (int y = 0; y < d.height; ++y) {
        const std::size_t row = rowStart + std::size_t(d.height - 1 - y) * stride;
        for (int x = 0; x < d.width; ++x) {
            const std::size_t at = row + std::size_t(x) * bytesPerPixel;
            if (d.bits == 8) {
                const std::size_t index = file.at(at);
                image.push_back(index < d.paletteEntries
                                    ? file.at(d.paletteStart + index * d.entryBytes + 2)
                                    : 0);
            } else {
                image.insert(image.end(), {file.at(at + 2), file.at(at + 1), file.at(at)});
            }
        }
    }
    return image;
}

void expectSpots(const Image& image, const std::vector<Spot>& spots, const char* path) {
    for (const Spot& s : spots) {
        const int g = s.g < 0 ? s.r : s.g, b = s.b < 0 ? s.r : s.b;
        EXPECT_EQ(channelAt(image, s.x, s.y, 0), s.r) << path << " at " << s.x << "," << s.y;
        EXPECT_EQ(channelAt(image, s.x, s.y, 1), g) << path << " at " << s.x << "," << s.y;
        EXPECT_EQ(channelAt(image, s.x, s.y, 2), b) << path << " at " << s.x << "," << s.y;
    }
}

void judge(const SuiteFile& f) {
    const Bytes file = readFileBytes(SUITE / f.path);
    ASSERT_FALSE(file.empty()) << f.path;
    const BmpReading reading = readBMPfileReporting((SUITE / f.path).string().c_str());
    const ImagePtr& image = reading.image;
    const int status = bmpReadStatus(reading.cause);
    EXPECT_EQ(status, f.status) << f.path << " (" << f.why << "): " << bmpReadReason(reading.cause);
    if (!image) {
        EXPECT_NE(status, BMP_OK) << f.path;
        return;
    }
    // Whatever the file claims, the reader never holds more than it stores.
    const std::size_t held =
        std::size_t(image->width) * std::size_t(image->height) * std::size_t(image->depth / 8);
    EXPECT_LE(held, file.size()) << f.path;
    if (status != BMP_OK) return;

    const Description d = describe(file);
    ASSERT_EQ(image->width, d.width) << f.path;
    ASSERT_EQ(image->height, d.height) << f.path;
    ASSERT_EQ(image->depth, d.bits) << f.path;
    const Bytes expected = decode(file, d, std::max(d.offsetField, d.paletteEnd()));
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), image->data)) << f.path;
    expectSpots(*image, f.spots, f.path);
}

TEST(BmpSuite, EveryFileHasItsExpectedOutcome) {
    for (const SuiteFile& f : SUITE_FILES) judge(f);
}

TEST(BmpSuite, TheTableNamesEveryFileOfTheSuite) {
    std::set<std::string> onDisk, inTable;
    for (const char* folder : {"g", "q", "b"}) {
        for (const auto& entry : fs::directory_iterator(SUITE / folder)) {
            onDisk.insert(std::string(folder) + "/" + entry.path().filename().string());
        }
    }
    for (const SuiteFile& f : SUITE_FILES) inTable.insert(f.path);
    EXPECT_EQ(inTable, onDisk);
    EXPECT_EQ(inTable.size(), SUITE_FILES.size()) << "a file is named twice";
}

}  // namespace
