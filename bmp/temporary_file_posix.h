// A temporary file beside a target, on POSIX systems: created private, written,
// synced, then either committed under the target's name or abandoned.
//
//              create (signal handlers installed first, then the
//                      file made and recorded with every ending
//                      signal held back)
//   (nothing) ---------------------------------------------> CREATED
//                                                              |  write,
//                                                              |  sync,
//                                                              |  close
//                                                              v
//   (nothing) <------- abandon (or the destructor) -------- CREATED
//       ^      removed; a signal meanwhile removes it too       |
//       |                                                       | commit: renamed
//       +----- the target holds it ------ COMMITTED <-----------+ over the target
//
// While the file exists, every signal whose default action ends the process
// removes it, then ends the process as it would have: all but KILL, STOP, the
// job-control ones, CHLD, CONT, URG, WINCH, and XFSZ, which the caller
// ignores while writing so that a file-size limit is an ordinary write
// failure. Signals the C library keeps for itself (32 and 33 with glibc)
// cannot be handled and, like KILL, leave the file. Signals the caller
// ignores or handles are left alone. The handlers are installed before the
// file exists and stay once installed: with no file recorded they end the
// process as the default action would. Every ending signal, the faults
// (SEGV, BUS, FPE, ILL) included, is held back while the file is created and
// recorded, where nothing but the system call can raise one; all but the
// faults while it is renamed or removed.
//
// Every call gives 0 or the errno of the failed system call.
#ifndef ONDA_BMP_TEMPORARY_FILE_POSIX_H
#define ONDA_BMP_TEMPORARY_FILE_POSIX_H

#include <sys/types.h>

#include <cstdio>

#include "replace.h"

class TemporaryFile {
   public:
    TemporaryFile() = default;
    ~TemporaryFile() { abandon(); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    // Makes ".onda-XXXXXX.tmp" in the open `folder`, which must stay open
    // until the file is committed or abandoned, with `mode` (less the umask).
    int create(int folder, mode_t mode);

    // The file's descriptor while it is CREATED, -1 otherwise.
    int descriptor() const { return fd_; }

    // Writes the contents through a stream and flushes it.
    int write(ContentWriter writer, const void* content);

    // Flushes the written contents to the disk.
    int sync() const;

    // Closes the file; it stays CREATED, under its temporary name.
    int close();

    // Renames it over `target` in its folder: COMMITTED. On failure it stays
    // CREATED.
    int commit(const char* target);

    // Removes it, unless it was committed or never created.
    void abandon();

   private:
    int folder_ = -1;
    int fd_ = -1;
    std::FILE* stream_ = nullptr;
    char name_[32] = "";
};

// Writes the contents through a stream made of `fd`, then closes it: 0 or the
// errno, with `step` saying whether the write or the close failed. For outputs
// written in place.
int writeAndClose(int fd, ContentWriter writer, const void* content, ReplaceStep& step);

#endif
