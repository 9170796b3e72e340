#include "image_rows.h"

#include <algorithm>
#include <cstddef>

#include "kernels.h"

namespace {

void loadFromImage(const void* source, int y, int x, int count, RowValue* values) {
    const auto& c = *static_cast<const ChannelRows*>(source);
    const int step = pixelBytes(*c.input);
    const unsigned char* pixels = imageRow(*c.input, y) + c.channel + std::ptrdiff_t(x) * step;
    const int offsetFree =
        y < c.offsetFree.height ? std::clamp(c.offsetFree.width - x, 0, count) : 0;
    if (step == 1) {
        kernels().loadGrey(pixels, values, std::size_t(offsetFree), std::size_t(count));
    } else {
        kernels().loadColour(pixels, values, std::size_t(offsetFree), std::size_t(count));
    }
}

void storeToImage(void* sink, int y, int x, int count, const RowValue* values) {
    const auto& c = *static_cast<const ChannelRows*>(sink);
    const int step = pixelBytes(*c.output);
    unsigned char* pixels = imageRow(*c.output, y) + c.channel + std::ptrdiff_t(x) * step;
    if (step == 1) {
        kernels().storeGrey(values, pixels, std::size_t(count));
    } else {
        kernels().storeColour(values, pixels, std::size_t(count));
    }
}

}  // namespace

OffsetFreeCorner approximationCorner(const Image& image, int levels) {
    const int shift = halvings(levels);
    return OffsetFreeCorner{image.width >> shift, image.height >> shift};
}

int channelCount(const Image& image) {
    return image.depth == 24 ? 3 : 1;
}

void bindImagePlanes(ImagePlanes& bound, const Image& input, Image& output,
                     OffsetFreeCorner offsetFree, RowValue* inputRows, RowValue* resultRows,
                     SweepRowsLength perPlane) {
    PicturePlanes& planes = bound.planes;
    planes.count = channelCount(input);
    planes.height = input.height;
    planes.width = input.width;
    for (int c = 0; c < planes.count; ++c) {
        bound.channels[c] = ChannelRows{&input, &output, c, offsetFree};
        planes.io[c] = RowIO{loadFromImage, &bound.channels[c], storeToImage, &bound.channels[c]};
        planes.rows[c] = SweepRows{inputRows + std::size_t(c) * perPlane.input,
                                   resultRows + std::size_t(c) * perPlane.result};
    }
}
