#include "blocks.h"

#include <cstdint>
#include <cstdlib>

#if defined(__linux__)
#include <sys/mman.h>
#endif

// Under AddressSanitizer every block comes from its allocator, which checks
// each access to it and can be told to refuse large requests.
#if defined(__SANITIZE_ADDRESS__)
#define ONDA_ALLOCATOR_ONLY 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ONDA_ALLOCATOR_ONLY 1
#endif
#endif

namespace {

#if defined(__linux__) && defined(MADV_HUGEPAGE) && !defined(ONDA_ALLOCATOR_ONLY)
constexpr std::uintptr_t HUGE_PAGE = std::uintptr_t{2} << 20;

// A block mapped from the system, aligned to a huge page and a whole number
// of them long, so that every page of it can be a huge one: one page fault
// for every 2 MiB instead of one for every 4 KiB, where the C library's
// block would start and end in small pages. Its pages are zero until
// touched. A run holds a few large blocks at a time; the table keeps them
// for freeBlock (one thread, as the programs have).
struct Mapping {
    void* block;
    std::size_t length;
};
constexpr std::size_t MOST_MAPPINGS = 16;
Mapping mappings[MOST_MAPPINGS];

// A mapped block of at least `bytes`, or nullptr (too small, too large, no
// free slot, or no memory).
void* mapBlock(std::size_t bytes) {
    if (bytes < HUGE_PAGE || bytes > SIZE_MAX - 2 * HUGE_PAGE) return nullptr;
    Mapping* slot = nullptr;
    for (Mapping& m : mappings) {
        if (m.block == nullptr) slot = &m;
    }
    if (slot == nullptr) return nullptr;
    const std::size_t length = (bytes + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1);
    void* area = mmap(nullptr, length + HUGE_PAGE, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (area == MAP_FAILED) return nullptr;
    // The aligned start, reached from the mapping's own pointer; what lies
    // before it and after the block goes back.
    const auto start = reinterpret_cast<std::uintptr_t>(area);
    const std::size_t head = ((start + HUGE_PAGE - 1) & ~(HUGE_PAGE - 1)) - start;
    char* block = static_cast<char*>(area) + head;
    if (head > 0) munmap(area, head);
    if (head < HUGE_PAGE) munmap(block + length, HUGE_PAGE - head);
    madvise(block, length, MADV_HUGEPAGE);
    *slot = Mapping{block, length};
    return block;
}

// True, with the block unmapped, when `block` came from mapBlock.
bool unmapBlock(void* block) {
    for (Mapping& m : mappings) {
        if (m.block == block) {
            munmap(m.block, m.length);
            m = Mapping{nullptr, 0};
            return true;
        }
    }
    return false;
}
#else
void* mapBlock(std::size_t) {
    return nullptr;
}
bool unmapBlock(void*) {
    return false;
}
#endif

}  // namespace

void* allocateBlock(std::size_t bytes) {
    void* block = mapBlock(bytes);
    return block != nullptr ? block : std::malloc(bytes);
}

void* allocateZeroedBlock(std::size_t bytes) {
    void* block = mapBlock(bytes);
    return block != nullptr ? block : std::calloc(bytes, 1);
}

void freeBlock(void* block) {
    if (block != nullptr && !unmapBlock(block)) std::free(block);
}
