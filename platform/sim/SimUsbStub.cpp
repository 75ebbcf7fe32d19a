// Placeholder until the simulated USB stack lands: a machine without USB.
#include "platform/Platform.h"
#include "platform/sim/Sim.h"

namespace tarvel::sim {

bool ParseUsbSection(const nlohmann::json& usb, UsbSection& out, std::string& error) {
    if (!usb.is_null()) {
        error = "usb: not supported yet";
        return false;
    }
    out.raw = usb;
    return true;
}

void ResetUsbState(const UsbSection&) {}

const char* DemoMachineJson() { return "{\"clock\": \"real\"}"; }

}  // namespace tarvel::sim

namespace tarvel {

const GUID GUID_DEVINTERFACE_USB_HOST_CONTROLLER = {
    0x3ABF6F2D, 0x71C4, 0x462A, {0x8A, 0x92, 0x1E, 0x68, 0x61, 0xE6, 0xAF, 0x27}};
const GUID GUID_DEVINTERFACE_USB_HUB = {
    0xF18A0E88, 0xC30C, 0x11D0, {0x88, 0x15, 0x00, 0xA0, 0xC9, 0x06, 0xBE, 0xD8}};

HDEVINFO SetupDiGetClassDevsA(const GUID* guid, PCSTR, HWND, DWORD) {
    sim::Trace("SetupDiGetClassDevsA %s -> fail",
               guid == &GUID_DEVINTERFACE_USB_HUB ? "hub" : "hostcontroller");
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
}
BOOL SetupDiEnumDeviceInfo(HDEVINFO, DWORD, PSP_DEVINFO_DATA) { return FALSE; }
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD,
                                 PSP_DEVICE_INTERFACE_DATA) { return FALSE; }
BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO, PSP_DEVICE_INTERFACE_DATA,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A, DWORD, PDWORD,
                                      PSP_DEVINFO_DATA) { return FALSE; }
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO) { return FALSE; }
CONFIGRET CM_Get_Device_IDA(DEVINST, PSTR, ULONG, ULONG) { return CR_INVALID_DEVNODE; }
CONFIGRET CM_Get_DevNode_Status(PULONG, PULONG, DEVINST, ULONG) { return CR_INVALID_DEVNODE; }
CONFIGRET CM_Get_Child(PDEVINST, DEVINST, ULONG) { return CR_INVALID_DEVNODE; }
CONFIGRET CM_Get_Sibling(PDEVINST, DEVINST, ULONG) { return CR_INVALID_DEVNODE; }
CONFIGRET CM_Get_DevNode_Registry_PropertyW(DEVINST, ULONG, PULONG, PVOID, PULONG, ULONG) {
    return CR_INVALID_DEVNODE;
}
HANDLE CreateFileA(LPCSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
    sim::Trace("CreateFileA %s -> fail", path);
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}
BOOL CloseHandle(HANDLE) { return FALSE; }
BOOL DeviceIoControl(HANDLE, DWORD, LPVOID, DWORD, LPVOID, DWORD, LPDWORD, LPOVERLAPPED) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

}  // namespace tarvel
