#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include "run_program.h"
#if defined(__APPLE__)
#include <util.h>
#else
#include <pty.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <stdexcept>

#include "scratch_files.h"

namespace onda_test {

namespace {

// In the child: sets NAME=VALUE, appending to an existing *_OPTIONS value.
void setChildVariable(const std::string& setting) {
    const std::size_t equals = setting.find('=');
    if (equals == std::string::npos) return;
    const std::string name = setting.substr(0, equals);
    ::setenv(name.c_str(), childValue(setting, std::getenv(name.c_str())).c_str(), 1);
}

int highestSignal() {
#if defined(SIGRTMAX)
    return SIGRTMAX;
#else
    return NSIG - 1;
#endif
}

// The program as a copy that every user may run, for the runs as nobody: the
// build may lie where nobody can enter. Made once, removed at the end.
const std::string& reachableCopy(const std::string& program) {
    static const ScratchDir programs(Reach::everyone);
    static std::map<std::string, std::string> copies;
    std::string& copy = copies[program];
    if (copy.empty()) {
        namespace fs = std::filesystem;
        const fs::path made = programs.root() / fs::path(program).filename();
        fs::copy_file(program, made, fs::copy_options::overwrite_existing);
        fs::permissions(made, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                  fs::perms::others_read | fs::perms::others_exec);
        copy = made.string();
    }
    return copy;
}

// In the child, before it becomes `program`: what `options` ask. Every signal
// starts at its default action, and a signal that ends it leaves no core.
void applyOptions(const RunOptions& options, int out) {
    for (int s = 1; s <= highestSignal(); ++s) (void)::signal(s, SIG_DFL);
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    if (options.ignoredSignal != 0) (void)::signal(options.ignoredSignal, SIG_IGN);
    if (options.oneStream) ::dup2(out, STDERR_FILENO);
    if (options.addressSpaceBytes != 0) {
        const rlimit limit{options.addressSpaceBytes, options.addressSpaceBytes};
        ::setrlimit(RLIMIT_AS, &limit);
    }
    if (options.fileSizeBytes != 0) {
        const rlimit limit{options.fileSizeBytes, options.fileSizeBytes};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    if (options.unprivileged && ::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        const gid_t otherGroup = NOBODYS_OTHER_GROUP;
        if (nobody == nullptr || ::setgroups(1, &otherGroup) != 0 ||
            ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) {
            ::_exit(127);
        }
    }
}

// Starts `program` with standard output and error on `out` and `err`, the
// sanitizer exit code and `environment` set.
pid_t startProgram(const std::string& program, const std::vector<std::string>& args,
                   const RunOptions& options, const std::vector<std::string>& environment, int out,
                   int err) {
    const bool asNobody = options.unprivileged && ::geteuid() == 0;
    const std::string& run = asNobody ? reachableCopy(program) : program;
    std::vector<std::string> settings = environment;
    for (auto& setting : settings) {
        // A library loaded into a run as nobody is copied where nobody reaches.
        if (asNobody && setting.rfind("LD_PRELOAD=", 0) == 0)
            setting = "LD_PRELOAD=" + reachableCopy(setting.substr(11));
    }
    (void)std::fflush(nullptr);  // the child must not repeat buffered output
    const pid_t child = ::fork();
    if (child != 0) return child;
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    applyOptions(options, out);
    setChildVariable("ASAN_OPTIONS=exitcode=" + std::to_string(SANITIZER_EXIT_STATUS));
    setChildVariable("UBSAN_OPTIONS=exitcode=" + std::to_string(SANITIZER_EXIT_STATUS));
    for (const auto& setting : settings) setChildVariable(setting);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(run.c_str(), argv.data());
    ::_exit(127);
}

// How the child ended, and its standard error.
RunResult ended(pid_t child, std::FILE* err, RunResult result) {
    int how = 0;
    ::waitpid(child, &how, 0);
    if (WIFEXITED(how)) result.exitStatus = WEXITSTATUS(how);
    if (WIFSIGNALED(how)) result.signal = WTERMSIG(how);
    result.err = readAllAndClose(err);
    return result;
}

}  // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const RunOptions& options, const std::vector<std::string>& environment) {
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (out == nullptr || err == nullptr) throw std::runtime_error("no file for the output");
    const pid_t child =
        startProgram(program, args, options, environment, ::fileno(out), ::fileno(err));
    RunResult result = ended(child, err, {});
    result.out = readAllAndClose(out);
    return result;
}

RunResult runProgramOnTerminal(const std::string& program, const std::vector<std::string>& args,
                               const std::vector<std::string>& environment, bool errorToo) {
    termios raw{};
    ::cfmakeraw(&raw);
    int terminal = -1, side = -1;
    std::FILE* err = std::tmpfile();
    if (err == nullptr || ::openpty(&terminal, &side, nullptr, &raw, nullptr) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    const pid_t child =
        startProgram(program, args, {}, environment, side, errorToo ? side : ::fileno(err));
    ::close(side);
    RunResult result;
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;)
        result.out.append(buffer, std::size_t(n));
    ::close(terminal);
    return ended(child, err, result);
}

}  // namespace onda_test
