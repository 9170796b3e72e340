#include "scratch_files.h"

#if defined(_WIN32)
#include <process.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <atomic>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace onda_test {

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

std::string writableDevice(const ScratchDir& dir, const std::string& name) {
#if defined(_WIN32)
    (void)dir;
    (void)name;
    return "";
#else
    std::string device = "/dev/" + name;
    struct stat status {};
    if (::stat(device.c_str(), &status) != 0 || !S_ISCHR(status.st_mode)) return "";
    if (::geteuid() != 0) return device;
    const std::string node = dir.path(name).string();
    return ::mknod(node.c_str(), S_IFCHR | 0666, status.st_rdev) == 0 ? node : "";
#endif
}

}  // namespace onda_test
