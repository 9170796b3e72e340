// onda_copy_floor IN.bmp OUT.bmp
//
// The read-and-write floor: the least any of the programs can do. It reads the
// whole file into one block, fills a second block of the same size once, each
// byte from the first (the headers copied, every byte after them halved, so
// the result is still a picture of the same shape), and writes the second
// block out. No program can transform a picture without reading it and
// writing as many bytes back, so the whole-process benchmark times the
// programs against this. Blocks come from the allocator the programs use.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "owners.h"

namespace {

constexpr std::size_t OFFSET_AT = 10;  // where the file header keeps the pixels' offset

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: onda_copy_floor IN.bmp OUT.bmp\n");
        return 1;
    }
    std::error_code error;
    const std::size_t size = std::filesystem::file_size(argv[1], error);
    if (error || size < OFFSET_AT + sizeof(std::uint32_t)) return 1;
    const BlockPtr<unsigned char> in(static_cast<unsigned char*>(allocateBlock(size)));
    const BlockPtr<unsigned char> out(static_cast<unsigned char*>(allocateBlock(size)));
    if (!in || !out) return 1;
    {
        const FilePtr file(std::fopen(argv[1], "rb"));
        if (!file || std::fread(in.get(), 1, size, file.get()) != size) return 1;
    }

    std::uint32_t offset = 0;
    std::memcpy(&offset, in.get() + OFFSET_AT, sizeof offset);  // little-endian, as is this machine
    const std::size_t header = offset < size ? offset : size;
    std::memcpy(out.get(), in.get(), header);
    for (std::size_t i = header; i < size; ++i) out[i] = static_cast<unsigned char>(in[i] >> 1U);

    FilePtr file(std::fopen(argv[2], "wb"));
    if (!file || std::fwrite(out.get(), 1, size, file.get()) != size) return 1;
    return std::fclose(file.release()) == 0 ? 0 : 1;
}
