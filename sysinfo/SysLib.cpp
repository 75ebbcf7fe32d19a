// Loads a library from the system directory and from nowhere else, so that
// a planted copy beside the program or in the current directory is never
// picked up.
#include "sysinfo/SysLib.h"

namespace tarvel {

HMODULE LoadSystemLibrary(const char* name) {
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    if (length == 0) return NULL;  // a bare name would search elsewhere
    if (length + 1 + lstrlenA(name) >= MAX_PATH) {
        SetLastError(ERROR_FILENAME_EXCED_RANGE);
        return NULL;
    }
    lstrcatA(path, "\\");
    lstrcatA(path, name);
    return LoadLibraryA(path);
}

}  // namespace tarvel
