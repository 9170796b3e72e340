// Which target gets what, on Windows, and its temporary file: the temporary
// file is made by name beside the target, and Ctrl-C, Ctrl-Break, closing the console, logging off
// or shutting down removes it while it exists. An existing target is replaced with ReplaceFileW,
// which keeps its attributes and access list, once the new contents are flushed to disk; a new one
// takes its name by a rename. Windows keeps its own limits on the length of a path.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "replace.h"
#include "temporary_name.h"

namespace {

namespace fs = std::filesystem;

// The console handler runs on a thread of its own: the lock stands in for
// blocking signals, and the handler waits while the name changes.
CRITICAL_SECTION lock;
const wchar_t* armedName = nullptr;
bool handlerInstalled = false;

struct LockSetUp {
    LockSetUp() { InitializeCriticalSection(&lock); }
};
const LockSetUp lockSetUp;

BOOL WINAPI removeArmedFile(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT &&
        event != CTRL_LOGOFF_EVENT && event != CTRL_SHUTDOWN_EVENT) {
        return FALSE;
    }
    EnterCriticalSection(&lock);
    if (armedName != nullptr) DeleteFileW(armedName);  // gone once the process ends
    LeaveCriticalSection(&lock);
    return FALSE;  // the default handler then ends the process
}

class ConsoleEventsHeld {
   public:
    ConsoleEventsHeld() { EnterCriticalSection(&lock); }
    ~ConsoleEventsHeld() { LeaveCriticalSection(&lock); }
    ConsoleEventsHeld(const ConsoleEventsHeld&) = delete;
    ConsoleEventsHeld& operator=(const ConsoleEventsHeld&) = delete;
};

void arm(const wchar_t* name) {
    armedName = name;
    if (!handlerInstalled) handlerInstalled = SetConsoleCtrlHandler(removeArmedFile, TRUE) != 0;
}

void disarm() {
    armedName = nullptr;
    if (handlerInstalled) SetConsoleCtrlHandler(removeArmedFile, FALSE);
    handlerInstalled = false;
}

int errnoOf(DWORD error) {
    switch (error) {
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS: return EEXIST;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_UNABLE_TO_REMOVE_REPLACED:
        case ERROR_SHARING_VIOLATION: return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL: return ENOSPC;
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME: return EINVAL;  // characters a file name cannot hold
        default: return EIO;
    }
}

int errnoOf(const std::error_code& error) {
    return error.default_error_condition().value();
}

// A path named in the ANSI code page, as the C runtime reads a file name and
// the programs get their arguments. (Not every standard library converts a
// narrow path with that code page.)
fs::path pathOf(const char* name) {
    const int length = MultiByteToWideChar(CP_ACP, 0, name, -1, nullptr, 0);
    if (length <= 0) return fs::path(name);
    std::wstring wide(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, name, -1, &wide[0], length);
    wide.resize(std::size_t(length - 1));
    return fs::path(wide);
}

// The errno of a C runtime call that failed, EIO where it left none.
int failedCallErrno() {
    return errno != 0 ? errno : EIO;
}

// A new file in `file`, shared for deleting so that the console handler can
// remove it while it is open. 0 or the errno (EEXIST when it exists).
int createNewFile(const fs::path& name, std::FILE*& file) {
    const HANDLE handle =
        CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return errnoOf(GetLastError());
    errno = 0;
    const int descriptor = _open_osfhandle(std::intptr_t(handle), _O_WRONLY | _O_BINARY);
    if (descriptor == -1) {
        const int error = failedCallErrno();
        CloseHandle(handle);
        return error;
    }
    file = _fdopen(descriptor, "wb");
    if (file != nullptr) return 0;
    const int error = failedCallErrno();
    _close(descriptor);
    return error;
}

// A fresh file ".onda-XXXXXX.tmp" beside `target` in `file`, its name in
// `name`. 0 or the errno.
int createTemporary(const fs::path& target, fs::path& name, std::FILE*& file) {
    std::uint64_t seed = temporaryNameSeed(std::uint64_t(GetCurrentProcessId()));
    for (int attempt = 0; attempt < TEMPORARY_NAME_ATTEMPTS; ++attempt) {
        name = target.parent_path() / temporaryName(seed);
        const int error = createNewFile(name, file);
        if (error != EEXIST) return error;
    }
    return EEXIST;
}

ReplaceResult failed(ReplaceStep step, int error) {
    return ReplaceResult{step, error};
}

// Writes, flushes and closes the stream, its contents flushed to disk first
// when `sync` asks.
ReplaceResult writeAndClose(std::FILE* stream, ContentWriter write, const void* content,
                            bool sync = false) {
    ReplaceResult result;
    if (const int error = write(stream, content)) {
        result = failed(ReplaceStep::write, error);
    } else if (std::fflush(stream) != 0) {
        result = failed(ReplaceStep::write, failedCallErrno());
    } else if (sync &&
               !FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream))))) {
        result = failed(ReplaceStep::write, errnoOf(GetLastError()));
    }
    if (std::fclose(stream) != 0 && result.step == ReplaceStep::done) {
        return failed(ReplaceStep::close, failedCallErrno());
    }
    return result;
}

ReplaceResult writeBeside(const fs::path& target, const fs::file_status& old, ContentWriter write,
                          const void* content) {
    fs::path temporary;
    std::FILE* stream = nullptr;
    {
        const ConsoleEventsHeld held;
        if (const int error = createTemporary(target, temporary, stream)) {
            return failed(ReplaceStep::create, error);
        }
        arm(temporary.c_str());
    }
    const bool replacing = fs::exists(old);
    ReplaceResult result = writeAndClose(stream, write, content, replacing);
    const ConsoleEventsHeld held;
    std::error_code error;
    if (result.step == ReplaceStep::done && replacing) {
        // ReplaceFileW wants a name with its folder.
        const fs::path replaced = target.has_parent_path() ? target : fs::path(L".") / target;
        if (!ReplaceFileW(replaced.c_str(), temporary.c_str(), nullptr,
                          REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            result = failed(ReplaceStep::rename, errnoOf(GetLastError()));
        }
    } else if (result.step == ReplaceStep::done) {
        fs::rename(temporary, target, error);
        if (error) result = failed(ReplaceStep::rename, errnoOf(error));
    }
    if (result.step != ReplaceStep::done) fs::remove(temporary, error);
    disarm();
    return result;
}

}  // namespace

ReplaceResult replaceFile(const char* path, ContentWriter write, const void* content) {
    std::error_code error;
    fs::path target = pathOf(path);
    const fs::file_status status = fs::status(target, error);
    if (fs::exists(status) && !fs::is_regular_file(status)) {
        std::FILE* stream = _wfopen(target.c_str(), L"wb");
        if (stream == nullptr) return failed(ReplaceStep::create, errno);
        return writeAndClose(stream, write, content);
    }
    // A link is followed, so that the file it names is replaced, not the link.
    const fs::path resolved = fs::weakly_canonical(target, error);
    if (!error) target = resolved;
    return writeBeside(target, status, write, content);
}
