// Names of Win32 error codes, CONFIGRET codes and operation results.
#include "sysinfo/ErrorNames.h"

namespace tarvel {

CRITICAL_SECTION ResultTextLock;

struct ErrorName {
    DWORD Code;
    const char* Name;
};

static const ErrorName kErrorNames[] = {
    {0, "ok"},
    {1, "INVALID_FUNCTION"},
    {2, "FILE_NOT_FOUND"},
    {3, "PATH_NOT_FOUND"},
    {5, "ACCESS_DENIED"},
    {6, "INVALID_HANDLE"},
    {8, "NOT_ENOUGH_MEMORY"},
    {18, "NO_MORE_FILES"},
    {19, "WRITE_PROTECT"},
    {31, "ERROR_GEN_FAILURE"},
    {32, "SHARING_VIOLATION"},
    {50, "NOT_SUPPORTED"},
    {87, "INVALID_PARAMETER"},
    {121, "SEM_TIMEOUT"},
    {123, "INVALID_NAME"},
    {161, "BAD_PATHNAME"},
    {170, "BUSY"},
    {183, "ALREADY_EXISTS"},
    {230, "BAD_PIPE"},
    {231, "PIPE_BUSY"},
    {232, "NO_DATA"},
    {233, "PIPE_NOT_CONNECTED"},
    {234, "MORE_DATA"},
    {433, "NO_SUCH_DEVICE"},
    {535, "PIPE_CONNECTED"},
    {536, "PIPE_LISTENING"},
    {997, "IO_PENDING"},
    {1117, "IO_DEVICE"},
    {1245, "NOT_LOGGED_ON"},
    {1355, "NO_SUCH_DOMAIN"},
    {1460, "TIMEOUT"},
};

static const char* const kCrNames[] = {
    "CR_SUCCESS", "CR_DEFAULT", "CR_OUT_OF_MEMORY", "CR_INVALID_POINTER",
    "CR_INVALID_FLAG", "CR_INVALID_DEVNODE", "CR_INVALID_RES_DES", "CR_INVALID_LOG_CONF",
    "CR_INVALID_ARBITRATOR", "CR_INVALID_NODELIST", "CR_DEVNODE_HAS_REQS",
    "CR_INVALID_RESOURCEID", "CR_DLVXD_NOT_FOUND", "CR_NO_SUCH_DEVNODE",
    "CR_NO_MORE_LOG_CONF", "CR_NO_MORE_RES_DES", "CR_ALREADY_SUCH_DEVNODE",
    "CR_INVALID_RANGE_LIST", "CR_INVALID_RANGE", "CR_FAILURE", "CR_NO_SUCH_LOGICAL_DEV",
    "CR_CREATE_BLOCKED", "CR_NOT_SYSTEM_VM", "CR_REMOVE_VETOED", "CR_APM_VETOED",
    "CR_INVALID_LOAD_TYPE", "CR_BUFFER_SMALL", "CR_NO_ARBITRATOR", "CR_NO_REGISTRY_HANDLE",
    "CR_REGISTRY_ERROR", "CR_INVALID_DEVICE_ID", "CR_INVALID_DATA", "CR_INVALID_API",
    "CR_DEVLOADER_NOT_READY", "CR_NEED_RESTART", "CR_NO_MORE_HW_PROFILES",
    "CR_DEVICE_NOT_THERE", "CR_NO_SUCH_VALUE", "CR_WRONG_TYPE", "CR_INVALID_PRIORITY",
    "CR_NOT_DISABLEABLE", "CR_FREE_RESOURCES", "CR_QUERY_VETOED", "CR_CANT_SHARE_IRQ",
    "CR_NO_DEPENDENT", "CR_SAME_RESOURCES", "CR_NO_SUCH_REGISTRY_KEY",
    "CR_INVALID_MACHINENAME", "CR_REMOTE_COMM_FAILURE", "CR_MACHINE_UNAVAILABLE",
    "CR_NO_CM_SERVICES", "CR_ACCESS_DENIED", "CR_CALL_NOT_IMPLEMENTED", "CR_INVALID_PROPERTY",
    "CR_DEVICE_INTERFACE_ACTIVE", "CR_NO_SUCH_DEVICE_INTERFACE", "CR_INVALID_REFERENCE_STRING",
    "CR_INVALID_CONFLICT_LIST", "CR_INVALID_INDEX", "CR_INVALID_STRUCTURE_SIZE",
};

static_assert(sizeof kErrorNames / sizeof kErrorNames[0] == 31, "error-name table");
static_assert(sizeof kCrNames / sizeof kCrNames[0] == 0x3C, "CONFIGRET-name table");

// Rotating buffers: a caller formats the text before the next call
// reuses its buffer, so nothing has to be allocated or freed.
static char NumericNames[10][12];
static int NumericIndex;
static char CrFallback[16];
static char ResultTexts[4][68];
static int ResultIndex;

const char* GetErrorName(DWORD code) {
    for (const ErrorName& entry : kErrorNames) {
        if (entry.Code == code) return entry.Name;
    }
    char* text = NumericNames[NumericIndex];
    if (++NumericIndex > 9) NumericIndex = 0;
    wsprintfA(text, code < 0x10000000 ? "%u" : "0x%X", code);
    return text;
}

const char* GetLastErrorName() { return GetErrorName(GetLastError()); }

const char* GetCrName(CONFIGRET code) {
    if (code <= 0x3B) return kCrNames[code];
    wsprintfA(CrFallback, "CR_0x%X", code);
    return CrFallback;
}

const char* GetResultText(int result) {
    EnterCriticalSection(&ResultTextLock);
    if (++ResultIndex >= 4) ResultIndex = 0;
    char* text = ResultTexts[ResultIndex];
    LeaveCriticalSection(&ResultTextLock);
    if (result != 0) {
        wsprintfA(text, "res=%i", result);
        return text;
    }
    // The caller may still want the operation's own error afterwards.
    DWORD saved = GetLastError();
    wsprintfA(text, "err=%s", GetLastErrorName());
    SetLastError(saved);
    return text;
}

}  // namespace tarvel
