// The file replacement on POSIX systems. Every step works relative to the
// open folder of the target, so that neither a long name nor a deep folder
// makes a path too long.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

#include "replace.h"

namespace {

// ---------------------------------------------------------------------------
// Signals

constexpr int GUARDED[] = {SIGHUP,  SIGINT,  SIGQUIT,   SIGPIPE, SIGALRM, SIGTERM,
                           SIGUSR1, SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU};
constexpr int GUARDED_COUNT = int(sizeof GUARDED / sizeof GUARDED[0]);

// The temporary file the handler removes. Changed only while the guarded
// signals are blocked, so the handler never sees it half changed.
volatile int armedFolder = -1;
char armedName[32];
bool taken[GUARDED_COUNT] = {};

sigset_t guardedSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : GUARDED) sigaddset(&set, signal);
    return set;
}

// Only async-signal-safe calls: unlinkat, sigaction, raise.
extern "C" void removeArmedFile(int signal) {
    const int savedErrno = errno;
    if (armedFolder >= 0) ::unlinkat(armedFolder, armedName, 0);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(signal, &fallback, nullptr);
    (void)::raise(signal);  // delivered by the default action once the handler returns
    errno = savedErrno;
}

bool actsByDefault(int signal) {
    struct sigaction current {};
    return ::sigaction(signal, nullptr, &current) == 0 && (current.sa_flags & SA_SIGINFO) == 0 &&
           current.sa_handler == SIG_DFL;
}

void arm(int folder, const std::string& name) {
    armedName[name.copy(armedName, sizeof armedName - 1)] = '\0';
    armedFolder = folder;
    struct sigaction action {};
    action.sa_handler = removeArmedFile;
    action.sa_mask = guardedSet();
    for (int i = 0; i < GUARDED_COUNT; ++i) {
        taken[i] = actsByDefault(GUARDED[i]) && ::sigaction(GUARDED[i], &action, nullptr) == 0;
    }
}

void disarm() {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    for (int i = 0; i < GUARDED_COUNT; ++i) {
        if (taken[i]) ::sigaction(GUARDED[i], &fallback, nullptr);
        taken[i] = false;
    }
    armedFolder = -1;
}

// Holds the guarded signals back while alive; one that arrives meanwhile is
// handled when it ends. Creating and arming, and renaming or removing and
// disarming, each happen inside one, so that no signal falls between them.
class SignalsHeld {
   public:
    SignalsHeld() {
        const sigset_t set = guardedSet();
        ::sigprocmask(SIG_BLOCK, &set, &before_);
    }
    ~SignalsHeld() { ::sigprocmask(SIG_SETMASK, &before_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

   private:
    sigset_t before_{};
};

// A write beyond the file-size limit fails with EFBIG while alive, instead of
// ending the process.
class FileSizeSignalIgnored {
   public:
    FileSizeSignalIgnored() {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        ::sigaction(SIGXFSZ, &ignore, &before_);
    }
    ~FileSizeSignalIgnored() { ::sigaction(SIGXFSZ, &before_, nullptr); }
    FileSizeSignalIgnored(const FileSizeSignalIgnored&) = delete;
    FileSizeSignalIgnored& operator=(const FileSizeSignalIgnored&) = delete;

   private:
    struct sigaction before_ {};
};

// ---------------------------------------------------------------------------
// The target

// An open file descriptor, closed when it goes.
class Descriptor {
   public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd = -1) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

   private:
    int fd_;
};

// The file a path names, as a folder and a name in it, links followed.
struct Target {
    Descriptor folder;
    std::string name;
    bool exists = false;
    struct stat status {};
};

// Opens the folder part of `path` (relative to `from`) and keeps the last
// name; "" names the folder itself. 0 or the errno.
int enter(Target& target, int from, const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    target.name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (target.name.empty()) target.name = ".";
    const int fd = ::openat(from, folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return errno;
    target.folder.reset(fd);
    return 0;
}

// The text of the link `name` in `folder`, or "" with errno set.
std::string linkText(int folder, const std::string& name) {
    std::string text(256, '\0');
    for (;;) {
        const ssize_t length = ::readlinkat(folder, name.c_str(), text.data(), text.size());
        if (length < 0) return "";
        if (std::size_t(length) < text.size()) return text.substr(0, std::size_t(length));
        text.resize(2 * text.size());
    }
}

// Follows `path` through its links. 0 or the errno.
int resolve(const char* path, Target& target) {
    constexpr int MOST_LINKS = 40;
    if (const int error = enter(target, AT_FDCWD, path)) return error;
    for (int links = 0;; ++links) {
        if (::fstatat(target.folder.get(), target.name.c_str(), &target.status,
                      AT_SYMLINK_NOFOLLOW) != 0) {
            return errno == ENOENT ? 0 : errno;
        }
        if (!S_ISLNK(target.status.st_mode)) {
            target.exists = true;
            return 0;
        }
        if (links == MOST_LINKS) return ELOOP;
        const std::string linked = linkText(target.folder.get(), target.name);
        if (linked.empty()) return errno;
        Target next;
        if (const int error = enter(next, target.folder.get(), linked)) return error;
        target.folder.reset(next.folder.release());
        target.name = next.name;
    }
}

// ---------------------------------------------------------------------------
// Writing

int failed(BmpWriteCause& cause, int step, int error) {
    cause = BmpWriteCause{step, 0, 0, error};
    return BMP_WRITE_FAILED;
}

// Writes and closes the stream made of `fd`; `beforeClose` runs on the file
// once the contents are written (0 or an errno).
template <class BeforeClose>
int writeToDescriptor(int fd, ContentWriter write, const void* content, BmpWriteCause& cause,
                      BeforeClose beforeClose) {
    std::FILE* stream = ::fdopen(fd, "wb");
    if (stream == nullptr) {
        const int error = errno;
        ::close(fd);
        return failed(cause, BMP_WRITE_WRITE, error);
    }
    int written = write(stream, content, cause);
    if (written == BMP_WRITTEN) {
        if (const int error = beforeClose(fd)) written = failed(cause, BMP_WRITE_WRITE, error);
    }
    if (std::fclose(stream) != 0 && written == BMP_WRITTEN) {
        written = failed(cause, BMP_WRITE_CLOSE, errno);
    }
    return written;
}

// Devices and pipes take the bytes straight: there is nothing to keep and
// nothing to rename over.
int writeInPlace(const Target& target, ContentWriter write, const void* content,
                 BmpWriteCause& cause) {
    const int fd = ::openat(target.folder.get(), target.name.c_str(),
                            O_WRONLY | O_TRUNC | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return failed(cause, BMP_WRITE_CREATE, errno);
    return writeToDescriptor(fd, write, content, cause, [](int) { return 0; });
}

// 0 when the existing target could be opened for writing, or the errno.
int writableError(const Target& target) {
    const int fd = ::openat(target.folder.get(), target.name.c_str(),
                            O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// The replaced file's owner (when run as root), group (where the system
// allows) and mode; 0666 less the umask for a new file. 0 or the errno.
int giveFinalMode(int fd, const Target& target) {
    if (!target.exists) return ::fchmod(fd, 0666 & ~currentUmask()) == 0 ? 0 : errno;
    const uid_t owner = ::geteuid() == 0 ? target.status.st_uid : uid_t(-1);
    // Before the mode, which it may clear set-id bits of. Where the system
    // allows no such owner or group, the new file keeps the user's.
    const bool given = ::fchown(fd, owner, target.status.st_gid) == 0;
    (void)given;
    return ::fchmod(fd, target.status.st_mode & 07777) == 0 ? 0 : errno;
}

// A new file ".onda-XXXXXX.tmp" beside the target, readable by its owner
// only, its name in `name`; -1 with errno set on failure.
int createTemporary(const Target& target, std::string& name) {
    static const char LETTERS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    auto seed = std::uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                (std::uint64_t(::getpid()) << 32);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = ".onda-";
        for (int i = 0; i < 6; ++i) {
            seed = seed * 6364136223846793005ULL + 1442695040888963407ULL;
            name.push_back(LETTERS[(seed >> 33) % (sizeof LETTERS - 1)]);
        }
        name += ".tmp";
        const int fd = ::openat(target.folder.get(), name.c_str(),
                                O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

int writeBeside(const Target& target, ContentWriter write, const void* content,
                BmpWriteCause& cause) {
    const int folder = target.folder.get();
    std::string temporary;
    int fd = -1;
    {
        const SignalsHeld held;
        fd = createTemporary(target, temporary);
        if (fd < 0) {
            const int error = errno;
            const bool folderLocked = target.exists && (error == EACCES || error == EPERM);
            return failed(cause, folderLocked ? BMP_WRITE_FOLDER : BMP_WRITE_CREATE, error);
        }
        arm(folder, temporary);
    }
    int written = writeToDescriptor(fd, write, content, cause,
                                    [&target](int file) { return giveFinalMode(file, target); });
    const SignalsHeld held;
    if (written == BMP_WRITTEN &&
        ::renameat(folder, temporary.c_str(), folder, target.name.c_str()) != 0) {
        written = failed(cause, BMP_WRITE_RENAME, errno);
    }
    if (written != BMP_WRITTEN) ::unlinkat(folder, temporary.c_str(), 0);
    disarm();
    return written;
}

}  // namespace

int replaceFile(const char* path, ContentWriter write, const void* content, BmpWriteCause& cause) {
    Target target;
    if (const int error = resolve(path, target)) return failed(cause, BMP_WRITE_CREATE, error);
    const FileSizeSignalIgnored ignored;
    if (target.exists && !S_ISREG(target.status.st_mode)) {
        return writeInPlace(target, write, content, cause);
    }
    if (target.exists) {
        if (const int error = writableError(target)) return failed(cause, BMP_WRITE_WRITE, error);
    }
    return writeBeside(target, write, content, cause);
}
