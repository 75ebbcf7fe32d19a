// The platform the Windows builds name: tarvel's banner shows it.
#include "platform/Platform.h"

namespace tarvel {

#if defined(_WIN64)
const char PlatformText[] = "x64";
#else
const char PlatformText[] = "Win32";
#endif

}  // namespace tarvel
