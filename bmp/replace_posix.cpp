// Which target gets what, on POSIX systems.
//
// The writer walks the links of the target's final name itself, as the
// kernel does with fs.protected_symlinks on, whatever that setting says,
// root included: in a sticky folder anyone may write, a link that belongs
// neither to the user nor to the folder's owner is refused. Folders in the
// path are the kernel's to follow. An existing target is then opened without
// following links and judged by what was opened, which must be the file the
// walk saw; nothing but a descriptor so checked is ever written.
//
//   target (after its links)              what is done
//   ------------------------------------  ----------------------------------
//   a new name (a dangling link's too)    created beside it, renamed in place
//   a regular file                        replaced: written beside it, given
//                                         its owner, group, access list,
//                                         attributes and mode
//                                         (keep_attributes_posix.h), synced,
//                                         renamed over it
//   another user's regular file in a      refused, root included (the
//     sticky folder anyone may write      kernel's protected_regular rule);
//     that is not the folder owner's      elsewhere in a sticky folder,
//                                         refused but for root, since the
//                                         rename would be
//   another user's FIFO there             refused, root included (the
//                                         kernel's protected_fifos rule)
//   any other FIFO, a device              written in place; a FIFO waits for
//                                         its reader
//   a link in /proc (/dev/fd/N)           opened through the kernel, judged
//                                         by what it opened: written in
//                                         place, a regular file cut to size
//   standard output or standard error,    refused: the console text would be
//     written in place                    mixed in (not /dev/null)
//   a folder                              refused
//   a name that changed between the       refused
//     walk and the open
//
// A file the user may not write is refused as opening it for writing would
// be. Every step works relative to the open folder of the target, so that
// neither a long name nor a deep folder makes a path too long.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#if defined(__linux__)
#include <linux/magic.h>
#include <sys/statfs.h>
#endif
#include <unistd.h>

#include <cerrno>
#include <string>
#include <utility>

#include "keep_attributes_posix.h"
#include "replace.h"
#include "temporary_file_posix.h"

namespace {

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

ReplaceResult failed(ReplaceStep step, int error = 0) {
    return ReplaceResult{step, error};
}

// ---------------------------------------------------------------------------
// The walk

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
    struct stat status {};       // the final name's, not following it
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

// True in a sticky folder anyone may write, for an entry that belongs
// neither to the user nor to the folder's owner: the kernel's rule for
// links, FIFOs and regular files there.
bool protectedInSharedFolder(const struct stat& entry, const struct stat& folder) {
    const uid_t user = ::geteuid();
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0 &&
           entry.st_uid != user && entry.st_uid != folder.st_uid;
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
        if (protectedInSharedFolder(target.status, target.folderStatus)) {
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
// Deciding on what was opened

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool isStream(int stream, const struct stat& file) {
    struct stat status {};
    return ::fstat(stream, &status) == 0 && sameFile(status, file);
}

// The device that discards what it is given mixes nothing.
bool discards(const struct stat& file) {
    struct stat null {};
    return S_ISCHR(file.st_mode) && ::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) &&
           file.st_rdev == null.st_rdev;
}

// Devices, pipes and the files /proc names take the bytes straight: there is
// nothing to keep and nothing to rename over. The program's own standard
// output and error are refused, since its console text would be mixed in.
ReplaceResult writeInPlace(Descriptor& file, const struct stat& status, ContentWriter write,
                           const void* content) {
    if (!discards(status)) {
        if (isStream(STDOUT_FILENO, status)) return failed(ReplaceStep::standardOutput);
        if (isStream(STDERR_FILENO, status)) return failed(ReplaceStep::standardError);
    }
    if (S_ISREG(status.st_mode) && ::ftruncate(file.get(), 0) != 0) {
        return failed(ReplaceStep::write, errno);
    }
    ReplaceStep step = ReplaceStep::write;
    if (const int error = writeAndClose(file.release(), write, content, step)) {
        return failed(step, error);
    }
    return {};
}

// A link in /proc names an open file, which only the kernel can reach.
ReplaceResult writeThroughKernel(const Target& target, ContentWriter write, const void* content) {
    Descriptor file(
        ::openat(target.folder.get(), target.name.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC));
    struct stat status {};
    if (file.get() == -1) return failed(ReplaceStep::create, errno);
    if (::fstat(file.get(), &status) != 0) return failed(ReplaceStep::write, errno);
    return writeInPlace(file, status, write, content);
}

// After the rename, the folder's entry is flushed too where the folder can be
// opened for reading; a folder that cannot be read is left to the system.
void syncFolder(int folder) {
    const Descriptor opened(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (opened.get() != -1) (void)::fsync(opened.get());
}

// A new file is made as any file in its folder is (0666 less the umask, or
// the folder's default access list) and is not synced; a replacing one is
// private until it has taken what the replaced file `replaced` has, and is
// synced with its folder.
ReplaceResult writeBeside(const Target& target, const Descriptor* replaced, const struct stat& old,
                          ContentWriter write, const void* content) {
    TemporaryFile file;
    if (const int error = file.create(target.folder.get(), replaced != nullptr ? 0600 : 0666)) {
        const bool folderLocked = replaced != nullptr && (error == EACCES || error == EPERM);
        return failed(folderLocked ? ReplaceStep::folder : ReplaceStep::create, error);
    }
    if (const int error = file.write(write, content)) return failed(ReplaceStep::write, error);
    if (replaced != nullptr) {
        const ReplaceResult taken = takeReplacedFile(file.descriptor(), replaced->get(), old);
        if (taken.step != ReplaceStep::done) return taken;
        if (const int error = file.sync()) return failed(ReplaceStep::write, error);
    }
    if (const int error = file.close()) return failed(ReplaceStep::close, error);
    if (const int error = file.commit(target.name.c_str())) {
        return failed(ReplaceStep::rename, error);
    }
    if (replaced != nullptr) syncFolder(target.folder.get());
    return {};
}

// An existing target, not a link: refused, replaced or written in place by
// what opening it gives.
ReplaceResult writeExisting(const Target& target, ContentWriter write, const void* content) {
    const struct stat& seen = target.status;
    if (S_ISDIR(seen.st_mode)) return failed(ReplaceStep::create, EISDIR);
    if (protectedInSharedFolder(seen, target.folderStatus)) {
        if (S_ISFIFO(seen.st_mode)) return failed(ReplaceStep::stickyPipe);
        if (S_ISREG(seen.st_mode)) return failed(ReplaceStep::sticky);
    }
    // A regular file is opened without waiting, so that one swapped for a
    // FIFO meanwhile cannot hold the run; a FIFO waits for its reader.
    const int waiting = S_ISREG(seen.st_mode) ? O_NONBLOCK : 0;
    Descriptor file(::openat(target.folder.get(), target.name.c_str(),
                             O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC | waiting));
    if (file.get() == -1) return failed(ReplaceStep::write, errno);
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) return failed(ReplaceStep::write, errno);
    if (!sameFile(status, seen)) return failed(ReplaceStep::changed);
    if (!S_ISREG(status.st_mode)) return writeInPlace(file, status, write, content);
    const uid_t user = ::geteuid();
    const bool renameForbidden = (target.folderStatus.st_mode & S_ISVTX) != 0 && user != 0 &&
                                 user != status.st_uid && user != target.folderStatus.st_uid;
    if (renameForbidden) return failed(ReplaceStep::sticky);
    return writeBeside(target, &file, status, write, content);
}

}  // namespace

ReplaceResult replaceFile(const char* path, ContentWriter write, const void* content) {
    Target target;
    if (const int error = resolve(path, target)) {
        return failed(target.linkRefused ? ReplaceStep::write : ReplaceStep::create, error);
    }
    const FileSizeSignalIgnored ignored;
    if (target.throughKernel) return writeThroughKernel(target, write, content);
    if (target.exists) return writeExisting(target, write, content);
    return writeBeside(target, nullptr, target.status, write, content);
}
