// Helpers shared by the tests: crafted BMP bytes, scratch folders, pictures
// made from a formula, and running a built program as a user does.
#ifndef ONDA_TEST_SUPPORT_H
#define ONDA_TEST_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tool.h"

namespace onda_test {

using Bytes = std::vector<std::uint8_t>;

void putWord(Bytes& out, unsigned value);
void putDword(Bytes& out, std::uint32_t value);

// The fields of a BMP file, written as they stand (nothing is made
// consistent), so that tests can craft any header. By default a valid 8-bit
// info-header file of 0 x 0 pixels.
struct BmpBuilder {
    std::uint16_t signature = 0x4D42;
    std::uint32_t fileSize = 0;
    std::uint32_t pixelOffset = 0;
    std::uint32_t headerSize = 40;
    std::int32_t width = 0;   // written as 16 bits after a 12-byte header
    std::int32_t height = 0;  // likewise
    std::uint16_t planes = 1;
    std::uint16_t bitsPerPixel = 8;
    std::uint32_t compression = 0;
    std::uint32_t colorsUsed = 0;
    Bytes palette;  // raw entry bytes
    Bytes pixels;   // raw row bytes, padding included

    Bytes bytes() const;
};

// The 256 entries of the grey palette, entry i holding i, i, i and 0.
Bytes greyPalette();

// The bytes a stored row of `width` pixels takes, padding to a multiple of 4
// included; 0 when width is not positive.
std::size_t rowStride(int width, int bytesPerPixel);

// A well-formed file with a grey palette (8-bit) or none (24-bit), rows
// bottom-up and padded; value(x, y) gives the grey level or, for 24 bits,
// the channel `c` of pixel (x, y).
Bytes greyBmp(int width, int height, const std::function<int(int x, int y)>& value);
Bytes colourBmp(int width, int height, const std::function<int(int x, int y, int c)>& value);

// An image made by createImage and filled from a formula.
ImagePtr makeImage(int width, int height, int depth,
                   const std::function<int(int x, int y, int c)>& value);

// A picture of random bytes, the same for the same seed.
ImagePtr randomImage(int width, int height, int depth, unsigned seed);

// The bytes writeBMPfile writes for an image.
Bytes bmpFileOf(const Image& image);

// Reads a channel back (c = 0 red or grey, 1 green, 2 blue).
int channelAt(const Image& image, int x, int y, int c);

Bytes readFileBytes(const std::filesystem::path& path);
void writeFileBytes(const std::filesystem::path& path, const Bytes& bytes);
std::string asString(const Bytes& bytes);

#if defined(_WIN32)
// A path whose text is also at hand as a narrow string, as a path's own is on
// POSIX: it converts to std::string and c_str() gives chars, so that the
// same test lines hand paths to the codec and to the programs' command lines
// where paths are wide. Changing it through the path's members leaves the
// text behind.
class TextPath : public std::filesystem::path {
   public:
    TextPath(std::filesystem::path whole)
        : std::filesystem::path(std::move(whole)), text_(string()) {}
    operator std::string() const { return text_; }
    const char* c_str() const { return text_.c_str(); }

   private:
    std::string text_;
};
#else
using TextPath = std::filesystem::path;
#endif

// Who may reach a scratch folder: the user alone, or every user too (for the
// runs as nobody; on POSIX systems a 0755 folder under /tmp, whatever TMPDIR
// says).
enum class Reach { user, everyone };

// A fresh folder under the system's temporary folder, removed at the end.
class ScratchDir {
   public:
    explicit ScratchDir(Reach reach = Reach::user);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    TextPath path(const std::string& name) const { return root_ / name; }
    const std::filesystem::path& root() const { return root_; }
    // Every entry of the folder, by name, sorted.
    std::vector<std::string> entries() const;

   private:
    std::filesystem::path root_;
};

struct RunResult {
    int exitStatus = -1;  // -1 when the program did not exit normally
    int signal = 0;       // the signal that ended it, if any
    std::string out;      // everything it wrote to standard output
    std::string err;      // everything it wrote to standard error
};

// How a program is run; everything but the defaults needs POSIX.
struct RunOptions {
    std::uint64_t addressSpaceBytes = 0;  // 0: no limit
    std::uint64_t fileSizeBytes = 0;      // 0: no limit
    int ignoredSignal = 0;                // a signal the program starts with ignored
    bool unprivileged = false;            // run as "nobody" when the tests run as root, from
                                          // a copy of the program that nobody may run
    bool oneStream = false;               // standard error into standard output
};

// The exit status a sanitizer report gives a program run by runProgram, so
// that it can never pass for a refusal (1).
constexpr int SANITIZER_EXIT_STATUS = 86;

// Runs `program` with `args` (argv[1] on), standard output captured, every
// signal that ends a program at its default action but `ignoredSignal`.
// `environment` holds NAME=VALUE settings for the child; a sanitizer's
// *_OPTIONS value is added after the options already set, which it overrides.
// On Windows the console text comes back with text mode's \r\n line ends
// read as \n, an exception that ended the program (an exit code of
// 0xC0000000 or above) is given as `signal`, and there are no options: a test
// that needs them skips there.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options = {},
                     const std::vector<std::string>& environment = {});

#ifndef _WIN32
// runProgram with standard output on a pseudo-terminal, set raw so that its
// bytes arrive unchanged; standard error is captured as before.
RunResult runProgramOnTerminal(const std::string& program, const std::vector<std::string>& args,
                               const std::vector<std::string>& environment = {});
#endif

// A row-major plane of coefficients.
using Plane = std::vector<double>;

// A width x height plane of values drawn evenly from [low, high).
Plane randomPlane(std::mt19937& random, int width, int height, double low, double high);
// Where element (x, y) of a plane `width` elements wide is kept.
inline std::size_t planeIndex(int x, int y, int width) {
    return std::size_t(y) * std::size_t(width) + std::size_t(x);
}

// A width x height plane whose element (x, y) is value(x, y).
Plane planeFromFormula(int width, int height, double (*value)(int x, int y));

// Everything written to a stream from its start; the stream is closed.
std::string readAllAndClose(std::FILE* stream);

// A new file open for reading and writing, removed when closed: tmpfile, or
// on Windows a file made by name in the temporary folder (the C runtime's
// tmpfile can fail there when several processes ask at once).
std::FILE* temporaryFile();

// A whole-plane sweep (fwd::sweepPlane, inv::sweepPlane, split::sweepPlane).
using Sweep = void (*)(const PlaneSweep& sweep);

// Runs `sweep` at `levels` levels on `source` through plain buffers, with rows
// of exactly the lengths `rows` and a result buffer, all full of NaN (so that
// a value read before it is written, or never written, shows); returns the
// result buffer.
Plane runSweep(Sweep sweep, SweepRowsLength rows, const Plane& source, int height, int width,
               int levels);

// A program's wavelet_process (fwd::, inv::wavelet_inv_process, split::).
using Process = void (*)(const PicturePlanes& planes, std::FILE* progress);

// What `process` prints with R_Times set to `repeat` for a picture of
// `planes` planes of height x width, all zero.
std::string progressText(Process process, int repeat, int height, int width, int planes = 1);

// Plane shapes that reach the sweeps' edges: deepest regions of one row pair,
// tall and wide planes, odd detail widths, and from 1 to the most levels a
// size allows.
struct SweepShape {
    int width, height, levels;
};
std::vector<SweepShape> sweepEdgeShapes();

// The forward transform as a textbook writes it: per level, pair averages and
// half-differences plus 128 along each row of the region, then down each
// column. `plane` is row-major, width x height.
std::vector<double> referenceForward(std::vector<double> plane, int width, int height, int levels);

// The inverse as a textbook writes it, from coefficients laid out as the
// forward transform leaves them: 128 taken off every value outside the top-left
// (width / 2^levels) x (height / 2^levels) corner, then from the deepest level
// up, each column of the region rebuilt from its averages a and
// half-differences d as the pairs a + d, a - d, then each row likewise.
std::vector<double> referenceInverse(std::vector<double> plane, int width, int height, int levels);

// The plane with 128 taken off every detail: every element outside the
// top-left (width / 2^levels) x (height / 2^levels) corner; none for
// levels <= 0.
Plane withoutDetailOffset(Plane plane, int width, int height, int levels);

// An image holding, in every channel, `reference` (referenceForward or
// referenceInverse) of the same channel of `input` at `levels` levels,
// truncated toward zero and clamped to 0..255.
using Reference = Plane (*)(Plane plane, int width, int height, int levels);
ImagePtr referenceImage(const Image& input, int levels, Reference reference);

// The plane of channel c of an image, as doubles.
std::vector<double> planeOf(const Image& image, int c);

// Standard output with the buffer addresses of the allocation line masked.
std::string maskAddresses(const std::string& out);

// ondasplit's line naming the input colour (24-bit) or monochrome (8-bit),
// in CP932.
std::string kindLine(int depth, const std::string& path);

// The texts every program prints; the Japanese ones in their CP932 bytes.
std::string bannerOf(const char* title, const message::JapaneseText& product);

// The advice that ends the reason of a refusal a conversion fixes, written
// out: " (ImageMagick: convert IN OPTIONS-compress none BMP3:OUT.bmp;
// GraphicsMagick: gm convert IN OPTIONS-compress none BMP3:OUT.bmp)", where
// `options` is empty or ends with a blank.
std::string conversionAdvice(const std::string& options);

// True when this build runs under AddressSanitizer, which cannot work inside
// an address-space limit.
bool underAddressSanitizer();

}  // namespace onda_test

#endif
