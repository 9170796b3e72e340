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

// The text with each control character shown as '?', so that it keeps to
// one line.
std::string shownOnOneLine(std::string text);

// "PROGRAM: PATH: reason" and a line end, on standard error; control
// characters in the path are shown as '?'.
void printReason(const char* path, const std::string& reason);

// printReason after a text that leaves its line open on standard output:
// with both on a terminal, the reason line starts on a line of its own.
void printReasonAfterOpenLine(const char* path, const std::string& reason);

// "PROGRAM: reason" for a refusal that concerns no file.
void printProgramReason(const std::string& reason);

#endif
