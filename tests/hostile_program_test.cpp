// Every program on missing arguments, hostile input, scarce memory and
// failing output. Beyond the usage and read failure texts, which follow the
// banner directly, each program is judged only on what all of them share: the
// exit status, ending without a signal, no output file after a refusal, and
// the last words of standard output (the read failure text, the size refusal
// line, the memory refusal, the write failure line). Under AddressSanitizer the
// programs run with a 2 GiB cap on any single request, so a reader that asked
// for more than the image model's limit would end with a report.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#if defined(__linux__)
#include <sys/xattr.h>
#endif
#include <unistd.h>
#endif

#include <clocale>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "messages.h"
#include "test_support.h"

using namespace onda_test;
namespace fs = std::filesystem;

namespace {

// A built program, with the banner it prints.
struct Program {
    const char* name;
    const char* path;
    const char* title;              // first banner line
    message::JapaneseText product;  // second banner line
    const char* usage;
    bool reportsKind;  // prints whether the picture is colour before the repeat number
};

Program programOf(const message::ProgramBanner& banner, const char* path, bool reportsKind) {
    return {banner.name, path, banner.title, banner.product, banner.usage, reportsKind};
}

void PrintTo(const Program& program, std::ostream* out) {
    *out << program.name;
}

const Program PROGRAMS[] = {
    programOf(message::FWD_BANNER, ONDAFWD_PATH, false),
    programOf(message::INV_BANNER, ONDAINV_PATH, false),
    programOf(message::SPLIT_BANNER, ONDASPLIT_PATH, true),
};

// Under ASan: a single request above 2 GiB is a report, not a refusal.
std::vector<std::string> sanitizerSettings() {
    if (!underAddressSanitizer()) return {};
    return {"ASAN_OPTIONS=max_allocation_size_mb=2048:allocator_may_return_null=0"};
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The last line of the output, its newline included.
std::string lastLine(const std::string& out) {
    if (out.size() < 2) return out;
    const std::size_t start = out.rfind('\n', out.size() - 2);
    return start == std::string::npos ? out : out.substr(start + 1);
}

std::string sizeRefusal(int width, int height) {
    return "Image size " + std::to_string(width) + "x" + std::to_string(height) +
           " cannot be transformed: ";
}

// ---------------------------------------------------------------------------
// Crafted inputs

BmpBuilder greyInfo(int width, int height) {
    BmpBuilder b;
    b.width = width;
    b.height = height;
    b.palette = greyPalette();
    b.pixels.assign(rowStride(width, 1) * std::size_t(std::max(height, 0)), 77);
    return b;
}

Bytes sized(BmpBuilder b, int width, int height) {
    b.width = width;
    b.height = height;
    return b.bytes();
}

template <class Change>
Bytes changed(BmpBuilder b, Change change) {
    change(b);
    return b.bytes();
}

enum class Outcome { CannotRead, SizeRefused, Runs };

struct HostileCase {
    std::string name;
    Bytes bytes;
    Outcome outcome;
    int width = 0, height = 0;  // named in a size refusal; of the output of a run
    std::string reason{};       // part of the reason line of a refusal
    bool wholeReason = false;   // the reason is the whole rest of the line
};

// What the reader refuses and what it reads is the codec's to test; a
// program shows that a refusal reaches its standard output and standard
// error, that a size it cannot halve is refused, and that a picture read from
// a colour palette runs with its note.
std::vector<HostileCase> hostileCases() {
    const std::string converted = conversionAdvice("");
    std::vector<HostileCase> cases = {
        {"8-bit run-length", changed(greyInfo(4, 4), [](BmpBuilder& b) { b.compression = 1; }),
         Outcome::CannotRead, 0, 0,
         "compression RLE8 (1); only uncompressed pictures are read" + converted, true},
        {"size 5x3", greyInfo(5, 3).bytes(), Outcome::SizeRefused, 5, 3,
         "size 5x3; width and height must be positive multiples of "},
        {"grey palette", greyInfo(8, 8).bytes(), Outcome::Runs, 8, 8},
        {"colour palette",
         changed(greyInfo(8, 8), [](BmpBuilder& b) { b.palette[std::size_t{4} * 77] = 0; }),
         Outcome::Runs, 8, 8,
         "colour palette: each pixel is read as the red component of its colour; "
         "for all three, make it a 24-bit picture" +
             conversionAdvice("-type TrueColor "),
         true},
    };
    return cases;
}

class EveryProgram : public testing::TestWithParam<Program> {
   protected:
    static RunResult run(const std::vector<std::string>& args, const RunOptions& options = {},
                         const std::vector<std::string>& environment = sanitizerSettings()) {
        return runProgram(GetParam().path, args, options, environment);
    }
};

void expectCannotRead(const RunResult& r, const std::string& what) {
    EXPECT_EQ(r.signal, 0) << what;
    EXPECT_EQ(r.exitStatus, 1) << what;
    EXPECT_TRUE(endsWith(r.out, message::CANNOT_READ_IMAGE.cp932)) << what << ": " << r.out;
}

// Standard error ends with the line "PROGRAM: PATH: reason", with `reason` in
// it (a sanitizer's warning may come before).
void expectReason(const RunResult& r, const std::string& program, const std::string& path,
                  const std::string& reason, bool whole = false) {
    const std::string start = program + ": " + path + ": ", line = lastLine(r.err);
    if (whole) {
        EXPECT_EQ(line, start + reason + "\n");
    }
    EXPECT_EQ(line.rfind(start, 0), 0u) << r.err;
    EXPECT_NE(line.find(reason, start.size()), std::string::npos) << reason << " in " << r.err;
    EXPECT_TRUE(endsWith(line, "\n")) << r.err;
}

TEST_P(EveryProgram, CraftedFilesEndWithTheRightMessageAndStatus) {
    ScratchDir dir;
    const TextPath in = dir.path("in.bmp"), out = dir.path("out.bmp");
    for (const HostileCase& c : hostileCases()) {
        writeFileBytes(in, c.bytes);
        const RunResult r = run({in, out});
        if (c.outcome != Outcome::Runs) {
            expectReason(r, GetParam().name, in, c.reason, c.wholeReason);
        }
        switch (c.outcome) {
            case Outcome::CannotRead: expectCannotRead(r, c.name); break;
            case Outcome::SizeRefused:
                EXPECT_EQ(r.signal, 0) << c.name;
                EXPECT_EQ(r.exitStatus, 1) << c.name;
                EXPECT_EQ(lastLine(r.out).rfind(sizeRefusal(c.width, c.height), 0), 0u)
                    << c.name << ": " << r.out;
                EXPECT_TRUE(endsWith(r.out, ".\n")) << c.name;
                break;
            case Outcome::Runs: {
                EXPECT_EQ(r.signal, 0) << c.name;
                EXPECT_EQ(r.exitStatus, 0) << c.name << ": " << r.out;
                // Nothing on standard error, or the note.
                EXPECT_EQ(r.err, c.reason.empty() ? ""
                                                  : std::string(GetParam().name) + ": " +
                                                        in.string() + ": " + c.reason + "\n")
                    << c.name;
                Image* written = nullptr;
                EXPECT_EQ(readBMPfile(out.c_str(), &written), BMP_OK) << c.name;
                const ImagePtr owned(written);
                if (owned) {
                    EXPECT_EQ(owned->width, c.width) << c.name;
                    EXPECT_EQ(owned->height, c.height) << c.name;
                }
                break;
            }
        }
        if (c.outcome != Outcome::Runs) {
            EXPECT_FALSE(fs::exists(out)) << c.name;
        }
        fs::remove(out);
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.bmp"}) << c.name;
    }
}

TEST_P(EveryProgram, TooFewArgumentsShowTheUsage) {
    const Program& program = GetParam();
    for (const auto& args : {std::vector<std::string>{}, std::vector<std::string>{"in.bmp"}}) {
        const RunResult r = run(args);
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(r.err,
                  std::string(program.name) + ": missing the " +
                      (args.empty() ? "input and output file names\n" : "output file name\n"));
        EXPECT_EQ(r.out, bannerOf(program.title, program.product) +
                             message::NOT_ENOUGH_PARAMETERS.cp932 + "\n" + program.usage + "\n");
    }
}

// --help, -h and --version alone are answered after the banner, with status
// 0; with more arguments they are file names like any other.
// clang-format off
TEST_P(EveryProgram, AnswersHelpAndVersion) {
    const Program& p = GetParam();
    const std::string name = p.name, help = p.usage + std::string("\n") +
#ifdef _WIN32
        "README.txt, beside the program, tells the details.\n";
#else
        "The manual page tells the details: man " + name + "\n";
#endif
    for (const auto& [argument, answer] : {std::pair<std::string, std::string>{"--help", help}, {"-h", help}, {"--version", name + " " ONDA_VERSION "\n"}}) {
        const RunResult r = run({argument});
        EXPECT_EQ(std::to_string(r.exitStatus) + r.out + r.err, "0" + bannerOf(p.title, p.product) + answer) << argument;
    }
    EXPECT_EQ(run({"--help", "out.bmp"}).err.rfind(name + ": --help: cannot be opened: ", 0), 0u);
}
// clang-format on

// The Japanese texts are UTF-8 on a UTF-8 terminal, CP932 on any other
// terminal and through a pipe. A locale the system lacks counts by its name:
// that of the first of LC_ALL, LC_CTYPE and LANG that is set and not empty.
TEST_P(EveryProgram, JapaneseFollowsTheTerminal) {
#ifdef _WIN32
    GTEST_SKIP() << "pseudo-terminals are POSIX";
#else
    if (std::setlocale(LC_CTYPE, "C.UTF-8") == nullptr) GTEST_SKIP() << "no C.UTF-8 locale";
    (void)std::setlocale(LC_CTYPE, "C");  // back to the locale every program starts in
    const Program& p = GetParam();
    const auto usage = [&p](const char* product, const char* refusal) {
        return std::string(p.title) + "\n" + product + "\n" + message::MAKERS_NOTICE + "\n" +
               refusal + "\n" + p.usage + "\n";
    };
    const std::string cp932 = usage(p.product.cp932, message::NOT_ENOUGH_PARAMETERS.cp932);
    const std::string utf8 = usage(p.product.utf8, message::NOT_ENOUGH_PARAMETERS.utf8);
    const struct {
        std::vector<std::string> environment;
        const std::string& out;
    } terminals[] = {
        {{"LC_ALL=C.UTF-8"}, utf8},
        {{"LC_ALL=C"}, cp932},
        {{"LC_ALL=", "LC_CTYPE=", "LANG=en_US.UTF-8"}, utf8},  // as Debian's images have it
        {{"LC_ALL=xx_XX.ISO-8859-1", "LANG=en_US.UTF-8"}, cp932},
        {{"LC_ALL=", "LC_CTYPE=", "LANG=en_US.utf8"}, utf8},  // glibc's own spelling
    };
    for (const auto& t : terminals)
        EXPECT_EQ(runProgramOnTerminal(p.path, {}, t.environment).out, t.out)
            << t.environment.front();
    // The refusal of an input leaves its line open; on a terminal that
    // standard error shares, the reason starts a line of its own.
    const ScratchDir dir;
    const std::string missing = dir.path("missing.bmp").string();
    EXPECT_EQ(
        runProgramOnTerminal(p.path, {missing, dir.path("out.bmp").string()}, {"LC_ALL=C"}, true)
            .out,
        std::string(p.title) + "\n" + p.product.cp932 + "\n" + message::MAKERS_NOTICE + "\n" +
            message::CANNOT_READ_IMAGE.cp932 + "\n" + p.name + ": " + missing +
            ": cannot be opened: No such file or directory\n");
    // NOLINTNEXTLINE(cert-env33-c): a real pipe is the point; the command is the built program
    std::FILE* pipe = ::popen(("LC_ALL=C.UTF-8 " + std::string(p.path)).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string piped;
    for (int c; (c = std::fgetc(pipe)) != EOF;) piped.push_back(char(c));
    ::pclose(pipe);
    EXPECT_EQ(piped, cp932);
#endif
}

// Nothing follows the read failure, not even a newline; the reason line
// names the input.
TEST_P(EveryProgram, UnreadableInputIsRefusedWithoutANewline) {
    const Program& program = GetParam();
    ScratchDir dir;
    const RunResult r = run({dir.path("missing.bmp"), dir.path("out.bmp"), "1"});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.out, bannerOf(program.title, program.product) + message::CANNOT_READ_IMAGE.cp932);
    EXPECT_EQ(r.err, std::string(program.name) + ": " + dir.path("missing.bmp").string() +
                         ": cannot be opened: No such file or directory\n");
    EXPECT_TRUE(dir.entries().empty());
}

// Every file of the public BMP suite: a status, never a crash.
TEST_P(EveryProgram, PublicSuiteFilesEndWithAStatus) {
    ScratchDir dir;
    for (const char* folder : {"g", "q", "b"}) {
        for (const auto& entry :
             fs::directory_iterator(fs::path(ONDA_TEST_DATA_DIR) / "bmpsuite" / folder)) {
            const RunResult r = run({entry.path().string(), dir.path("out.bmp")});
            EXPECT_EQ(r.signal, 0) << entry.path();
            EXPECT_TRUE(r.exitStatus == 0 || r.exitStatus == 1)
                << entry.path() << ": " << r.exitStatus;
            if (r.exitStatus == 1) {
                EXPECT_FALSE(fs::exists(dir.path("out.bmp"))) << entry.path();
            }
            fs::remove(dir.path("out.bmp"));
        }
    }
}

// ---------------------------------------------------------------------------
// Scarce memory

// A header-only grey file whose pixel bytes are a hole: the file system
// stores nothing, the reader sees zeros.
void writeSparseGreyFile(const fs::path& path, int width, int height) {
    BmpBuilder b = greyInfo(0, 0);
    b.width = width;
    b.height = height;
    writeFileBytes(path, b.bytes());
    fs::resize_file(path, 1078 + std::uintmax_t(rowStride(width, 1)) * std::uintmax_t(height));
}

// Each thing a run needs, in turn, out of reach: the output picture, then
// the rows the transform works in, which only a very wide picture makes
// large. The memory line before the refusal keeps its value, the bytes of a
// plane of doubles, even past what 32 bits count.
TEST_P(EveryProgram, MemoryThatCannotBeHadEndsTheRun) {
#if defined(_WIN32)
    GTEST_SKIP() << "needs an address-space limit (setrlimit), which Windows does not have";
#endif
    struct Case {
        int width, height;
        std::uint64_t addressSpaceMiB;
        const char* sanitizerOptions;
        const char* planeBytes;
        std::string reason;
    };
    // Rows of a grey picture `width` wide at the default levels: two input
    // rows; two result rows, and one more for ondafwd's and ondainv's second
    // level (two rows half as wide), of 4-byte values.
    const bool split = std::string(GetParam().name) == "ondasplit";
    const auto rows = [split](std::uint64_t width) {
        return "no memory for the transform's rows of " + std::to_string(8 * width) + " and " +
               std::to_string((split ? 8 : 12) * width) + " bytes";
    };
    // Under the sanitizer, which cannot run inside an address-space limit,
    // single requests above 16 MiB are refused instead: the picture takes 12
    // MiB, the rows 24 and more.
    const std::vector<Case> cases =
        underAddressSanitizer()
            ? std::vector<
                  Case>{{3 << 20, 4, 0,
                         "ASAN_OPTIONS=allocator_may_return_null=1:max_allocation_size_mb=16",
                         "100663296", rows(3 << 20)}}
            : std::vector<Case>{{16384, 16384, 400, nullptr, "2147483648",
                                 "no memory for a 16384x16384 output picture of 268435456 bytes"},
                                {1 << 25, 4, 400, nullptr, "1073741824", rows(1 << 25)}};
    for (const Case& c : cases) {
        ScratchDir dir;
        writeSparseGreyFile(dir.path("big.bmp"), c.width, c.height);
        RunOptions limits;
        limits.addressSpaceBytes = c.addressSpaceMiB << 20;
        std::vector<std::string> environment;
        if (c.sanitizerOptions) environment.push_back(c.sanitizerOptions);
        const RunResult r = run({dir.path("big.bmp"), dir.path("out.bmp")}, limits, environment);
        EXPECT_EQ(r.signal, 0) << c.width;
        EXPECT_EQ(r.exitStatus, 1) << c.width;
        const std::string refusal = std::string("Memory size -> ") + c.planeBytes + "\n" +
                                    message::MEMORY_CANNOT_BE_ALLOCATED;
        EXPECT_TRUE(endsWith(r.out, refusal)) << c.width << ": " << r.out;
        EXPECT_EQ(lastLine(r.err), std::string(GetParam().name) + ": " +
                                       std::string(dir.path("big.bmp")) + ": " + c.reason + "\n");
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"big.bmp"});
    }
}

// The transform works in rows: a picture runs within two and a half times
// its own bytes of address space, the input and the output pictures and a
// little more.
TEST_P(EveryProgram, APictureRunsInLittleMoreThanItsInputAndOutput) {
#if defined(_WIN32)
    GTEST_SKIP() << "needs an address-space limit (setrlimit), which Windows does not have";
#endif
    if (underAddressSanitizer()) GTEST_SKIP() << "the sanitizer cannot run inside the limit";
    ScratchDir dir;
    writeSparseGreyFile(dir.path("big.bmp"), 16384, 16384);  // 256 MiB of pixel bytes
    RunOptions limits;
    limits.addressSpaceBytes = std::uint64_t{640} << 20;
    const RunResult r = run({dir.path("big.bmp"), dir.path("out.bmp")}, limits, {});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(fs::file_size(dir.path("out.bmp")), fs::file_size(dir.path("big.bmp")));
}

// ---------------------------------------------------------------------------
// Output safety: the write path's rows run once, through ondafwd; every
// program shows that it writes through the same path by replacing its input.

class WritePath : public testing::Test {
   protected:
    static const Program& program() { return PROGRAMS[0]; }
    static RunResult run(const std::vector<std::string>& args, const RunOptions& options = {},
                         const std::vector<std::string>& environment = sanitizerSettings()) {
        return runProgram(program().path, args, options, environment);
    }
};

std::string writeFailure(const std::string& path) {
    return "Cannot write the output file " + path + "\n";
}

TEST_F(WritePath, OutputThatCannotBeWrittenIsNamedAndLeavesNothing) {
    ScratchDir dir;
    writeFileBytes(dir.path("in.bmp"), greyBmp(8, 8, [](int x, int y) { return 9 * x + y; }));
    // Windows refuses to open a folder as a file with "Permission denied".
#if defined(_WIN32)
    const std::string folderReason = "cannot be created: Permission denied";
    const std::string quotedNameReason = "cannot be created: Invalid argument";
#else
    const std::string folderReason = "cannot be created: Is a directory";
    const std::string quotedNameReason = "cannot be created: No such file or directory";
#endif
    std::vector<std::pair<std::string, std::string>> outputs = {
        {dir.path("missing/out.bmp").string(), "cannot be created: No such file or directory"},
        {dir.root().string(), folderReason},
        // Blanks, quotes and backslashes reach the program as they were given
        // (on Windows a name cannot hold quotes).
        {dir.path("no such folder").string() + R"(/a \"b\" c\)", quotedNameReason}};
    const ScratchDir devices;
    if (const std::string full = writableDevice(devices, "full"); !full.empty())
        outputs.push_back({full, "written: No space left on device"});
    for (const auto& [out, reason] : outputs) {
        const RunResult r = run({dir.path("in.bmp"), out});
        EXPECT_EQ(r.signal, 0) << out;
        EXPECT_EQ(r.exitStatus, 1) << out;
        EXPECT_TRUE(endsWith(r.out, writeFailure(out))) << out << ": " << r.out;
        expectReason(r, program().name, out, reason);
    }
#if !defined(_WIN32)
    // A line end in the path cannot forge a second reason line; standard
    // output keeps the path as it was given.
    const std::string forged = dir.path("no\nsuch: written\r/out.bmp").string();
    const RunResult r = run({dir.path("in.bmp"), forged});
    EXPECT_TRUE(endsWith(r.out, writeFailure(forged))) << r.out;
    EXPECT_EQ(r.err, std::string(program().name) + ": " + dir.path("no?such: written?").string() +
                         "/out.bmp: cannot be created: No such file or directory\n");
#endif
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"in.bmp"});
}

TEST_P(EveryProgram, OutputMayReplaceTheInput) {
    ScratchDir dir;
    const Bytes picture =
        colourBmp(8, 8, [](int x, int y, int c) { return 30 * x + 7 * y + 50 * c; });
    writeFileBytes(dir.path("pic.bmp"), picture);
    writeFileBytes(dir.path("copy.bmp"), picture);
    ASSERT_EQ(run({dir.path("copy.bmp"), dir.path("apart.bmp")}).exitStatus, 0);
    const RunResult r = run({dir.path("pic.bmp"), dir.path("pic.bmp")});
    EXPECT_EQ(r.exitStatus, 0) << r.out;
    EXPECT_EQ(readFileBytes(dir.path("pic.bmp")), readFileBytes(dir.path("apart.bmp")));
    EXPECT_NE(readFileBytes(dir.path("pic.bmp")), picture);
}

// A picture, an earlier output file, and what a run without faults prints
// and writes: what every failing write below is judged against.
struct WriteScene {
    ScratchDir dir;
    const TextPath in = dir.path("in.bmp"), out = dir.path("out.bmp");
    const Bytes old = Bytes(100, 0x5A);
    RunResult good;
    Bytes written;

    explicit WriteScene(const Program& program, Reach reach = Reach::user) : dir(reach) {
        writeFileBytes(in, greyBmp(8, 8, [](int x, int y) { return 30 * x + y; }));
        good = runProgram(program.path, {in, out}, {}, sanitizerSettings());
        good.out = maskAddresses(good.out);
        written = readFileBytes(out);
        writeFileBytes(out, old);
    }

#if defined(ONDA_FAULT_LIBRARY)
    // Where the fault-injection library reports that it struck.
    const ScratchDir reports{Reach::everyone};
    const fs::path struck = reports.path("struck");

    // The environment that loads the fault-injection library into the
    // program, striking as `fault` says ("FUNCTION N ERRNO" or "FUNCTION N
    // signal S").
    std::vector<std::string> withFault(const std::string& fault) const {
        std::vector<std::string> environment = {std::string("LD_PRELOAD=") + ONDA_FAULT_LIBRARY,
                                                "ONDA_FAULT=" + fault,
                                                "ONDA_FAULT_REPORT=" + struck.string()};
        if (underAddressSanitizer()) environment.push_back("ASAN_OPTIONS=verify_asan_link_order=0");
        return environment;
    }
#endif

    // The earlier file is whole, and nothing else is left beside it.
    void expectKept(const std::string& what) const {
        EXPECT_EQ(readFileBytes(out), old) << what;
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.bmp", "out.bmp"})) << what;
    }

    void expectWritten(const RunResult& r, const std::string& what) const {
        EXPECT_EQ(r.signal, 0) << what;
        EXPECT_EQ(r.exitStatus, 0) << what;
        EXPECT_EQ(maskAddresses(r.out), good.out) << what;
        EXPECT_EQ(r.err, "") << what;
        EXPECT_EQ(readFileBytes(out), written) << what;
        EXPECT_EQ(dir.entries(), (std::vector<std::string>{"in.bmp", "out.bmp"})) << what;
    }

    // The write failed for `reason` and left the earlier file as it was.
    void expectRefused(const RunResult& r, const Program& program, const std::string& reason,
                       const std::string& what) const {
        EXPECT_EQ(r.signal, 0) << what;
        EXPECT_EQ(r.exitStatus, 1) << what;
        EXPECT_EQ(maskAddresses(r.out), good.out + writeFailure(out)) << what;
        EXPECT_EQ(r.err, std::string(program.name) + ": " + out.string() + ": " + reason + "\n")
            << what;
        expectKept(what);
    }
};

// Each step of the write failing in turn, named by its call and the file the
// call works on; the steps that are wishes change nothing.
TEST_F(WritePath, EveryFailingStepKeepsTheEarlierFile) {
#if !defined(ONDA_FAULT_LIBRARY)
    GTEST_SKIP() << "the fault-injection library needs LD_PRELOAD";
#else
    const WriteScene scene(program());
    const std::string eio = ": Input/output error";
    const struct {
        const char* fault;   // "FUNCTION FILE ERRNO"
        std::string reason;  // "": it writes
    } rows[] = {
        {"openat onda-test-* 5", "cannot be created" + eio},  // the folder
        {"fstatat out.bmp 5", "cannot be created" + eio},     // the walk
        {"openat out.bmp 5", "cannot be written" + eio},      // the old file, opened
        {"openat .onda-* 5", "cannot be created" + eio},      // the temporary file
        {"fdopen .onda-* 5", "cannot be written" + eio},
        {"fwrite .onda-* 5", "cannot be written" + eio},
        {"fflush .onda-* 5", "cannot be written" + eio},
        {"flistxattr out.bmp 5", "cannot be written" + eio},  // the attributes
        {"fremovexattr .onda-* 5", "cannot be written" + eio},
        {"fchmod .onda-* 5", "cannot be written" + eio},
        {"fsync .onda-* 5", "cannot be written" + eio},
        {"fclose .onda-* 5", "cannot be closed" + eio},
        {"renameat .onda-* 5", "cannot be put in place" + eio},
        {"fchown .onda-* 1", ""},       // the group, which may stay the user's
        {"openat . 5", ""},             // the folder, opened to be synced
        {"fsync onda-test-* 5", ""},    // and synced
        {"flistxattr out.bmp 95", ""},  // a file system without attributes
        {"fremovexattr .onda-* 95", ""},
        {"fremovexattr .onda-* 61", ""},  // no access list to remove
    };
    for (const auto& row : rows) {
        fs::remove(scene.struck);
        writeFileBytes(scene.out, scene.old);
        const RunResult r = run({scene.in, scene.out}, {}, scene.withFault(row.fault));
        EXPECT_TRUE(fs::exists(scene.struck)) << row.fault << ": no such call";
        if (row.reason.empty()) {
            scene.expectWritten(r, row.fault);
        } else {
            scene.expectRefused(r, program(), row.reason, row.fault);
        }
    }
#endif
}

#if defined(ONDA_FAULT_LIBRARY)
// Every signal whose default action ends a program, the faults and the
// real-time ones included.
std::vector<int> endingSignals() {
    std::vector<int> signals = {SIGHUP,  SIGINT,    SIGQUIT, SIGPIPE, SIGALRM, SIGTERM,  SIGUSR1,
                                SIGUSR2, SIGVTALRM, SIGPROF, SIGXCPU, SIGIO,   SIGSYS,   SIGABRT,
                                SIGTRAP, SIGBUS,    SIGSEGV, SIGFPE,  SIGILL,  SIGRTMIN, SIGRTMAX};
#if defined(SIGPWR)
    signals.push_back(SIGPWR);
#endif
#if defined(SIGSTKFLT)
    signals.push_back(SIGSTKFLT);
#endif
    return signals;
}
#endif

// Every signal that ends a program, raised while the file is written, removes
// the temporary file and ends the run by that signal; one the caller ignores
// stays ignored. A file-size limit is an ordinary write failure.
TEST_F(WritePath, SignalsDuringTheWriteLeaveNoTemporaryFile) {
#if !defined(ONDA_FAULT_LIBRARY)
    GTEST_SKIP() << "signals are POSIX, raised here by the fault-injection library";
#else
    const WriteScene scene(program());
    // Raised while a row is written, and the instant the file is created.
    for (const std::string when : {"fwrite 2", "openat .onda-*"}) {
        for (const int signal : endingSignals()) {
            writeFileBytes(scene.out, scene.old);
            std::vector<std::string> environment =
                scene.withFault(when + " signal " + std::to_string(signal));
            // The sanitizer's own fault handlers would report instead.
            environment.push_back("ASAN_OPTIONS=handle_segv=0:handle_sigbus=0:handle_sigfpe=0");
            const RunResult r = run({scene.in, scene.out}, {}, environment);
            EXPECT_EQ(r.signal, signal) << when << ": " << r.err;
            scene.expectKept(when + ": signal " + std::to_string(signal));
        }
    }
    // Held back around the rename, which then completes; a fault is never held
    // back (the kernel would end the program at once), and cleans up.
    for (const int signal : {SIGHUP, SIGRTMAX}) {
        writeFileBytes(scene.out, scene.old);
        const RunResult r = run({scene.in, scene.out}, {},
                                scene.withFault("renameat 1 signal " + std::to_string(signal)));
        EXPECT_EQ(r.signal, signal);
        EXPECT_EQ(readFileBytes(scene.out), scene.written) << signal;
        EXPECT_EQ(scene.dir.entries(), (std::vector<std::string>{"in.bmp", "out.bmp"}));
    }
    // Those whose default action ends no program change nothing.
    for (const int signal : {SIGCHLD, SIGCONT, SIGURG, SIGWINCH}) {
        writeFileBytes(scene.out, scene.old);
        scene.expectWritten(run({scene.in, scene.out}, {},
                                scene.withFault("fwrite 2 signal " + std::to_string(signal))),
                            "signal " + std::to_string(signal));
    }
    // Only SIGKILL leaves the temporary file: beside the target, named as the
    // README's find pattern says.
    writeFileBytes(scene.out, scene.old);
    EXPECT_EQ(run({scene.in, scene.out}, {},
                  scene.withFault("fwrite 2 signal " + std::to_string(SIGKILL)))
                  .signal,
              SIGKILL);
    EXPECT_EQ(readFileBytes(scene.out), scene.old);
    const std::vector<std::string> left = scene.dir.entries();
    ASSERT_EQ(left.size(), 3u);
    EXPECT_TRUE(std::regex_match(left[0], std::regex(R"(\.onda-[A-Za-z0-9]{6}\.tmp)"))) << left[0];
    fs::remove(scene.dir.path(left[0]));
    writeFileBytes(scene.out, scene.old);
    std::vector<std::string> faulting = scene.withFault("renameat 1 fault");
    faulting.push_back("ASAN_OPTIONS=handle_segv=0");
    EXPECT_EQ(run({scene.in, scene.out}, {}, faulting).signal, SIGSEGV);
    scene.expectKept("a fault in the rename");
    writeFileBytes(scene.out, scene.old);
    RunOptions ignoring;
    ignoring.ignoredSignal = SIGINT;
    scene.expectWritten(run({scene.in, scene.out}, ignoring, scene.withFault("fwrite 2 signal 2")),
                        "SIGINT ignored");
    writeFileBytes(scene.out, scene.old);
    RunOptions limited;
    limited.fileSizeBytes = 1000;  // the new file takes 1078 + 64 bytes
    scene.expectRefused(run({scene.in, scene.out}, limited), program(),
                        "cannot be written: File too large", "file-size limit");
#endif
}

#if !defined(_WIN32)
void setMode(const fs::path& path, mode_t mode) {
    ASSERT_EQ(::chmod(path.c_str(), mode), 0) << path;
}

mode_t modeOf(const fs::path& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

// The user nobody, when the tests run as root and it exists.
const passwd* nobodyForRoot() {
    return ::geteuid() == 0 ? ::getpwnam("nobody") : nullptr;
}
#endif

// Run as an unprivileged user (nobody, when the tests run as root) in a
// folder every user may reach: an output it may not write, or one in a
// folder it may not write, is refused and kept; a folder it may write but
// not read takes a new file; the sticky bit's refusal comes before anything
// is written. The new file is private while it is written and then takes
// the mode, but not the set-id bits, and for root the owner of the file it
// replaces.
TEST_F(WritePath, PermissionsAreHonouredAndKept) {
#if !defined(ONDA_FAULT_LIBRARY)
    GTEST_SKIP() << "modes and owners are POSIX";
#else
    const WriteScene scene(program(), Reach::everyone);
    const fs::path folder = scene.dir.root();
    RunOptions unprivileged;
    unprivileged.unprivileged = true;
    setMode(folder, 0777);  // anyone may write in it
    setMode(scene.out, 0444);
    scene.expectRefused(run({scene.in, scene.out}, unprivileged), program(),
                        "cannot be written: Permission denied", "read-only file");
    setMode(scene.out, 0666);
    setMode(folder, 0555);
    scene.expectRefused(run({scene.in, scene.out}, unprivileged), program(),
                        "cannot be replaced: its folder must be writable too, since the new file "
                        "is written beside it first: Permission denied",
                        "read-only folder");
    const TextPath fresh = scene.dir.path("new.bmp");
    RunResult r = run({scene.in, fresh}, unprivileged);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(maskAddresses(r.out), scene.good.out + writeFailure(fresh));
    EXPECT_EQ(r.err, std::string(program().name) + ": " + fresh.string() +
                         ": cannot be created: Permission denied\n");
    scene.expectKept("new name in a read-only folder");

    setMode(folder, 0733);  // a drop folder
    r = run({scene.in, fresh}, unprivileged);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(readFileBytes(fresh), scene.written);
    fs::remove(fresh);

    const passwd* nobody = nobodyForRoot();
    if (nobody != nullptr) {
        // nobody's own file in root's group, which nobody is not in: the
        // group bits go rather than go to nobody's group.
        setMode(folder, 0777);
        ASSERT_EQ(::chown(scene.out.c_str(), nobody->pw_uid, 0), 0);
        setMode(scene.out, 0664);
        scene.expectWritten(run({scene.in, scene.out}, unprivileged), "another group");
        EXPECT_EQ(modeOf(scene.out), 0604u);
        // In a group nobody is a member of besides its own: the group stays.
        writeFileBytes(scene.out, scene.old);
        ASSERT_EQ(::chown(scene.out.c_str(), nobody->pw_uid, NOBODYS_OTHER_GROUP), 0);
        setMode(scene.out, 0664);
        scene.expectWritten(run({scene.in, scene.out}, unprivileged), "nobody's other group");
        struct stat kept {};
        ASSERT_EQ(::stat(scene.out.c_str(), &kept), 0);
        EXPECT_EQ(kept.st_gid, NOBODYS_OTHER_GROUP);
        EXPECT_EQ(kept.st_mode & 07777, 0664u);
        writeFileBytes(scene.out, scene.old);
        // Root without the capability to change owners keeps nobody's file.
        scene.expectRefused(run({scene.in, scene.out}, {}, scene.withFault("fchown .onda-* 1")),
                            program(),
                            "cannot be replaced: it belongs to another user, and the new file "
                            "cannot be given to them: Operation not permitted",
                            "no capability to change owners");
        ASSERT_EQ(::chown(scene.out.c_str(), 0, 0), 0);
        setMode(scene.out, 0666);
        setMode(folder, 01777);
        scene.expectRefused(run({scene.in, scene.out}, unprivileged), program(),
                            "cannot be replaced: it belongs to another user, in a folder whose "
                            "sticky bit lets only the file's or the folder's owner replace it",
                            "sticky folder");
        ASSERT_EQ(::chown(scene.out.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    setMode(folder, 0700);
    struct stat before {};
    ASSERT_EQ(::stat(scene.out.c_str(), &before), 0);
    setMode(scene.out, 06640);
    scene.expectWritten(run({scene.in, scene.out}, {}, scene.withFault("fwrite 1 0")),
                        "private write");
    EXPECT_EQ(asString(readFileBytes(scene.struck)), "600");  // the mode while it was written
    struct stat after {};
    ASSERT_EQ(::stat(scene.out.c_str(), &after), 0);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(after.st_uid, before.st_uid);
    EXPECT_EQ(after.st_gid, before.st_gid);
#endif
}

// As root, in a sticky folder anyone may write, whatever the kernel's own
// settings: a link that belongs to another user is not followed, whether it
// names a file or nothing, and another user's file or FIFO is neither
// replaced nor written; those that belong to root or to the folder's owner
// are, and so is another user's link in a folder without the sticky bit.
TEST_F(WritePath, SharedFoldersKeepTheKernelsRules) {
#if defined(_WIN32)
    GTEST_SKIP() << "owners of links are POSIX";
#else
    const passwd* nobody = nobodyForRoot();
    if (nobody == nullptr) GTEST_SKIP() << "needs root and the user nobody";
    const WriteScene scene(program());
    const ScratchDir shared(Reach::everyone);
    const TextPath link = shared.path("out.bmp");
    setMode(shared.root(), 01777);
    for (const fs::path& target : {fs::path(scene.out), scene.dir.root() / "never.bmp"}) {
        fs::create_symlink(target, link);
        ASSERT_EQ(::lchown(link.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        const RunResult r = run({scene.in, link});
        EXPECT_EQ(r.exitStatus, 1) << target;
        EXPECT_EQ(maskAddresses(r.out), scene.good.out + writeFailure(link)) << target;
        EXPECT_EQ(r.err, std::string(program().name) + ": " + link.string() +
                             ": cannot be written: Permission denied\n");
        scene.expectKept(target.string());
        EXPECT_EQ(shared.entries(), std::vector<std::string>{"out.bmp"});
        fs::remove(link);
    }
    const std::string refusal = std::string(program().name) + ": " + shared.path("theirs").string();
    const TextPath theirs = shared.path("theirs");
    writeFileBytes(theirs, scene.old);
    ASSERT_EQ(::chown(theirs.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    RunResult r = run({scene.in, theirs});
    EXPECT_EQ(r.err, refusal +
                         ": cannot be replaced: it belongs to another user, in a folder "
                         "whose sticky bit lets only the file's or the folder's owner "
                         "replace it\n");
    EXPECT_EQ(readFileBytes(theirs), scene.old);
    fs::remove(theirs);
    ASSERT_EQ(::mkfifo(theirs.c_str(), 0666), 0);
    ASSERT_EQ(::chown(theirs.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    r = run({scene.in, theirs});
    EXPECT_EQ(r.err, refusal +
                         ": cannot be written: it is a pipe that belongs to another user, in "
                         "a folder whose sticky bit lets only the pipe's or the folder's "
                         "owner write into it\n");
    ASSERT_EQ(::chown(theirs.c_str(), 0, 0), 0);  // one's own FIFO waits for its reader
    r = runProgram("/bin/sh", {"-c", R"("$0" "$1" "$2" & cat "$2" >"$3"; wait $!)", program().path,
                               scene.in, theirs, scene.out});
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(readFileBytes(scene.out), scene.written);
    fs::remove(theirs);
    writeFileBytes(scene.out, scene.old);
    fs::create_symlink(scene.out, link);
    scene.expectWritten(run({scene.in, link}), "root's link");
    writeFileBytes(scene.out, scene.old);
    ASSERT_EQ(::lchown(link.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    ASSERT_EQ(::chown(shared.root().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    scene.expectWritten(run({scene.in, link}), "the folder owner's link");
    writeFileBytes(scene.out, scene.old);
    // Root may replace another user's file in another user's sticky folder.
    const TextPath theirsToo = shared.path("theirs.bmp");
    writeFileBytes(theirsToo, scene.old);
    ASSERT_EQ(::chown(theirsToo.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    EXPECT_EQ(run({scene.in, theirsToo}).exitStatus, 0);
    EXPECT_EQ(readFileBytes(theirsToo), scene.written);
    fs::remove(theirsToo);
    ASSERT_EQ(::chown(shared.root().c_str(), 0, 0), 0);
    setMode(shared.root(), 0777);
    scene.expectWritten(run({scene.in, link}), "no sticky bit");
    EXPECT_TRUE(fs::is_symlink(link));
#endif
}

// Another user swaps the output's name in a shared sticky folder, in a tight
// loop, between a folder, a FIFO and a link to a file of root's: that file is
// never written, and every run writes its output or refuses with a reason,
// leaving nothing behind.
TEST_F(WritePath, ANameSwappedByAnotherUserNeverLeadsElsewhere) {
#if !defined(__linux__)
    GTEST_SKIP() << "reads the kernel's link rule from /proc";
#else
    const passwd* nobody = nobodyForRoot();
    if (nobody == nullptr) GTEST_SKIP() << "needs root and the user nobody";
    if (asString(readFileBytes("/proc/sys/fs/protected_symlinks")) != "0\n")
        GTEST_SKIP() << "fs.protected_symlinks is on: the kernel refuses the planted link itself";
    const WriteScene scene(program());
    const ScratchDir shared(Reach::everyone);
    setMode(shared.root(), 01777);
    const TextPath name = shared.path("out.bmp");
    const std::string link = shared.path("l").string(), fifo = shared.path("f").string();
    const pid_t swapper = ::fork();
    if (swapper == 0) {
        if (::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) ::_exit(1);
        for (;;) {
            (void)!::symlink(scene.out.c_str(), link.c_str());
            (void)::rename(link.c_str(), name.c_str());
            (void)::mkfifo(fifo.c_str(), 0666);
            (void)::rename(fifo.c_str(), name.c_str());
            (void)::unlink(name.c_str());
            (void)::mkdir(name.c_str(), 0777);
            (void)::rmdir(name.c_str());
        }
    }
    const std::string refused = std::string(program().name) + ": " + name.string() + ": ";
    for (int attempt = 0; attempt < 200; ++attempt) {
        const RunResult r = run({scene.in, name});
        EXPECT_TRUE(r.exitStatus == 0 || (r.exitStatus == 1 && r.err.rfind(refused, 0) == 0 &&
                                          r.err.find('\n') == r.err.size() - 1))
            << r.exitStatus << " " << r.err;
        struct stat written {};
        if (::lstat(name.c_str(), &written) == 0 && written.st_uid == 0) fs::remove(name);
    }
    ::kill(swapper, SIGKILL);
    ::waitpid(swapper, nullptr, 0);
    scene.expectKept("the file of root's the links name");
    for (const std::string& entry : shared.entries())
        EXPECT_EQ(entry.rfind(".onda-", 0), std::string::npos) << entry;
#endif
}

// Links are followed to the file they name, however long their text; a link
// to itself is refused at once.
TEST_F(WritePath, LinksLeadToTheFileTheyName) {
#if defined(_WIN32)
    GTEST_SKIP() << "links need privileges on Windows";
#else
    const WriteScene scene(program());
    const ScratchDir links;
    std::string text = scene.dir.root().string();
    while (text.size() <= 300) text += "/.";
    fs::create_symlink(text + "/out.bmp", links.path("long"));
    scene.expectWritten(run({scene.in, links.path("long")}), "long link");
    fs::create_symlink("self", links.path("self"));
    const RunResult r = run({scene.in, links.path("self")});
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_EQ(r.err, std::string(program().name) + ": " + links.path("self").string() +
                         ": cannot be created: Too many levels of symbolic links\n");
    EXPECT_EQ(links.entries(), (std::vector<std::string>{"long", "self"}));
#endif
}

// Outputs named through the process file system (a descriptor the shell
// opened, a deleted file) are written in place; the program's own standard
// output is refused, as the console text would be mixed into the picture.
TEST_F(WritePath, OutputsThroughProcessFilesAreWrittenInPlace) {
#if !defined(__linux__)
    GTEST_SKIP() << "/proc is Linux's";
#else
    const WriteScene scene(program());
    const std::string opened = R"(exec 3>"$1" && exec "$0" "$2" /dev/fd/3)";
    // Opened without truncating, and longer than the picture: cut to its size.
    writeFileBytes(scene.dir.path("gone.bmp"), Bytes(5000, 0x5A));
    const std::string deleted =
        R"(exec 3<>"$1" && rm "$1" && "$0" "$2" /proc/self/fd/3 && cat /dev/fd/3 >"$1.kept")";
    for (const auto& [script, name] :
         {std::pair<std::string, std::string>{opened, "y.bmp"}, {deleted, "gone.bmp"}}) {
        const RunResult r =
            runProgram("/bin/sh", {"-c", script, program().path, scene.dir.path(name), scene.in},
                       {}, sanitizerSettings());
        EXPECT_EQ(r.exitStatus, 0) << script;
        EXPECT_EQ(r.err, "") << script;
        EXPECT_EQ(maskAddresses(r.out), scene.good.out) << script;
    }
    EXPECT_EQ(readFileBytes(scene.dir.path("y.bmp")), scene.written);
    EXPECT_EQ(readFileBytes(scene.dir.path("gone.bmp.kept")), scene.written);
    EXPECT_EQ(scene.dir.entries(),
              (std::vector<std::string>{"gone.bmp.kept", "in.bmp", "out.bmp", "y.bmp"}));
    const std::string ownStream = ": cannot be written: it is the program's own standard ";
    for (const auto& [output, reason] :
         {std::pair<std::string, std::string>{
              "/dev/stdout", "output, where the console text would be mixed into the picture"},
          {"/dev/stderr", "error, where its messages would be mixed into the picture"}}) {
        const RunResult r = run({scene.in, output});
        EXPECT_EQ(r.exitStatus, 1);
        EXPECT_EQ(maskAddresses(r.out), scene.good.out + writeFailure(output));
        std::string line = program().name;
        EXPECT_EQ(r.err, line.append(": ").append(output).append(ownStream).append(reason) + "\n");
    }
    // A device that discards mixes nothing.
    const ScratchDir devices;
    const std::string null = writableDevice(devices, "null");
    const RunResult r = runProgram(
        "/bin/sh", {"-c", R"(exec "$0" "$1" "$2" >"$2")", program().path, scene.in, null}, {},
        sanitizerSettings());
    EXPECT_EQ(r.exitStatus, 0) << r.err;
#endif
}

#if defined(__linux__)
// The raw access list of a file, "" when it has none.
std::string accessList(const fs::path& path) {
    char value[1024];
    const ssize_t length = ::getxattr(path.c_str(), "system.posix_acl_access", value, sizeof value);
    return length < 0 ? "" : std::string(value, std::size_t(length));
}

// Where setfacl is, or "" without it.
std::string setfaclProgram() {
    for (const char* path : {"/usr/bin/setfacl", "/bin/setfacl"}) {
        if (fs::exists(path)) return path;
    }
    return "";
}

bool setAccessList(const std::string& option, const std::string& entries, const fs::path& path) {
    return runProgram(setfaclProgram(), {option, entries, path.string()}).exitStatus == 0;
}
#endif

// A new file gets what any new file in its folder gets (the folder's default
// access list, as touch); a replaced file keeps its access list, and gains
// none from the folder's default.
TEST_F(WritePath, AccessListsAreKeptAndNeverWidened) {
#if !defined(__linux__)
    GTEST_SKIP() << "access lists are read here as Linux's attributes";
#else
    if (setfaclProgram().empty()) GTEST_SKIP() << "needs setfacl (the acl package)";
    const WriteScene scene(program(), Reach::everyone);
    if (!setAccessList("-dm", "u::rw,g::r,o::-,u:nobody:rw", scene.dir.root())) {
        GTEST_SKIP() << "the file system keeps no access lists";
    }
    const fs::path touched = scene.dir.path("touched"), fresh = scene.dir.path("new.bmp");
    ::close(::open(touched.c_str(), O_WRONLY | O_CREAT, 0666));
    ASSERT_EQ(run({scene.in, fresh}).exitStatus, 0);
    EXPECT_EQ(modeOf(fresh), modeOf(touched));
    EXPECT_EQ(accessList(fresh), accessList(touched));
    EXPECT_NE(accessList(fresh), "");
    fs::remove(fresh);
    fs::remove(touched);

    setMode(scene.out, 0640);
    scene.expectWritten(run({scene.in, scene.out}), "no list of its own");
    EXPECT_EQ(modeOf(scene.out), 0640u);
    EXPECT_EQ(accessList(scene.out), "");

    writeFileBytes(scene.out, scene.old);
    ASSERT_TRUE(setAccessList("-m", "u:nobody:r,g::-", scene.out));
    const mode_t mode = modeOf(scene.out);
    const std::string list = accessList(scene.out);
    const bool userAttributes = ::setxattr(scene.out.c_str(), "user.note", "kept", 4, 0) == 0 &&
                                ::setxattr(scene.out.c_str(), "user.empty", "", 0, 0) == 0;
    // A privilege of the old contents' (CAP_CHOWN permitted, effective) is not carried over.
    const char capability[20] = {1, 0, 0, 2, 1};
    const bool capable =
        ::setxattr(scene.out.c_str(), "security.capability", capability, 20, 0) == 0;
    scene.expectWritten(run({scene.in, scene.out}), "a list of its own");
    EXPECT_EQ(modeOf(scene.out), mode);
    EXPECT_EQ(accessList(scene.out), list);
    if (userAttributes) {
        char value[8];
        EXPECT_EQ(::getxattr(scene.out.c_str(), "user.note", value, sizeof value), 4);
        EXPECT_EQ(std::string(value, 4), "kept");
        EXPECT_EQ(::getxattr(scene.out.c_str(), "user.empty", value, sizeof value), 0);
    }
    if (capable) {
        EXPECT_EQ(::getxattr(scene.out.c_str(), "security.capability", nullptr, 0), -1);
    }
    // nobody's file with a list, in a group nobody is not in: the list is set
    // with the group class the final file has, none, never wider.
    const passwd* nobody = nobodyForRoot();
    if (nobody == nullptr) return;
    setMode(scene.dir.root(), 0777);
    setMode(scene.reports.root(), 0777);
    writeFileBytes(scene.out, scene.old);
    ASSERT_EQ(::chown(scene.out.c_str(), nobody->pw_uid, 0), 0);
    ASSERT_TRUE(setAccessList("-m", "u::rw,g::r,o::-,u:root:r", scene.out));
    RunOptions unprivileged;
    unprivileged.unprivileged = true;
    scene.expectWritten(
        run({scene.in, scene.out}, unprivileged, scene.withFault("fsetxattr .onda-* 0")),
        "a group it cannot keep");
    EXPECT_EQ(asString(readFileBytes(scene.struck)), "600");  // as its list was set
    EXPECT_EQ(modeOf(scene.out), 0600u);
#endif
}

// The repeat number is a whole number or the run is refused right after the
// read: a glob that hands a picture's name to the third argument loses
// nothing. Arguments after the third change nothing.
TEST_P(EveryProgram, RepeatNumberIsAWholeNumberOrTheRunIsRefused) {
    const Program& p = GetParam();
    ScratchDir dir;
    const TextPath first = dir.path("001.bmp"), second = dir.path("002.bmp");
    const Bytes picture = greyBmp(8, 8, [](int x, int y) { return 20 * x + y; });
    writeFileBytes(first, picture);
    writeFileBytes(second, picture);
    const std::string refusal = bannerOf(p.title, p.product) +
                                (p.reportsKind ? kindLine(8, first) : "") +
                                message::REPEAT_NUMBER_INPUT_ERROR + "\n";
    const auto reason = [&](const std::string& shown) {
        return std::string(p.name) + ": " + first.string() + ": repeat number \"" + shown +
               "\" is not a whole number\n";
    };
    const struct {
        std::string text, shown;
    } refused[] = {
        {"", ""},        {"3abc", "3abc"},    {"003.bmp", "003.bmp"}, {"photo3.bmp", "photo3.bmp"},
        {"1\t2", "1?2"}, {"\x1b[2J", "?[2J"}, {"7\x7f", "7?"}};
    for (const auto& c : refused) {
        const RunResult r = run({first, second, c.text, "1"});
        EXPECT_EQ(r.exitStatus, 1) << c.text;
        EXPECT_EQ(r.out, refusal) << c.text;
        EXPECT_EQ(r.err, reason(c.shown)) << c.text;
        EXPECT_EQ(readFileBytes(second), picture) << c.text;
    }
#if !defined(_WIN32)
    RunOptions together;
    together.oneStream = true;  // the reason follows the console text it explains
    EXPECT_EQ(run({first, second, "003.bmp"}, together).out, refusal + reason("003.bmp"));
#endif
    // Blanks around the number and leading zeros give what the bare number
    // gives, and so do arguments after it.
    for (const auto& [text, bare] :
         {std::pair<std::string, std::string>{" +1 ", "1"}, {"002", "2"}, {"\t-0\n", "0"}}) {
        const RunResult a = run({first, dir.path("a.bmp"), text, "5", "x"});
        const RunResult b = run({first, dir.path("b.bmp"), bare});
        EXPECT_EQ(a.exitStatus, 0) << text;
        EXPECT_EQ(maskAddresses(a.out), maskAddresses(b.out)) << text;
        EXPECT_EQ(readFileBytes(dir.path("a.bmp")), readFileBytes(dir.path("b.bmp"))) << text;
    }
    EXPECT_EQ(readFileBytes(second), picture);
}

INSTANTIATE_TEST_SUITE_P(Built, EveryProgram, testing::ValuesIn(PROGRAMS),
                         [](const testing::TestParamInfo<Program>& program) {
                             return std::string(program.param.name);
                         });

// A picture too large is refused from its header, with the largest size that
// fits the levels the run would have had (its default where the repeat
// number is none); ondainv, whose input a crop would ruin, advises none.
// clang-format off
TEST(EveryProgram, TooLargeAdviceFitsTheLevelsToCome) {
    ScratchDir dir;
    const TextPath in = dir.path("big.bmp");
    writeFileBytes(in, sized(greyInfo(0, 0), 50000, 50000));
    const std::string reason = ": picture of 50000x50000 pixels; the programs read and write pictures whose BMP file stays under 2 GiB";
    for (const auto& [path, repeat, fitting] : {std::tuple<const char*, const char*, std::string>{ONDAFWD_PATH, "1", "50000x42948 fits the levels asked"},
             {ONDAFWD_PATH, "3", "50000x42944 fits the levels asked"}, {ONDAFWD_PATH, "3x", "50000x42948 fits the levels asked"},
             {ONDAFWD_PATH, "0", "50000x42949 fits"}, {ONDASPLIT_PATH, "-1", "50000x42948 fits the levels asked"}, {ONDAINV_PATH, "3", ""}}) {
        const std::string err = runProgram(path, {in, dir.path("out.bmp"), repeat}).err;
        const std::string advice = fitting.empty() ? "\n" : ": at most " + fitting + " (GraphicsMagick: gm convert IN -crop ";
        EXPECT_NE(err.find(in.string() + reason + advice), std::string::npos) << err;  // NOLINT(performance-inefficient-string-concatenation): once a row
    }
}
// clang-format on

// A size the levels cannot halve is refused before anything is made, with
// each program's advice: ondafwd's a crop, ondainv's the levels its input's
// size takes, as a crop would ruin a transform. (The size rule's cases are
// the size check's own tests.)
TEST(ForwardAndInverse, SizesTheLevelsCannotHalveAreRefused) {
    const std::string rule = "width and height must be positive multiples of 4";
    const struct {
        const char* name;
        const char* path;
        std::string banner, advice;
    } programs[] = {
        {"ondafwd", ONDAFWD_PATH, bannerOf(message::FWD_BANNER),
         ": crop to 4x4" + conversionAdvice("-crop 4x4+0+0 +repage ")},
        {"ondainv", ONDAINV_PATH, bannerOf(message::INV_BANNER),
         "; give the repeat number the transform was made with: this size takes at most 1 level"},
    };
    ScratchDir dir;
    const TextPath in = dir.path("in.bmp");
    writeFileBytes(in, greyBmp(6, 4, [](int, int) { return 5; }));
    for (const auto& program : programs) {
        const RunResult r = runProgram(program.path, {in, dir.path("out.bmp"), "2"});
        EXPECT_EQ(r.exitStatus, 1) << program.name;
        EXPECT_EQ(r.out, program.banner + "Image size 6x4 cannot be transformed: " + rule + ".\n");
        EXPECT_EQ(r.err, std::string(program.name) + ": " + in.string() + ": size 6x4; " + rule +
                             " for the levels asked" + program.advice + "\n");
        EXPECT_FALSE(fs::exists(dir.path("out.bmp")));
    }
}

}  // namespace
