// Fuzz target: whatever the reader accepts whole, the writer writes, and the
// reader reads back to the identical image; writing that again gives the
// same bytes.
#include <cstring>

#include "fuzz_support.h"

namespace {

std::size_t byteCount(const Image& image) {
    return std::size_t(image.width) * std::size_t(image.height) * std::size_t(image.depth / 8);
}

bool sameImage(const Image& a, const Image& b) {
    if (a.width != b.width || a.height != b.height || a.depth != b.depth) return false;
    const std::size_t bytes = byteCount(a);
    return bytes == 0 || std::memcmp(a.data, b.data, bytes) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace onda_fuzz;
    if (!worthReading(data, size)) return 0;
    ImagePtr image;
    if (readFromBytes(data, size, image) != BMP_OK) return 0;

    const std::vector<std::uint8_t> written = writeToBytes(*image);
    ImagePtr back;
    if (readFromBytes(written.data(), written.size(), back) != BMP_OK) {
        fail("the reader refused what the writer wrote");
    }
    if (!sameImage(*image, *back)) fail("the image read back differs");
    if (writeToBytes(*back) != written) fail("writing the image again changed the bytes");
    return 0;
}
