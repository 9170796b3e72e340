#include "blocks.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace {

constexpr std::uintptr_t HUGE_PAGE = std::uintptr_t{2} << 20;

// Asks for huge pages over the whole 2 MiB pages inside the block. Only a
// hint: nothing changes if the system declines.
void* offerHugePages(void* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    if (block != nullptr && bytes >= HUGE_PAGE) {
        const auto start = reinterpret_cast<std::uintptr_t>(block);
        const std::uintptr_t first = (start + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
        const std::uintptr_t last = (start + bytes) & ~(HUGE_PAGE - 1);
        if (last > first) {  // the aligned start, reached from the block's own pointer
            madvise(static_cast<char*>(block) + (first - start), last - first, MADV_HUGEPAGE);
        }
    }
#else
    (void)bytes;
#endif
    return block;
}

}  // namespace

void* allocateBlock(std::size_t bytes) {
    return offerHugePages(std::malloc(bytes), bytes);
}

void* allocateZeroedBlock(std::size_t bytes) {
    return offerHugePages(std::calloc(bytes, 1), bytes);
}

void freeBlock(void* block) {
    std::free(block);
}
