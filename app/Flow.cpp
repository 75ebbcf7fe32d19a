// The program flow: start-up, options and IDs, the listing or selection,
// the end-of-run wait and teardown.
#include "app/DeviceBlock.h"
#include "app/Program.h"
#include "runtime/CConsole.h"
#include "runtime/CRTreplace.h"
#include "runtime/CmdLine.h"
#include "sysinfo/ErrorNames.h"
#include "sysinfo/SysLib.h"
#include "usb/CUsbDevInfo.h"
#include "usb/Matching.h"

namespace tarvel {

BOOL NoAbout;
int WaitMs = -1;
int DebugLevel;
char* IdList[kMaxIds + 1];
FileVersionRecord ProgramVersion;

static const int kSystemDirSize = 64;
static const int kArgCopyMax = 255;

static char ProgramPath[MAX_PATH];
static char SystemDir[kSystemDirSize];
static CRITICAL_SECTION SpareLock;  // initialised and deleted, guards nothing

// main may run several times in one process (tests): start from scratch.
static void ResetSettings() {
    NoAbout = FALSE;
    WaitMs = -1;
    DebugLevel = 0;
    DiagLevel = 0;
    MemFill(IdList, 0, sizeof IdList);
}

static void StartUp() {
    GetModuleFileNameA(NULL, ProgramPath, MAX_PATH);
    ProgramPath[MAX_PATH - 1] = 0;
    // A directory that does not fit is left empty rather than cut.
    MemFill(SystemDir, 0, sizeof SystemDir);
    UINT length = GetSystemDirectoryA(SystemDir, kSystemDirSize);
    if (length == 0 || length >= kSystemDirSize) SystemDir[0] = 0;
    InitializeCriticalSection(&ResultTextLock);
    InitializeCriticalSection(&SpareLock);
    Sleep(1);
    GetOsVersionInfo(OsVersion, SystemDir);
    MemFill(&ProgramVersion, 0, sizeof ProgramVersion);
    GetFileVersionNumbers(ProgramPath, ProgramVersion);
}

static int ReadWaitValue(const char* text) {
    int ms = StrToIntA(text);
    return ms < 0 ? 0 : ms;
}

// False when the option is unknown or malformed: the usage is due.
static bool ReadOption(const char* arg) {
    char kind = arg[1];
    char next = arg[2];
    if (kind == 'D' && next == ':') {
        DebugLevel = StrToIntA(arg + 3);
        ClampInt(DebugLevel, 0, 3);
        DiagLevel = DebugLevel;
        return true;
    }
    if (kind == 'N' && next == 'A') {
        NoAbout = TRUE;
        return true;
    }
    if ((kind == 'N' || kind == 'W') && next == ':') {
        WaitMs = ReadWaitValue(arg + 3);
        return true;
    }
    return false;
}

// 0 when the run goes on, else the exit code of an early end.
static int ReadArguments(int argc, char** argv, CConsole& console) {
    int ids = 0;
    for (int i = 1; i < argc; i++) {
        char arg[MAX_PATH];
        lstrcpynA(arg, argv[i], kArgCopyMax + 1);
        CharUpperA(arg);
        if (arg[0] == '/') arg[0] = '-';
        if (lstrlenA(arg) < 2) continue;
        if (arg[0] == '-') {
            if (ReadOption(arg)) continue;
            PrintUsage();
            console.Wait4KeyIfStartedStandalone();
            return 2;
        }
        if (ids == kMaxIds) {
            printf("\ntoo many IDs -> abort\n");
            console.Wait4KeyIfStartedStandalone();
            return 2;
        }
        IdList[ids++] = DupString(arg);
    }
    return 0;
}

static int ReportMatches(CUsbDevInfo& info) {
    int capacity = info.PortCount;
    UsbPortRecord** found =
        static_cast<UsbPortRecord**>(HeapNew(capacity * sizeof(UsbPortRecord*)));
    int count = info.FindDevices(IdList, found, capacity);
    if (count > capacity) count = capacity;
    int exitCode = 4;
    if (count > 0) {
        if (!NoAbout) printf("\nMatching USB device%s:\n\n", count == 1 ? "" : "s");
        exitCode = 0;
        for (int i = 0; i < count; i++) {
            PrintDevice(*found[i]);
            // Any troubled device among several makes the run report it.
            if (DeviceStatus(*found[i]) == 3) exitCode = 3;
        }
    } else {
        printf("\nNo matching USB device found\n\n");
    }
    HeapDelete(found);
    return exitCode;
}

static int ListAll(CUsbDevInfo& info) {
    if (!NoAbout) printf("\nList of attached USB device:\n\n");
    for (int i = 0; i < info.PortCount; i++) PrintDevice(*info.Ports[i]);
    return 0;
}

static int Report(CUsbDevInfo& info) {
    if (info.PortCount == 0) {
        printf("\nNo USB devices found\n");
        return 0;
    }
    return IdList[0] != NULL ? ReportMatches(info) : ListAll(info);
}

static void ReleaseIds() {
    for (int i = 0; i < kMaxIds; i++) {
        HeapDelete(IdList[i]);
        IdList[i] = NULL;
    }
}

static void EndOfRunWait(CConsole& console) {
    if (WaitMs == -1)
        console.Wait4KeyIfStartedStandalone();
    else if (WaitMs != 0)
        Sleep(WaitMs);
}

static void DeleteLock(CRITICAL_SECTION& lock) {
    EnterCriticalSection(&lock);
    LeaveCriticalSection(&lock);
    DeleteCriticalSection(&lock);
}

static int Run(CConsole& console) {
    if (!NoAbout) PrintAbout();
    CUsbDevInfo* info = new CUsbDevInfo;
    info->Enumerate();
    int exitCode = Report(*info);
    ReleaseIds();
    EndOfRunWait(console);
    delete info;
    DeleteLock(ResultTextLock);
    DeleteLock(SpareLock);
    return exitCode;
}

static int EarlyEnd(CConsole& console) {
    if (CommandLineTooLong()) {
        printf("\ncommand line too long -> abort\n");
        console.Wait4KeyIfStartedStandalone();
        return 2;
    }
    return 0;
}

int main(int argc, char** argv) {
    ResetSettings();
    HardenLibrarySearch();
    SetHeapHandle(GetProcessHeap());
    CConsole console;
    Console = &console;
    StartUp();
    int exitCode = EarlyEnd(console);
    if (exitCode == 0) exitCode = ReadArguments(argc, argv, console);
    if (exitCode == 0) exitCode = Run(console);
    Console = NULL;  // the state lives on this frame only
    return exitCode;
}

}  // namespace tarvel
