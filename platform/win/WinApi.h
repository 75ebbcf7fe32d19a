// The Windows services as the real Windows offers them: the SDK's headers.
// kernel32 is the only library the exe imports; the services of user32,
// shlwapi, setupapi and cfgmgr32 are declared in namespace tarvel, where the
// program's calls find them (platform/LateBound.h), and bind on first use
// (Bind.cpp).
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
#define GetClassNameA sdk_unused_GetClassNameA
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
#undef GetClassNameA
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

#include "platform/LateBound.h"
