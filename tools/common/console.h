// Where the programs meet a person: the encoding of the Japanese texts, and
// the reason line on standard error that goes with every refusal.
#ifndef ONDA_CONSOLE_H
#define ONDA_CONSOLE_H

#include <string>

#include "messages.h"

// True when standard output is a terminal that shows UTF-8: on POSIX systems a
// terminal whose locale (LC_CTYPE from the environment) has the UTF-8
// character set, on Windows a console whose output code page is 65001. Asked
// once; the program's own locale is left as it was.
bool utf8Terminal();

// The text in the encoding standard output takes: UTF-8 on a UTF-8 terminal,
// CP932 anywhere else (pipes and files included).
const char* consoleText(const message::JapaneseText& text);

// Names the program in the reason lines that follow.
void nameProgram(const char* name);

// True where the environment's locale is UTF-8 (on Windows, the console's
// code page).
bool utf8Locale();

// The text with each control character shown as '?', so that it keeps to one
// line and starts no escape sequence: C0 controls, DEL, and C1 controls
// (U+0080 to U+009F, two bytes in UTF-8). With `utf8` also a byte 0x80 to
// 0x9F outside a valid UTF-8 character; elsewhere such a byte may lead a
// character (in CP932 it does) and stays.
std::string shownOnOneLine(const std::string& text, bool utf8);

// shownOnOneLine for the environment's locale.
std::string shownOnOneLine(const std::string& text);

// "PROGRAM: PATH: reason" and a line end, on standard error; control
// characters in the path are shown as '?'.
void printReason(const char* path, const std::string& reason);

// printReason after a text that leaves its line open on standard output:
// with both on a terminal, the reason line starts on a line of its own.
void printReasonAfterOpenLine(const char* path, const std::string& reason);

// "PROGRAM: reason" for a refusal that concerns no file.
void printProgramReason(const std::string& reason);

#endif
