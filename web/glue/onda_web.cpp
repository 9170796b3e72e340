#include "onda_web.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "bmp.h"
#include "forward.h"
#include "image_rows.h"
#include "inverse.h"
#include "owners.h"
#include "plane.h"
#include "size_check.h"
#include "split.h"

struct OndaWeb {
    ImagePtr pictures[4];  // indexed by ONDA_WEB_INPUT ... ONDA_WEB_SPLIT
    BlockPtr<unsigned char> rgba;
    BlockPtr<unsigned char> saved;
    int savedSize = 0;
    int largestDifference = -1;
    std::string message;
};

namespace {

constexpr int PICTURES = 4;

// Drops every result: a new or cropped picture has none yet.
void forgetResults(OndaWeb& web) {
    for (int which = ONDA_WEB_FORWARD; which < PICTURES; ++which) web.pictures[which].reset();
    web.largestDifference = -1;
}

// Makes `picture` the page's picture, with `note` as the message.
void takePicture(OndaWeb& web, ImagePtr picture, std::string note) {
    forgetResults(web);
    web.pictures[ONDA_WEB_INPUT] = std::move(picture);
    web.message = std::move(note);
}

int refuse(OndaWeb& web, std::string reason) {
    web.message = std::move(reason);
    return ONDA_WEB_REFUSED;
}

// The page's own limit, or "" for a picture within it.
std::string limitReason(long long width, long long height) {
    if (width <= ONDA_WEB_MOST_SIDE && height <= ONDA_WEB_MOST_SIDE &&
        width * height <= ONDA_WEB_MOST_PIXELS) {
        return "";
    }
    return "size " + std::to_string(width) + "x" + std::to_string(height) +
           "; this page takes pictures of at most " + std::to_string(ONDA_WEB_MOST_PIXELS) +
           " pixels (4096x4096), no side over " + std::to_string(ONDA_WEB_MOST_SIDE) +
           ": use the programs for larger ones";
}

// The file's bytes as a stream open for reading at its start.
FilePtr streamOf(const unsigned char* bytes, int size) {
    FilePtr stream(std::tmpfile());
    if (!stream) return nullptr;
    if (size > 0 && std::fwrite(bytes, 1, std::size_t(size), stream.get()) != std::size_t(size)) {
        return nullptr;
    }
    std::rewind(stream.get());
    return stream;
}

// The process a sweep runs, and how it is set up.
using Process = void (*)(const PicturePlanes&, std::FILE*);

struct Sweep {
    Process process;
    SweepRowsLength rows;
    OffsetFreeCorner offsetFree;
    int repeat;  // R_Times, as the program sets it
};

// Runs one program's transform of `input` into a new picture; null when
// there is no memory for it.
ImagePtr transformed(const Image& input, const Sweep& sweep) {
    ImagePtr output(createImage(input.width, input.height, input.depth));
    const auto planes = std::size_t(channelCount(input));
    const std::size_t inputLength = std::max<std::size_t>(sweep.rows.input, 1) * planes;
    const std::size_t resultLength = std::max<std::size_t>(sweep.rows.result, 1) * planes;
    const BlockPtr<RowValue> inputRows(
        static_cast<RowValue*>(allocateBlock(inputLength * sizeof(RowValue))));
    const BlockPtr<RowValue> resultRows(
        static_cast<RowValue*>(allocateBlock(resultLength * sizeof(RowValue))));
    if (!output || !inputRows || !resultRows) return nullptr;
    ImagePlanes bound;
    bindImagePlanes(bound, input, *output, sweep.offsetFree, inputRows.get(), resultRows.get(),
                    sweep.rows);
    R_Times = sweep.repeat;
    sweep.process(bound.planes, nullptr);
    return output;
}

int largestDifference(const Image& a, const Image& b) {
    const std::size_t count = std::size_t(a.width) * std::size_t(a.height) * pixelBytes(a);
    int largest = 0;
    for (std::size_t i = 0; i < count; ++i)
        largest = std::max(largest, std::abs(a.data[i] - b.data[i]));
    return largest;
}

std::string noMemory(const Image& image) {
    return "no memory for the " + std::to_string(image.width) + "x" + std::to_string(image.height) +
           " results";
}

// A channel value composited on white by `alpha`, rounded to nearest.
unsigned char onWhite(unsigned value, unsigned alpha) {
    return static_cast<unsigned char>((value * alpha + 255U * (255U - alpha) + 127U) / 255U);
}

}  // namespace

extern "C" {

OndaWeb* onda_create() {
    return new (std::nothrow) OndaWeb;
}

void onda_destroy(OndaWeb* web) {
    delete web;
}

int onda_read_bmp(OndaWeb* web, const unsigned char* bytes, int size) {
    const FilePtr stream = streamOf(bytes, size);
    if (!stream)
        return refuse(*web, "the file's " + std::to_string(size) + " bytes cannot be held");
    Image* read = nullptr;
    BmpReadCause cause;
    const int status = readBMPstream(stream.get(), &read, &cause);
    ImagePtr picture(read);  // a partly read picture is released here too
    if (status < 0) return refuse(*web, bmpReadReason(cause));
    const std::string limit = limitReason(picture->width, picture->height);
    if (!limit.empty()) return refuse(*web, limit);
    std::string note;
    if (cause.colourPalette) {
        note =
            "colour palette: each pixel is read as the red component of its colour; for all "
            "three, make it a 24-bit picture (" +
            bmpConversionAdvice("-type TrueColor") + ")";
    }
    takePicture(*web, std::move(picture), note);
    return ONDA_WEB_DONE;
}

int onda_take_rgba(OndaWeb* web, const unsigned char* rgba, int width, int height) {
    if (onda_check_size(web, width, height) != ONDA_WEB_DONE) return ONDA_WEB_REFUSED;
    const std::size_t pixels = std::size_t(width) * std::size_t(height);
    bool grey = true;
    bool opaque = true;
    for (std::size_t i = 0; i < pixels; ++i) {
        const unsigned char* p = rgba + 4 * i;
        grey = grey && p[0] == p[1] && p[1] == p[2];
        opaque = opaque && p[3] == 255;
    }
    ImagePtr picture(createImage(width, height, grey ? 8 : 24));
    if (!picture)
        return refuse(*web, "no memory for a " + std::to_string(width) + "x" +
                                std::to_string(height) + " picture");
    const int channels = grey ? 1 : 3;
    for (std::size_t i = 0; i < pixels; ++i) {
        for (int c = 0; c < channels; ++c) {
            picture->data[i * channels + c] = onWhite(rgba[4 * i + c], rgba[4 * i + 3]);
        }
    }
    takePicture(*web, std::move(picture),
                opaque ? "" : "transparent parts are composited on white");
    return ONDA_WEB_DONE;
}

int onda_check_size(OndaWeb* web, int width, int height) {
    const std::string limit = limitReason(width, height);
    return limit.empty() ? ONDA_WEB_DONE : refuse(*web, limit);
}

int onda_width(const OndaWeb* web) {
    const Image* picture = web->pictures[ONDA_WEB_INPUT].get();
    return picture != nullptr ? picture->width : 0;
}

int onda_height(const OndaWeb* web) {
    const Image* picture = web->pictures[ONDA_WEB_INPUT].get();
    return picture != nullptr ? picture->height : 0;
}

int onda_depth(const OndaWeb* web) {
    const Image* picture = web->pictures[ONDA_WEB_INPUT].get();
    return picture != nullptr ? picture->depth : 0;
}

int onda_most_levels(const OndaWeb* web) {
    const int width = onda_width(web);
    const int height = onda_height(web);
    int levels = 0;  // none for no picture, which sizeReason refuses
    while (sizeReason(width, height, levels + 1, SIZE_ADVICE_CROP).empty()) ++levels;
    return levels;
}

int onda_crop(OndaWeb* web, int levels) {
    const Image* picture = web->pictures[ONDA_WEB_INPUT].get();
    if (picture == nullptr) return refuse(*web, "no picture");
    const std::int64_t multiple = sideMultipleForLevels(levels);
    const auto width = int(picture->width - picture->width % multiple);
    const auto height = int(picture->height - picture->height % multiple);
    if (width == 0 || height == 0) {
        return refuse(*web, sizeReason(picture->width, picture->height, levels, SIZE_ADVICE_CROP));
    }
    ImagePtr cropped(createImage(width, height, picture->depth));
    if (!cropped) return refuse(*web, noMemory(*picture));
    const auto rowBytes = std::size_t(width) * pixelBytes(*picture);
    for (int y = 0; y < height; ++y)
        std::memcpy(imageRow(*cropped, y), imageRow(*picture, y), rowBytes);
    takePicture(*web, std::move(cropped), "");
    return ONDA_WEB_DONE;
}

int onda_run(OndaWeb* web, int levels, int splitRepeat) {
    forgetResults(*web);
    const Image* picture = web->pictures[ONDA_WEB_INPUT].get();
    if (picture == nullptr) return refuse(*web, "no picture");
    if (splitRepeat < 1 || splitRepeat > 2) return refuse(*web, "ondasplit makes 1 or 2 levels");
    const int width = picture->width;
    const int height = picture->height;
    const int splitLevels = split::splitLevels(splitRepeat);
    for (const int asked : {levels, splitLevels}) {
        const std::string reason = sizeReason(width, height, asked, SIZE_ADVICE_CROP);
        if (!reason.empty()) return refuse(*web, reason);
    }
    const OffsetFreeCorner whole{width, height};
    ImagePtr forward = transformed(
        *picture,
        {fwd::wavelet_process, fwd::sweepRowsLength(height, width, levels), whole, levels});
    ImagePtr inverse;
    if (forward) {
        inverse = transformed(
            *forward, {inv::wavelet_inv_process, inv::sweepRowsLength(height, width, levels),
                       approximationCorner(*forward, levels), levels});
    }
    ImagePtr split = transformed(
        *picture,
        {split::wavelet_process, split::sweepRowsLength(width, splitLevels), whole, splitRepeat});
    if (!inverse || !split) return refuse(*web, noMemory(*picture));
    web->largestDifference = largestDifference(*picture, *inverse);
    web->pictures[ONDA_WEB_FORWARD] = std::move(forward);
    web->pictures[ONDA_WEB_INVERSE] = std::move(inverse);
    web->pictures[ONDA_WEB_SPLIT] = std::move(split);
    return ONDA_WEB_DONE;
}

int onda_largest_difference(const OndaWeb* web) {
    return web->largestDifference;
}

const unsigned char* onda_rgba(OndaWeb* web, int which) {
    if (which < 0 || which >= PICTURES || !web->pictures[which]) return nullptr;
    const Image& picture = *web->pictures[which];
    const std::size_t pixels = std::size_t(picture.width) * std::size_t(picture.height);
    web->rgba.reset(static_cast<unsigned char*>(allocateBlock(pixels * 4)));
    unsigned char* out = web->rgba.get();
    if (out == nullptr) return nullptr;
    const int step = pixelBytes(picture);
    const int green = step == 3 ? 1 : 0;
    const int blue = step == 3 ? 2 : 0;
    for (std::size_t i = 0; i < pixels; ++i) {
        const unsigned char* p = picture.data + i * step;
        out[4 * i] = p[0];
        out[4 * i + 1] = p[green];
        out[4 * i + 2] = p[blue];
        out[4 * i + 3] = 255;
    }
    return out;
}

const unsigned char* onda_save(OndaWeb* web, int which) {
    web->savedSize = 0;
    if (which < 0 || which >= PICTURES || !web->pictures[which]) return nullptr;
    const FilePtr stream(std::tmpfile());
    if (!stream || writeBMPstream(stream.get(), web->pictures[which].get()) != BMP_WRITTEN) {
        refuse(*web, "the BMP file cannot be made");
        return nullptr;
    }
    const long size = std::ftell(stream.get());
    std::rewind(stream.get());
    web->saved.reset(static_cast<unsigned char*>(allocateBlock(std::size_t(std::max(size, 1L)))));
    if (size <= 0 || !web->saved ||
        std::fread(web->saved.get(), 1, std::size_t(size), stream.get()) != std::size_t(size)) {
        web->saved.reset();
        refuse(*web, "the BMP file cannot be made");
        return nullptr;
    }
    web->savedSize = int(size);
    return web->saved.get();
}

int onda_saved_size(const OndaWeb* web) {
    return web->savedSize;
}

const char* onda_message(const OndaWeb* web) {
    return web->message.c_str();
}

}  // extern "C"
