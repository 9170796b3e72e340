// Running a built program as a user does, its output captured. One runner
// for POSIX systems and one for Windows, a whole file each.
#ifndef ONDA_TEST_RUN_PROGRAM_H
#define ONDA_TEST_RUN_PROGRAM_H

#include <cstdint>
#include <string>
#include <vector>

namespace onda_test {

struct RunResult {
    int exitStatus = -1;  // -1 when the program did not exit normally
    int signal = 0;       // the signal that ended it, if any
    std::string out;      // everything it wrote to standard output
    std::string err;      // everything it wrote to standard error
};

// How a program is run; everything but the defaults needs POSIX.
struct RunOptions {
    std::uint64_t addressSpaceBytes = 0;  // 0: no limit
    std::uint64_t fileSizeBytes = 0;      // 0: no limit
    int ignoredSignal = 0;                // a signal the program starts with ignored
    bool unprivileged = false;            // run as "nobody" when the tests run as root, from
                                          // a copy of the program that nobody may run
    bool oneStream = false;               // standard error into standard output
};

// The one group an unprivileged run is a member of besides nobody's own.
constexpr unsigned NOBODYS_OTHER_GROUP = 4242;

// The exit status a sanitizer report gives a program run by runProgram, so
// that it can never pass for a refusal (1).
constexpr int SANITIZER_EXIT_STATUS = 86;

// Runs `program` with `args` (argv[1] on), standard output captured, every
// signal that ends a program at its default action but `ignoredSignal`.
// `environment` holds NAME=VALUE settings for the child; a sanitizer's
// *_OPTIONS value is added after the options already set, which it overrides.
// On Windows the console text comes back with text mode's \r\n line ends
// read as \n, an exception that ended the program (an exit code of
// 0xC0000000 or above) is given as `signal`, and there are no options: a test
// that needs them skips there.
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options = {},
                     const std::vector<std::string>& environment = {});

#ifndef _WIN32
// runProgram with standard output on a pseudo-terminal, set raw so that its
// bytes arrive unchanged; standard error is captured as before, or with
// `errorToo` goes to the same terminal.
RunResult runProgramOnTerminal(const std::string& program, const std::vector<std::string>& args,
                               const std::vector<std::string>& environment = {},
                               bool errorToo = false);
#endif

// The value NAME=VALUE gives a child whose parent has `old` for NAME (null
// when unset): VALUE, or for a *_OPTIONS variable already set, the old
// options then VALUE. Both runners set their children's variables with it.
std::string childValue(const std::string& setting, const char* old);

// True when this build runs under AddressSanitizer, which cannot work inside
// an address-space limit.
bool underAddressSanitizer();

}  // namespace onda_test

#endif
