// The process entry of the Windows builds. No runtime library runs before
// or after the program: the loader jumps straight here, and Entry() ends
// the process itself.
#include "app/Program.h"

extern "C" [[noreturn]] void mainCRTStartup() {
    tarvel::Entry();
}
