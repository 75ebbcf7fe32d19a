// Writes an empty machine until the capture proper is merged.
#include "capture/Capture.h"
#include "runtime/CRTreplace.h"
#include "runtime/CmdLine.h"
#include "sysinfo/SysLib.h"

namespace tarvel {

int CaptureMain(int, char**) {
    static const char kEmpty[] = "{}\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), kEmpty, sizeof kEmpty - 1, &written, NULL);
    return 0;
}

void CaptureEntry() {
    HardenLibrarySearch();
    SetHeapHandle(GetProcessHeap());
    static char* args[kMaxArgs];
    int count = 0;
    SplitCommandLine(count, args);
    ExitProcess(CaptureMain(count, args));
}

}  // namespace tarvel
