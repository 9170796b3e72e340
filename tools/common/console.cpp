#include "console.h"

#include <algorithm>
#include <cstdio>

#if defined(_WIN32)
#include <windows.h>
#elif defined(__has_include)
#if __has_include(<langinfo.h>) && __has_include(<unistd.h>)
#define ONDA_HAS_LANGINFO 1
#include <langinfo.h>
#include <unistd.h>

#include <cctype>
#include <clocale>
#include <cstdlib>
#endif
#endif

namespace {

const char* programName = "onda";

#if defined(ONDA_HAS_LANGINFO)

// "UTF-8", and the spellings some systems use: "utf8", "UTF8", "utf-8".
bool namesUtf8(const std::string& codeset) {
    std::string letters;
    for (const char c : codeset) {
        if (c != '-' && c != '_')
            letters.push_back(char(std::tolower(static_cast<unsigned char>(c))));
    }
    return letters == "utf8";
}

// The character set the name of the environment's LC_CTYPE locale gives,
// for a locale the system does not have (a container without the locale its
// LANG names): the first of LC_ALL, LC_CTYPE and LANG that is set and not
// empty, read as UTF-8 when its name says "UTF-8" or "utf8" in any case, and
// as no character set otherwise.
std::string namedCodeset() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value == nullptr || *value == '\0') continue;
        std::string name;
        for (const char* c = value; *c != '\0'; ++c)
            name.push_back(char(std::tolower(static_cast<unsigned char>(*c))));
        const bool utf8 =
            name.find("utf-8") != std::string::npos || name.find("utf8") != std::string::npos;
        return utf8 ? "UTF-8" : "";
    }
    return "";
}

// The character set of the environment's LC_CTYPE, the program's own locale
// restored afterwards; taken from the locale's name when the system cannot
// load it.
std::string environmentCodeset() {
    const char* current = std::setlocale(LC_CTYPE, nullptr);
    const std::string saved = current != nullptr ? current : "C";
    std::string codeset =
        std::setlocale(LC_CTYPE, "") != nullptr ? nl_langinfo(CODESET) : namedCodeset();
    (void)std::setlocale(LC_CTYPE, saved.c_str());  // it was in force a moment ago
    return codeset;
}

#endif

bool askTerminal() {
#if defined(_WIN32)
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0 &&
           GetConsoleOutputCP() == CP_UTF8;
#elif defined(ONDA_HAS_LANGINFO)
    return ::isatty(STDOUT_FILENO) == 1 && namesUtf8(environmentCodeset());
#else
    return false;  // no way to ask: the bytes stay CP932
#endif
}

bool bothOnTerminal() {
#if defined(_WIN32)
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0 &&
           GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
#elif defined(ONDA_HAS_LANGINFO)
    return ::isatty(STDOUT_FILENO) == 1 && ::isatty(STDERR_FILENO) == 1;
#else
    return false;
#endif
}

}  // namespace

bool utf8Terminal() {
    static const bool utf8 = askTerminal();
    return utf8;
}

const char* consoleText(const message::JapaneseText& text) {
    return utf8Terminal() ? text.utf8 : text.cp932;
}

void nameProgram(const char* name) {
    programName = name;
}

bool utf8Locale() {
#if defined(_WIN32)
    static const bool utf8 = GetConsoleOutputCP() == CP_UTF8;
#elif defined(ONDA_HAS_LANGINFO)
    static const bool utf8 = namesUtf8(environmentCodeset());
#else
    static const bool utf8 = false;
#endif
    return utf8;
}

namespace {

// The length of the valid UTF-8 character that starts at `at`, or 0.
std::size_t utf8Length(const std::string& text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || at + length > text.size()) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[at + k]) & 0xC0) != 0x80) return 0;
    }
    return length;
}

}  // namespace

std::string shownOnOneLine(const std::string& text, bool utf8) {
    std::string shown;
    for (std::size_t at = 0; at < text.size();) {
        const auto byte = static_cast<unsigned char>(text[at]);
        const std::size_t length = byte >= 0x80 ? utf8Length(text, at) : 0;
        const bool c1 =
            length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0;
        if (byte < 0x20 || byte == 0x7F || c1 ||
            (utf8 && length == 0 && byte >= 0x80 && byte < 0xA0)) {
            shown.push_back('?');
        } else {
            shown.append(text, at, std::max<std::size_t>(length, 1));
        }
        at += std::max<std::size_t>(length, 1);
    }
    return shown;
}

std::string shownOnOneLine(const std::string& text) {
    return shownOnOneLine(text, utf8Locale());
}

void printReason(const char* path, const std::string& reason) {
    (void)std::fflush(stdout);  // standard output's text comes first where both meet
    std::fprintf(stderr, "%s: %s: %s\n", programName, shownOnOneLine(path).c_str(), reason.c_str());
}

void printReasonAfterOpenLine(const char* path, const std::string& reason) {
    (void)std::fflush(stdout);  // the open line shows before the line end that closes it
    if (bothOnTerminal()) std::fputc('\n', stderr);
    printReason(path, reason);
}

void printProgramReason(const std::string& reason) {
    (void)std::fflush(stdout);  // likewise
    std::fprintf(stderr, "%s: %s\n", programName, reason.c_str());
}
