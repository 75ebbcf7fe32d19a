// Loading a system library by full path from the system directory only.
#pragma once
#include "platform/Platform.h"

namespace tarvel {

// Null when loading failed; ERROR_FILENAME_EXCED_RANGE when the full path
// would not fit.
HMODULE LoadSystemLibrary(const char* name);

}  // namespace tarvel
