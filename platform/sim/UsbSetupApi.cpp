// setupapi over the simulated USB stack: the host-controller and hub
// interface sets, one interface per member.
#include <cstring>

#include "platform/sim/Sim.h"
#include "platform/sim/UsbState.h"

namespace tarvel {

namespace {

using sim::UsbSetKind;

// The setup class of every USB device.
const GUID kUsbClass = {
    0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

bool SameGuid(const GUID* a, const GUID& b) { return a && memcmp(a, &b, sizeof b) == 0; }

const char* SetName(UsbSetKind kind) {
    return kind == UsbSetKind::HostController ? "hostcontroller"
           : kind == UsbSetKind::Hub          ? "hub"
                                              : "other";
}

const GUID& SetClass(UsbSetKind kind) {
    return kind == UsbSetKind::Hub ? GUID_DEVINTERFACE_USB_HUB
                                   : GUID_DEVINTERFACE_USB_HOST_CONTROLLER;
}

size_t MemberCount(UsbSetKind kind) {
    const sim::UsbSection& usb = sim::Usb();
    if (kind == UsbSetKind::HostController) return usb.controllers.size();
    if (kind == UsbSetKind::Hub) return usb.hub_set.size();
    return 0;
}

DEVINST MemberNode(UsbSetKind kind, size_t i) {
    const sim::UsbSection& usb = sim::Usb();
    if (kind == UsbSetKind::HostController) return usb.controllers[i].node;
    return usb.hubs[usb.hub_set[i]].node;
}

// Whether the interface of member i has a readable detail, and its path.
bool MemberDetail(UsbSetKind kind, size_t i, std::string& path) {
    const sim::UsbSection& usb = sim::Usb();
    if (kind == UsbSetKind::HostController) {
        path = usb.controllers[i].path;
        return usb.controllers[i].detail;
    }
    const sim::UsbHub& hub = usb.hubs[usb.hub_set[i]];
    path = hub.interface_path;
    return hub.interface_detail;
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

// The member an SP_DEVINFO_DATA names, as SetupDiEnumDeviceInfo filled it.
bool MemberOf(UsbSetKind kind, const SP_DEVINFO_DATA* device, size_t& member) {
    member = size_t(device->Reserved) - 1;
    return device->Reserved != 0 && member < MemberCount(kind);
}

void FillDevice(UsbSetKind kind, size_t member, SP_DEVINFO_DATA* device) {
    device->ClassGuid = kUsbClass;
    device->DevInst = MemberNode(kind, member);
    device->Reserved = member + 1;
}

}  // namespace

HDEVINFO SetupDiGetClassDevsA(const GUID* classGuid, PCSTR, HWND, DWORD flags) {
    const sim::UsbSection& usb = sim::Usb();
    UsbSetKind kind = UsbSetKind::Other;
    bool ok = true;
    if (SameGuid(classGuid, GUID_DEVINTERFACE_USB_HOST_CONTROLLER)) {
        kind = UsbSetKind::HostController;
        ok = usb.controller_set_ok;
    } else if (SameGuid(classGuid, GUID_DEVINTERFACE_USB_HUB)) {
        kind = UsbSetKind::Hub;
        ok = usb.hub_set_ok;
    }
    // Without DIGCF_DEVICEINTERFACE the GUID names a setup class: no interfaces.
    if (!(flags & DIGCF_DEVICEINTERFACE)) kind = UsbSetKind::Other;
    sim::Trace("SetupDiGetClassDevsA %s -> %s", SetName(kind), ok ? "ok" : "fail");
    if (!ok) {
        SetLastError(ERROR_GEN_FAILURE);
        return INVALID_HANDLE_VALUE;
    }
    return sim::OpenSet(kind);
}

BOOL SetupDiEnumDeviceInfo(HDEVINFO set, DWORD index, PSP_DEVINFO_DATA data) {
    UsbSetKind kind;
    if (!sim::FindSet(set, kind)) return Fail(ERROR_INVALID_HANDLE);
    if (!data || data->cbSize != sizeof(SP_DEVINFO_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
    if (index >= MemberCount(kind)) return Fail(ERROR_NO_MORE_ITEMS);
    FillDevice(kind, index, data);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA device, const GUID* classGuid,
                                 DWORD index, PSP_DEVICE_INTERFACE_DATA data) {
    UsbSetKind kind;
    if (!sim::FindSet(set, kind)) return Fail(ERROR_INVALID_HANDLE);
    if (!classGuid) return Fail(ERROR_INVALID_PARAMETER);
    if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return Fail(ERROR_INVALID_USER_BUFFER);
    size_t member = index;
    if (device) {
        // Each member has exactly one interface.
        if (device->cbSize != sizeof(SP_DEVINFO_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
        if (!MemberOf(kind, device, member)) return Fail(ERROR_INVALID_PARAMETER);
        if (index != 0) return Fail(ERROR_NO_MORE_ITEMS);
    }
    if (!SameGuid(classGuid, SetClass(kind)) || member >= MemberCount(kind))
        return Fail(ERROR_NO_MORE_ITEMS);
    data->InterfaceClassGuid = SetClass(kind);
    data->Flags = 1;  // SPINT_ACTIVE
    data->Reserved = member + 1;
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                      PDWORD required, PSP_DEVINFO_DATA device) {
    UsbSetKind kind;
    if (!sim::FindSet(set, kind)) return Fail(ERROR_INVALID_HANDLE);
    if (!data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return Fail(ERROR_INVALID_USER_BUFFER);
    size_t member = size_t(data->Reserved) - 1;
    if (data->Reserved == 0 || member >= MemberCount(kind)) return Fail(ERROR_INVALID_PARAMETER);
    if (detail ? detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) ||
                     size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)
               : size != 0)
        return Fail(ERROR_INVALID_USER_BUFFER);
    if (device && device->cbSize != sizeof(SP_DEVINFO_DATA))
        return Fail(ERROR_INVALID_USER_BUFFER);
    std::string path;
    if (!MemberDetail(kind, member, path)) return Fail(ERROR_GEN_FAILURE);
    path = sim::Ansi(path);
    DWORD needed = DWORD(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (required) *required = needed;
    if (device) FillDevice(kind, member, device);
    if (!detail || size < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
    memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    UsbSetKind kind;
    if (!sim::FindSet(set, kind)) {
        sim::Trace("SetupDiDestroyDeviceInfoList invalid");
        return Fail(ERROR_INVALID_HANDLE);
    }
    sim::Trace("SetupDiDestroyDeviceInfoList %s", SetName(kind));
    sim::CloseSet(set);
    return TRUE;
}

}  // namespace tarvel
