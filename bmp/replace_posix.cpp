// The file replacement on POSIX systems. Every step works relative to the
// open folder of the target, so that neither a long name nor a deep folder
// makes a path too long.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#if defined(__linux__)
#include <linux/magic.h>
#include <sys/statfs.h>
#include <sys/xattr.h>
#endif
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <utility>

#include "replace.h"
#include "write_support.h"

namespace {

// ---------------------------------------------------------------------------
// Signals

// The temporary file the handler removes. Changed only while the guarded
// signals are blocked, so the handler never sees it half changed.
volatile int armedFolder = -1;
char armedName[32];

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

// A fault blocked while it happens ends the process at once, so these are
// handled but never held back.
bool isFault(int signal) {
    return signal == SIGSEGV || signal == SIGBUS || signal == SIGFPE || signal == SIGILL;
}

sigset_t guardedSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal = 1; signal <= highestSignal(); ++signal) {
        if (!endsNoRun(signal) && !isFault(signal)) sigaddset(&set, signal);
    }
    return set;
}

// Only async-signal-safe calls: unlinkat, sigaction, raise.
extern "C" void removeArmedFile(int signal) {
    const int savedErrno = errno;
    if (armedFolder >= 0) ::unlinkat(armedFolder, armedName, 0);
    armedFolder = -1;
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

// The handler takes every ending signal that is at its default action, and
// stays once taken: with nothing armed it ends the process as the default
// action would. Signals the caller ignores or handles, and those sigaction
// refuses, are left alone.
void arm(int folder, const std::string& name) {
    armedName[name.copy(armedName, sizeof armedName - 1)] = '\0';
    armedFolder = folder;
    struct sigaction action {};
    action.sa_handler = removeArmedFile;
    action.sa_mask = guardedSet();
    for (int signal = 1; signal <= highestSignal(); ++signal) {
        if (!endsNoRun(signal) && actsByDefault(signal))
            (void)::sigaction(signal, &action, nullptr);
    }
}

void disarm() {
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

// Folders are opened for search only where the system can, so that a folder
// its user may write but not read takes a new file.
#if defined(O_PATH)
constexpr int FOLDER_FLAGS = O_PATH | O_DIRECTORY | O_CLOEXEC;
#else
constexpr int FOLDER_FLAGS = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
#endif

// The file a path names, as a folder and a name in it, links followed.
struct Target {
    Descriptor folder;
    std::string name;
    bool exists = false;
    bool throughKernel = false;  // a name the kernel resolves itself, in /proc
    bool linkRefused = false;    // a link the kernel's rule would not follow
    struct stat status {};
    struct stat folderStatus {};
};

// Opens the folder that holds the last name of `path` (relative to `from`)
// and keeps that name; "" names the folder itself. 0 or the errno.
int openParentFolder(Target& target, int from, const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    target.name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (target.name.empty()) target.name = ".";
    const int fd = ::openat(from, folder.c_str(), FOLDER_FLAGS);
    if (fd < 0) return errno;
    target.folder.reset(fd);
    return ::fstat(fd, &target.folderStatus) == 0 ? 0 : errno;
}

// The text of the link `name` in `folder`, in `text`. 0 or the errno.
int linkText(int folder, const std::string& name, std::string& text) {
    text.assign(256, '\0');
    for (;;) {
        const ssize_t length = ::readlinkat(folder, name.c_str(), text.data(), text.size());
        if (length < 0) return errno;
        if (std::size_t(length) < text.size()) {
            text.resize(std::size_t(length));
            return 0;
        }
        text.resize(2 * text.size());
    }
}

// The kernel's rule for links in a sticky folder that anyone may write: such
// a link is followed only when it belongs to the user or to the folder's
// owner. Applied whatever the system's own setting, root included.
bool mayFollow(const struct stat& link, const struct stat& folder) {
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return !shared || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid;
}

// True for a folder in the process file system, whose links (/dev/fd/N,
// /proc/self/fd/N) name open files rather than paths.
bool inProcessFiles(int folder) {
#if defined(__linux__)
    struct statfs system {};
    return ::fstatfs(folder, &system) == 0 && system.f_type == PROC_SUPER_MAGIC;
#else
    (void)folder;
    return false;
#endif
}

// Follows `path` through its links. 0 or the errno; a link the kernel's rule
// would not follow gives EACCES with `target.linkRefused` set.
int resolve(const char* path, Target& target) {
    constexpr int MOST_LINKS = 40;
    if (const int error = openParentFolder(target, AT_FDCWD, path)) return error;
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
        if (!mayFollow(target.status, target.folderStatus)) {
            target.linkRefused = true;
            return EACCES;
        }
        if (inProcessFiles(target.folder.get())) {
            target.throughKernel = true;
            return 0;
        }
        std::string linked;
        if (const int error = linkText(target.folder.get(), target.name, linked)) return error;
        Target next;
        if (const int error = openParentFolder(next, target.folder.get(), linked)) return error;
        target.folder.reset(next.folder.release());
        target.folderStatus = next.folderStatus;
        target.name = next.name;
    }
}

// ---------------------------------------------------------------------------
// Writing

// Writes and closes the stream made of `fd`; `beforeClose` runs on the file
// once the contents are written (0 or an errno).
template <class BeforeClose>
int writeToDescriptor(int fd, ContentWriter write, const void* content, BmpWriteCause& cause,
                      BeforeClose beforeClose) {
    std::FILE* stream = ::fdopen(fd, "wb");
    if (stream == nullptr) {
        const int error = errno;
        ::close(fd);
        return writeFailed(cause, BMP_WRITE_WRITE, error);
    }
    int written = write(stream, content, cause);
    if (written == BMP_WRITTEN) {
        if (const int error = beforeClose(fd)) written = writeFailed(cause, BMP_WRITE_WRITE, error);
    }
    if (std::fclose(stream) != 0 && written == BMP_WRITTEN) {
        written = writeFailed(cause, BMP_WRITE_CLOSE, errno);
    }
    return written;
}

bool isStandardOutput(const struct stat& file) {
    struct stat output {};
    return ::fstat(STDOUT_FILENO, &output) == 0 && output.st_dev == file.st_dev &&
           output.st_ino == file.st_ino;
}

// Devices, pipes and the files /proc names take the bytes straight: there is
// nothing to keep and nothing to rename over. The program's own standard
// output is refused, since its console text would be mixed in.
int writeInPlace(const Target& target, ContentWriter write, const void* content,
                 BmpWriteCause& cause) {
    Descriptor file(
        ::openat(target.folder.get(), target.name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    if (file.get() == -1) return writeFailed(cause, BMP_WRITE_CREATE, errno);
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) return writeFailed(cause, BMP_WRITE_WRITE, errno);
    if (isStandardOutput(status)) return writeFailed(cause, BMP_WRITE_STANDARD_OUTPUT, EINVAL);
    if (S_ISREG(status.st_mode) && ::ftruncate(file.get(), 0) != 0) {
        return writeFailed(cause, BMP_WRITE_WRITE, errno);
    }
    return writeToDescriptor(file.release(), write, content, cause, [](int) { return 0; });
}

// The existing target opened for writing into `file`, as a check that the
// user may write it and to read its attributes from. 0 or the errno.
int openReplaced(const Target& target, Descriptor& file) {
    file.reset(::openat(target.folder.get(), target.name.c_str(),
                        O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    return file.get() == -1 ? errno : 0;
}

// True when the folder's sticky bit keeps the user from renaming over the
// target: it belongs to someone else, as does the folder.
bool stickyForbids(const Target& target) {
    const uid_t user = ::geteuid();
    return (target.folderStatus.st_mode & S_ISVTX) != 0 && user != 0 &&
           user != target.status.st_uid && user != target.folderStatus.st_uid;
}

// ---------------------------------------------------------------------------
// What the replaced file keeps

#if defined(__linux__)
constexpr char ACCESS_LIST[] = "system.posix_acl_access";

// Attributes never carried over: a privilege, and seals of the old contents.
bool isTiedToOldFile(const std::string& name) {
    return name == "security.capability" || name == "security.ima" || name == "security.evm";
}

// The names of the file's attributes, each ended by a zero byte; none where
// the file system keeps none. 0, or the errno when they cannot be listed (a
// list that grows meanwhile included).
int attributeNames(int fd, std::string& names) {
    const ssize_t size = ::flistxattr(fd, nullptr, 0);
    names.resize(std::size_t(std::max<ssize_t>(size, 0)));
    if (size < 0) return errno == ENOTSUP ? 0 : errno;
    const ssize_t length = ::flistxattr(fd, names.data(), names.size());
    names.resize(std::size_t(std::max<ssize_t>(length, 0)));
    return length >= 0 ? 0 : errno;
}

// The value of one attribute. 0 or the errno.
int attributeValue(int fd, const char* name, std::string& value) {
    const ssize_t size = ::fgetxattr(fd, name, nullptr, 0);
    if (size < 0) return errno;
    value.resize(std::size_t(size));
    const ssize_t length = ::fgetxattr(fd, name, value.data(), value.size());
    value.resize(std::size_t(std::max<ssize_t>(length, 0)));
    return length >= 0 ? 0 : errno;
}

// The replaced file's access list and other attributes, on the new file.
// Others that cannot be read or set are skipped; an access list that cannot
// be carried over is an error, and so is one the folder gave the new file
// where the replaced file had none. 0 or the errno.
int carryAttributes(int from, int to) {
    std::string names;
    if (const int error = attributeNames(from, names)) return error;
    bool listCarried = false;
    std::string value;
    for (std::size_t at = 0; at < names.size(); at = names.find('\0', at) + 1) {
        const std::string name = names.c_str() + at;
        if (isTiedToOldFile(name)) continue;
        const bool isList = name == ACCESS_LIST;
        if (const int error = attributeValue(from, name.c_str(), value)) {
            if (isList) return error;
            continue;
        }
        const bool set = ::fsetxattr(to, name.c_str(), value.data(), value.size(), 0) == 0;
        if (isList && !set) return errno;
        listCarried = listCarried || isList;
    }
    if (!listCarried && ::fremovexattr(to, ACCESS_LIST) != 0 && errno != ENODATA &&
        errno != ENOTSUP) {
        return errno;
    }
    return 0;
}
#else
int carryAttributes(int, int) {
    return 0;
}
#endif

// The replaced file's owner (when run as root), group (where the system
// allows), attributes and mode, set-id bits excepted; without its group, no
// group permission bits. 0 or the errno.
int takeReplacedFile(int fd, int replaced, const struct stat& old) {
    const uid_t owner = ::geteuid() == 0 ? old.st_uid : uid_t(-1);
    // A refusal is no failure: the file keeps the user's owner and group, and
    // below loses its group permission bits.
    (void)!::fchown(fd, owner, old.st_gid);
    struct stat now {};
    if (::fstat(fd, &now) != 0) return errno;
    if (const int error = carryAttributes(replaced, fd)) return error;
    mode_t mode = old.st_mode & 07777 & ~mode_t(S_ISUID | S_ISGID);
    if (now.st_gid != old.st_gid) mode &= ~mode_t(S_IRWXG);
    // Last, so that the access list's mask ends as the replaced file's group
    // bits, or narrower.
    if (::fchmod(fd, mode) != 0) return errno;
    return ::fsync(fd) == 0 ? 0 : errno;
}

// A new file ".onda-XXXXXX.tmp" beside the target, made with `mode`: its
// descriptor in `fd` and its name in `name`. 0 or the errno.
int createTemporary(const Target& target, mode_t mode, int& fd, std::string& name) {
    std::uint64_t seed = temporaryNameSeed(std::uint64_t(::getpid()));
    for (int attempt = 0; attempt < TEMPORARY_NAME_ATTEMPTS; ++attempt) {
        name = temporaryName(seed);
        fd = ::openat(target.folder.get(), name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                      mode);
        if (fd >= 0) return 0;
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

// After the rename, the folder's entry is flushed too where the folder can be
// opened for reading; a folder that cannot be read is left to the system.
void syncFolder(int folder) {
    const Descriptor opened(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (opened.get() != -1) (void)::fsync(opened.get());
}

// A new file is made as any file in its folder is (0666 less the umask, or
// the folder's default access list); a replacing one is private until it has
// taken the replaced file's owner, attributes and mode, and is synced.
int writeBeside(const Target& target, int replaced, ContentWriter write, const void* content,
                BmpWriteCause& cause) {
    const int folder = target.folder.get();
    std::string temporary;
    int fd = -1;
    {
        const SignalsHeld held;
        if (const int error = createTemporary(target, target.exists ? 0600 : 0666, fd, temporary)) {
            const bool folderLocked = target.exists && (error == EACCES || error == EPERM);
            return writeFailed(cause, folderLocked ? BMP_WRITE_FOLDER : BMP_WRITE_CREATE, error);
        }
        arm(folder, temporary);
    }
    int written = writeToDescriptor(fd, write, content, cause, [&target, replaced](int file) {
        return target.exists ? takeReplacedFile(file, replaced, target.status) : 0;
    });
    const SignalsHeld held;
    if (written == BMP_WRITTEN &&
        ::renameat(folder, temporary.c_str(), folder, target.name.c_str()) != 0) {
        written = writeFailed(cause, BMP_WRITE_RENAME, errno);
    }
    if (written != BMP_WRITTEN) ::unlinkat(folder, temporary.c_str(), 0);
    disarm();
    if (written == BMP_WRITTEN && target.exists) syncFolder(folder);
    return written;
}

}  // namespace

int replaceFile(const char* path, ContentWriter write, const void* content, BmpWriteCause& cause) {
    Target target;
    if (const int error = resolve(path, target)) {
        return writeFailed(cause, target.linkRefused ? BMP_WRITE_WRITE : BMP_WRITE_CREATE, error);
    }
    const FileSizeSignalIgnored ignored;
    if (target.throughKernel || (target.exists && !S_ISREG(target.status.st_mode))) {
        return writeInPlace(target, write, content, cause);
    }
    Descriptor replaced;
    if (target.exists) {
        if (const int error = openReplaced(target, replaced)) {
            return writeFailed(cause, BMP_WRITE_WRITE, error);
        }
        if (stickyForbids(target)) return writeFailed(cause, BMP_WRITE_STICKY, EPERM);
    }
    return writeBeside(target, replaced.get(), write, content, cause);
}
