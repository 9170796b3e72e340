#include "image.h"

#include <new>

#include "blocks.h"

namespace {

// True when width * height * bytesPerPixel stays below IMAGE_BYTE_LIMIT.
// Written as a division so that nothing can overflow.
bool byteCountFits(int width, int height, int bytesPerPixel) {
    const std::int64_t rowBytes = std::int64_t{width} * bytesPerPixel;
    return rowBytes == 0 || height <= (IMAGE_BYTE_LIMIT - 1) / rowBytes;
}

}  // namespace

Image* createImage(int width, int height, int depth) {
    if (width < 0 || height < 0) return nullptr;
    if (depth != 8 && depth != 24) return nullptr;
    const int bytesPerPixel = depth / 8;
    if (!byteCountFits(width, height, bytesPerPixel)) return nullptr;

    Image* image = new (std::nothrow) Image{width, height, depth, nullptr};
    if (image == nullptr) return nullptr;
    const std::size_t bytes = std::size_t(width) * std::size_t(height) * std::size_t(bytesPerPixel);
    if (bytes > 0) {
        // Zeroed so that no byte is ever read undefined; large blocks come from
        // fresh pages, so this costs no extra sweep.
        image->data = static_cast<unsigned char*>(allocateZeroedBlock(bytes));
        if (image->data == nullptr) {
            delete image;
            return nullptr;
        }
    }
    return image;
}

void disposeImage(Image* image) {
    if (image == nullptr) return;
    freeBlock(image->data);
    delete image;
}
