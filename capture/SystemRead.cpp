// The system and console answers that shape a run besides the USB stack.
#include "capture/Texts.h"
#include "runtime/CRTreplace.h"
#include "sysinfo/SysLib.h"
#include "sysinfo/Version.h"

namespace tarvel::capture {

namespace {

const DWORD kPathArea = 32768;

// A path from a call that answers its length: all of it, zero bytes too.
template <class Call>
Text ReadPath(Machine& m, Call call) {
    char* area = static_cast<char*>(HeapNew(kPathArea + 1));
    DWORD length = call(area, kPathArea);
    if (length > kPathArea) length = 0;
    Text text = AnsiText(m, area, int(length));
    HeapDelete(area);
    return text;
}

// The fixed version block of a file, read as the program reads its own;
// the file keeps all 16 bits of each part, of which the program keeps 8.
bool ReadFileVersion(HMODULE versionDll, const char* path, WORD parts[4]) {
    VS_FIXEDFILEINFO info;
    if (ReadFixedFileInfo(versionDll, path, info) <= 0) return false;
    parts[0] = WORD(info.dwFileVersionMS >> 16);
    parts[1] = WORD(info.dwFileVersionMS);
    parts[2] = WORD(info.dwFileVersionLS >> 16);
    parts[3] = WORD(info.dwFileVersionLS);
    return true;
}

void ReadVersions(Machine& m) {
    SystemInfo& s = m.System;
    HMODULE versionDll = LoadSystemLibrary("version.dll");
    if (!versionDll) {
        s.VersionDll = "missing";
        return;
    }
    bool getInfo = GetProcAddress(versionDll, "GetFileVersionInfoA") != NULL;
    bool query = GetProcAddress(versionDll, "VerQueryValueA") != NULL;
    s.VersionDll = getInfo && query ? "ok" : "no_functions";
    if (getInfo && !query)
        Note(m, "version.dll lacks VerQueryValueA alone; the file says it lacks "
                "GetFileVersionInfoA.");
    if (getInfo && query) {
        char ntdll[MAX_PATH * 2];
        char system[MAX_PATH];
        UINT length = GetSystemDirectoryA(system, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            wsprintfA(ntdll, "%s\\ntdll.dll", system);
            s.NtdllVersionOk = ReadFileVersion(versionDll, ntdll, s.NtdllVersion);
        }
        char* self = static_cast<char*>(HeapNew(kPathArea + 1));
        GetModuleFileNameA(NULL, self, kPathArea);
        s.ExeVersionOk = ReadFileVersion(versionDll, self, s.ExeVersion);
        HeapDelete(self);
    }
    FreeLibrary(versionDll);
}

void ReadOsVersion(Machine& m) {
    SystemInfo& s = m.System;
    RTL_OSVERSIONINFOEXW rtl;
    int asked = AskRtlGetVersion(rtl);
    s.RtlGetVersion = asked < 0 ? "missing" : asked > 0 ? "ok" : "fails";
    if (asked >= 0 && rtl.dwMajorVersion != 0) return CopyVersionFields(rtl, s);
    // The program reads nothing more where RtlGetVersion fails (the file
    // says it fails), but the file's version is also what GetVersionExA
    // answers in the replay: the system's answer to it is the one to keep.
    OSVERSIONINFOEXA info;
    AskGetVersionEx(info);
    CopyVersionFields(info, s);
}

void ReadKernel32(Machine& m) {
    SystemInfo& s = m.System;
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    auto isWow64 = LookUpProc<IsWow64Process_t>(kernel32, "IsWow64Process");
    BOOL wow64 = FALSE;
    if (isWow64) isWow64(GetCurrentProcess(), &wow64);
    // The product is a 32-bit program: on a 64-bit system it runs under
    // WOW64, whichever width of the capture asked.
    if (isWow64 && lstrcmpA(PlatformText, "x64") == 0) {
        wow64 = TRUE;
        Note(m, "Captured by the 64-bit build: \"wow64\" is what the 32-bit program sees on "
                "this 64-bit system.");
    }
    s.Wow64 = !isWow64 ? "missing" : wow64 ? "true" : "false";
    bool setDll = GetProcAddress(kernel32, "SetDllDirectoryA") != NULL;
    bool setDefault = GetProcAddress(kernel32, "SetDefaultDllDirectories") != NULL;
    s.DllDirectoryFunctions = setDll && setDefault;
    if (setDll != setDefault)
        Note(m, "kernel32 exports only one of SetDllDirectoryA and SetDefaultDllDirectories; "
                "the file says it exports neither.");
}

const char* FileTypeName(HANDLE handle) {
    switch (GetFileType(handle)) {
    case FILE_TYPE_CHAR: return "console";
    case FILE_TYPE_PIPE: return "pipe";
    default: return "file";
    }
}

}  // namespace

void ReadSystem(Machine& m) {
    SystemInfo& s = m.System;
    s.ExePath = ReadPath(m, [](char* area, DWORD size) {
        return GetModuleFileNameA(NULL, area, size);
    });
    s.SystemDirectory = ReadPath(m, [](char* area, DWORD size) {
        return DWORD(GetSystemDirectoryA(area, size));
    });
    ReadOsVersion(m);
    ReadVersions(m);
    ReadKernel32(m);
}

void ReadConsole(Machine& m) {
    ConsoleInfo& c = m.Console;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    c.Stdout = FileTypeName(out);
    c.Stderr = FileTypeName(GetStdHandle(STD_ERROR_HANDLE));
    c.AnsiCp = GetACP();
    c.OutputCp = GetConsoleOutputCP();
    CPINFOEXA info;
    MemFill(&info, 0, sizeof info);
    c.CpInfo = GetCPInfoExA(lstrcmpA(c.Stdout, "console") == 0 ? c.OutputCp : c.AnsiCp, 0,
                            &info) != FALSE;
    HWND window = GetConsoleWindow();
    DWORD owner = 0;
    char name[32];
    bool visible = IsWindowVisible(window) != FALSE;
    if (window) GetWindowThreadProcessId(window, &owner);
    bool pseudo = window && !visible && GetClassNameA(window, name, sizeof name) > 0 &&
                  lstrcmpiA(name, "PseudoConsoleWindow") == 0;
    c.Window = !window                         ? "none"
               : pseudo                        ? "pseudo"
               : !visible                      ? "hidden"
               : owner == GetCurrentProcessId() ? "own"
                                                : "other";
    // An area of one answers the count alone. Without a console the call
    // fails; the program asks only where there is one.
    DWORD first = 0;
    c.Processes = GetConsoleProcessList(&first, 1);
    if (c.Processes == 0) c.Processes = 1;
    // The program's SetConsoleMode on its input succeeds exactly where this
    // does, and this leaves the user's console as it is.
    DWORD mode = 0;
    c.Stdin = GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) ? "console" : "redirected";
    CONSOLE_SCREEN_BUFFER_INFO screen;
    MemFill(&screen, 0, sizeof screen);
    c.ScreenOk = GetConsoleScreenBufferInfo(out, &screen) != FALSE;
    c.ScreenAttributes = screen.wAttributes;
}

}  // namespace tarvel::capture
