// The process entry.
#include "app/Program.h"
#include "runtime/CRTreplace.h"
#include "runtime/CmdLine.h"
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

void Entry() {
    HardenLibrarySearch();
    SetHeapHandle(GetProcessHeap());
    static char* args[kMaxArgs];
    int count = 0;
    SplitCommandLine(count, args);
    ExitProcess(main(count, args));
}

}  // namespace tarvel
