// Test support, loaded into a program with LD_PRELOAD: makes one call of a
// file function that the writer uses fail, or raises a signal inside it, so
// that the tests reach every failure of the write path without timing.
//
//   ONDA_FAULT="FUNCTION N ERROR"      the Nth call of FUNCTION fails with
//                                      errno ERROR (0: it goes on as usual)
//   ONDA_FAULT="FUNCTION N signal S"   signal S is raised inside that call,
//                                      which then goes on as usual
//   ONDA_FAULT="FUNCTION N fault"      that call writes through a null
//                                      pointer: a real SIGSEGV
//
// Calls on the standard streams (console text, which the compiler may turn
// into fwrite) are not counted. When the chosen call comes, the file named by
// ONDA_FAULT_REPORT is created; for fwrite it holds the permission bits
// (octal) of the file being written.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct Fault {
    char function[32] = "";
    long call = 0;
    int error = 0;
    int signal = 0;
    bool segfault = false;
};

Fault chosenFault() {
    Fault fault;
    const char* text = std::getenv("ONDA_FAULT");
    const char* space = text != nullptr ? std::strchr(text, ' ') : nullptr;
    if (space == nullptr || std::size_t(space - text) >= sizeof fault.function) return fault;
    std::memcpy(fault.function, text, std::size_t(space - text));
    char* rest = nullptr;
    fault.call = std::strtol(space, &rest, 10);
    if (std::strstr(rest, "fault") != nullptr) {
        fault.segfault = true;
    } else if (const char* word = std::strstr(rest, "signal")) {
        fault.signal = int(std::strtol(word + 6, nullptr, 10));
    } else {
        fault.error = int(std::strtol(rest, nullptr, 10));
    }
    return fault;
}

void report(std::FILE* stream) {
    const char* path = std::getenv("ONDA_FAULT_REPORT");
    if (path == nullptr) return;
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    struct stat status {};
    if (stream != nullptr && ::fstat(::fileno(stream), &status) == 0) {
        char mode[16];
        const int length = std::snprintf(mode, sizeof mode, "%o", unsigned(status.st_mode & 0777));
        (void)!::write(fd, mode, std::size_t(length));
    }
    ::close(fd);
}

// True when this call of `function` is to fail, errno then set.
bool strikes(const char* function, std::FILE* stream = nullptr) {
    static const Fault fault = chosenFault();
    static long calls = 0;
    if (stream == stdout || stream == stderr) return false;
    if (std::strcmp(function, fault.function) != 0 || ++calls != fault.call) return false;
    report(stream);
    if (fault.signal != 0) (void)std::raise(fault.signal);
    if (fault.segfault) {
        volatile int* volatile nowhere = nullptr;
        // cppcheck-suppress nullPointer ; the fault this row asks for
        *nowhere = 0;
    }
    errno = fault.error;
    return fault.error != 0;
}

template <class Function>
Function real(const char* name) {
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

// The system's own declarations name the parameters with reserved names.
// NOLINTBEGIN(readability-inconsistent-declaration-parameter-name)
extern "C" {

int openat(int folder, const char* path, int flags, ...) {
    mode_t mode = 0;
    if ((flags & O_CREAT) != 0) {
        va_list rest;
        va_start(rest, flags);
        mode = mode_t(va_arg(rest, int));
        va_end(rest);
    }
    if (strikes("openat")) return -1;
    return real<int (*)(int, const char*, int, ...)>("openat")(folder, path, flags, mode);
}

int fstatat(int folder, const char* path, struct stat* status, int flags) {
    if (strikes("fstatat")) return -1;
    return real<int (*)(int, const char*, struct stat*, int)>("fstatat")(folder, path, status,
                                                                         flags);
}

FILE* fdopen(int fd, const char* mode) {
    if (strikes("fdopen")) return nullptr;
    return real<FILE* (*)(int, const char*)>("fdopen")(fd, mode);
}

size_t fwrite(const void* bytes, size_t size, size_t count, FILE* stream) {
    if (strikes("fwrite", stream)) return 0;
    return real<size_t (*)(const void*, size_t, size_t, FILE*)>("fwrite")(bytes, size, count,
                                                                          stream);
}

int fflush(FILE* stream) {
    if (strikes("fflush", stream)) return EOF;
    return real<int (*)(FILE*)>("fflush")(stream);
}

int fchmod(int fd, mode_t mode) {
    if (strikes("fchmod")) return -1;
    return real<int (*)(int, mode_t)>("fchmod")(fd, mode);
}

// The stream is closed all the same, as a close that fails does.
int fclose(FILE* stream) {
    const bool fails = strikes("fclose", stream);
    const int error = errno;
    const int closed = real<int (*)(FILE*)>("fclose")(stream);
    if (!fails) return closed;
    errno = error;
    return EOF;
}

int fsync(int fd) {
    if (strikes("fsync")) return -1;
    return real<int (*)(int)>("fsync")(fd);
}

ssize_t flistxattr(int fd, char* names, size_t size) {
    if (strikes("flistxattr")) return -1;
    return real<ssize_t (*)(int, char*, size_t)>("flistxattr")(fd, names, size);
}

int fremovexattr(int fd, const char* name) {
    if (strikes("fremovexattr")) return -1;
    return real<int (*)(int, const char*)>("fremovexattr")(fd, name);
}

int renameat(int from, const char* name, int to, const char* newName) {
    if (strikes("renameat")) return -1;
    return real<int (*)(int, const char*, int, const char*)>("renameat")(from, name, to, newName);
}
}
// NOLINTEND(readability-inconsistent-declaration-parameter-name)
