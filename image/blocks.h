// Large blocks of memory for pixels and coefficients.
//
// A picture of millions of pixels fills tens of megabytes, and every 4 KiB page
// of it costs a page fault when first touched. Where the system offers
// transparent huge pages (Linux), blocks of 2 MiB and more are mapped from
// the system aligned to a huge page and ask for them, which turns tens of
// thousands of faults into a few dozen. Elsewhere they are plain malloc.
#ifndef ONDA_BLOCKS_H
#define ONDA_BLOCKS_H

#include <cstddef>

// An uninitialised block, or nullptr.
void* allocateBlock(std::size_t bytes);

// A block of zero bytes, or nullptr. Large blocks come from fresh pages, so
// the zeros cost nothing until a page is touched.
void* allocateZeroedBlock(std::size_t bytes);

// Releases a block from either function; nullptr is ignored.
void freeBlock(void* block);

#endif
