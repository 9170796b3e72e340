#include "console.h"

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

std::string shownOnOneLine(std::string text) {
    for (char& c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) c = '?';
    }
    return text;
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
