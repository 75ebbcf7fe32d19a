// Loading a system library by full path from the system directory only, and
// the library search of the process narrowed to match.
#pragma once
#include "platform/Platform.h"

namespace tarvel {

// Keeps the current directory and other unsafe places out of the library
// search, where the system offers the means.
void HardenLibrarySearch();

// Null when loading failed; ERROR_FILENAME_EXCED_RANGE when the full path
// would not fit.
HMODULE LoadSystemLibrary(const char* name);

// A function of a loaded module by name, typed; null when it is missing.
template <typename Fn>
Fn LookUpProc(HMODULE module, const char* name) {
    // Through the generic function type, which every function type
    // converts to and from without a cast warning.
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace tarvel
