// onda_copy_floor IN.bmp OUT.bmp
//
// The plane floor: what any of the programs must at least do. It reads the
// whole file and takes two coefficient buffers the way the programs take
// theirs; then, for each plane of the picture (three for a 24-bit one, one for
// an 8-bit one), it writes the source buffer once from that channel's byte of
// every pixel and the result buffer once from the source; finally it writes a
// file of the same size. Each plane's last result goes into that file, so the
// work cannot be left out. Rows are taken in the order the file stores them.
// The whole-process benchmark times the programs against it.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

#include "blocks.h"

namespace {

constexpr std::size_t INFO_HEADER_END = 54;  // file header and 40-byte info header

std::int32_t field(const std::vector<unsigned char>& bytes, std::size_t at, std::size_t size) {
    std::int32_t value = 0;
    std::memcpy(&value, &bytes[at], size);  // the format is little-endian, as is this machine
    return value;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: onda_copy_floor IN.bmp OUT.bmp\n");
        return 1;
    }
    std::error_code error;
    const auto size = std::filesystem::file_size(argv[1], error);
    std::FILE* in = std::fopen(argv[1], "rb");
    if (error || !in) return 1;
    std::vector<unsigned char> bytes(size);
    const bool read = std::fread(bytes.data(), 1, bytes.size(), in) == bytes.size();
    if (std::fclose(in) != 0 || !read || bytes.size() < INFO_HEADER_END) return 1;

    const auto offset = std::size_t(field(bytes, 10, 4));
    const std::int32_t width = field(bytes, 18, 4);
    const std::int32_t height = field(bytes, 22, 4);
    const std::int32_t depth = field(bytes, 28, 2);
    if (field(bytes, 14, 4) != 40 || (depth != 8 && depth != 24) || width <= 0 || height <= 0) {
        return 1;
    }
    const auto channels = std::size_t(depth / 8);
    const auto columns = std::size_t(width);
    const auto rows = std::size_t(height);
    const std::size_t rowLength = (columns * channels + 3) / 4 * 4;
    if (offset > bytes.size() || (bytes.size() - offset) / rowLength < rows) return 1;

    // Taken the way the programs take theirs.
    const std::size_t count = columns * rows;
    auto* source = static_cast<double*>(allocateBlock(count * sizeof(double)));
    auto* result = static_cast<double*>(allocateBlock(count * sizeof(double)));
    if (!source || !result) return 1;
    unsigned char* pixels = bytes.data() + offset;
    for (std::size_t channel = 0; channel < channels; ++channel) {
        for (std::size_t y = 0; y < rows; ++y) {
            const unsigned char* row = pixels + y * rowLength + channel;
            double* plane = source + y * columns;
            for (std::size_t x = 0; x < columns; ++x) plane[x] = row[x * channels];
        }
        for (std::size_t i = 0; i < count; ++i) result[i] = source[i] * 0.5;
        pixels[channel] = static_cast<unsigned char>(result[count - 1]);
    }

    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) return 1;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    freeBlock(source);
    freeBlock(result);
    return std::fclose(out) == 0 && ok ? 0 : 1;
}
