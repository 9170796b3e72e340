// Putting a written file in place so that it is never seen half written.
//
// On every system: the new contents go to a temporary file beside the
// target, named ".onda-XXXXXX.tmp" whatever the target's name, created
// exclusively, and take the target's name only once they are whole; until
// then an existing target is untouched, and on any failure, or any signal or
// console event that ends the program, the temporary file is removed. A
// replaced file keeps what the system lets a replacement keep (its access
// list, its attributes, its mode). Outputs that are not files (a device, a
// pipe) are written in place. The rules of each system, which targets are
// replaced, written in place or refused and why, are written down beside its
// code: replace_posix.cpp, replace_windows.cpp.
//
// The write path knows bytes and error numbers; what the bytes mean is its
// caller's.
#ifndef ONDA_BMP_REPLACE_H
#define ONDA_BMP_REPLACE_H

#include <cstdio>

// Writes the whole contents to `stream`: 0, or the errno of the failed write.
// The write path flushes and closes the stream.
using ContentWriter = int (*)(std::FILE* stream, const void* content);

// The step at which putting a file in place stopped.
enum class ReplaceStep {
    done,            // the file is in place
    create,          // the file, or the temporary one beside it, cannot be created
    folder,          // an existing file's folder takes no new file beside it
    write,           // the existing file may not be written, or a write or sync failed
    close,           // the written file cannot be closed
    rename,          // the temporary file cannot take the target's name
    sticky,          // another user's file in a shared folder whose sticky bit protects it
    stickyPipe,      // likewise, a pipe
    owner,           // the replacing file cannot be given the replaced file's owner
    changed,         // the target changed between the look at it and its opening
    standardOutput,  // the output is the program's own standard output
    standardError,   // the output is the program's own standard error
};

struct ReplaceResult {
    ReplaceStep step = ReplaceStep::done;
    int error = 0;  // the errno of the failed call; 0 for a refusal no call made
};

// Puts the contents that `write` makes of `content` in place under `path`.
ReplaceResult replaceFile(const char* path, ContentWriter write, const void* content);

#endif
