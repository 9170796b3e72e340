#include "image_rows.h"

#include <algorithm>
#include <cstddef>

#include "kernels.h"

ChannelRows::ChannelRows(const Image& input, Image& output, int channel,
                         OffsetFreeCorner offsetFree)
    : input_(&input),
      output_(&output),
      channel_(channel),
      step_(pixelBytes(input)),
      offsetFree_(offsetFree),
      load_(step_ == 1 ? kernels().loadGrey : kernels().loadColour),
      store_(step_ == 1 ? kernels().storeGrey : kernels().storeColour) {}

void ChannelRows::load(int y, int x, int count, RowValue* values) const {
    const unsigned char* pixels = imageRow(*input_, y) + channel_ + std::ptrdiff_t(x) * step_;
    const int offsetFree = y < offsetFree_.height ? std::clamp(offsetFree_.width - x, 0, count) : 0;
    load_(pixels, values, std::size_t(offsetFree), std::size_t(count));
}

void ChannelRows::store(int y, int x, int count, const RowValue* values) const {
    unsigned char* pixels = imageRow(*output_, y) + channel_ + std::ptrdiff_t(x) * step_;
    store_(values, pixels, std::size_t(count));
}

OffsetFreeCorner approximationCorner(const Image& image, int levels) {
    const int shift = halvings(levels);
    return OffsetFreeCorner{image.width >> shift, image.height >> shift};
}

int channelCount(const Image& image) {
    return image.depth == 24 ? 3 : 1;
}

void bindImagePlanes(ImagePlanes& bound, const Image& input, Image& output,
                     OffsetFreeCorner offsetFree) {
    for (int c = 0; c < channelCount(input); ++c) {
        bound.channels[c] = ChannelRows(input, output, c, offsetFree);
        bound.io.plane[c] = &bound.channels[c];
    }
}
