// The process entry of the Windows builds. No runtime library runs before
// or after the program: the loader jumps straight here, and Entry() ends
// the process itself.
#include "app/Program.h"

namespace tarvel {

#if defined(_WIN64)
const char PlatformText[] = "x64";
#else
const char PlatformText[] = "Win32";
#endif

}  // namespace tarvel

extern "C" [[noreturn]] void mainCRTStartup() {
    tarvel::Entry();
}
