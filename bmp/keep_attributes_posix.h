// What a replacing file takes of the file it replaces, on POSIX systems, in an
// order that never lets the new file grant anyone access the final file will
// not grant, not even for a moment:
//
//   1. run as root, the replaced file's owner; another user's file whose
//      owner cannot be given (root without the capability to change owners)
//      refuses the replacement (ReplaceStep::owner);
//   2. the replaced file's group where the system allows; without it, the
//      mode below loses its group permission bits;
//   3. its access list, its owner, mask (the group class) and other entries
//      already those of the final mode; one the folder's default access list gave a
//      file that had none is removed. An access list that cannot be carried
//      over refuses the replacement;
//   4. its other extended attributes, those that cannot be read or set
//      skipped; never security.capability, security.ima or security.evm (a
//      privilege, and seals of the old contents);
//   5. last, its mode without the set-id bits, which widens the private new
//      file only now.
#ifndef ONDA_BMP_KEEP_ATTRIBUTES_POSIX_H
#define ONDA_BMP_KEEP_ATTRIBUTES_POSIX_H

#include <sys/stat.h>

#include "replace.h"

// Gives the open file `fd` what the file open as `replaced`, whose status is
// `old`, has.
ReplaceResult takeReplacedFile(int fd, int replaced, const struct stat& old);

#endif
