// The three programs as their tests meet them: each one run with its
// allocation line masked, and the texts they print.
#ifndef ONDA_TEST_PROGRAMS_H
#define ONDA_TEST_PROGRAMS_H

#include <string>
#include <vector>

#include "messages.h"
#include "run_program.h"

namespace onda_test {

// Standard output with the buffer addresses of the allocation line masked.
std::string maskAddresses(const std::string& out);

// ondasplit's line naming the input colour (24-bit) or monochrome (8-bit),
// in CP932.
std::string kindLine(int depth, const std::string& path);

// The texts every program prints; the Japanese ones in their CP932 bytes.
std::string bannerOf(const char* title, const message::JapaneseText& product);
std::string bannerOf(const message::ProgramBanner& banner);

// The advice that ends the reason of a refusal a conversion fixes, written
// out: " (ImageMagick: convert IN OPTIONS-compress none BMP3:OUT.bmp;
// GraphicsMagick: gm convert IN OPTIONS-compress none BMP3:OUT.bmp)", where
// `options` is empty or ends with a blank.
std::string conversionAdvice(const std::string& options);

// ondafwd, ondainv and ondasplit run with `args`, the buffer addresses of
// standard output masked (maskAddresses).
RunResult ondafwd(const std::vector<std::string>& args);
RunResult ondainv(const std::vector<std::string>& args);
RunResult ondasplit(const std::vector<std::string>& args);

}  // namespace onda_test

#endif
