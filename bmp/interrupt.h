// Keeps a temporary file from outliving an interrupted process.
//
// While a name is armed, SIGINT, SIGTERM and SIGHUP (on Windows Ctrl-C and
// Ctrl-Break) remove the file of that name and then end the process as the
// signal would have: the default action is restored and the signal raised
// again. Only signals whose action is the default are taken over; ignored or
// handled ones are left as they are. Creating the file and arming its name,
// and renaming or removing it and disarming, each happen inside an
// InterruptsHeld, so that no signal falls between the two.
#ifndef ONDA_BMP_INTERRUPT_H
#define ONDA_BMP_INTERRUPT_H

#include <cstdio>
#include <filesystem>

// Holds the guarded signals back while alive; one held meanwhile is handled
// when it ends.
class InterruptsHeld {
   public:
    InterruptsHeld();
    ~InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;
};

// Creates the file `name` for writing, failing (errno EEXIST) when it exists,
// opened so that the handler can remove it while it is open.
std::FILE* createNewFile(const std::filesystem::path& name);

// `name` must stay valid until disarmRemovalOnInterrupt: the handler reads it.
void armRemovalOnInterrupt(const std::filesystem::path::value_type* name);
void disarmRemovalOnInterrupt();

#endif
