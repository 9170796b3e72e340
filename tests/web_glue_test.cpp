#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "onda_web.h"
#include "size_check.h"
#include "test_support.h"

using onda_test::Bytes;

namespace {

struct WebDeleter {
    void operator()(OndaWeb* web) const { onda_destroy(web); }
};
using WebPtr = std::unique_ptr<OndaWeb, WebDeleter>;

Bytes saved(OndaWeb* web, int which) {
    const unsigned char* bytes = onda_save(web, which);
    return bytes == nullptr ? Bytes{} : Bytes(bytes, bytes + onda_saved_size(web));
}

// Every result is, byte for byte, the file its program writes.
TEST(WebGlue, SavesWhatTheProgramsWrite) {
    const struct {
        int width, height, depth, levels, split;
    } cases[] = {{8, 8, 24, 1, 1}, {16, 8, 8, 3, 2}, {12, 20, 24, 2, 2}};
    const onda_test::ScratchDir dir;
    for (const auto& c : cases) {
        const Bytes file =
            onda_test::bmpFileOf(*onda_test::randomImage(c.width, c.height, c.depth, 5));
        const std::string in = dir.path("in.bmp"), fwd = dir.path("fwd.bmp");
        const std::string inv = dir.path("inv.bmp"), split = dir.path("split.bmp");
        onda_test::writeFileBytes(in, file);
        const std::string levels = std::to_string(c.levels);
        ASSERT_EQ(onda_test::ondafwd({in, fwd, levels}).exitStatus, 0);
        ASSERT_EQ(onda_test::ondainv({fwd, inv, levels}).exitStatus, 0);
        ASSERT_EQ(onda_test::ondasplit({in, split, std::to_string(c.split)}).exitStatus, 0);
        const WebPtr web(onda_create());
        ASSERT_EQ(onda_read_bmp(web.get(), file.data(), int(file.size())), ONDA_WEB_DONE);
        EXPECT_EQ(onda_largest_difference(web.get()), -1);
        ASSERT_EQ(onda_run(web.get(), c.levels, c.split), ONDA_WEB_DONE);
        EXPECT_EQ(saved(web.get(), ONDA_WEB_INPUT), file);
        EXPECT_EQ(saved(web.get(), ONDA_WEB_FORWARD), onda_test::readFileBytes(fwd));
        EXPECT_EQ(saved(web.get(), ONDA_WEB_INVERSE), onda_test::readFileBytes(inv));
        EXPECT_EQ(saved(web.get(), ONDA_WEB_SPLIT), onda_test::readFileBytes(split));
        EXPECT_GT(onda_largest_difference(web.get()), 0);
        EXPECT_EQ(onda_most_levels(web.get()), c.width == 12 ? 2 : 3);
    }
}

// Pixels from the browser: grey only when every pixel is, alpha over white.
TEST(WebGlue, TakesBrowserPixels) {
    const std::string composited = "transparent parts are composited on white";
    const struct {
        Bytes rgba;
        int depth;
        Bytes pixels;
        std::string note;
    } cases[] = {
        {{7, 7, 7, 255, 9, 9, 9, 255}, 8, {7, 9}, ""},
        {{7, 7, 7, 255, 9, 9, 8, 255}, 24, {7, 7, 7, 9, 9, 8}, ""},
        {{0, 1, 0, 128, 255, 0, 0, 0}, 24, {127, 128, 127, 255, 255, 255}, composited},
        {{200, 200, 200, 1, 10, 10, 10, 254}, 8, {255, 11}, composited},
    };
    for (const auto& c : cases) {
        const WebPtr web(onda_create());
        ASSERT_EQ(onda_take_rgba(web.get(), c.rgba.data(), 2, 1), ONDA_WEB_DONE);
        EXPECT_EQ(onda_message(web.get()), c.note);
        const int bytes = c.depth / 8;
        const ImagePtr expected = onda_test::makeImage(
            2, 1, c.depth, [&](int x, int, int ch) { return c.pixels[x * bytes + ch]; });
        EXPECT_EQ(saved(web.get(), ONDA_WEB_INPUT), onda_test::bmpFileOf(*expected));
        const unsigned char* rgba = onda_rgba(web.get(), ONDA_WEB_INPUT);
        const Bytes second = bytes == 3 ? Bytes{c.pixels[3], c.pixels[4], c.pixels[5], 255}
                                        : Bytes{c.pixels[1], c.pixels[1], c.pixels[1], 255};
        EXPECT_EQ(Bytes(rgba + 4, rgba + 8), second);
    }
}

// Refusals keep the picture there was and say why.
TEST(WebGlue, RefusesWithTheReason) {
    const WebPtr web(onda_create());
    OndaWeb* w = web.get();
    const Bytes grey = onda_test::bmpFileOf(*onda_test::randomImage(13, 10, 8, 1));
    ASSERT_EQ(onda_read_bmp(w, grey.data(), int(grey.size())), ONDA_WEB_DONE);
    const unsigned char notBmp[] = {'G', 'I', 'F'};
    const std::string limit =
        "; this page takes pictures of at most 16777216 pixels (4096x4096), "
        "no side over 16384: use the programs for larger ones";
    const struct {
        std::function<int()> call;
        std::string message;
    } cases[] = {
        {[&] { return onda_read_bmp(w, notBmp, 3); },
         "starts with the bytes 0x47 0x49, not \"BM\": not a BMP file"},
        {[&] { return onda_check_size(w, 4097, 4096); }, "size 4097x4096" + limit},
        {[&] { return onda_check_size(w, 16385, 1); }, "size 16385x1" + limit},
        {[&] { return onda_take_rgba(w, nullptr, 1, 16385); }, "size 1x16385" + limit},
        {[&] { return onda_run(w, 1, 1); }, sizeReason(13, 10, 1, SIZE_ADVICE_CROP)},
        {[&] { return onda_run(w, 1, 3); }, "ondasplit makes 1 or 2 levels"},
        {[&] { return onda_crop(w, 4); }, sizeReason(13, 10, 4, SIZE_ADVICE_CROP)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.call(), ONDA_WEB_REFUSED) << c.message;
        EXPECT_EQ(onda_message(w), c.message);
        EXPECT_EQ(onda_width(w) * 100 + onda_height(w), 1310);
    }
    EXPECT_EQ(onda_most_levels(w), 0);
    ASSERT_EQ(onda_crop(w, 1), ONDA_WEB_DONE);
    EXPECT_EQ(onda_width(w) * 100 + onda_height(w), 1210);
    EXPECT_EQ(saved(w, ONDA_WEB_FORWARD), Bytes{});
    EXPECT_EQ(onda_run(w, 1, 1), ONDA_WEB_DONE);
}

}  // namespace
