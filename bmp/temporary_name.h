// The names of the temporary files written beside a target, on every system.
#ifndef ONDA_BMP_TEMPORARY_NAME_H
#define ONDA_BMP_TEMPORARY_NAME_H

#include <cstdint>
#include <string>

// The first seed of temporaryName: the time, and `process` (the process's
// number where the system has one) so that processes started together differ.
std::uint64_t temporaryNameSeed(std::uint64_t process);

// A name ".onda-XXXXXX.tmp", its six letters and digits drawn from `seed`,
// which moves on: each call gives the next name to try.
std::string temporaryName(std::uint64_t& seed);

// How many names a replacement tries before it gives up (with EEXIST).
constexpr int TEMPORARY_NAME_ATTEMPTS = 100;

#endif
