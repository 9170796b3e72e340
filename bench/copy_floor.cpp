// onda_copy_floor IN.bmp OUT.bmp
//
// The read-and-write floor: the least any of the programs can do. It reads the
// whole file into one block with the system's own calls, copies it once into
// a second block of the same size (a transform must write each output byte
// at least once), and writes that block out; both blocks are aligned to 2 MiB
// and offered huge pages, as the programs' large blocks are. No arithmetic,
// no coefficients, no stream buffers. No program can transform a picture
// without reading it and writing as many bytes back, so the whole-process
// benchmark times the programs against this.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr std::size_t HUGE_PAGE = std::size_t{2} << 20;

struct Free {
    void operator()(char* block) const { std::free(block); }
};
using Block = std::unique_ptr<char, Free>;

// A block of at least n bytes on huge pages where the system gives them.
Block hugeBlock(std::size_t n) {
    const std::size_t size = std::max<std::size_t>((n + HUGE_PAGE - 1) / HUGE_PAGE, 1) * HUGE_PAGE;
    Block block(static_cast<char*>(std::aligned_alloc(HUGE_PAGE, size)));
#if defined(MADV_HUGEPAGE)
    if (block) (void)madvise(block.get(), size, MADV_HUGEPAGE);  // a hint only
#endif
    return block;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: onda_copy_floor IN.bmp OUT.bmp\n");
        return 2;
    }
    const int in = ::open(argv[1], O_RDONLY | O_CLOEXEC);
    struct stat status {};
    if (in < 0 || ::fstat(in, &status) != 0) return 1;
    const auto size = static_cast<std::size_t>(status.st_size);
    const Block source = hugeBlock(size), copy = hugeBlock(size);
    if (!source || !copy) return 1;
    for (std::size_t done = 0; done < size;) {
        const ssize_t got = ::read(in, source.get() + done, size - done);
        if (got <= 0) return 1;
        done += std::size_t(got);
    }
    std::memcpy(copy.get(), source.get(), size);
    const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) return 1;
    for (std::size_t done = 0; done < size;) {
        const ssize_t put = ::write(out, copy.get() + done, size - done);
        if (put <= 0) return 1;
        done += std::size_t(put);
    }
    return ::close(out) == 0 && ::close(in) == 0 ? 0 : 1;
}
