// Putting a written file in place so that it is never seen half written.
//
// The new contents go to a temporary file beside the target, named
// ".onda-XXXXXX.tmp" whatever the target's name, created exclusively and
// readable by its owner only. Once the contents are written and flushed, the
// file takes its final mode (the replaced file's, or 0666 less the umask for
// a new one; run as root it also takes the replaced file's owner and group)
// and is renamed over the target. Until then the target is untouched; on any
// failure the temporary file is removed.
//
// A target that is a symbolic link is followed: the file it names is
// replaced, or created when the link dangles, and the link stays. An existing
// target that the user may not write is refused as opening it for writing
// would be. An existing target that is not a regular file (a device, a pipe)
// is written in place. Hard links and extended attributes of a replaced file
// are not carried over, and nothing is synced to disk.
//
// While the temporary file exists, the signals that end a program by default
// (HUP, INT, QUIT, PIPE, ALRM, TERM, USR1, USR2, VTALRM, PROF, XCPU; on
// Windows Ctrl-C and Ctrl-Break) remove it, then end the process as they would
// have. Signals the caller ignores or handles are left alone. SIGXFSZ is
// ignored while writing, so that a file-size limit is an ordinary write
// failure.
#ifndef ONDA_BMP_REPLACE_H
#define ONDA_BMP_REPLACE_H

#include <cstdio>

#include "bmp.h"

// Writes the whole contents to `stream` and flushes it: BMP_WRITTEN, or
// BMP_WRITE_FAILED with `cause` told why.
using ContentWriter = int (*)(std::FILE* stream, const void* content, BmpWriteCause& cause);

// Puts the contents that `write` makes of `content` in place under `path`.
// BMP_WRITTEN, or BMP_WRITE_FAILED with `cause` told which step failed.
int replaceFile(const char* path, ContentWriter write, const void* content, BmpWriteCause& cause);

#endif
