// The row pipeline: how the programs' sweeps read their values from one image
// and write their results into another, a row segment at a time.
//
// Loading a segment (the fill) turns the bytes of one channel into values,
// taking the detail offset off every value outside an offset-free top-left
// corner.
// Storing a segment (the write-back) truncates each value toward zero and
// clamps it to 0..255 into the same channel of the output, leaving the other
// channels alone. The channels of a colour picture are separate planes, swept
// in step down the picture.
#ifndef ONDA_HAAR_IMAGE_ROWS_H
#define ONDA_HAAR_IMAGE_ROWS_H

#include <cstddef>

#include "image.h"
#include "plane.h"
#include "workspace.h"

// The top-left block whose values carry no detail offset (the approximation
// corner, or the whole picture where nothing carries one) and are loaded as
// they are; every value outside it loses DETAIL_OFFSET.
struct OffsetFreeCorner {
    int width;
    int height;
};

// The approximation corner that `levels` levels leave: the top-left block of
// width / 2^levels by height / 2^levels; the whole image for levels <= 0.
OffsetFreeCorner approximationCorner(const Image& image, int levels);

// 3 colour channels for a 24-bit image, 1 for an 8-bit one.
int channelCount(const Image& image);

// One channel's plane: read from `input`, written into `output` (same shape
// and depth), through the row loops of the vectors in use for that depth.
class ChannelRows final : public RowIO {
   public:
    ChannelRows() = default;
    ChannelRows(const Image& input, Image& output, int channel, OffsetFreeCorner offsetFree);
    void load(int y, int x, int count, RowValue* values) const override;
    void store(int y, int x, int count, const RowValue* values) const override;

   private:
    using Load = void (*)(const unsigned char* pixels, RowValue* values, std::size_t offsetFree,
                          std::size_t count);
    using Store = void (*)(const RowValue* values, unsigned char* pixels, std::size_t count);
    const Image* input_ = nullptr;
    Image* output_ = nullptr;
    int channel_ = 0;  // 0 red or grey, 1 green, 2 blue
    int step_ = 1;     // bytes from one pixel to the next
    OffsetFreeCorner offsetFree_{};
    Load load_ = nullptr;
    Store store_ = nullptr;
};

// Every plane of a picture, ready for a wavelet_process. `io` points into
// `channels`, so it is bound in place and cannot be copied.
struct ImagePlanes {
    ImagePlanes() = default;
    ImagePlanes(const ImagePlanes&) = delete;
    ImagePlanes& operator=(const ImagePlanes&) = delete;
    ChannelRows channels[MOST_PLANES];
    PlaneIO io{};
};

// Binds one plane per channel of `input` (channelCount), read from `input`
// and written into `output`.
void bindImagePlanes(ImagePlanes& bound, const Image& input, Image& output,
                     OffsetFreeCorner offsetFree);

#endif
