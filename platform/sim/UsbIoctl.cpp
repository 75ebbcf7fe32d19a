// Device handles for host controllers and hubs, and the hub driver's I/O
// controls over them. Answers are built aside and copied out only on
// success, so that a failed query leaves the caller's area as it was.
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/sim/Sim.h"
#include "platform/sim/SimCore.h"
#include "platform/sim/SimFiles.h"
#include "platform/sim/UsbState.h"

namespace tarvel {
namespace {

using sim::UsbDeviceKind;
using Bytes = std::vector<uint8_t>;

const DWORD kErrorAccessDenied = 5;
const DWORD kErrorInvalidFunction = 1;

struct Query {
    const sim::UsbOpenDevice& device;
    const void* in;
    DWORD inSize;
    DWORD outSize;
    Bytes answer;
    DWORD error = ERROR_SUCCESS;

    bool Fail(DWORD code) {
        error = code;
        return false;
    }
};

const char* IoctlName(DWORD code, UsbDeviceKind kind) {
    switch (code) {
    case 0x220408: return kind == UsbDeviceKind::Controller ? "GET_ROOT_HUB_NAME"
                                                            : "GET_NODE_INFORMATION";
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION: return "GET_NODE_CONNECTION_INFORMATION";
    case IOCTL_USB_GET_NODE_CONNECTION_NAME: return "GET_NODE_CONNECTION_NAME";
    case IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME:
        return "GET_NODE_CONNECTION_DRIVERKEY_NAME";
    case IOCTL_USB_GET_HUB_CAPABILITIES: return "GET_HUB_CAPABILITIES";
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX:
        return "GET_NODE_CONNECTION_INFORMATION_EX";
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2:
        return "GET_NODE_CONNECTION_INFORMATION_EX_V2";
    default: return nullptr;
    }
}

bool CarriesIndex(DWORD code) {
    return code == IOCTL_USB_GET_NODE_CONNECTION_INFORMATION ||
           code == IOCTL_USB_GET_NODE_CONNECTION_NAME ||
           code == IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME ||
           code == IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX ||
           code == IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2;
}

ULONG InputIndex(const void* in, DWORD inSize) {
    ULONG index = 0;
    if (in && inSize >= sizeof index) memcpy(&index, in, sizeof index);
    return index;
}

// A name answer: the fixed part (ConnectionIndex for the port queries,
// then ActualLength), then the name and its terminator. The structure's
// declared size holds the fixed part and one character; an area that holds
// that much but not the whole name gets that much alone, with the size
// needed and an empty name, as the hub driver answers.
bool NameAnswer(Query& q, DWORD fixed, const std::string& utf8) {
    const DWORD declared = fixed + 2;
    if (q.outSize < declared) return q.Fail(ERROR_INSUFFICIENT_BUFFER);
    std::u16string name = sim::Utf16(utf8);
    ULONG actual = ULONG(fixed + 2 * (name.size() + 1));
    bool whole = q.outSize >= actual;
    q.answer.assign(whole ? actual : declared, 0);
    if (fixed == 8) {
        ULONG index = InputIndex(q.in, q.inSize);
        memcpy(q.answer.data(), &index, 4);
    }
    memcpy(q.answer.data() + fixed - 4, &actual, 4);
    if (whole) memcpy(q.answer.data() + fixed, name.c_str(), 2 * (name.size() + 1));
    return true;
}

const sim::UsbHub& HubOf(const Query& q) { return sim::Usb().hubs[q.device.index]; }

// The port a per-port query names: false (87) for index 0 or one above the
// hub's port count; port null when nothing is listed there.
bool FindPort(Query& q, const sim::UsbPort*& port) {
    const sim::UsbHub& hub = HubOf(q);
    ULONG index = InputIndex(q.in, q.inSize);
    if (index == 0 || index > hub.ports) return q.Fail(ERROR_INVALID_PARAMETER);
    port = nullptr;
    for (const sim::UsbPort& p : hub.connections) {
        if (p.number == index) port = &p;
    }
    return true;
}

template <typename T>
bool StructAnswer(Query& q, const T& value) {
    q.answer.resize(sizeof value);
    memcpy(q.answer.data(), &value, sizeof value);
    return true;
}

bool NodeInformation(Query& q) {
    if (q.outSize < sizeof(USB_NODE_INFORMATION)) return q.Fail(ERROR_INSUFFICIENT_BUFFER);
    const sim::UsbHub& hub = HubOf(q);
    if (!hub.node_info) return q.Fail(ERROR_GEN_FAILURE);
    USB_NODE_INFORMATION info;
    memset(&info, 0, sizeof info);
    info.NodeType = UsbHub;
    USB_HUB_DESCRIPTOR& d = info.u.HubInformation.HubDescriptor;
    d.bDescriptorLength = UCHAR(7 + 2 * (hub.ports / 8 + 1));
    d.bDescriptorType = 0x29;
    d.bNumberOfPorts = UCHAR(hub.ports);
    d.wHubCharacteristics = 0x0009;
    d.bPowerOnToPowerGood = 50;
    return StructAnswer(q, info);
}

// The basic and the _EX answer share one layout; the basic one carries a
// low-speed flag where the _EX one has the speed.
bool ConnectionInformation(Query& q, bool basic) {
    const DWORD size = sizeof(USB_NODE_CONNECTION_INFORMATION_EX);
    if (q.outSize < size || q.inSize < sizeof(ULONG)) return q.Fail(ERROR_INSUFFICIENT_BUFFER);
    const sim::UsbPort* port;
    if (!FindPort(q, port)) return false;
    USB_NODE_CONNECTION_INFORMATION_EX info;
    memset(&info, 0, sizeof info);
    info.ConnectionIndex = InputIndex(q.in, q.inSize);
    info.ConnectionStatus = NoDeviceConnected;
    if (port) {
        if (!port->query_ok) return q.Fail(ERROR_GEN_FAILURE);
        USB_DEVICE_DESCRIPTOR& d = info.DeviceDescriptor;
        d.bLength = 18;
        d.bDescriptorType = 1;
        d.bcdUSB = USHORT(port->bcd_usb);
        d.bDeviceClass = port->is_hub ? 9 : 0;
        d.bMaxPacketSize0 = port->speed >= 3 ? 9 : port->speed == 0 ? 8 : 64;
        d.idVendor = USHORT(port->vid);
        d.idProduct = USHORT(port->pid);
        d.bcdDevice = 0x0100;
        d.iManufacturer = 1;
        d.iProduct = 2;
        d.bNumConfigurations = 1;
        info.CurrentConfigurationValue = port->status == DeviceConnected ? 1 : 0;
        info.Speed = basic ? (port->speed == 0 ? 1 : 0) : UCHAR(port->speed);
        info.DeviceIsHub = port->is_hub ? 1 : 0;
        info.DeviceAddress = USHORT(port->number);
        info.ConnectionStatus = USB_CONNECTION_STATUS(port->status);
    }
    return StructAnswer(q, info);
}

bool ConnectionInformationV2(Query& q) {
    const DWORD size = sizeof(USB_NODE_CONNECTION_INFORMATION_EX_V2);
    if (q.outSize < size || q.inSize < size) return q.Fail(ERROR_INSUFFICIENT_BUFFER);
    USB_NODE_CONNECTION_INFORMATION_EX_V2 info;
    memcpy(&info, q.in, size);
    // Windows 8 and later answer only a caller that asks for USB 3.0.
    const ULONG usb300 = 0x4;
    if (info.Length != size || !(info.SupportedUsbProtocols.ul & usb300))
        return q.Fail(ERROR_INVALID_PARAMETER);
    const sim::UsbPort* port;
    if (!FindPort(q, port)) return false;
    if (port && !port->v2_ok) return q.Fail(ERROR_GEN_FAILURE);
    info.SupportedUsbProtocols.ul = port ? port->protocols : 3;
    info.Flags.ul = port ? port->flags : 0;
    return StructAnswer(q, info);
}

bool DriverKeyName(Query& q) {
    if (q.outSize < 10 || q.inSize < 4) return q.Fail(ERROR_INSUFFICIENT_BUFFER);
    const sim::UsbPort* port;
    if (!FindPort(q, port)) return false;
    if (!port) return q.Fail(ERROR_DEVICE_NOT_CONNECTED);
    if (!port->driver_key.ok) return q.Fail(port->driver_key.code);
    return NameAnswer(q, 8, port->driver_key.text);
}

bool ConnectionName(Query& q) {
    if (q.outSize < 10 || q.inSize < 4) return q.Fail(ERROR_INSUFFICIENT_BUFFER);
    const sim::UsbPort* port;
    if (!FindPort(q, port)) return false;
    if (port && !port->node_name_ok) return q.Fail(ERROR_GEN_FAILURE);
    // A port without a hub answers an empty name, as Windows does.
    bool hub = port && port->hub >= 0;
    return NameAnswer(q, 8, hub ? sim::Usb().hubs[port->hub].name : std::string());
}

// The driver kit's USB_HUB_CAPABILITIES is one ULONG of bit fields: 4 bytes.
bool HubCapabilities(Query& q) {
    if (q.outSize < sizeof(ULONG)) return q.Fail(ERROR_INSUFFICIENT_BUFFER);
    int caps = HubOf(q).capabilities;
    if (caps < 0) return q.Fail(ERROR_GEN_FAILURE);
    ULONG bits = caps ? 1 : 0;
    q.answer.resize(4);
    memcpy(q.answer.data(), &bits, 4);
    return true;
}

bool ControllerQuery(Query& q, DWORD code) {
    if (code != IOCTL_USB_GET_ROOT_HUB_NAME) return q.Fail(kErrorInvalidFunction);
    int hub = sim::Usb().controllers[q.device.index].root_hub;
    if (q.outSize < 6) return q.Fail(ERROR_INSUFFICIENT_BUFFER);
    if (hub < 0) return q.Fail(ERROR_GEN_FAILURE);
    return NameAnswer(q, 4, sim::Usb().hubs[hub].name);
}

bool HubQuery(Query& q, DWORD code) {
    switch (code) {
    case IOCTL_USB_GET_NODE_INFORMATION: return NodeInformation(q);
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION: return ConnectionInformation(q, true);
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX: return ConnectionInformation(q, false);
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2: return ConnectionInformationV2(q);
    case IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME: return DriverKeyName(q);
    case IOCTL_USB_GET_NODE_CONNECTION_NAME: return ConnectionName(q);
    case IOCTL_USB_GET_HUB_CAPABILITIES: return HubCapabilities(q);
    default: return q.Fail(kErrorInvalidFunction);
    }
}

// Both "\\.\" and "\\?\" reach the same device.
std::string Normalized(const std::string& path) {
    if (path.size() >= 4 && path[0] == '\\' && path[1] == '\\' &&
        (path[2] == '.' || path[2] == '?') && path[3] == '\\') {
        return "\\\\.\\" + path.substr(4);
    }
    return path;
}

// A bare "\\.\" names no device, whatever a machine file says.
bool SamePath(const std::string& given, const std::string& utf8) {
    std::string known = Normalized(sim::Ansi(utf8));
    return known.size() > 4 && sim::SameTextI(Normalized(given), known);
}

// Finds the device a path names; false when none.
bool DeviceAt(const std::string& path, sim::UsbOpenDevice& device, bool& open) {
    const sim::UsbSection& usb = sim::Usb();
    for (size_t i = 0; i < usb.controllers.size(); i++) {
        if (SamePath(path, usb.controllers[i].path)) {
            device = {UsbDeviceKind::Controller, int(i), path};
            open = usb.controllers[i].open;
            return true;
        }
    }
    for (size_t i = 0; i < usb.hubs.size(); i++) {
        const sim::UsbHub& hub = usb.hubs[i];
        if (SamePath(path, "\\\\.\\" + hub.name) ||
            SamePath(path, hub.interface_path)) {
            device = {UsbDeviceKind::Hub, int(i), path};
            open = hub.open;
            return true;
        }
    }
    return false;
}

}  // namespace

HANDLE CreateFileA(LPCSTR path, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD attributes, HANDLE) {
    // Overlapped, unbuffered and the other flags change how a handle works;
    // none of that is simulated.
    if (attributes != 0 && attributes != FILE_ATTRIBUTE_NORMAL)
        sim::Fatal("CreateFileA with flags or attributes other than FILE_ATTRIBUTE_NORMAL");
    // Devices are opened; only a file the program makes is created.
    if (path && disposition == CREATE_ALWAYS) return sim::CreateHostFile(path);
    sim::UsbOpenDevice device{UsbDeviceKind::Controller, 0, path ? path : "(null)"};
    bool open = false;
    bool found = path && DeviceAt(path, device, open);
    sim::Trace("CreateFileA %s -> %s", device.path.c_str(), found && open ? "ok" : "fail");
    if (!found || !open) {
        SetLastError(!path ? ERROR_INVALID_PARAMETER : found ? kErrorAccessDenied
                                                             : ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return sim::OpenDevice(device);
}

BOOL CloseHandle(HANDLE handle) {
    if (sim::CloseHostFile(handle)) return TRUE;
    std::string path;
    if (!sim::CloseDevice(handle, path)) {
        sim::Trace("CloseHandle invalid");
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    sim::Trace("CloseHandle %s", path.c_str());
    return TRUE;
}

BOOL DeviceIoControl(HANDLE handle, DWORD code, LPVOID in, DWORD inSize, LPVOID out,
                     DWORD outSize, LPDWORD returned, LPOVERLAPPED) {
    const sim::UsbOpenDevice* device = sim::FindDevice(handle);
    UsbDeviceKind kind = device ? device->kind : UsbDeviceKind::Hub;
    const char* name = IoctlName(code, kind);
    char unknown[16];
    if (!name) {
        snprintf(unknown, sizeof unknown, "0x%X", unsigned(code));
        name = unknown;
    }
    if (device) sim::NoteIoctlArea(name, in ? inSize : 0, out ? outSize : 0);
    std::string index;
    if (CarriesIndex(code)) index = " " + std::to_string(InputIndex(in, inSize));
    const char* path = device ? device->path.c_str() : "invalid";
    bool ok = false;
    DWORD error = ERROR_INVALID_HANDLE;
    if (device && !returned) {
        error = ERROR_INVALID_PARAMETER;
    } else if (device) {
        Query q{*device, in, in ? inSize : 0, out ? outSize : 0, {}};
        ok = kind == UsbDeviceKind::Controller ? ControllerQuery(q, code) : HubQuery(q, code);
        if (ok) memcpy(out, q.answer.data(), q.answer.size());
        if (ok) *returned = DWORD(q.answer.size());
        error = q.error;
    }
    if (!ok && returned) *returned = 0;
    sim::Trace("DeviceIoControl %s %s%s -> %d", path, name, index.c_str(), ok ? 1 : 0);
    if (ok) return TRUE;
    SetLastError(error);
    return FALSE;
}

}  // namespace tarvel
