#include "programs.h"

#include <cstddef>
#include <cstdio>
#include <regex>
#include <stdexcept>

namespace onda_test {

std::string maskAddresses(const std::string& out) {
    static const std::regex line("The address is [^\n]*\n");
    return std::regex_replace(out, line, "The address is *\n");
}

std::string kindLine(int depth, const std::string& path) {
    char line[512];
    const int length = std::snprintf(
        line, sizeof line,
        depth == 24 ? message::FILE_IS_COLOUR.cp932 : message::FILE_IS_MONO.cp932, path.c_str());
    if (length < 0 || std::size_t(length) >= sizeof line) throw std::runtime_error("path too long");
    return line;
}

std::string conversionAdvice(const std::string& options) {
    const std::string command = " IN " + options + "-compress none BMP3:OUT.bmp";
    return " (ImageMagick: convert" + command + "; GraphicsMagick: gm convert" + command + ")";
}

std::string bannerOf(const char* title, const message::JapaneseText& product) {
    return std::string(title) + "\n" + product.cp932 + "\n" + message::MAKERS_NOTICE + "\n";
}

std::string bannerOf(const message::ProgramBanner& banner) {
    return bannerOf(banner.title, banner.product);
}

namespace {

RunResult runMasked(const char* program, const std::vector<std::string>& args) {
    RunResult r = runProgram(program, args);
    r.out = maskAddresses(r.out);
    return r;
}

}  // namespace

RunResult ondafwd(const std::vector<std::string>& args) {
    return runMasked(ONDAFWD_PATH, args);
}

RunResult ondainv(const std::vector<std::string>& args) {
    return runMasked(ONDAINV_PATH, args);
}

RunResult ondasplit(const std::vector<std::string>& args) {
    return runMasked(ONDASPLIT_PATH, args);
}

}  // namespace onda_test
