#include "temporary_file_posix.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <utility>

#include "temporary_name.h"

namespace {

// ---------------------------------------------------------------------------
// Signals

// The file the handler removes; one at a time in a process. Changed only
// while every ending signal is held back, so the handler never sees it half
// changed.
volatile int recordedFolder = -1;
char recordedName[32];

int highestSignal() {
#if defined(SIGRTMAX)
    return SIGRTMAX;
#else
    return NSIG - 1;
#endif
}

// Signals whose default action does not end the process, or that cannot or
// must not be caught (SIGXFSZ is ignored while writing).
bool endsNoRun(int signal) {
    switch (signal) {
        case SIGCHLD:
        case SIGCONT:
        case SIGURG:
#if defined(SIGWINCH)
        case SIGWINCH:
#endif
        case SIGSTOP:
        case SIGTSTP:
        case SIGTTIN:
        case SIGTTOU:
        case SIGKILL:
        case SIGXFSZ: return true;
        default: return false;
    }
}

// A fault that happens while it is blocked ends the process at once, so these
// are held back only around system calls.
bool isFault(int signal) {
    return signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE || signal == SIGILL;
}

sigset_t endingSignals(bool faults) {
    sigset_t set;
    sigemptyset(&set);
    for (int signal = 1; signal <= highestSignal(); ++signal) {
        if (!endsNoRun(signal) && (faults || !isFault(signal))) sigaddset(&set, signal);
    }
    return set;
}

// Only async-signal-safe calls: unlinkat, sigaction, raise.
extern "C" void removeRecordedFile(int signal) {
    const int savedErrno = errno;
    if (recordedFolder >= 0) ::unlinkat(recordedFolder, recordedName, 0);
    recordedFolder = -1;
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    // Delivered by the default action once the handler returns; a fault
    // happens again when its instruction is retried.
    (void)::raise(signal);
    errno = savedErrno;
}

bool actsByDefault(int signal) {
    struct sigaction current {};
    return ::sigaction(signal, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
           current.sa_handler == SIG_DFL;
}

// Every ending signal at its default action gets the handler; those the
// caller ignores or handles, and those sigaction refuses, are left alone.
void installHandlers() {
    struct sigaction action {};
    action.sa_handler = removeRecordedFile;
    action.sa_mask = endingSignals(false);
    for (int signal = 1; signal <= highestSignal(); ++signal) {
        if (!endsNoRun(signal) && actsByDefault(signal))
            (void)::sigaction(signal, &action, nullptr);
    }
}

// Holds the ending signals back while alive, the faults too where `faults`
// says; one that arrives meanwhile is handled when it ends. A fault that the
// program itself causes cannot wait: it is held only around a system call
// and plain stores.
class SignalsHeld {
   public:
    explicit SignalsHeld(bool faults = false) {
        const sigset_t set = endingSignals(faults);
        ::sigprocmask(SIG_BLOCK, &set, &before_);
    }
    ~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &before_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

   private:
    sigset_t before_{};
};

int closeStream(std::FILE*& stream) {
    const int closed = std::fclose(stream);
    stream = nullptr;
    return closed == 0 ? 0 : errno;
}

// Opens a stream on `fd` (closing `fd` when it cannot) and writes the
// contents through it. 0 or the errno; the stream is left open on success.
int writeThroughStream(int fd, ContentWriter writer, const void* content, std::FILE*& stream) {
    stream = ::fdopen(fd, "wb");
    if (stream == nullptr) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    if (const int error = writer(stream, content)) return error;
    return std::fflush(stream) == 0 ? 0 : errno;
}

}  // namespace

int TemporaryFile::create(int folder, mode_t mode) {
    installHandlers();
    std::uint64_t seed = temporaryNameSeed(std::uint64_t(::getpid()));
    for (int attempt = 0; attempt < TEMPORARY_NAME_ATTEMPTS; ++attempt) {
        const std::string name = temporaryName(seed);
        const SignalsHeld held(true);
        const int fd =
            ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0) {
            name.copy(recordedName, sizeof recordedName - 1);
            recordedName[name.size()] = '\0';
            recordedFolder = folder;
            name.copy(name_, sizeof name_ - 1);
            name_[name.size()] = '\0';
            folder_ = folder;
            fd_ = fd;
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

int TemporaryFile::write(ContentWriter writer, const void* content) {
    const int error = writeThroughStream(fd_, writer, content, stream_);
    if (stream_ == nullptr) fd_ = -1;  // closed with the stream that could not be made
    return error;
}

int TemporaryFile::sync() const {
    return ::fsync(fd_) == 0 ? 0 : errno;
}

int TemporaryFile::close() {
    const int fd = std::exchange(fd_, -1);
    if (stream_ != nullptr) return closeStream(stream_);
    return fd < 0 || ::close(fd) == 0 ? 0 : errno;
}

int TemporaryFile::commit(const char* target) {
    const SignalsHeld held;
    if (::renameat(folder_, name_, folder_, target) != 0) return errno;
    recordedFolder = -1;
    folder_ = -1;
    return 0;
}

void TemporaryFile::abandon() {
    (void)close();
    if (folder_ < 0) return;
    const SignalsHeld held;
    ::unlinkat(folder_, name_, 0);
    recordedFolder = -1;
    folder_ = -1;
}

int writeAndClose(int fd, ContentWriter writer, const void* content, ReplaceStep& step) {
    std::FILE* stream = nullptr;
    step = ReplaceStep::write;
    const int error = writeThroughStream(fd, writer, content, stream);
    if (stream == nullptr) return error;
    const int closeError = closeStream(stream);
    if (error != 0 || closeError == 0) return error;
    step = ReplaceStep::close;
    return closeError;
}
