// The walk: every hub below every host controller, each path once, with
// the hub driver's answers to each port.
#include "capture/Texts.h"
#include "runtime/CRTreplace.h"

namespace tarvel::capture {

namespace {

const DWORD kNodeInfoSize = 76;  // USB_NODE_INFORMATION
const DWORD kFirstNameArea = 1024;
const DWORD kMaxNameArea = 65536;
const ULONG kUsb300 = 0x04;
// Far deeper than a chain of port numbers can be written.
const int kMaxDepth = 255;

// The name answers: the connection index (for the port queries) and
// ActualLength, then the UTF-16 name.
static_assert(offsetof(USB_ROOT_HUB_NAME, RootHubName) == 4, "root hub name answer");
static_assert(offsetof(USB_NODE_CONNECTION_NAME, NodeName) == 8, "connection name answer");
static_assert(offsetof(USB_NODE_CONNECTION_DRIVERKEY_NAME, DriverKeyName) == 8, "driver key answer");
static_assert(sizeof(USB_NODE_CONNECTION_INFORMATION_EX) == 35, "connection answer");
static_assert(sizeof(USB_NODE_CONNECTION_INFORMATION) == 35, "basic connection answer");

// A name answer, asked again with a larger area while ActualLength says
// the name did not fit. fixed: the bytes before the name.
bool ReadNameAnswer(HANDLE h, DWORD code, int port, DWORD fixed, Text& text, char** openPath) {
    DWORD size = kFirstNameArea;
    for (;;) {
        BYTE* area = static_cast<BYTE*>(HeapNew(size));
        ULONG index = ULONG(port);
        if (fixed == 8) MemMove(area, &index, sizeof index);
        DWORD bytes = 0;
        if (!DeviceIoControl(h, code, area, size, area, size, &bytes, NULL)) {
            text = FailedText(GetLastError());
            HeapDelete(area);
            return false;
        }
        ULONG actual = 0;
        MemMove(&actual, area + fixed - 4, sizeof actual);
        if (actual > size && size < kMaxNameArea) {
            HeapDelete(area);
            size = actual > kMaxNameArea ? kMaxNameArea : actual;
            continue;
        }
        DWORD end = actual < size ? actual : size;
        int units = end > fixed ? int((end - fixed) / 2) : 0;
        const WCHAR* name = reinterpret_cast<const WCHAR*>(area + fixed);
        // A zero inside the name is kept: the length it hides decides
        // whether the name fits the program's area at all.
        int length = units > 0 && end == actual && name[units - 1] == 0 ? units - 1 : units;
        text = WideUnits(name, length);
        if (openPath) *openPath = AnsiPath("\\\\.\\", name, units);
        HeapDelete(area);
        return true;
    }
}

ULONG StatusOf(const USB_NODE_CONNECTION_INFORMATION_EX& info) {
    ULONG status = 0;
    MemMove(&status, &info.ConnectionStatus, sizeof status);
    return status;
}

void ReadV2(HANDLE h, Port& port) {
    USB_NODE_CONNECTION_INFORMATION_EX_V2 v2;
    MemFill(&v2, 0, sizeof v2);
    v2.ConnectionIndex = ULONG(port.Number);
    v2.Length = sizeof v2;
    v2.SupportedUsbProtocols.ul = kUsb300;
    DWORD bytes = 0;
    port.V2Ok = DeviceIoControl(h, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2, &v2,
                                sizeof v2, &v2, sizeof v2, &bytes, NULL) != FALSE;
    port.Protocols = port.V2Ok ? v2.SupportedUsbProtocols.ul : 0;
    port.Flags = port.V2Ok ? v2.Flags.ul : 0;
}

// Asks both connection queries; a port is kept when a device is on it or
// when the queries fail, as the other ports answer like empty ones.
void ReadPort(Machine& m, int hub, HANDLE h, int number) {
    USB_NODE_CONNECTION_INFORMATION_EX ex;
    USB_NODE_CONNECTION_INFORMATION_EX basic;  // the same layout, a low-speed flag for Speed
    MemFill(&ex, 0, sizeof ex);
    MemFill(&basic, 0, sizeof basic);
    ex.ConnectionIndex = basic.ConnectionIndex = ULONG(number);
    DWORD bytes = 0;
    bool exOk = DeviceIoControl(h, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &ex, sizeof ex,
                                &ex, sizeof ex, &bytes, NULL) != FALSE;
    bool basicOk = DeviceIoControl(h, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, &basic,
                                   sizeof basic, &basic, sizeof basic, &bytes, NULL) != FALSE;
    const USB_NODE_CONNECTION_INFORMATION_EX& info = exOk ? ex : basic;
    if ((exOk || basicOk) && StatusOf(info) == NoDeviceConnected) return;
    Port& port = m.Hubs[hub].Conns.Add();
    port.Number = number;
    port.Hub = port.Node = -1;
    port.QueryOk = exOk || basicOk;
    if (exOk != basicOk)
        Note(m, "Port %i of hub %i answers only the %s connection query; the file says both "
                "answer.", number, hub + 1, exOk ? "_EX" : "basic");
    if (exOk && basicOk && (basic.Speed != 0) != (ex.Speed == 0))
        Note(m, "Port %i of hub %i: the basic query's low-speed flag disagrees with the speed "
                "of the _EX query; the file keeps the speed.", number, hub + 1);
    port.Status = StatusOf(info);
    port.Vid = info.DeviceDescriptor.idVendor;
    port.Pid = info.DeviceDescriptor.idProduct;
    port.Bcd = info.DeviceDescriptor.bcdUSB;
    // Only the basic query answered: its flag is all there is of the speed.
    port.Speed = exOk ? info.Speed : basic.Speed ? 0 : 1;
    port.IsHub = info.DeviceIsHub != 0;
    ReadV2(h, port);
    ReadNameAnswer(h, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, number, 8, port.DriverKey,
                   NULL);
    port.NodeNameOk = ReadNameAnswer(h, IOCTL_USB_GET_NODE_CONNECTION_NAME, number, 8,
                                     port.HubName, &port.HubPath);
}

int Depth(const Machine& m, int hub) {
    int depth = 0;
    for (int h = m.Hubs[hub].Parent; h >= 0; h = m.Hubs[h].Parent) depth++;
    return depth;
}

}  // namespace

Text ReadRootHubName(HANDLE controller, char** openPath) {
    Text name;
    ReadNameAnswer(controller, IOCTL_USB_GET_ROOT_HUB_NAME, 0, 4, name, openPath);
    return name;
}

int WalkHub(Machine& m, const Text& name, char* openPath, int parent) {
    int index = m.Hubs.Count;
    Hub& added = m.Hubs.Add();
    added.Name = name;
    added.OpenPath = openPath;
    added.Node = -1;
    added.Parent = parent;
    added.Caps = -1;
    added.Detail = true;
    added.Walk.Number = m.Walks;
    // Each path once in a walk, as the program walks it. A later walk reads
    // its paths again: its hubs may stand before the first walk's in the
    // file, and the first hub in the file with a path answers for it.
    for (int i = 0; i < index; i++) {
        const Hub& earlier = m.Hubs[i];
        if (!earlier.Walk.Queried || lstrcmpiA(earlier.OpenPath, openPath) != 0) continue;
        if (earlier.Walk.Number == m.Walks) return index;
        m.Hubs[index].Walk.Reread = true;
    }
    if (Depth(m, index) > kMaxDepth) {
        Note(m, "Hubs below a depth of %i are not walked.", kMaxDepth);
        return index;
    }
    m.Hubs[index].Walk.Queried = true;
    HANDLE h = CreateFileA(openPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                           OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE) return index;
    m.Hubs[index].Open = true;
    union {
        USB_NODE_INFORMATION info;
        BYTE area[kNodeInfoSize];
    } node;
    MemFill(&node, 0, sizeof node);
    DWORD bytes = 0;
    m.Hubs[index].NodeInfo = DeviceIoControl(h, IOCTL_USB_GET_NODE_INFORMATION, &node,
                                             kNodeInfoSize, &node, kNodeInfoSize, &bytes,
                                             NULL) != FALSE;
    ULONG caps = 0;
    if (DeviceIoControl(h, IOCTL_USB_GET_HUB_CAPABILITIES, NULL, 0, &caps, sizeof caps, &bytes,
                        NULL))
        m.Hubs[index].Caps = (caps & 1) ? 1 : 0;
    if (m.Hubs[index].NodeInfo) {
        m.Hubs[index].Ports = node.info.u.HubInformation.HubDescriptor.bNumberOfPorts;
        for (int p = 1; p <= m.Hubs[index].Ports; p++) ReadPort(m, index, h, p);
    }
    CloseHandle(h);
    for (int k = 0; k < m.Hubs[index].Conns.Count; k++) {
        Port& port = m.Hubs[index].Conns[k];
        if (!port.IsHub || !port.NodeNameOk || port.HubName.Length == 0) continue;
        Text hubName = port.HubName;
        char* path = port.HubPath;
        int below = WalkHub(m, hubName, path, index);
        m.Hubs[index].Conns[k].Hub = below;
        m.Hubs[below].OnPort = m.Hubs[index].Conns[k].Number;
    }
    return index;
}

}  // namespace tarvel::capture
