// What the fuzz targets share: streams over bytes in memory (the codec reads
// and writes FILE streams, and these keep every input off the disk), and the
// reader's promises, checked on every input.
#ifndef ONDA_FUZZ_SUPPORT_H
#define ONDA_FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "bmp.h"
#include "image.h"
#include "owners.h"

namespace onda_fuzz {

// Ends the run with a message: libFuzzer and the replay program both count
// an abort as a finding.
[[noreturn]] inline void fail(const char* what) {
    std::fprintf(stderr, "fuzz property broken: %s\n", what);
    std::abort();
}

// Pictures between this size and the image model's limit are skipped: the
// reader would rightly take a block that large before finding the rows
// missing, which costs the sanitizers a sweep of its shadow memory each time
// and teaches the fuzzer nothing that a small picture cut short does not. A
// fuzzed input is at most 4 KiB, a replayed one a few tens.
constexpr double LARGEST_FUZZED_PICTURE = 1 << 20;

inline std::uint32_t le(const std::uint8_t* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) value = value << 8 | bytes[i];
    return value;
}

// True unless the header, read at its fields' fixed places, claims a picture
// that the model could hold but that is larger than LARGEST_FUZZED_PICTURE.
// Claims beyond the model are read: the reader must refuse them unasked.
inline bool worthReading(const std::uint8_t* data, std::size_t size) {
    if (size < 30) return true;
    const std::uint32_t headerSize = le(data + 14, 4);
    double width = 0, height = 0, bits = 0;
    if (headerSize == 12) {
        width = le(data + 18, 2);
        height = le(data + 20, 2);
        bits = le(data + 24, 2);
    } else if (headerSize == 40) {
        width = std::int32_t(le(data + 18, 4));
        height = std::int32_t(le(data + 22, 4));
        bits = le(data + 28, 2);
    }
    const double claimed = width * height * (bits == 24 ? 3 : 1);
    return !(claimed > LARGEST_FUZZED_PICTURE && claimed < double(IMAGE_BYTE_LIMIT));
}

#if defined(_WIN32)
// Windows has no streams over memory: a temporary file stands in for one, made
// by name in the temporary folder (the C runtime's tmpfile can fail when
// several processes ask at once) and removed when closed.
inline FilePtr temporaryStream() {
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"onf", 0, name) == 0)
        return nullptr;
    return FilePtr(_wfopen(name, L"w+bD"));
}

inline FilePtr readStream(const std::uint8_t* data, std::size_t size) {
    FilePtr stream = temporaryStream();
    if (!stream) fail("no temporary file for the input");
    if (std::fwrite(data, 1, size, stream.get()) != size) fail("cannot write the input");
    std::rewind(stream.get());
    return stream;
}
#else
// A read-only stream over `size` bytes (none is fine).
inline FilePtr readStream(const std::uint8_t* data, std::size_t size) {
    static unsigned char nothing = 0;
    void* bytes = size == 0 ? &nothing : const_cast<std::uint8_t*>(data);
    FilePtr stream(fmemopen(bytes, size, "rb"));
    if (!stream) fail("fmemopen refused the input");
    return stream;
}
#endif

// Reads a BMP from bytes; the status must be one the codec documents, and an
// image comes back exactly when the codec says it does: always with BMP_OK,
// never with a refused header, and with BMP_BAD_PIXELS only when the rows
// end early (not when the file is compressed).
inline int readFromBytes(const std::uint8_t* data, std::size_t size, ImagePtr& image) {
    Image* read = nullptr;
    const FilePtr stream = readStream(data, size);
    const int status = readBMPstream(stream.get(), &read);
    image.reset(read);
    switch (status) {
        case BMP_OK:
            if (!image) fail("no image with BMP_OK");
            break;
        case BMP_BAD_PIXELS: break;
        case BMP_NO_SIGNATURE:
        case BMP_UNSUPPORTED_BITS:
        case BMP_BAD_HEADER:
        case BMP_NO_IMAGE:
            if (image) fail("an image with a status that hands none over");
            break;
        default: fail("a status the codec does not document");
    }
    if (image &&
        (image->width < 0 || image->height < 0 || (image->depth != 8 && image->depth != 24))) {
        fail("an image outside the model");
    }
    return status;
}

// The bytes writeBMPstream produces for `image`, or fails the run.
#if defined(_WIN32)
inline std::vector<std::uint8_t> writeToBytes(const Image& image) {
    const FilePtr stream = temporaryStream();
    if (!stream) fail("no temporary file for the output");
    const int status = writeBMPstream(stream.get(), &image);
    if (status != BMP_WRITTEN) fail("writeBMPstream refused an image the reader made");
    std::rewind(stream.get());
    std::vector<std::uint8_t> bytes;
    for (int c; (c = std::fgetc(stream.get())) != EOF;) bytes.push_back(std::uint8_t(c));
    return bytes;
}
#else
inline std::vector<std::uint8_t> writeToBytes(const Image& image) {
    char* buffer = nullptr;
    std::size_t length = 0;
    std::FILE* stream = open_memstream(&buffer, &length);
    if (stream == nullptr) fail("open_memstream refused");
    const int status = writeBMPstream(stream, &image);
    // Closing sets buffer and length for the last time.
    if (std::fclose(stream) != 0) fail("closing the memory stream failed");
    std::vector<std::uint8_t> bytes(buffer, buffer + length);
    std::free(buffer);
    if (status != BMP_WRITTEN) fail("writeBMPstream refused an image the reader made");
    return bytes;
}
#endif

}  // namespace onda_fuzz

#endif
