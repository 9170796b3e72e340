// Putting a written file in place so that it is never seen half written.
//
// The new contents go to a temporary file beside the target, named
// ".onda-XXXXXX.tmp" whatever the target's name, created exclusively, and
// renamed over the target; until then the target is untouched, and on any
// failure the temporary file is removed. Results carry the errno of the
// failed call throughout.
//
// A new target's file is created with 0666, so that it gets what any new file
// in its folder gets (the umask, or the folder's default access list), and is
// not synced. A replacing file is created readable by its owner only; once its
// contents are written it takes the replaced file's group (where the system
// allows; without it, no group permission bits), its access list and other
// extended attributes (those that cannot be read or set are skipped, but an
// access list that cannot be carried over is an error, and one the folder's
// default gave a file that had none is removed), its mode without the set-id
// bits, and run as root its owner; then it is synced, renamed, and its folder
// synced where the folder can be opened for reading. security.capability,
// security.ima and security.evm are never carried over, nor hard links.
//
// Links in the target's final name are followed by the writer, as the kernel
// follows them with fs.protected_symlinks on, whatever that setting says: in a
// sticky folder anyone may write, a link that belongs neither to the user nor
// to the folder's owner is refused with EACCES. A dangling link creates the
// file it names, and the link stays. Folders are opened for search only, so a
// folder the user may write but not read takes a new file. A link in /proc
// (/dev/fd/N) and an existing target that is not a regular file (a device, a
// pipe) are opened by the kernel and written in place, without creating
// anything; the program's own standard output is refused. An existing target
// the user may not write is refused as opening it for writing would be, and
// one whose folder's sticky bit forbids the rename is refused before anything
// is created.
//
// While the temporary file exists, every signal whose default action ends the
// process (all but KILL, STOP, the job-control ones, CHLD, CONT, URG, WINCH,
// and XFSZ, which is ignored while writing so that a file-size limit is an
// ordinary write failure) removes it, then ends the process as it would have;
// on Windows so do Ctrl-C, Ctrl-Break, closing the console, logging off and
// shutting down. Signals the caller ignores or handles are left alone; the
// handler stays once installed, and with no file armed ends the process as
// the default action would. The
// faults (SEGV, BUS, FPE, ILL) are never blocked; the others are held back
// while the file is created and armed, and while it is renamed or removed.
#ifndef ONDA_BMP_REPLACE_H
#define ONDA_BMP_REPLACE_H

#include <cstdio>

#include "bmp.h"

// Writes the whole contents to `stream` and flushes it: BMP_WRITTEN, or
// BMP_WRITE_FAILED with `cause` saying why.
using ContentWriter = int (*)(std::FILE* stream, const void* content, BmpWriteCause& cause);

// Puts the contents that `write` makes of `content` in place under `path`.
// BMP_WRITTEN, or BMP_WRITE_FAILED with `cause` saying which step failed.
int replaceFile(const char* path, ContentWriter write, const void* content, BmpWriteCause& cause);

#endif
