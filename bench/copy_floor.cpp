// onda_copy_floor IN.bmp OUT.bmp
//
// What any of the programs must at least do: read the whole file, write each of
// the two width x height coefficient buffers once, and write a file of the
// same size. The whole-process benchmark times the programs against it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "blocks.h"

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
    if (std::fclose(in) != 0 || !read) return 1;
    if (bytes.size() < 26) return 1;

    std::int32_t width = 0, height = 0;
    std::memcpy(&width, &bytes[18], 4);
    std::memcpy(&height, &bytes[22], 4);
    const std::size_t count = std::size_t(width) * std::size_t(height);
    // Allocated the way the programs allocate theirs.
    auto* source = static_cast<double*>(allocateBlock(count * sizeof(double)));
    auto* result = static_cast<double*>(allocateBlock(count * sizeof(double)));
    if (!source || !result || count == 0 || count > bytes.size()) return 1;
    // Every pixel has at least one byte: the last `count` bytes stand in for them.
    const unsigned char* pixels = bytes.data() + bytes.size() - count;
    for (std::size_t i = 0; i < count; ++i) source[i] = pixels[i];
    for (std::size_t i = 0; i < count; ++i) result[i] = source[i] * 0.5;
    bytes.back() = static_cast<unsigned char>(result[count - 1]);

    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out) return 1;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    freeBlock(source);
    freeBlock(result);
    return std::fclose(out) == 0 && ok ? 0 : 1;
}
