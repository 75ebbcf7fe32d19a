// The services the exe does not import: user32, shlwapi, setupapi and
// cfgmgr32, declared once for both backends. The Windows backend binds each
// on its first call to the library loaded by full path from the system
// directory (win/Bind.cpp); the simulated machine always has them.
//
// Where the library cannot be loaded or lacks the function, the call does
// not crash: it answers as written beside it, with the last error of the
// failed load or lookup, so that the program reports it like any other
// failure. Included by each backend's WinApi.h once its types are declared.
#pragma once

#include <stdarg.h>

namespace tarvel {

// Looked up by name with GetProcAddress, never called directly: a system
// without one answers a null pointer, which every caller checks.
typedef BOOL(WINAPI* SetDllDirectoryA_t)(LPCSTR);                             // kernel32
typedef BOOL(WINAPI* SetDefaultDllDirectories_t)(DWORD);                      // kernel32
typedef BOOL(WINAPI* IsWow64Process_t)(HANDLE, BOOL*);                        // kernel32
typedef LONG(WINAPI* RtlGetVersion_t)(RTL_OSVERSIONINFOEXW*);                 // ntdll
typedef BOOL(WINAPI* GetFileVersionInfoA_t)(LPCSTR, DWORD, DWORD, LPVOID);    // version.dll
typedef BOOL(WINAPI* VerQueryValueA_t)(LPCVOID, LPCSTR, LPVOID*, UINT*);      // version.dll

// ---- user32 ----
// Missing: 0, and out (if any) the empty text.
int wsprintfA(LPSTR out, LPCSTR format, ...);
// Missing: 0, and out (if any) the empty text.
int wvsprintfA(LPSTR out, LPCSTR format, va_list args);
// Missing: text, left as it was.
LPSTR CharUpperA(LPSTR text);
// Missing: FALSE.
BOOL IsWindowVisible(HWND window);
// Missing: 0, and *processId (if given) 0.
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);
// Missing: 0, name left as it was.
int GetClassNameA(HWND window, LPSTR name, int size);

// ---- shlwapi ----
// Missing: null, as for a text not found.
PCSTR StrStrA(PCSTR text, PCSTR search);
// Missing: null, as for a text not found.
PCSTR StrStrIA(PCSTR text, PCSTR search);
// Missing: FALSE, text left as it was.
BOOL StrTrimA(PSTR text, PCSTR trim);
// Missing: 0.
int StrToIntA(PCSTR text);

// ---- setupapi ----
// Missing: INVALID_HANDLE_VALUE.
HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags);
// Missing: FALSE.
BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA data);
// Missing: FALSE.
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device, const GUID* classGuid,
                                 DWORD index, PSP_DEVICE_INTERFACE_DATA data);
// Missing: FALSE, nothing written.
BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                      PDWORD required, PSP_DEVINFO_DATA device);
// Missing: FALSE.
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);

// ---- cfgmgr32 (its own, not setupapi's copies) ----
// Missing: CR_FAILURE, nothing written.
CONFIGRET CM_Get_Device_IDA(DEVINST node, PSTR buffer, ULONG length, ULONG flags);
// Missing: CR_FAILURE, nothing written.
CONFIGRET CM_Get_DevNode_Status(PULONG status, PULONG problem, DEVINST node, ULONG flags);
// Missing: CR_FAILURE, nothing written.
CONFIGRET CM_Get_Child(PDEVINST child, DEVINST node, ULONG flags);
// Missing: CR_FAILURE, nothing written.
CONFIGRET CM_Get_Sibling(PDEVINST sibling, DEVINST node, ULONG flags);
// Missing: CR_FAILURE, nothing written.
CONFIGRET CM_Get_DevNode_Registry_PropertyW(DEVINST node, ULONG property, PULONG type,
                                            PVOID buffer, PULONG length, ULONG flags);

}  // namespace tarvel
