// Files for the tests: whole files as bytes, scratch folders removed at the
// end, and temporary streams read back.
#ifndef ONDA_TEST_SCRATCH_FILES_H
#define ONDA_TEST_SCRATCH_FILES_H

#include <cstdio>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "bmp_bytes.h"

namespace onda_test {

Bytes readFileBytes(const std::filesystem::path& path);
void writeFileBytes(const std::filesystem::path& path, const Bytes& bytes);
std::string asString(const Bytes& bytes);

#if defined(_WIN32)
// A path whose text is also at hand as a narrow string, as a path's own is on
// POSIX: it converts to std::string and c_str() gives chars, so that the
// same test lines hand paths to the codec and to the programs' command lines
// where paths are wide. Changing it through the path's members leaves the
// text behind.
class TextPath : public std::filesystem::path {
   public:
    TextPath(std::filesystem::path whole)
        : std::filesystem::path(std::move(whole)), text_(string()) {}
    operator std::string() const { return text_; }
    const char* c_str() const { return text_.c_str(); }

   private:
    std::string text_;
};
#else
using TextPath = std::filesystem::path;
#endif

// Who may reach a scratch folder: the user alone, or every user too (for the
// runs as nobody; on POSIX systems a 0755 folder under /tmp, whatever TMPDIR
// says).
enum class Reach { user, everyone };

// A fresh folder under the system's temporary folder, removed at the end.
class ScratchDir {
   public:
    explicit ScratchDir(Reach reach = Reach::user);
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    TextPath path(const std::string& name) const { return root_ / name; }
    const std::filesystem::path& root() const { return root_; }
    // Every entry of the folder, by name, sorted.
    std::vector<std::string> entries() const;

   private:
    std::filesystem::path root_;
};

// A character device like /dev/NAME for a test to write: run as root, a node
// of that device made in `dir`, so that a fault of the write path can replace
// nothing but that node; otherwise /dev/NAME, which an ordinary user cannot
// replace. "" where neither can be had (Windows).
std::string writableDevice(const ScratchDir& dir, const std::string& name);

// Everything written to a stream from its start; the stream is closed.
std::string readAllAndClose(std::FILE* stream);

// A new file open for reading and writing, removed when closed: tmpfile, or
// on Windows a file made by name in the temporary folder (the C runtime's
// tmpfile can fail there when several processes ask at once).
std::FILE* temporaryFile();

}  // namespace onda_test

#endif
