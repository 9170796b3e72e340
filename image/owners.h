// Owning pointers for what the programs, tests, benchmarks and fuzz targets
// take and must give back: images, open files and memory blocks.
#ifndef ONDA_OWNERS_H
#define ONDA_OWNERS_H

#include <cstdio>
#include <memory>

#include "blocks.h"
#include "image.h"

struct ImageDisposer {
    void operator()(Image* image) const { disposeImage(image); }
};
// An image from createImage or the reader.
using ImagePtr = std::unique_ptr<Image, ImageDisposer>;

// Closing here ignores the result: a stream whose writes must be known to have
// landed is closed, and checked, before its owner lets go of it.
struct FileCloser {
    void operator()(std::FILE* file) const { (void)std::fclose(file); }
};
// An open file stream.
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

struct BlockFree {
    void operator()(void* block) const { freeBlock(block); }
};
// A block from allocateBlock or allocateZeroedBlock, as an array of T.
template <class T>
using BlockPtr = std::unique_ptr<T[], BlockFree>;

#endif
