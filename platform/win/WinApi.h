// The Windows services as the real Windows offers them. kernel32 is the only
// library the exe imports; the services of user32, shlwapi, setupapi and
// cfgmgr32 are declared here in namespace tarvel, where the program's calls
// find them, and bind on first use to the library loaded by full path from
// the system directory (see Bind.cpp).
#pragma once

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00
#endif
#define WIN32_LEAN_AND_MEAN
// The SDK headers declare the bound-on-first-use services in the global
// namespace as well. A call with a handle or structure argument would then
// find both declarations through argument-dependent lookup and be
// ambiguous, so the SDK's declarations are parked under other names.
#define wsprintfA sdk_unused_wsprintfA
#define wvsprintfA sdk_unused_wvsprintfA
#define CharUpperA sdk_unused_CharUpperA
#define IsWindowVisible sdk_unused_IsWindowVisible
#define GetWindowThreadProcessId sdk_unused_GetWindowThreadProcessId
#define SetupDiGetClassDevsA sdk_unused_SetupDiGetClassDevsA
#define SetupDiEnumDeviceInfo sdk_unused_SetupDiEnumDeviceInfo
#define SetupDiEnumDeviceInterfaces sdk_unused_SetupDiEnumDeviceInterfaces
#define SetupDiGetDeviceInterfaceDetailA sdk_unused_SetupDiGetDeviceInterfaceDetailA
#define SetupDiDestroyDeviceInfoList sdk_unused_SetupDiDestroyDeviceInfoList
#define CM_Get_Device_IDA sdk_unused_CM_Get_Device_IDA
#define CM_Get_DevNode_Status sdk_unused_CM_Get_DevNode_Status
#define CM_Get_Child sdk_unused_CM_Get_Child
#define CM_Get_Sibling sdk_unused_CM_Get_Sibling
#define CM_Get_DevNode_Registry_PropertyW sdk_unused_CM_Get_DevNode_Registry_PropertyW
#include <windows.h>
#include <winioctl.h>
#include <setupapi.h>
#include <cfgmgr32.h>
#include <usbioctl.h>
#undef wsprintfA
#undef wvsprintfA
#undef CharUpperA
#undef IsWindowVisible
#undef GetWindowThreadProcessId
#undef SetupDiGetClassDevsA
#undef SetupDiEnumDeviceInfo
#undef SetupDiEnumDeviceInterfaces
#undef SetupDiGetDeviceInterfaceDetailA
#undef SetupDiDestroyDeviceInfoList
#undef CM_Get_Device_IDA
#undef CM_Get_DevNode_Status
#undef CM_Get_Child
#undef CM_Get_Sibling
#undef CM_Get_DevNode_Registry_PropertyW
#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#ifndef ERROR_FILENAME_EXCED_RANGE
#define ERROR_FILENAME_EXCED_RANGE 206
#endif

namespace tarvel {

// Looked up by name with GetProcAddress, never called directly.
typedef BOOL(WINAPI* SetDllDirectoryA_t)(LPCSTR);
typedef BOOL(WINAPI* SetDefaultDllDirectories_t)(DWORD);
typedef BOOL(WINAPI* IsWow64Process_t)(HANDLE, BOOL*);
typedef LONG(WINAPI* RtlGetVersion_t)(RTL_OSVERSIONINFOEXW*);
typedef BOOL(WINAPI* GetFileVersionInfoA_t)(LPCSTR, DWORD, DWORD, LPVOID);
typedef BOOL(WINAPI* VerQueryValueA_t)(LPCVOID, LPCSTR, LPVOID*, PUINT);

// ---- user32 ----
int wsprintfA(LPSTR out, LPCSTR format, ...);
int wvsprintfA(LPSTR out, LPCSTR format, va_list args);
LPSTR CharUpperA(LPSTR text);
BOOL IsWindowVisible(HWND window);
DWORD GetWindowThreadProcessId(HWND window, LPDWORD processId);

// ---- shlwapi ----
PCSTR StrStrA(PCSTR text, PCSTR search);
PCSTR StrStrIA(PCSTR text, PCSTR search);
BOOL StrTrimA(PSTR text, PCSTR trim);
int StrToIntA(PCSTR text);

// ---- setupapi ----
HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, PCSTR enumerator, HWND parent, DWORD flags);
BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA data);
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device, const GUID* classGuid,
                                 DWORD index, PSP_DEVICE_INTERFACE_DATA data);
BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                      PDWORD required, PSP_DEVINFO_DATA device);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);

// ---- cfgmgr32 ----
CONFIGRET CM_Get_Device_IDA(DEVINST node, PSTR buffer, ULONG length, ULONG flags);
CONFIGRET CM_Get_DevNode_Status(PULONG status, PULONG problem, DEVINST node, ULONG flags);
CONFIGRET CM_Get_Child(PDEVINST child, DEVINST node, ULONG flags);
CONFIGRET CM_Get_Sibling(PDEVINST sibling, DEVINST node, ULONG flags);
CONFIGRET CM_Get_DevNode_Registry_PropertyW(DEVINST node, ULONG property, PULONG type,
                                            PVOID buffer, PULONG length, ULONG flags);

// The interface classes the walk asks for (defined in platform/Guids.cpp,
// so that no import library is needed for them).
extern const GUID GUID_DEVINTERFACE_USB_HOST_CONTROLLER;
extern const GUID GUID_DEVINTERFACE_USB_HUB;

}  // namespace tarvel
