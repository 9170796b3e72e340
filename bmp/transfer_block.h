// The block the codec moves pixel bytes through, between a stream and a
// picture's rows.
//
// The C library's stream buffer is a few kilobytes, and a row at a time
// through it costs one system call every few kilobytes. The reader and the
// writer go through a block of their own instead, a mebibyte, and end each
// transfer at a multiple of the block's size from the file's start: a
// transfer that large, starting where the stream's buffer ends, goes to the
// system in one call (the C library passes it on without copying), and none
// of it stays behind in the stream's buffer.
#ifndef ONDA_BMP_TRANSFER_BLOCK_H
#define ONDA_BMP_TRANSFER_BLOCK_H

#include <cstddef>
#include <cstdint>

#include "owners.h"

constexpr std::size_t TRANSFER_BYTES = std::size_t{1} << 20;
// Where the block cannot be had, a small one inside the record serves: the
// same bytes move, in more calls.
constexpr std::size_t SPARE_TRANSFER_BYTES = std::size_t{1} << 14;

struct TransferBlock {
    BlockPtr<unsigned char> owned;
    unsigned char spare[SPARE_TRANSFER_BYTES];
    unsigned char* bytes;
    std::size_t capacity;  // a power of two
};

// Takes a block of TRANSFER_BYTES, or the spare one when there is no memory
// for it. `block` must stay where it is while it is used.
void openTransferBlock(TransferBlock& block);

// The bytes from file offset `offset` to the next multiple of the block's
// capacity: at most the capacity, at least 1.
inline std::size_t bytesToBoundary(const TransferBlock& block, std::uint64_t offset) {
    return block.capacity - std::size_t(offset & (block.capacity - 1));
}

// `pixels` pixels from `in` to `out` with their first and third bytes
// swapped: blue, green, red as the file has them from red, green, blue as
// the picture has them, and back. `out` may be `in`.
void swapRedAndBlue(const unsigned char* in, unsigned char* out, std::size_t pixels);

#endif
