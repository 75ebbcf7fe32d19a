// The process entry.
#include "app/Program.h"
#include "runtime/CRTreplace.h"
#include "runtime/CmdLine.h"
#include "sysinfo/SysLib.h"

namespace tarvel {

void Entry() {
    HardenLibrarySearch();
    SetHeapHandle(GetProcessHeap());
    static char* args[kMaxArgs];
    int count = 0;
    SplitCommandLine(count, args);
    ExitProcess(main(count, args));
}

}  // namespace tarvel
