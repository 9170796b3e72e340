#include "test_support.h"

#if defined(_WIN32)
#include <process.h>
#include <windows.h>

#include <cstring>
#include <thread>
#else
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#if defined(__APPLE__)
#include <util.h>
#else
#include <pty.h>
#endif
#endif

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <regex>
#include <stdexcept>

#include "messages.h"
#include "plane.h"

namespace onda_test {

void putWord(Bytes& out, unsigned value) {
    out.push_back(std::uint8_t(value & 0xFF));
    out.push_back(std::uint8_t((value >> 8) & 0xFF));
}

void putDword(Bytes& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(std::uint8_t((value >> shift) & 0xFF));
}

Bytes BmpBuilder::bytes() const {
    Bytes out;
    putWord(out, signature);
    putDword(out, fileSize);
    putWord(out, 0);
    putWord(out, 0);
    putDword(out, pixelOffset);
    putDword(out, headerSize);
    if (headerSize == 12) {
        putWord(out, std::uint16_t(width));
        putWord(out, std::uint16_t(height));
        putWord(out, planes);
        putWord(out, bitsPerPixel);
    } else {
        putDword(out, std::uint32_t(width));
        putDword(out, std::uint32_t(height));
        putWord(out, planes);
        putWord(out, bitsPerPixel);
        putDword(out, compression);
        putDword(out, 0);  // image size
        putDword(out, 2835);
        putDword(out, 2835);
        putDword(out, colorsUsed);
        putDword(out, 0);
        // Larger headers (108, 124 bytes) get zeros for their extra fields.
        for (std::uint32_t i = 40; i < headerSize; ++i) out.push_back(0);
    }
    out.insert(out.end(), palette.begin(), palette.end());
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

Bytes greyPalette() {
    Bytes palette;
    for (int i = 0; i < 256; ++i)
        palette.insert(palette.end(), {std::uint8_t(i), std::uint8_t(i), std::uint8_t(i), 0});
    return palette;
}

std::size_t rowStride(int width, int bytesPerPixel) {
    if (width <= 0) return 0;
    return (std::size_t(width) * std::size_t(bytesPerPixel) + 3) / 4 * 4;
}

Plane randomPlane(std::mt19937& random, int width, int height, double low, double high) {
    std::uniform_real_distribution<double> value(low, high);
    Plane plane(std::size_t(width) * std::size_t(height));
    for (double& v : plane) v = value(random);
    return plane;
}

namespace {

Bytes rows(int width, int height, int bytesPerPixel,
           const std::function<int(int x, int y, int c)>& value) {
    const std::size_t rowLength = rowStride(width, bytesPerPixel);
    Bytes pixels;
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            if (bytesPerPixel == 1) {
                pixels.push_back(std::uint8_t(value(x, y, 0)));
            } else {
                for (int c = 2; c >= 0; --c) pixels.push_back(std::uint8_t(value(x, y, c)));
            }
        }
        pixels.resize(pixels.size() + rowLength - std::size_t(width * bytesPerPixel), 0);
    }
    return pixels;
}

}  // namespace

Bytes greyBmp(int width, int height, const std::function<int(int x, int y)>& value) {
    BmpBuilder b;
    b.width = width;
    b.height = height;
    b.bitsPerPixel = 8;
    b.pixelOffset = 1078;
    b.palette = greyPalette();
    b.pixels = rows(width, height, 1, [&](int x, int y, int) { return value(x, y); });
    b.fileSize = std::uint32_t(1078 + b.pixels.size());
    return b.bytes();
}

Bytes colourBmp(int width, int height, const std::function<int(int x, int y, int c)>& value) {
    BmpBuilder b;
    b.width = width;
    b.height = height;
    b.bitsPerPixel = 24;
    b.pixelOffset = 54;
    b.pixels = rows(width, height, 3, value);
    b.fileSize = std::uint32_t(54 + b.pixels.size());
    return b.bytes();
}

ImagePtr makeImage(int width, int height, int depth,
                   const std::function<int(int x, int y, int c)>& value) {
    ImagePtr image(createImage(width, height, depth));
    if (!image) throw std::runtime_error("createImage refused a test image");
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Pixel pixel{value(x, y, 0), value(x, y, 1), value(x, y, 2)};
            setPixel(image.get(), x, y, &pixel);
        }
    }
    return image;
}

ImagePtr randomImage(int width, int height, int depth, unsigned seed) {
    std::mt19937 random(seed);
    return makeImage(width, height, depth, [&](int, int, int) { return int(random() % 256); });
}

Bytes bmpFileOf(const Image& image) {
    ScratchDir dir;
    if (writeBMPfile(dir.path("x.bmp").string().c_str(), &image) != BMP_WRITTEN) {
        throw std::runtime_error("cannot write a test picture");
    }
    return readFileBytes(dir.path("x.bmp"));
}

int channelAt(const Image& image, int x, int y, int c) {
    Pixel pixel{-1, -1, -1};
    getPixel(&image, x, y, &pixel);
    return c == 0 ? pixel.r : c == 1 ? pixel.g : pixel.b;
}

Bytes readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFileBytes(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    if (!out) throw std::runtime_error("cannot write test file " + path.string());
}

std::string asString(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

namespace {

int processId() {
#if defined(_WIN32)
    return ::_getpid();
#else
    return int(::getpid());
#endif
}

// Numbers the scratch folders of one test program.
int nextScratchNumber() {
    static std::atomic<int> counter{0};
    return counter++;
}

// Where scratch folders go: the user's temporary folder, or for folders
// every user must reach, the system's shared one (TMPDIR may be private).
std::filesystem::path scratchParent(Reach reach) {
#if !defined(_WIN32)
    if (reach == Reach::everyone) return "/tmp";
#endif
    (void)reach;
    return std::filesystem::temp_directory_path();
}

}  // namespace

ScratchDir::ScratchDir(Reach reach)
    : root_(scratchParent(reach) / ("onda-test-" + std::to_string(processId()) + "-" +
                                    std::to_string(nextScratchNumber()))) {
    namespace fs = std::filesystem;
    fs::remove_all(root_);
    fs::create_directories(root_);
    if (reach == Reach::everyone) {
        fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read |
                                   fs::perms::group_exec | fs::perms::others_read |
                                   fs::perms::others_exec);
    }
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::vector<std::string> ScratchDir::entries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(root_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

namespace {

// The value NAME=VALUE gives a child whose parent has `old` for NAME: VALUE,
// or for a *_OPTIONS variable already set, the old options then VALUE.
std::string childValue(const std::string& setting, const char* old) {
    const std::size_t equals = setting.find('=');
    const std::string name = setting.substr(0, equals);
    std::string value = setting.substr(equals + 1);
    const bool isOptions = name.size() > 8 && name.compare(name.size() - 8, 8, "_OPTIONS") == 0;
    if (isOptions && old != nullptr && *old != '\0') return std::string(old) + ":" + value;
    return value;
}

}  // namespace

#if defined(_WIN32)

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

#else

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
        if (nobody == nullptr || ::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 ||
            ::setuid(nobody->pw_uid) != 0) {
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
    (void)std::fflush(nullptr);  // the child must not repeat buffered output
    const pid_t child = ::fork();
    if (child != 0) return child;
    ::dup2(out, STDOUT_FILENO);
    ::dup2(err, STDERR_FILENO);
    applyOptions(options, out);
    setChildVariable("ASAN_OPTIONS=exitcode=" + std::to_string(SANITIZER_EXIT_STATUS));
    setChildVariable("UBSAN_OPTIONS=exitcode=" + std::to_string(SANITIZER_EXIT_STATUS));
    for (const auto& setting : environment) setChildVariable(setting);
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
                               const std::vector<std::string>& environment) {
    termios raw{};
    ::cfmakeraw(&raw);
    int terminal = -1, side = -1;
    std::FILE* err = std::tmpfile();
    if (err == nullptr || ::openpty(&terminal, &side, nullptr, &raw, nullptr) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    const pid_t child = startProgram(program, args, {}, environment, side, ::fileno(err));
    ::close(side);
    RunResult result;
    char buffer[4096];
    for (ssize_t n; (n = ::read(terminal, buffer, sizeof buffer)) > 0;)
        result.out.append(buffer, std::size_t(n));
    ::close(terminal);
    return ended(child, err, result);
}
#endif

Plane planeFromFormula(int width, int height, double (*value)(int x, int y)) {
    Plane plane;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) plane.push_back(value(x, y));
    return plane;
}

std::FILE* temporaryFile() {
#if defined(_WIN32)
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"ont", 0, name) == 0)
        return nullptr;
    return _wfopen(name, L"w+bD");
#else
    return std::tmpfile();
#endif
}

std::string readAllAndClose(std::FILE* stream) {
    std::rewind(stream);
    std::string text;
    for (int c; (c = std::fgetc(stream)) != EOF;) text.push_back(char(c));
    (void)std::fclose(stream);  // read to the end already
    return text;
}

Plane runSweep(Sweep sweep, SweepRowsLength rows, const Plane& source, int height, int width,
               int levels) {
    Plane result(source.size(), std::nan(""));
    Plane input(rows.input, std::nan("")), kept(rows.result, std::nan(""));
    BufferPlanes buffers{source.data(), result.data(), width};
    sweep(PlaneSweep{bufferRowIO(buffers), {input.data(), kept.data()}, height, width, levels});
    return result;
}

std::string progressText(Process process, int repeat, int height, int width, int planes) {
    const Plane source(std::size_t(height) * std::size_t(width), 0.0);
    Plane result(source.size()), input(8 * std::size_t(width)), kept(8 * std::size_t(width));
    BufferPlanes buffers{source.data(), result.data(), width};
    PicturePlanes picture{};
    picture.count = planes;
    picture.height = height;
    picture.width = width;
    for (int plane = 0; plane < planes; ++plane) {
        picture.io[plane] = bufferRowIO(buffers);
        picture.rows[plane] = SweepRows{input.data(), kept.data()};
    }
    R_Times = repeat;
    std::FILE* text = temporaryFile();
    process(picture, text);
    return readAllAndClose(text);
}

std::vector<SweepShape> sweepEdgeShapes() {
    return {
        {2, 2, 1},   {4, 4, 2},    {8, 8, 3},   {16, 16, 4}, {16, 8, 1},  {16, 8, 2},  {12, 4, 2},
        {24, 8, 3},  {40, 12, 2},  {40, 24, 3}, {24, 40, 3}, {64, 32, 5}, {96, 32, 5}, {192, 64, 6},
        {256, 4, 2}, {512, 2, 1},  {6, 18, 1},  {6, 96, 1},  {2, 32, 1},  {8, 32, 3},  {8, 128, 3},
        {4, 192, 2}, {32, 256, 5}, {48, 16, 1}, {48, 16, 2}, {48, 16, 3}, {48, 16, 4},
    };
}

std::vector<double> referenceForward(std::vector<double> plane, int width, int height, int levels) {
    for (int level = 0; level < levels; ++level) {
        const int rows = height >> level, cols = width >> level;
        std::vector<double> line;
        for (int y = 0; y < rows; ++y) {  // rows of the region
            line.assign(std::size_t(cols), 0);
            for (int k = 0; k < cols / 2; ++k) {
                const double a = plane[planeIndex(2 * k, y, width)];
                const double b = plane[planeIndex(2 * k + 1, y, width)];
                line[std::size_t(k)] = (a + b) / 2.0;
                line[std::size_t(cols / 2) + std::size_t(k)] = 128.0 + (a - b) / 2.0;
            }
            for (int x = 0; x < cols; ++x) plane[planeIndex(x, y, width)] = line[std::size_t(x)];
        }
        for (int x = 0; x < cols; ++x) {  // then its columns
            line.assign(std::size_t(rows), 0);
            for (int k = 0; k < rows / 2; ++k) {
                const double a = plane[planeIndex(x, 2 * k, width)];
                const double b = plane[planeIndex(x, 2 * k + 1, width)];
                line[std::size_t(k)] = (a + b) / 2.0;
                line[std::size_t(rows / 2) + std::size_t(k)] = 128.0 + (a - b) / 2.0;
            }
            for (int y = 0; y < rows; ++y) plane[planeIndex(x, y, width)] = line[std::size_t(y)];
        }
    }
    return plane;
}

Plane withoutDetailOffset(Plane plane, int width, int height, int levels) {
    const int cornerWidth = levels > 0 ? width >> levels : width;
    const int cornerHeight = levels > 0 ? height >> levels : height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (x >= cornerWidth || y >= cornerHeight) plane[planeIndex(x, y, width)] -= 128.0;
    return plane;
}

std::vector<double> referenceInverse(std::vector<double> plane, int width, int height, int levels) {
    plane = withoutDetailOffset(std::move(plane), width, height, levels);
    for (int level = levels - 1; level >= 0; --level) {
        const int rows = height >> level, cols = width >> level;
        std::vector<double> line;
        for (int x = 0; x < cols; ++x) {  // columns of the region
            line.assign(std::size_t(rows), 0);
            for (int k = 0; k < rows / 2; ++k) {
                const double a = plane[planeIndex(x, k, width)];
                const double d = plane[planeIndex(x, rows / 2 + k, width)];
                line[2 * std::size_t(k)] = a + d;
                line[2 * std::size_t(k) + 1] = a - d;
            }
            for (int y = 0; y < rows; ++y) plane[planeIndex(x, y, width)] = line[std::size_t(y)];
        }
        for (int y = 0; y < rows; ++y) {  // then its rows
            line.assign(std::size_t(cols), 0);
            for (int k = 0; k < cols / 2; ++k) {
                const double a = plane[planeIndex(k, y, width)];
                const double d = plane[planeIndex(cols / 2 + k, y, width)];
                line[2 * std::size_t(k)] = a + d;
                line[2 * std::size_t(k) + 1] = a - d;
            }
            for (int x = 0; x < cols; ++x) plane[planeIndex(x, y, width)] = line[std::size_t(x)];
        }
    }
    return plane;
}

std::vector<double> planeOf(const Image& image, int c) {
    std::vector<double> plane;
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) plane.push_back(channelAt(image, x, y, c));
    return plane;
}

ImagePtr referenceImage(const Image& input, int levels, Reference reference) {
    std::vector<std::vector<double>> planes;
    planes.reserve(3);
    for (int c = 0; c < 3; ++c) {
        planes.push_back(
            reference(planeOf(input, input.depth == 8 ? 0 : c), input.width, input.height, levels));
    }
    return makeImage(input.width, input.height, input.depth, [&](int x, int y, int c) {
        return int(planes[std::size_t(c)][planeIndex(x, y, input.width)]);
    });
}

std::string maskAddresses(const std::string& out) {
    static const std::regex line("The address is [^\n]*\n");
    return std::regex_replace(out, line, "The address is *\n");
}

std::string kindLine(int depth, const std::string& path) {
    char line[512];
    const int length = std::snprintf(
        line, sizeof line,
        depth == 24 ? message::FILE_IS_COLOUR.cp932 : message::FILE_IS_MONO.cp932, path.c_str());
    if (length < 0 || std::size_t(length) >= sizeof line) throw std::runtime_error("path too long");
    return line;
}

std::string conversionAdvice(const std::string& options) {
    const std::string command = " IN " + options + "-compress none BMP3:OUT.bmp";
    return " (ImageMagick: convert" + command + "; GraphicsMagick: gm convert" + command + ")";
}

std::string bannerOf(const char* title, const message::JapaneseText& product) {
    return std::string(title) + "\n" + product.cp932 + "\n" + message::MAKERS_NOTICE + "\n";
}

bool underAddressSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
    return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
    return true;
#else
    return false;
#endif
#else
    return false;
#endif
}

}  // namespace onda_test
