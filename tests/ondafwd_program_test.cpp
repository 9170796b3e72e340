// ondafwd as a user runs it: the built program on files written here, judged
// by its standard output, its exit status and the bytes of what it writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "messages.h"
#include "test_support.h"

using namespace onda_test;
namespace fs = std::filesystem;

namespace {

const std::string BANNER = bannerOf("Wavelet Function (Ondeline) ", message::FWD_PRODUCT);

std::string ranLine(long long bufferBytes, const std::string& progress) {
    return "Memory size -> " + std::to_string(bufferBytes) + "\n" +
           "Memory has been allocated. The address is *\n" + progress;
}

RunResult ondafwd(const std::vector<std::string>& args) {
    RunResult r = runProgram(ONDAFWD_PATH, args);
    r.out = maskAddresses(r.out);
    return r;
}

TEST(Ondafwd, TwoByTwoGreyPictureAtOneLevel) {
    ScratchDir dir;
    writeFileBytes(dir.path("in.bmp"),
                   greyBmp(2, 2, [](int x, int y) { return 10 + 10 * x + 20 * y; }));
    const RunResult r = ondafwd({dir.path("in.bmp"), dir.path("out.bmp"), "1"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, BANNER + ranLine(32, "Wavelet Transfer -- 1 Times --\n"));
    const ImagePtr expected = makeImage(2, 2, 8, [](int x, int y, int) {
        const int values[2][2] = {{25, 123}, {118, 128}};
        return values[y][x];
    });
    EXPECT_EQ(readFileBytes(dir.path("out.bmp")), bmpFileOf(*expected));
}

// How the repeat number argument is read, judged by the levels that run and
// the file that comes out.
TEST(Ondafwd, RepeatNumberArgument) {
    const struct {
        std::vector<std::string> extra;
        int levels;
        std::string progress;
    } cases[] = {
        {{}, 2, "Wavelet Transfer -- 1 Times -- 2 Times --\n"},
        {{"3"}, 3, "Wavelet Transfer -- 1 Times -- 2 Times -- 3 Times --\n"},
        {{"0"}, 0, "Wavelet Transfer --\n"},
        {{"-1"}, 0, "Wavelet Transfer --\n"},
        {{"-99999999999999"}, 0, "Wavelet Transfer --\n"},
    };
    ScratchDir dir;
    const ImagePtr input = randomImage(16, 8, 8, 1);
    writeFileBytes(dir.path("in.bmp"), bmpFileOf(*input));
    for (const auto& c : cases) {
        std::vector<std::string> args = {dir.path("in.bmp"), dir.path("out.bmp")};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const RunResult r = ondafwd(args);
        EXPECT_EQ(r.exitStatus, 0);
        EXPECT_EQ(r.out, BANNER + ranLine(16LL * 8 * 8, c.progress));
        // No level: the picture comes out as it went in.
        const ImagePtr expected = referenceImage(*input, std::max(c.levels, 0), referenceForward);
        EXPECT_EQ(readFileBytes(dir.path("out.bmp")), bmpFileOf(*expected)) << c.levels;
    }
}

TEST(Ondafwd, RandomPicturesMatchTheReferenceTransform) {
    ScratchDir dir;
    const struct {
        int width, height, depth, levels;
    } cases[] = {
        {8, 8, 8, 3},   {32, 16, 8, 2},  {12, 20, 8, 2},
        {6, 10, 24, 1}, {16, 32, 24, 2}, {40, 8, 24, 3},
    };
    unsigned seed = 10;
    for (const auto& c : cases) {
        const ImagePtr input = randomImage(c.width, c.height, c.depth, seed++);
        writeFileBytes(dir.path("in.bmp"), bmpFileOf(*input));
        const RunResult r =
            ondafwd({dir.path("in.bmp"), dir.path("out.bmp"), std::to_string(c.levels)});
        ASSERT_EQ(r.exitStatus, 0);
        EXPECT_EQ(readFileBytes(dir.path("out.bmp")),
                  bmpFileOf(*referenceImage(*input, c.levels, referenceForward)))
            << c.width << "x" << c.height << "x" << c.depth << " R=" << c.levels;
    }
}

TEST(Ondafwd, ColourPictureTransformsEveryChannelAndReportsOnce) {
    ScratchDir dir;
    // Red rises to the right, green downward, blue is flat: three different
    // wavelet pictures, none of them a copy of another.
    const ImagePtr input = makeImage(4, 4, 24, [](int x, int y, int c) {
        return c == 0 ? 60 * x : c == 1 ? 60 * y : 90;
    });
    writeFileBytes(dir.path("in.bmp"), bmpFileOf(*input));
    const RunResult r = ondafwd({dir.path("in.bmp"), dir.path("out.bmp"), "1"});
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, BANNER + ranLine(4LL * 4 * 8, "Wavelet Transfer -- 1 Times --\n"));
    Image* output = nullptr;
    ASSERT_EQ(readBMPfile(dir.path("out.bmp").c_str(), &output), BMP_OK);
    const ImagePtr owned(output);
    // Top-left average, top-right row detail, bottom-left column detail.
    EXPECT_EQ(channelAt(*owned, 0, 0, 0), 30);
    EXPECT_EQ(channelAt(*owned, 2, 0, 0), 98);
    EXPECT_EQ(channelAt(*owned, 0, 2, 0), 128);
    EXPECT_EQ(channelAt(*owned, 0, 0, 1), 30);
    EXPECT_EQ(channelAt(*owned, 2, 0, 1), 128);
    EXPECT_EQ(channelAt(*owned, 0, 2, 1), 98);
    EXPECT_EQ(channelAt(*owned, 0, 0, 2), 90);
    EXPECT_EQ(channelAt(*owned, 3, 3, 2), 128);
}

// ImageMagick's command, by its path: not whatever `convert` comes first on
// the PATH, as other programs take the name too. None when it is not there.
std::string imageMagick() {
    for (const char* command : {"/usr/bin/magick", "/usr/local/bin/magick", "/usr/bin/convert"})
        if (fs::exists(command)) return command;
    return "";
}

// The README's recipe for ImageMagick files: a grey and a colour photograph
// converted as they are, a picture of 16 colours in true colour, each read
// with the pixels it had. Without true colour ImageMagick writes the 16
// colours with 4 bits per pixel, which is refused.
TEST(Ondafwd, ReadsWhatTheImageMagickRecipeWrites) {
#ifdef _WIN32
    GTEST_SKIP() << "the recipe is checked where ImageMagick runs, on the build machine";
#else
    const std::string convert = imageMagick();
    if (convert.empty()) GTEST_SKIP() << "ImageMagick is not installed (Debian: imagemagick)";
    ScratchDir dir;
    // 16 squares of 16 x 16 pixels, each of its own colour.
    writeFileBytes(dir.path("sixteen.bmp"), colourBmp(64, 64, [](int x, int y, int c) {
                       const int square = x / 16 + 4 * (y / 16);
                       return (square * (c == 0 ? 17 : c == 1 ? 238 : 85)) % 256;
                   }));
    const std::vector<std::string> recipe = {"-compress", "none"};
    const std::vector<std::string> trueColour = {"-compress", "none", "-type", "TrueColor"};
    const struct {
        std::string original, picture;  // the original BMP, the user's picture made from it
        const std::vector<std::string>& options;
        const char* refusal;  // the reason, or none when the file is read
    } cases[] = {
        {ONDA_SAMPLES_DIR "/camera.bmp", "camera.png", recipe, nullptr},
        {ONDA_SAMPLES_DIR "/astronaut.bmp", "astronaut.png", recipe, nullptr},
        {dir.path("sixteen.bmp"), "sixteen.gif", trueColour, nullptr},
        {dir.path("sixteen.bmp"), "sixteen.gif", recipe,
         "4 bits per pixel; only 8-bit (palette) and 24-bit pictures are read"},
    };
    const TextPath converted = dir.path("converted.bmp");
    for (const auto& c : cases) {
        const TextPath picture = dir.path(c.picture);
        ASSERT_EQ(runProgram(convert, {c.original, picture}).exitStatus, 0) << c.picture;
        std::vector<std::string> args = {picture};
        args.insert(args.end(), c.options.begin(), c.options.end());
        args.push_back("BMP3:" + converted.string());
        ASSERT_EQ(runProgram(convert, args).exitStatus, 0) << c.picture;

        const RunResult r = ondafwd({converted, dir.path("out.bmp")});
        if (c.refusal != nullptr) {
            EXPECT_EQ(r.exitStatus, 1) << c.picture;
            EXPECT_EQ(r.out, BANNER + message::CANNOT_READ_IMAGE.cp932) << c.picture;
            EXPECT_EQ(r.err, "ondafwd: " + converted.string() + ": " + c.refusal + "\n");
            continue;
        }
        const RunResult fromOriginal = ondafwd({c.original, dir.path("expected.bmp")});
        EXPECT_EQ(r.exitStatus, 0) << c.picture << ": " << r.err;
        EXPECT_EQ(r.out, fromOriginal.out) << c.picture;
        EXPECT_EQ(readFileBytes(dir.path("out.bmp")), readFileBytes(dir.path("expected.bmp")))
            << c.picture;
    }
#endif
}

}  // namespace
