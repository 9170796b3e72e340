// Test support, loaded into a program with LD_PRELOAD: makes one call of a
// file function that the write path uses fail, or raises a signal in it, so
// that the tests reach every failure of the write path without timing.
//
//   ONDA_FAULT="FUNCTION WHERE ERROR"     the chosen call fails with errno
//                                         ERROR (0: it goes on as usual)
//   ONDA_FAULT="FUNCTION WHERE signal S"  signal S is raised once the chosen
//                                         call has gone on as usual
//   ONDA_FAULT="FUNCTION WHERE fault"     the chosen call writes through a
//                                         null pointer: a real SIGSEGV
//
// WHERE is a number N, the Nth call of FUNCTION, or a name: its first call
// on a file of that name (the last part of its path; for a call on a
// descriptor or a stream, of the file it is open on), a name that ends in
// '*' matching as a prefix: "openat .onda-*" is the temporary file's
// creation. Calls on the standard streams (console text, which the compiler
// may turn into fwrite) are not counted. When the chosen call comes, the file
// named by ONDA_FAULT_REPORT is created; for a call on a descriptor or a
// stream that is still open, it holds the file's permission bits (octal) once
// the call is done, whose group bits are an access list's mask.
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
#include <string>

namespace {

struct Fault {
    char function[32] = "";
    std::string name;  // "" where a call number chooses
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
    if (rest == space) {
        const char* end = std::strchr(space + 1, ' ');
        if (end == nullptr) return Fault{};
        fault.name.assign(space + 1, end);
        rest = const_cast<char*>(end);
    }
    if (std::strstr(rest, "fault") != nullptr) {
        fault.segfault = true;
    } else if (const char* word = std::strstr(rest, "signal")) {
        fault.signal = int(std::strtol(word + 6, nullptr, 10));
    } else {
        fault.error = int(std::strtol(rest, nullptr, 10));
    }
    return fault;
}

const Fault& theFault() {
    static const Fault fault = chosenFault();
    return fault;
}

std::string lastPart(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string nameOf(int fd) {
    char path[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t length = ::readlink(link.c_str(), path, sizeof path - 1);
    return length < 0 ? "" : lastPart(std::string(path, std::size_t(length)));
}

bool matches(const std::string& pattern, const std::string& name) {
    if (!pattern.empty() && pattern.back() == '*')
        return name.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
    return name == pattern;
}

// True for the chosen call, once.
bool isChosen(const char* function, const std::string& name) {
    static long calls = 0;
    static bool struck = false;
    const Fault& fault = theFault();
    if (struck || std::strcmp(function, fault.function) != 0) return false;
    if (fault.name.empty() ? ++calls != fault.call : !matches(fault.name, name)) return false;
    struck = true;
    return true;
}

void report(int fd) {
    const char* path = std::getenv("ONDA_FAULT_REPORT");
    if (path == nullptr) return;
    const int out = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    struct stat status {};
    if (fd >= 0 && ::fstat(fd, &status) == 0) {
        char mode[16];
        const int length = std::snprintf(mode, sizeof mode, "%o", unsigned(status.st_mode & 0777));
        (void)!::write(out, mode, std::size_t(length));
    }
    ::close(out);
}

// Runs `call` as the fault says when this is the chosen call of `function`
// on the file `name` (open as `fd`, or -1), giving `failure` where it fails.
template <class Result, class Call>
Result intercept(const char* function, const std::string& name, int fd, Result failure, Call call) {
    if (!isChosen(function, name)) return call();
    const Fault& fault = theFault();
    if (fault.segfault) {
        volatile int* volatile nowhere = nullptr;
        // cppcheck-suppress nullPointer ; the fault this row asks for
        *nowhere = 0;
    }
    if (fault.error != 0) {
        report(fd);
        errno = fault.error;
        return failure;
    }
    const Result result = call();
    const int error = errno;
    report(fd);
    if (fault.signal != 0) (void)std::raise(fault.signal);
    errno = error;
    return result;
}

bool isConsole(FILE* stream) {
    return stream == stdout || stream == stderr;
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
    return intercept("openat", lastPart(path), -1, -1, [&] {
        return real<int (*)(int, const char*, int, ...)>("openat")(folder, path, flags, mode);
    });
}

// What the fortified headers call where the flags are not a constant.
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
int __openat_2(int folder, const char* path, int flags) {
    return intercept("openat", lastPart(path), -1, -1, [&] {
        return real<int (*)(int, const char*, int)>("__openat_2")(folder, path, flags);
    });
}

int fstatat(int folder, const char* path, struct stat* status, int flags) {
    return intercept("fstatat", lastPart(path), -1, -1, [&] {
        return real<int (*)(int, const char*, struct stat*, int)>("fstatat")(folder, path, status,
                                                                             flags);
    });
}

FILE* fdopen(int fd, const char* mode) {
    return intercept("fdopen", nameOf(fd), fd, static_cast<FILE*>(nullptr),
                     [&] { return real<FILE* (*)(int, const char*)>("fdopen")(fd, mode); });
}

size_t fwrite(const void* bytes, size_t size, size_t count, FILE* stream) {
    const auto write = [&] {
        return real<size_t (*)(const void*, size_t, size_t, FILE*)>("fwrite")(bytes, size, count,
                                                                              stream);
    };
    if (isConsole(stream)) return write();
    const int fd = ::fileno(stream);
    return intercept("fwrite", nameOf(fd), fd, size_t{0}, write);
}

int fflush(FILE* stream) {
    const auto flush = [&] { return real<int (*)(FILE*)>("fflush")(stream); };
    if (stream == nullptr || isConsole(stream)) return flush();
    const int fd = ::fileno(stream);
    return intercept("fflush", nameOf(fd), fd, EOF, flush);
}

// The stream is closed all the same, as a close that fails does.
int fclose(FILE* stream) {
    const auto close = [&] { return real<int (*)(FILE*)>("fclose")(stream); };
    if (isConsole(stream)) return close();
    const std::string name = nameOf(::fileno(stream));
    int closed = 0;
    const int result = intercept("fclose", name, -1, EOF, [&] { return closed = close(); });
    if (result == EOF && closed == 0) {
        const int error = errno;
        (void)close();
        errno = error;
    }
    return result;
}

int fchmod(int fd, mode_t mode) {
    return intercept("fchmod", nameOf(fd), fd, -1,
                     [&] { return real<int (*)(int, mode_t)>("fchmod")(fd, mode); });
}

int fchown(int fd, uid_t owner, gid_t group) {
    return intercept("fchown", nameOf(fd), fd, -1,
                     [&] { return real<int (*)(int, uid_t, gid_t)>("fchown")(fd, owner, group); });
}

int fsync(int fd) {
    return intercept("fsync", nameOf(fd), fd, -1, [&] { return real<int (*)(int)>("fsync")(fd); });
}

ssize_t flistxattr(int fd, char* names, size_t size) {
    return intercept("flistxattr", nameOf(fd), fd, ssize_t{-1}, [&] {
        return real<ssize_t (*)(int, char*, size_t)>("flistxattr")(fd, names, size);
    });
}

int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags) {
    return intercept("fsetxattr", nameOf(fd), fd, -1, [&] {
        return real<int (*)(int, const char*, const void*, size_t, int)>("fsetxattr")(
            fd, name, value, size, flags);
    });
}

int fremovexattr(int fd, const char* name) {
    return intercept("fremovexattr", nameOf(fd), fd, -1,
                     [&] { return real<int (*)(int, const char*)>("fremovexattr")(fd, name); });
}

int renameat(int from, const char* name, int to, const char* newName) {
    return intercept("renameat", lastPart(name), -1, -1, [&] {
        return real<int (*)(int, const char*, int, const char*)>("renameat")(from, name, to,
                                                                             newName);
    });
}
}
// NOLINTEND(readability-inconsistent-declaration-parameter-name)
