#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "onda_web.h"
#include "size_check.h"
#include "test_support.h"

using onda_test::Bytes;

namespace {

using WebPtr = std::unique_ptr<OndaWeb, void (*)(OndaWeb*)>;

Bytes saved(OndaWeb* web, int which) {
    const unsigned char* bytes = onda_save(web, which);
    return bytes == nullptr ? Bytes{} : Bytes(bytes, bytes + onda_saved_size(web));
}

// The reason of a refusal, or "done".
std::string outcome(const OndaWeb* web, int status) {
    return status == ONDA_WEB_DONE ? "done" : onda_message(web);
}

// Every result is, byte for byte, the file its program writes.
TEST(WebGlue, SavesWhatTheProgramsWrite) {
    const struct {
        int width, height, depth, levels, split, mostLevels;
    } cases[] = {{8, 8, 24, 1, 1, 3}, {16, 8, 8, 3, 2, 3}, {12, 20, 24, 2, 2, 2}};
    const onda_test::ScratchDir dir;
    const std::string files[] = {dir.path("in.bmp"), dir.path("fwd.bmp"), dir.path("inv.bmp"),
                                 dir.path("split.bmp")};
    for (const auto& c : cases) {
        const Bytes file =
            onda_test::bmpFileOf(*onda_test::randomImage(c.width, c.height, c.depth, 5));
        onda_test::writeFileBytes(files[0], file);
        onda_test::ondafwd({files[0], files[1], std::to_string(c.levels)});
        onda_test::ondainv({files[1], files[2], std::to_string(c.levels)});
        onda_test::ondasplit({files[0], files[3], std::to_string(c.split)});
        const WebPtr web(onda_create(), onda_destroy);
        ASSERT_EQ(outcome(web.get(), onda_read_bmp(web.get(), file.data(), int(file.size()))),
                  "done");
        ASSERT_EQ(outcome(web.get(), onda_run(web.get(), c.levels, c.split)), "done");
        for (int which = ONDA_WEB_INPUT; which <= ONDA_WEB_SPLIT; ++which)
            EXPECT_EQ(saved(web.get(), which), onda_test::readFileBytes(files[which])) << which;
        const Bytes inv = onda_test::readFileBytes(files[2]);
        int most = 0;
        for (std::size_t i = 0; i < inv.size(); ++i)
            most = std::max(most, std::abs(file[i] - inv[i]));
        EXPECT_EQ(onda_largest_difference(web.get()), most);
        EXPECT_EQ(onda_most_levels(web.get()), c.mostLevels);
        EXPECT_EQ(onda_run(web.get(), 31, 1), ONDA_WEB_REFUSED);  // leaves no result
        EXPECT_EQ(saved(web.get(), ONDA_WEB_FORWARD), Bytes{});
        EXPECT_EQ(onda_saved_size(web.get()) * 1000 + onda_largest_difference(web.get()), -1);
        ASSERT_EQ(onda_run(web.get(), c.levels, c.split) + onda_crop(web.get(), 0), ONDA_WEB_DONE);
        EXPECT_EQ(saved(web.get(), ONDA_WEB_SPLIT), Bytes{});  // a new picture has none
    }
}

// Pixels from the browser: grey only when every pixel is, alpha over white.
TEST(WebGlue, TakesBrowserPixels) {
    const std::string onWhite = "transparent parts are composited on white";
    const struct {
        Bytes rgba;
        int depth;
        Bytes shown;
        std::string note;
    } cases[] = {
        {{7, 7, 7, 255, 9, 9, 9, 255}, 8, {7, 7, 7, 255, 9, 9, 9, 255}, ""},
        {{7, 7, 7, 255, 9, 9, 8, 255}, 24, {7, 7, 7, 255, 9, 9, 8, 255}, ""},
        {{0, 1, 0, 128, 255, 0, 0, 0}, 24, {127, 128, 127, 255, 255, 255, 255, 255}, onWhite},
        {{200, 200, 200, 1, 10, 10, 10, 254}, 8, {255, 255, 255, 255, 11, 11, 11, 255}, onWhite},
    };
    for (const auto& c : cases) {
        const WebPtr web(onda_create(), onda_destroy);
        ASSERT_EQ(onda_take_rgba(web.get(), c.rgba.data(), 2, 1), ONDA_WEB_DONE);
        EXPECT_EQ(onda_message(web.get()), c.note);
        EXPECT_EQ(onda_depth(web.get()), c.depth);
        const unsigned char* shown = onda_rgba(web.get(), ONDA_WEB_INPUT);
        EXPECT_EQ(Bytes(shown, shown + 8), c.shown);
    }
}

// Refusals keep the picture there was and say why.
TEST(WebGlue, RefusesWithTheReason) {
    const WebPtr web(onda_create(), onda_destroy);
    OndaWeb* w = web.get();
    EXPECT_EQ(outcome(w, onda_run(w, 1, 1)) + std::to_string(onda_height(w)), "no picture0");
    const ImagePtr picture = onda_test::randomImage(13, 10, 8, 1);
    const Bytes grey = onda_test::bmpFileOf(*picture);
    ASSERT_EQ(outcome(w, onda_read_bmp(w, grey.data(), int(grey.size()))), "done");
    const unsigned char gif[] = {'G', 'I', 'F'};
    const std::string limit =
        "; this page takes pictures of at most 16777216 pixels (4096x4096), "
        "no side over 16384: use the programs for larger ones";
    EXPECT_EQ(outcome(w, onda_read_bmp(w, gif, 3)),
              "starts with the bytes 0x47 0x49, not \"BM\": not a BMP file");
    const Bytes wide = onda_test::bmpFileOf(*onda_test::randomImage(16385, 1, 8, 1));
    EXPECT_EQ(outcome(w, onda_read_bmp(w, wide.data(), int(wide.size()))), "size 16385x1" + limit);
    EXPECT_EQ(outcome(w, onda_take_rgba(w, nullptr, 4097, 4096)), "size 4097x4096" + limit);
    EXPECT_EQ(outcome(w, onda_run(w, 1, 1)), sizeReason(13, 10, 1, SIZE_ADVICE_CROP));
    EXPECT_EQ(outcome(w, onda_run(w, 1, 3)), "ondasplit makes 1 or 2 levels");
    EXPECT_EQ(outcome(w, onda_crop(w, 4)), sizeReason(13, 10, 4, SIZE_ADVICE_CROP));
    EXPECT_EQ(outcome(w, onda_crop(w, 1)), "done");
    EXPECT_EQ(saved(w, ONDA_WEB_INPUT),
              onda_test::bmpFileOf(*onda_test::makeImage(
                  12, 10, 8, [&](int x, int y, int) { return picture->data[y * 13 + x]; })));
    EXPECT_EQ(saved(w, ONDA_WEB_FORWARD), Bytes{});
    EXPECT_EQ(outcome(w, onda_run(w, 1, 1)), "done");
}

}  // namespace
