// onda_measure COMMAND [ARGUMENT...]
//
// Runs the command with its standard output and error going to /dev/null and
// prints one line: its wall time, its user time and its system time in
// seconds, and its peak resident memory in KiB. The whole-process benchmark runs everything it
// times through this small process rather than straight from its Python: the
// kernel keeps a process's peak memory across exec, so a command started by
// the interpreter would be charged the interpreter's memory as its own, and
// the interpreter's start of the process would be timed with it.
//
// The exit status is the command's, or 127 when it cannot be run.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>

namespace {

constexpr int NOT_RUN = 127;

double seconds(const timespec& time) {
    return double(time.tv_sec) + double(time.tv_nsec) * 1e-9;
}

double seconds(const timeval& time) {
    return double(time.tv_sec) + double(time.tv_usec) * 1e-6;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: onda_measure COMMAND [ARGUMENT...]\n");
        return NOT_RUN;
    }
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    const pid_t child = fork();
    if (child < 0) return NOT_RUN;
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        if (null < 0 || dup2(null, STDOUT_FILENO) < 0 || dup2(null, STDERR_FILENO) < 0) {
            _exit(NOT_RUN);
        }
        execvp(argv[1], argv + 1);
        _exit(NOT_RUN);
    }
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return NOT_RUN;
    timespec end{};
    clock_gettime(CLOCK_MONOTONIC, &end);
    std::printf("%.6f %.6f %.6f %ld\n", seconds(end) - seconds(start), seconds(usage.ru_utime),
                seconds(usage.ru_stime), usage.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : NOT_RUN;
}
