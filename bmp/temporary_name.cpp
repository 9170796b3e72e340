#include "temporary_name.h"

#include <chrono>

std::uint64_t temporaryNameSeed(std::uint64_t process) {
    return std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
           (process << 32);
}

std::string temporaryName(std::uint64_t& seed) {
    static const char LETTERS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string name = ".onda-";
    for (int i = 0; i < 6; ++i) {
        seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
        name.push_back(LETTERS[(seed >> 33) % (sizeof LETTERS - 1)]);
    }
    return name + ".tmp";
}
