// Fuzz target: any bytes given to the reader end with one of its statuses,
// an image exactly when the status hands one over, and nothing else: no
// sanitizer report, no leak, no hang.
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (!onda_fuzz::worthReading(data, size)) return 0;
    ImagePtr image;
    onda_fuzz::readFromBytes(data, size, image);
    return 0;
}
