// The services of user32, shlwapi, setupapi and cfgmgr32, bound on first
// use. The exe imports kernel32 alone, so it starts on a system where these
// libraries are missing or broken, and it never takes them from the current
// directory or from beside the exe: each library is loaded by its full path
// in the system directory. A service that cannot be bound fails the way its
// call fails (the last error is that of the load or lookup), so the program
// reports it like any other failure instead of crashing.
#include "platform/Platform.h"

#include <shlwapi.h>
#include <winver.h>

namespace tarvel {

namespace {

// Each service is called through a pointer of exactly the type the SDK
// declares for it. In the 32-bit build the calling convention (WINAPI,
// callee pops) is part of that type: a pointer of another one would still
// compile and call, and leave the stack off by the arguments' size.
template <class Ours, class Sdk>
constexpr bool kSameType = false;
template <class T>
constexpr bool kSameType<T, T> = true;
// x86-64's va_list carries an attribute that a template argument drops, on
// both sides alike.
#pragma GCC diagnostic ignored "-Wignored-attributes"
#define AS_DECLARED(type, sdk) \
    static_assert(kSameType<type, decltype(&sdk)>, #sdk ": not the SDK's type")

// The ones looked up elsewhere: version.dll and kernel32 (sysinfo/).
AS_DECLARED(GetFileVersionInfoA_t, ::GetFileVersionInfoA);
AS_DECLARED(VerQueryValueA_t, ::VerQueryValueA);
AS_DECLARED(SetDllDirectoryA_t, ::SetDllDirectoryA);
AS_DECLARED(SetDefaultDllDirectories_t, ::SetDefaultDllDirectories);
AS_DECLARED(IsWow64Process_t, ::IsWow64Process);

struct LazyLibrary {
    const char* Name;
    HMODULE Module;
    DWORD LoadError;  // nonzero once a load has failed; not retried
};

LazyLibrary User32 = {"user32.dll", nullptr, 0};
LazyLibrary Shlwapi = {"shlwapi.dll", nullptr, 0};
LazyLibrary SetupApi = {"setupapi.dll", nullptr, 0};
LazyLibrary CfgMgr32 = {"cfgmgr32.dll", nullptr, 0};

HMODULE LoadFromSystemDirectory(LazyLibrary& lib) {
    if (lib.Module) return lib.Module;
    if (!lib.LoadError) {
        char path[MAX_PATH + 16];
        UINT length = GetSystemDirectoryA(path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcatA(path, "\\");
            lstrcatA(path, lib.Name);
            lib.Module = LoadLibraryA(path);
        }
        if (!lib.Module) {
            DWORD error = GetLastError();
            lib.LoadError = error ? error : ERROR_MOD_NOT_FOUND;
        }
    }
    if (!lib.Module) SetLastError(lib.LoadError);
    return lib.Module;
}

// Fills `fn` on the first call that succeeds; null means "fail the call".
template <class Fn>
bool Bind(LazyLibrary& lib, const char* name, Fn& fn) {
    if (!fn) {
        HMODULE module = LoadFromSystemDirectory(lib);
        if (!module) return false;
        FARPROC proc = GetProcAddress(module, name);
        // FARPROC is only a placeholder type; the real one is Fn.
        fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
    }
    return fn != nullptr;
}

}  // namespace

// ---- user32 ----

int wvsprintfA(LPSTR out, LPCSTR format, va_list args) {
    static int(WINAPI * fn)(LPSTR, LPCSTR, va_list);
    AS_DECLARED(decltype(fn), ::sdk_unused_wvsprintfA);
    if (!Bind(User32, "wvsprintfA", fn)) {
        if (out) out[0] = '\0';  // callers may print the buffer anyway
        return 0;
    }
    return fn(out, format, args);
}

LPSTR CharUpperA(LPSTR text) {
    static LPSTR(WINAPI * fn)(LPSTR);
    AS_DECLARED(decltype(fn), ::sdk_unused_CharUpperA);
    if (!Bind(User32, "CharUpperA", fn)) return text;  // left as it was
    return fn(text);
}

BOOL IsWindowVisible(HWND window) {
    static BOOL(WINAPI * fn)(HWND);
    AS_DECLARED(decltype(fn), ::sdk_unused_IsWindowVisible);
    if (!Bind(User32, "IsWindowVisible", fn)) return FALSE;
    return fn(window);
}

DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId) {
    static DWORD(WINAPI * fn)(HWND, LPDWORD);
    AS_DECLARED(decltype(fn), ::sdk_unused_GetWindowThreadProcessId);
    if (!Bind(User32, "GetWindowThreadProcessId", fn)) {
        if (processId) *processId = 0;
        return 0;
    }
    return fn(window, processId);
}

int GetClassNameA(HWND window, LPSTR name, int size) {
    static int(WINAPI * fn)(HWND, LPSTR, int);
    AS_DECLARED(decltype(fn), ::sdk_unused_GetClassNameA);
    if (!Bind(User32, "GetClassNameA", fn)) return 0;
    return fn(window, name, size);
}

// ---- shlwapi ----

PCSTR StrStrA(PCSTR text, PCSTR search) {
    static LPSTR(WINAPI * fn)(LPCSTR, LPCSTR);
    AS_DECLARED(decltype(fn), ::StrStrA);
    if (!Bind(Shlwapi, "StrStrA", fn)) return nullptr;
    return fn(text, search);
}

PCSTR StrStrIA(PCSTR text, PCSTR search) {
    static LPSTR(WINAPI * fn)(LPCSTR, LPCSTR);
    AS_DECLARED(decltype(fn), ::StrStrIA);
    if (!Bind(Shlwapi, "StrStrIA", fn)) return nullptr;
    return fn(text, search);
}

BOOL StrTrimA(PSTR text, PCSTR trim) {
    static BOOL(WINAPI * fn)(PSTR, PCSTR);
    AS_DECLARED(decltype(fn), ::StrTrimA);
    if (!Bind(Shlwapi, "StrTrimA", fn)) return FALSE;
    return fn(text, trim);
}

int StrToIntA(PCSTR text) {
    static int(WINAPI * fn)(PCSTR);
    AS_DECLARED(decltype(fn), ::StrToIntA);
    if (!Bind(Shlwapi, "StrToIntA", fn)) return 0;
    return fn(text);
}

// ---- setupapi ----

HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags) {
    static HDEVINFO(WINAPI * fn)(const GUID*, PCSTR, HWND, DWORD);
    AS_DECLARED(decltype(fn), ::sdk_unused_SetupDiGetClassDevsA);
    if (!Bind(SetupApi, "SetupDiGetClassDevsA", fn)) return INVALID_HANDLE_VALUE;
    return fn(classGuid, enumerator, parent, flags);
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA data) {
    static BOOL(WINAPI * fn)(HDEVINFO, DWORD, PSP_DEVINFO_DATA);
    AS_DECLARED(decltype(fn), ::sdk_unused_SetupDiEnumDeviceInfo);
    if (!Bind(SetupApi, "SetupDiEnumDeviceInfo", fn)) return FALSE;
    return fn(set, index, data);
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device, const GUID* classGuid,
                                 DWORD index, PSP_DEVICE_INTERFACE_DATA data) {
    static BOOL(WINAPI * fn)(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                             PSP_DEVICE_INTERFACE_DATA);
    AS_DECLARED(decltype(fn), ::sdk_unused_SetupDiEnumDeviceInterfaces);
    if (!Bind(SetupApi, "SetupDiEnumDeviceInterfaces", fn)) return FALSE;
    return fn(set, device, classGuid, index, data);
}

BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                      PDWORD required, PSP_DEVINFO_DATA device) {
    static BOOL(WINAPI * fn)(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                             PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD, PDWORD,
                             PSP_DEVINFO_DATA);
    AS_DECLARED(decltype(fn), ::sdk_unused_SetupDiGetDeviceInterfaceDetailA);
    if (!Bind(SetupApi, "SetupDiGetDeviceInterfaceDetailA", fn)) return FALSE;
    return fn(set, data, detail, size, required, device);
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    static BOOL(WINAPI * fn)(HDEVINFO);
    AS_DECLARED(decltype(fn), ::sdk_unused_SetupDiDestroyDeviceInfoList);
    if (!Bind(SetupApi, "SetupDiDestroyDeviceInfoList", fn)) return FALSE;
    return fn(set);
}

// ---- cfgmgr32 ----
// Taken from cfgmgr32.dll, not from the copies setupapi.dll exports, so
// that a cfgmgr32 of the system's own is what answers.

CONFIGRET CM_Get_Device_IDA(DEVINST node, PSTR buffer, ULONG length, ULONG flags) {
    static CONFIGRET(WINAPI * fn)(DEVINST, PSTR, ULONG, ULONG);
    AS_DECLARED(decltype(fn), ::sdk_unused_CM_Get_Device_IDA);
    if (!Bind(CfgMgr32, "CM_Get_Device_IDA", fn)) return CR_FAILURE;
    return fn(node, buffer, length, flags);
}

CONFIGRET CM_Get_DevNode_Status(PULONG status, PULONG problem, DEVINST node, ULONG flags) {
    static CONFIGRET(WINAPI * fn)(PULONG, PULONG, DEVINST, ULONG);
    AS_DECLARED(decltype(fn), ::sdk_unused_CM_Get_DevNode_Status);
    if (!Bind(CfgMgr32, "CM_Get_DevNode_Status", fn)) return CR_FAILURE;
    return fn(status, problem, node, flags);
}

CONFIGRET CM_Get_Child(PDEVINST child, DEVINST node, ULONG flags) {
    static CONFIGRET(WINAPI * fn)(PDEVINST, DEVINST, ULONG);
    AS_DECLARED(decltype(fn), ::sdk_unused_CM_Get_Child);
    if (!Bind(CfgMgr32, "CM_Get_Child", fn)) return CR_FAILURE;
    return fn(child, node, flags);
}

CONFIGRET CM_Get_Sibling(PDEVINST sibling, DEVINST node, ULONG flags) {
    static CONFIGRET(WINAPI * fn)(PDEVINST, DEVINST, ULONG);
    AS_DECLARED(decltype(fn), ::sdk_unused_CM_Get_Sibling);
    if (!Bind(CfgMgr32, "CM_Get_Sibling", fn)) return CR_FAILURE;
    return fn(sibling, node, flags);
}

CONFIGRET CM_Get_DevNode_Registry_PropertyW(DEVINST node, ULONG property, PULONG type,
                                            PVOID buffer, PULONG length, ULONG flags) {
    static CONFIGRET(WINAPI * fn)(DEVINST, ULONG, PULONG, PVOID, PULONG, ULONG);
    AS_DECLARED(decltype(fn), ::sdk_unused_CM_Get_DevNode_Registry_PropertyW);
    if (!Bind(CfgMgr32, "CM_Get_DevNode_Registry_PropertyW", fn)) return CR_FAILURE;
    return fn(node, property, type, buffer, length, flags);
}

}  // namespace tarvel
