#include "runtime/CConsole.h"
#include "sysinfo/ErrorNames.h"
#include "usb/NodeProperty.h"
#include "usb/UsbText.h"

namespace tarvel {

namespace {

const ULONG kPropertyBufferSize = 2048;

// Registry texts are shown on the console, so they follow its code page;
// redirected output goes to files that are read in the ANSI code page.
UINT PropertyCodePage() {
    if (Console == NULL || Console->StdOutRedirected) return CP_ACP;
    return GetConsoleOutputCP();
}

}  // namespace

bool ReadNodeProperty(DEVINST node, ULONG property, char* field, int width) {
    WCHAR value[kPropertyBufferSize / sizeof(WCHAR)];
    ULONG type = 0;
    ULONG length = kPropertyBufferSize;
    CONFIGRET cr = CM_Get_DevNode_Registry_PropertyW(node, property, &type, value, &length, 0);
    if (cr != CR_SUCCESS) {
        FailureText(field, width, GetCrName(cr));
        return false;
    }
    // A registry text may be stored without its terminator: only the bytes
    // the call returned are the value, the rest of the buffer is stale.
    ULONG bytes = length < kPropertyBufferSize ? length : kPropertyBufferSize;
    WideToText(PropertyCodePage(), value, int(bytes / sizeof(WCHAR)), field, width);
    return true;
}

}  // namespace tarvel
