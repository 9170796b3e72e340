#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "run_program.h"

namespace onda_test {

namespace {

// One argument as the started program's C runtime splits it back out of the
// command line: quoted when it is empty or holds a blank or a quote, with
// the backslashes before a quote doubled.
std::string quotedArgument(const std::string& arg) {
    if (!arg.empty() && arg.find_first_of(" \t\n\v\"") == std::string::npos) return arg;
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        quoted.push_back(c);
    }
    quoted.append(2 * backslashes, '\\');
    quoted.push_back('"');
    return quoted;
}

std::string commandLine(const std::string& program, const std::vector<std::string>& args) {
    std::string line = quotedArgument(program);
    for (const auto& arg : args) line += " " + quotedArgument(arg);
    return line;
}

bool sameName(const std::string& entry, const std::string& name) {
    return entry.size() > name.size() && entry[name.size()] == '=' &&
           ::_strnicmp(entry.c_str(), name.c_str(), name.size()) == 0;
}

// This process's environment with `settings` (NAME=VALUE) put in, as the
// block of NUL-ended entries that CreateProcess takes.
std::string environmentBlock(const std::vector<std::string>& settings) {
    std::vector<std::string> entries;
    if (char* inherited = ::GetEnvironmentStringsA()) {
        for (const char* p = inherited; *p != '\0'; p += std::strlen(p) + 1)
            entries.emplace_back(p);
        ::FreeEnvironmentStringsA(inherited);
    }
    for (const auto& setting : settings) {
        const std::size_t equals = setting.find('=');
        if (equals == std::string::npos || equals == 0) continue;
        const std::string name = setting.substr(0, equals);
        const auto old = std::find_if(entries.begin(), entries.end(),
                                      [&](const std::string& e) { return sameName(e, name); });
        const std::string oldValue = old == entries.end() ? "" : old->substr(equals + 1);
        const std::string entry = name + "=" + childValue(setting, oldValue.c_str());
        if (old == entries.end()) {
            entries.push_back(entry);
        } else {
            *old = entry;
        }
    }
    std::string block;
    for (const auto& entry : entries) block.append(entry).push_back('\0');
    block.push_back('\0');
    return block;
}

// A handle closed when it goes out of scope.
class OwnedHandle {
   public:
    OwnedHandle() = default;
    ~OwnedHandle() { close(); }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    HANDLE* put() { return &handle_; }
    HANDLE get() const { return handle_; }
    void close() {
        if (handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
        handle_ = nullptr;
    }

   private:
    HANDLE handle_ = nullptr;
};

// A pipe whose read end stays here and whose write end the child inherits.
bool makeChildPipe(OwnedHandle& readEnd, OwnedHandle& writeEnd) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return ::CreatePipe(readEnd.put(), writeEnd.put(), &inherit, 0) &&
           ::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0);
}

std::string readUntilClosed(HANDLE pipe) {
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    return text;
}

// Console text as a POSIX system writes it: text mode on Windows ends every
// line with \r\n.
std::string withNewlineEnds(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n'))
            out.push_back(text[i]);
    }
    return out;
}

}  // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options, const std::vector<std::string>& environment) {
    if (options.addressSpaceBytes != 0 || options.fileSizeBytes != 0 ||
        options.ignoredSignal != 0 || options.unprivileged || options.oneStream) {
        throw std::runtime_error("run options need POSIX; the test should skip on Windows");
    }
    OwnedHandle outRead, outWrite, errRead, errWrite;
    if (!makeChildPipe(outRead, outWrite) || !makeChildPipe(errRead, errWrite)) {
        throw std::runtime_error("no pipe for the output");
    }
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    OwnedHandle input;
    *input.put() = ::CreateFileA("NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = outWrite.get();
    startup.hStdError = errWrite.get();
    std::string line = commandLine(program, args);
    std::string block = environmentBlock(environment);
    PROCESS_INFORMATION started{};
    (void)std::fflush(nullptr);  // the child must not repeat buffered output
    const bool ran = ::CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, TRUE, 0,
                                      &block[0], nullptr, &startup, &started);
    const DWORD startError = ran ? 0 : ::GetLastError();
    // Only the child holds the write ends now, so the reads below end when it does.
    outWrite.close();
    errWrite.close();
    input.close();
    RunResult result;
    if (!ran) {
        result.exitStatus = 127;  // as a shell reports a program it cannot start
        result.err = "cannot start " + program + ": error " + std::to_string(startError) + "\n";
        std::fputs(result.err.c_str(), stderr);
        return result;
    }
    OwnedHandle process, thread;
    *process.put() = started.hProcess;
    *thread.put() = started.hThread;
    std::string err;
    std::thread errReader([&] { err = readUntilClosed(errRead.get()); });
    const std::string out = readUntilClosed(outRead.get());
    errReader.join();
    ::WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    // An exception that ended the program (an access violation, an abort)
    // leaves an NTSTATUS error code, 0xC0000000 and above, as its exit code.
    if (code >= 0xC0000000u) {
        result.signal = static_cast<int>(code);
    } else {
        result.exitStatus = static_cast<int>(code);
    }
    result.out = withNewlineEnds(out);
    result.err = withNewlineEnds(err);
    return result;
}

}  // namespace onda_test
