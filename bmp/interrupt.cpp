#include "interrupt.h"

#if defined(_WIN32)
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#else
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

using NameChar = std::filesystem::path::value_type;

#if defined(_WIN32)

// The console handler runs on a thread of its own: the lock stands in for
// blocking signals, and the handler waits while the name changes.
CRITICAL_SECTION lock;
const NameChar* armedName = nullptr;
bool handlerInstalled = false;

struct LockSetUp {
    LockSetUp() { InitializeCriticalSection(&lock); }
};
const LockSetUp lockSetUp;

BOOL WINAPI removeArmedFile(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
    EnterCriticalSection(&lock);
    if (armedName != nullptr) DeleteFileW(armedName);  // gone once the process ends
    LeaveCriticalSection(&lock);
    return FALSE;  // the default handler then ends the process
}

#else

constexpr int GUARDED[] = {SIGINT, SIGTERM, SIGHUP};
constexpr int GUARDED_COUNT = int(sizeof GUARDED / sizeof GUARDED[0]);

// Written only while the guarded signals are blocked, so the handler never
// sees them half changed.
const NameChar* volatile armedName = nullptr;
bool taken[GUARDED_COUNT] = {};
sigset_t heldBefore;

sigset_t guardedSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : GUARDED) sigaddset(&set, signal);
    return set;
}

// Only async-signal-safe calls: unlink, sigaction, raise.
extern "C" void removeArmedFile(int signal) {
    const int savedErrno = errno;
    if (armedName != nullptr) ::unlink(armedName);
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

#endif

}  // namespace

#if defined(_WIN32)

namespace {

int errnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION: return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME: return EINVAL;  // characters a file name cannot hold
        default: return EIO;
    }
}

}  // namespace

// Shared for deleting, so that the console handler can remove it while open.
std::FILE* createNewFile(const std::filesystem::path& name) {
    const HANDLE handle =
        CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        errno = errnoOf(GetLastError());
        return nullptr;
    }
    const int descriptor = _open_osfhandle(std::intptr_t(handle), _O_WRONLY | _O_BINARY);
    if (descriptor == -1) {
        CloseHandle(handle);
        return nullptr;
    }
    std::FILE* file = _fdopen(descriptor, "wb");
    if (file == nullptr) _close(descriptor);
    return file;
}

InterruptsHeld::InterruptsHeld() {
    EnterCriticalSection(&lock);
}

InterruptsHeld::~InterruptsHeld() {
    LeaveCriticalSection(&lock);
}

void armRemovalOnInterrupt(const NameChar* name) {
    armedName = name;
    if (!handlerInstalled) handlerInstalled = SetConsoleCtrlHandler(removeArmedFile, TRUE) != 0;
}

void disarmRemovalOnInterrupt() {
    armedName = nullptr;
    if (handlerInstalled) SetConsoleCtrlHandler(removeArmedFile, FALSE);
    handlerInstalled = false;
}

#else

std::FILE* createNewFile(const std::filesystem::path& name) {
    return std::fopen(name.c_str(), "wbx");
}

InterruptsHeld::InterruptsHeld() {
    const sigset_t set = guardedSet();
    ::sigprocmask(SIG_BLOCK, &set, &heldBefore);
}

InterruptsHeld::~InterruptsHeld() {
    ::sigprocmask(SIG_SETMASK, &heldBefore, nullptr);
}

void armRemovalOnInterrupt(const NameChar* name) {
    armedName = name;
    struct sigaction action {};
    action.sa_handler = removeArmedFile;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < GUARDED_COUNT; ++i) {
        taken[i] = actsByDefault(GUARDED[i]) && ::sigaction(GUARDED[i], &action, nullptr) == 0;
    }
}

void disarmRemovalOnInterrupt() {
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    for (int i = 0; i < GUARDED_COUNT; ++i) {
        if (taken[i]) ::sigaction(GUARDED[i], &fallback, nullptr);
        taken[i] = false;
    }
    armedName = nullptr;
}

#endif
