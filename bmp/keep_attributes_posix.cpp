#include "keep_attributes_posix.h"

#include <unistd.h>
#if defined(__linux__)
#include <sys/xattr.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <string>

namespace {

#if defined(__linux__)
constexpr char ACCESS_LIST[] = "system.posix_acl_access";

// The access list as the kernel stores it: a 4-byte version, then entries of
// a 16-bit tag, 16-bit permissions and a 32-bit id, little-endian.
constexpr std::size_t LIST_HEADER = 4, LIST_ENTRY = 8;
constexpr unsigned OWNER_ENTRY = 0x01, MASK_ENTRY = 0x10, OTHER_ENTRY = 0x20;

// Sets the permissions of the owner, mask and other entries to those of
// `mode`, as a change of mode would. (A list the kernel stores has named
// entries, and so a mask, which stands for the group class.)
void narrowToMode(std::string& list, mode_t mode) {
    for (std::size_t at = LIST_HEADER; at + LIST_ENTRY <= list.size(); at += LIST_ENTRY) {
        const unsigned tag = static_cast<unsigned char>(list[at]) |
                             unsigned(static_cast<unsigned char>(list[at + 1])) << 8;
        const int shift = tag == OWNER_ENTRY   ? 6
                          : tag == MASK_ENTRY  ? 3
                          : tag == OTHER_ENTRY ? 0
                                               : -1;
        if (shift < 0) continue;
        list[at + 2] = char((mode >> shift) & 7);
        list[at + 3] = 0;
    }
}

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

int attributeValue(int fd, const char* name, std::string& value) {
    const ssize_t size = ::fgetxattr(fd, name, nullptr, 0);
    if (size < 0) return errno;
    value.resize(std::size_t(size));
    const ssize_t length = ::fgetxattr(fd, name, value.data(), value.size());
    value.resize(std::size_t(std::max<ssize_t>(length, 0)));
    return length >= 0 ? 0 : errno;
}

// The replaced file's access list, narrowed to `mode`, and its other
// attributes. 0 or the errno.
int carryAttributes(int from, int to, mode_t mode) {
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
        if (isList) narrowToMode(value, mode);
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
int carryAttributes(int, int, mode_t) {
    return 0;
}
#endif

ReplaceResult failed(ReplaceStep step, int error) {
    return ReplaceResult{step, error};
}

}  // namespace

ReplaceResult takeReplacedFile(int fd, int replaced, const struct stat& old) {
    if (::geteuid() == 0 && old.st_uid != 0 && ::fchown(fd, old.st_uid, gid_t(-1)) != 0) {
        return failed(ReplaceStep::owner, errno);
    }
    // A refusal is no failure: the file keeps the user's group and loses its
    // group permission bits.
    (void)!::fchown(fd, uid_t(-1), old.st_gid);
    struct stat now {};
    if (::fstat(fd, &now) != 0) return failed(ReplaceStep::write, errno);
    mode_t mode = old.st_mode & 07777 & ~mode_t(S_ISUID | S_ISGID);
    if (now.st_gid != old.st_gid) mode &= ~mode_t(S_IRWXG);
    if (const int error = carryAttributes(replaced, fd, mode))
        return failed(ReplaceStep::write, error);
    if (::fchmod(fd, mode) != 0) return failed(ReplaceStep::write, errno);
    return {};
}
