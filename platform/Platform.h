// The one header through which the program reaches Windows. Everything the
// program calls or reads of the system is declared here, by backend:
// the real Windows headers in the Windows builds, the simulated machine's
// declarations on Linux. The program's own code lives in namespace tarvel.
#pragma once

#if defined(_WIN32)
#include "platform/win/WinApi.h"
#else
#include "platform/sim/WinApi.h"
#endif

namespace tarvel {

// The interface classes the walk asks for (Guids.cpp, so that no import
// library is needed for them).
extern const GUID GUID_DEVINTERFACE_USB_HOST_CONTROLLER;
extern const GUID GUID_DEVINTERFACE_USB_HUB;

// "Win32" in the product, "x64" in the 64-bit Windows build.
extern const char PlatformText[];
}
