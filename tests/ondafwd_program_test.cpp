// ondafwd as a user runs it: the built program on files written here, judged
// by its standard output, its exit status and the bytes of what it writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "messages.h"
#include "test_support.h"

using namespace onda_test;
namespace fs = std::filesystem;

namespace {

const std::string BANNER = bannerOf(message::FWD_BANNER);

std::string ranLine(long long bufferBytes, const std::string& progress) {
    return "Memory size -> " + std::to_string(bufferBytes) + "\n" +
           "Memory has been allocated. The address is *\n" + progress;
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

// A colour palette is read as the reds of its colours: the run writes what
// the same picture with those reds as a grey palette gives, the same console
// text, and one note on standard error.
TEST(Ondafwd, ColourPaletteIsReadAsItsRedsWithANote) {
    ScratchDir dir;
    BmpBuilder grey;
    grey.width = 4;
    grey.height = 4;
    grey.colorsUsed = 16;
    for (int i = 0; i < 16; ++i) {
        grey.palette.insert(grey.palette.end(), 4, std::uint8_t(16 * i));
        grey.pixels.push_back(std::uint8_t(15 - i));
    }
    BmpBuilder colour = grey;
    for (std::size_t i = 0; i < 16; ++i) colour.palette[4 * i + 1] = std::uint8_t(3 * i);
    writeFileBytes(dir.path("grey.bmp"), grey.bytes());
    writeFileBytes(dir.path("colour.bmp"), colour.bytes());
    const RunResult fromGrey = ondafwd({dir.path("grey.bmp"), dir.path("grey-out.bmp")});
    const RunResult r = ondafwd({dir.path("colour.bmp"), dir.path("out.bmp")});
    EXPECT_EQ(fromGrey.err, "");
    EXPECT_EQ(r.exitStatus, 0);
    EXPECT_EQ(r.out, fromGrey.out);
    EXPECT_EQ(r.err, "ondafwd: " + dir.path("colour.bmp").string() +
                         ": colour palette: each pixel is read as the red component of its "
                         "colour; for all three, make it a 24-bit picture" +
                         conversionAdvice("-type TrueColor ") + "\n");
    EXPECT_EQ(readFileBytes(dir.path("out.bmp")), readFileBytes(dir.path("grey-out.bmp")));
    // A refused run has its reason alone.
    const RunResult refused = ondafwd({dir.path("colour.bmp"), dir.path("refused.bmp"), "3"});
    EXPECT_EQ(refused.err, "ondafwd: " + dir.path("colour.bmp").string() +
                               ": size 4x4; width and height must be positive multiples of 8 for "
                               "the levels asked; a side of 4 pixels takes at most 2 levels\n");
}

#ifndef _WIN32  // the converters run on the build machine only
// The converters the advice names, by their paths: not whatever `convert`
// comes first on the PATH, as other programs take the name too. A converter
// that is not installed has no path.
struct Converter {
    const char* name;    // as the reason line names it, before the command
    const char* prefix;  // the command's first words there
    std::string path;
};

std::vector<Converter> converters() {
    std::vector<Converter> found = {{"ImageMagick", "convert", ""},
                                    {"GraphicsMagick", "gm convert", ""}};
    for (const char* command : {"/usr/bin/magick", "/usr/local/bin/magick", "/usr/bin/convert"}) {
        if (found[0].path.empty() && fs::exists(command)) found[0].path = command;
    }
    if (fs::exists("/usr/bin/gm")) found[1].path = "/usr/bin/gm convert";
    return found;
}

// The words of a text, split at blanks.
std::vector<std::string> wordsOf(const std::string& text) {
    std::istringstream stream(text);
    std::vector<std::string> words;
    for (std::string word; stream >> word;) words.push_back(word);
    return words;
}

// Runs the converter on `in` with `options`, writing `out`; true when it
// succeeds.
bool convert(const Converter& converter, const TextPath& in,
             const std::vector<std::string>& options, const std::string& out) {
    std::vector<std::string> args = wordsOf(converter.path);
    const std::string program = args.front();
    args.erase(args.begin());
    args.push_back(in);
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(out);
    return runProgram(program, args).exitStatus == 0;
}

// The file a case starts from: `original`, or the user's picture made of it,
// converted again with `converted` (options, then the output's format
// prefix) unless that is empty. Empty when a conversion fails.
TextPath startingFile(const Converter& converter, const std::string& original,
                      const std::string& picture, const std::vector<std::string>& converted,
                      const ScratchDir& dir) {
    TextPath in = picture.empty() ? TextPath(original) : dir.path(picture);
    if (!picture.empty() && !convert(converter, original, {}, in)) return TextPath("");
    if (converted.empty()) return in;
    const std::vector<std::string> options(converted.begin(), converted.end() - 1);
    const TextPath out = dir.path("converted.bmp");
    return convert(converter, in, options, converted.back() + out.string()) ? out : TextPath("");
}

// Runs the converter's command of a reason line on `in`, writing `out`:
// the words after "NAME: PREFIX" up to the next ";" or ")", with IN and
// BMP3:OUT.bmp standing for the files. False when the line names none.
bool followAdvice(const Converter& converter, const std::string& reason, const TextPath& in,
                  const TextPath& out) {
    const std::string start = std::string(converter.name) + ": " + converter.prefix + " ";
    const std::size_t from = reason.find(start);
    if (from == std::string::npos) return false;
    const std::size_t to = reason.find_first_of(";)", from);
    std::vector<std::string> args = wordsOf(converter.path);
    for (const std::string& word :
         wordsOf(reason.substr(from + start.size(), to - from - start.size()))) {
        args.push_back(word == "IN"             ? in.string()
                       : word == "BMP3:OUT.bmp" ? "BMP3:" + out.string()
                                                : word);
    }
    const std::string program = args.front();
    args.erase(args.begin());
    return runProgram(program, args).exitStatus == 0;
}
#endif

// The README's recipe for ImageMagick files, then the advice of every refusal
// a conversion fixes, followed with each converter installed: a refusal or a
// note's advice, run as written, makes a file the program takes, until the
// run is quiet. A grey and a colour photograph are converted as they are and
// read with the pixels they had. Without true colour the converters write a
// picture of 16 colours with 4 bits per pixel, whose refusal advises it.
TEST(Ondafwd, ReadsWhatTheImageMagickRecipeWrites) {
#ifdef _WIN32
    GTEST_SKIP() << "the recipe is checked where ImageMagick runs, on the build machine";
#else
    std::vector<Converter> installed;
    for (const Converter& c : converters())
        if (!c.path.empty()) installed.push_back(c);
    if (installed.empty()) {
        GTEST_SKIP() << "neither ImageMagick nor GraphicsMagick is installed (Debian: "
                        "imagemagick, graphicsmagick)";
    }
    ScratchDir dir;
    // 16 squares of 16 x 16 pixels, each of its own colour.
    writeFileBytes(dir.path("sixteen.bmp"), colourBmp(64, 64, [](int x, int y, int c) {
                       const int square = x / 16 + 4 * (y / 16);
                       return (square * (c == 0 ? 17 : c == 1 ? 238 : 85)) % 256;
                   }));
    // clang-format off
    writeFileBytes(dir.path("bw.bmp"), greyBmp(64, 64, [](int x, int y) { return (x / 8 + y / 8) % 2 * 255; }));
    writeFileBytes(dir.path("many.bmp"), colourBmp(64, 64, [](int x, int y, int c) { return c == 0 ? 4 * x : c == 1 ? 4 * y : 2 * (x + y); }));
    // clang-format on
    writeFileBytes(dir.path("grey641.bmp"),
                   greyBmp(641, 479, [](int x, int y) { return (x * 7 + y * 3) % 256; }));
    writeFileBytes(dir.path("colour641.bmp"), colourBmp(641, 479, [](int x, int y, int c) {
                       return (x * (c + 1) + y * 5) % 256;
                   }));
    const std::string suite = ONDA_TEST_DATA_DIR "/bmpsuite/";
    const std::vector<std::string> none, recipe = {"-compress", "none", "BMP3:"};
    const struct {
        std::string original;                // a BMP file
        std::string picture;                 // the user's picture made from it, if any
        std::vector<std::string> converted;  // its conversion (ending in the output's format
                                             // prefix); none: the file, or the picture, as
                                             // it is
        const char* program;
        const char* levels;
        int advice;         // the pieces of advice followed until the run is quiet
        int width, height;  // of the file at last
    } cases[] = {
        {ONDA_SAMPLES_DIR "/camera.bmp", "camera.png", recipe, ONDAFWD_PATH, "2", 0, 512, 512},
        {ONDA_SAMPLES_DIR "/astronaut.bmp", "astronaut.png", recipe, ONDAFWD_PATH, "2", 0, 512,
         512},
        {ONDA_SAMPLES_DIR "/camera.bmp", "camera.png", {"BMP:"}, ONDAFWD_PATH, "2", 1, 512, 512},
        {ONDA_SAMPLES_DIR "/camera.bmp", "camera.png", {"BMP3:"}, ONDAFWD_PATH, "2", 1, 512, 512},
        {dir.path("sixteen.bmp"), "sixteen.gif", recipe, ONDAFWD_PATH, "2", 1, 64, 64},
        {suite + "g/pal1.bmp", "", none, ONDAFWD_PATH, "0", 1, 127, 64},
        {suite + "g/pal4rle.bmp", "", none, ONDAFWD_PATH, "0", 1, 127, 64},
        {suite + "g/rgb16.bmp", "", none, ONDAFWD_PATH, "0", 1, 127, 64},
        {suite + "g/rgb32.bmp", "", none, ONDAFWD_PATH, "0", 1, 127, 64},
        {suite + "q/rgba32.bmp", "", none, ONDAFWD_PATH, "0", 1, 127, 64},
        {suite + "g/pal8topdown.bmp", "", none, ONDAFWD_PATH, "0", 1, 127, 64},
        {suite + "g/pal8rle.bmp", "", none, ONDAFWD_PATH, "0", 1, 127, 64},
        {suite + "g/pal8.bmp", "", none, ONDAINV_PATH, "0", 1, 127, 64},
        {dir.path("grey641.bmp"), "", none, ONDAFWD_PATH, "2", 1, 640, 476},
        // Pictures given as they are, and files with a larger header, of fewer
        // bits or compressed, as the converters write them.
        {ONDA_SAMPLES_DIR "/camera.bmp", "camera.png", none, ONDAFWD_PATH, "2", 1, 512, 512},
        {ONDA_SAMPLES_DIR "/camera.bmp", "camera.jpg", none, ONDAFWD_PATH, "2", 1, 512, 512},
        {ONDA_SAMPLES_DIR "/astronaut.bmp", "astronaut.jpg", none, ONDASPLIT_PATH, "2", 1, 512,
         512},
        {dir.path("sixteen.bmp"), "sixteen.gif", none, ONDAFWD_PATH, "2", 1, 64, 64},
        {dir.path("sixteen.bmp"), "sixteen.gif", {"BMP:"}, ONDAFWD_PATH, "2", 1, 64, 64},
        {dir.path("bw.bmp"), "bw.png", none, ONDAFWD_PATH, "2", 1, 64, 64},
        {dir.path("bw.bmp"), "bw.png", {"BMP:"}, ONDAFWD_PATH, "2", 1, 64, 64},
        {dir.path("many.bmp"), "many.gif", {"BMP:"}, ONDAFWD_PATH, "2", 1, 64, 64},
        {dir.path("many.bmp"), "many.gif", {"BMP3:"}, ONDAINV_PATH, "2", 1, 64, 64},
        {dir.path("colour641.bmp"), "", none, ONDASPLIT_PATH, "2", 1, 640, 476},
    };
    for (const Converter& converter : installed) {
        for (const auto& c : cases) {
            const std::string what = std::string(converter.name) + ", " + c.original + " " +
                                     c.picture + " to " + c.program + " " + c.levels;
            TextPath in = startingFile(converter, c.original, c.picture, c.converted, dir);
            ASSERT_FALSE(in.empty()) << what;
            int followed = 0;
            RunResult r = runProgram(c.program, {in, dir.path("out.bmp"), c.levels});
            for (; !r.err.empty() && followed < 3; ++followed) {
                const TextPath next = dir.path("advised" + std::to_string(followed) + ".bmp");
                ASSERT_TRUE(followAdvice(converter, r.err, in, next)) << what << ": " << r.err;
                in = next;
                r = runProgram(c.program, {in, dir.path("out.bmp"), c.levels});
            }
            EXPECT_EQ(r.exitStatus, 0) << what << ": " << r.err;
            EXPECT_EQ(r.err, "") << what;
            EXPECT_EQ(followed, c.advice) << what;
            Image* read = nullptr;
            ASSERT_EQ(readBMPfile(in.c_str(), &read), BMP_OK) << what;
            const ImagePtr image(read);
            EXPECT_EQ(image->width, c.width) << what;
            EXPECT_EQ(image->height, c.height) << what;
            if (c.advice == 0) {
                // The recipe brings the photographs with the pixels they had.
                const RunResult fromOriginal =
                    runProgram(ONDAFWD_PATH, {c.original, dir.path("expected.bmp")});
                EXPECT_EQ(maskAddresses(r.out), maskAddresses(fromOriginal.out)) << what;
                EXPECT_EQ(readFileBytes(dir.path("out.bmp")),
                          readFileBytes(dir.path("expected.bmp")))
                    << what;
            }
        }
    }
#endif
}

}  // namespace
