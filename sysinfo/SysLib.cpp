// Loads a library from the system directory and from nowhere else, so that
// a planted copy beside the program or in the current directory is never
// picked up.
#include "sysinfo/SysLib.h"

namespace tarvel {

void HardenLibrarySearch() {
    // Looked up by name: older systems lack one or both.
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    auto setDllDirectory = LookUpProc<SetDllDirectoryA_t>(kernel32, "SetDllDirectoryA");
    if (setDllDirectory != NULL) setDllDirectory("");
    auto setDefaultDirectories =
        LookUpProc<SetDefaultDllDirectories_t>(kernel32, "SetDefaultDllDirectories");
    if (setDefaultDirectories != NULL) setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

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
