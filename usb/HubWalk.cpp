#include "sysinfo/ErrorNames.h"
#include "sysinfo/Version.h"
#include "usb/CUsbDevInfo.h"
#include "usb/UsbText.h"

namespace tarvel {

namespace {

const DWORD kNodeInfoSize = 76;          // USB_NODE_INFORMATION
const DWORD kConnectionSize = 35;        // connection answer without pipe entries
const DWORD kV2Size = 16;                // USB_NODE_CONNECTION_INFORMATION_EX_V2
const DWORD kDriverKeyAreaSize = 136;    // room for 64 wide characters
const DWORD kNodeNameAreaSize = 520;     // room for 256 wide characters
const DWORD kHubCapsSize = 4;            // USB_HUB_CAPABILITIES
const int kPortNameMax = sizeof(UsbPortRecord::PortName) - 1;
const int kLongestPortSuffix = 4;        // "-255"

const ULONG kUsb200 = 0x02;
const ULONG kUsb300 = 0x04;
const ULONG kOperatingAtSuperSpeed = 0x01;
const ULONG kSuperSpeedCapable = 0x02;
const ULONG kOperatingAtSuperSpeedPlus = 0x04;
const ULONG kSuperSpeedPlusCapable = 0x08;

const DWORD kSpeedLow = 0;
const DWORD kSpeedFull = 1;
const DWORD kSpeedHigh = 2;
const DWORD kSpeedSuper = 3;
const DWORD kSpeedSuperPlus = 4;

// Windows XP before its first service pack has no _EX query.
bool UseBasicQuery() {
    return OsVersion.EffectiveVersion == 0x0501 && OsVersion.ServicePackMajor == 0;
}

bool UseV2Query() { return OsVersion.EffectiveVersion >= 0x0602; }

// The driver-key and connection-name answers share their layout: the
// connection index, ActualLength, then the UTF-16 name.
static_assert(offsetof(USB_NODE_CONNECTION_DRIVERKEY_NAME, DriverKeyName) ==
                  offsetof(USB_NODE_CONNECTION_NAME, NodeName),
              "name answers");

// Asks the hub for a name belonging to the device on port, in an area of
// areaSize bytes, and converts what of it lies inside the area into out.
bool QueryPortName(HANDLE hub, DWORD code, int port, DWORD areaSize, char* out, int outSize) {
    union {
        USB_NODE_CONNECTION_NAME name;
        BYTE area[kNodeNameAreaSize];  // the larger of the two areas
    } answer;
    MemFill(&answer, 0, sizeof(answer));
    answer.name.ConnectionIndex = port;
    DWORD bytes = 0;
    if (!DeviceIoControl(hub, code, &answer, areaSize, &answer, areaSize, &bytes, NULL))
        return false;
    int units = NameUnits(answer.name.ActualLength, areaSize,
                          offsetof(USB_NODE_CONNECTION_NAME, NodeName));
    WideToText(CP_ACP, answer.name.NodeName, units, out, outSize);
    return true;
}

void ReadDriverKey(HANDLE hub, int port, char* field, int width) {
    if (!QueryPortName(hub, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, port,
                       kDriverKeyAreaSize, field, width))
        FailureText(field, width, GetLastErrorName());
}

// Asked of the hub that the port belongs to, not of the hub on the port.
BOOL QueryHub2xCapable(HANDLE hub) {
    // USB_HUB_CAPABILITIES is one ULONG of bit fields; compilers that pack
    // bit fields differently would shrink it, so the area is a ULONG.
    ULONG caps = 0;
    DWORD bytes = 0;
    if (!DeviceIoControl(hub, IOCTL_USB_GET_HUB_CAPABILITIES, NULL, 0, &caps, kHubCapsSize,
                         &bytes, NULL))
        return FALSE;
    return (caps & 1) != 0;
}

// An enumeration in the driver kit, but a driver may answer any number:
// read it as the ULONG it occupies, never as an out-of-range enumeration.
ULONG ConnectionStatus(const USB_NODE_CONNECTION_INFORMATION_EX& conn) {
    ULONG status = 0;
    MemMove(&status, &conn.ConnectionStatus, sizeof status);
    return status;
}

void ApplyV2Speeds(UsbPortRecord* rec, const USB_NODE_CONNECTION_INFORMATION_EX_V2& v2) {
    ULONG protocols = v2.SupportedUsbProtocols.ul;
    ULONG flags = v2.Flags.ul;
    if (protocols & kUsb300) rec->PortMaxSpeed = kSpeedSuper;
    else if (protocols & kUsb200) rec->PortMaxSpeed = kSpeedHigh;
    else rec->PortMaxSpeed = kSpeedFull;
    if (flags & kOperatingAtSuperSpeed) rec->ConnSpeed = kSpeedSuper;
    if (flags & kOperatingAtSuperSpeedPlus) rec->ConnSpeed = kSpeedSuperPlus;
    if (flags & kSuperSpeedCapable) rec->DevMaxSpeed = kSpeedSuper;
    if (flags & kSuperSpeedPlusCapable) rec->DevMaxSpeed = kSpeedSuperPlus;
}

}  // namespace

// A hub is walked only when it has a name, when the port chains below it
// fit PortName, and only once. An empty name (a hub whose name does not fit
// the area answers one) would open the bare device namespace; a hub that
// names its own ancestor would otherwise be walked without end, and a stack
// that names one hub on several ports would repeat its devices under new
// chains, doubling the walk at every level.
bool CUsbDevInfo::MayWalkHub(const char* hubPath, const char* chainPrefix) const {
    if (hubPath[kPathPrefixLength] == 0) return false;
    if (lstrlenA(chainPrefix) + kLongestPortSuffix > kPortNameMax) return false;
    if (WalkedHubCount == kMaxWalkedHubs) return false;
    for (int i = 0; i < WalkedHubCount; i++)
        if (lstrcmpiA(WalkedHubs[i], hubPath) == 0) return false;
    return true;
}

void CUsbDevInfo::ForgetWalkedHubs() {
    for (int i = 0; i < WalkedHubCount; i++) HeapDelete(WalkedHubs[i]);
    WalkedHubCount = 0;
}

void CUsbDevInfo::HubEnumerate(const char* hubPath, const char* chainPrefix) {
    if (!MayWalkHub(hubPath, chainPrefix)) return;
    HANDLE hub = CreateFileA(hubPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                             OPEN_EXISTING, 0, NULL);
    if (hub == INVALID_HANDLE_VALUE) return;

    union {
        USB_NODE_INFORMATION info;
        BYTE area[kNodeInfoSize];
    } node;
    DWORD bytes = 0;
    if (!DeviceIoControl(hub, IOCTL_USB_GET_NODE_INFORMATION, &node, kNodeInfoSize, &node,
                         kNodeInfoSize, &bytes, NULL)) {
        CloseHandle(hub);
        return;
    }
    int ports = node.info.u.HubInformation.HubDescriptor.bNumberOfPorts;
    WalkedHubs[WalkedHubCount++] = DupString(hubPath);

    union {
        USB_NODE_CONNECTION_INFORMATION_EX ex;
        BYTE area[kConnectionSize];
    } conn;
    union {
        USB_NODE_CONNECTION_INFORMATION_EX_V2 info;
        BYTE area[kV2Size];
    } v2;
    MemFill(&conn, 0, sizeof(conn));
    MemFill(&v2, 0, sizeof(v2));
    BOOL v2Ok = FALSE;
    char downstream[kPathAreaSize];
    InitPathArea(downstream);

    for (int p = 1; p <= ports; p++) {
        char chain[kPortNameMax + 1];
        wsprintfA(chain, "%s-%i", chainPrefix, p);
        DbgPrintf(4, "UDI_1 PortIndex=%i", p);
        conn.ex.ConnectionIndex = p;
        DWORD code = UseBasicQuery() ? IOCTL_USB_GET_NODE_CONNECTION_INFORMATION
                                     : IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX;
        BOOL res = DeviceIoControl(hub, code, &conn, kConnectionSize, &conn, kConnectionSize,
                                   &bytes, NULL);
        DbgPrintf(4, "UDI_2 res=%i", res);
        if (!res) continue;
        if (ConnectionStatus(conn.ex) != DeviceConnected) continue;

        bool askedV2 = UseV2Query();
        if (askedV2) {
            v2.info.ConnectionIndex = p;
            v2.info.Length = kV2Size;
            v2.info.SupportedUsbProtocols.ul |= kUsb300;
            DbgPrintf(1, "IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2(0x%p, %i)", hub, p);
            BOOL v2Res = DeviceIoControl(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2,
                                         &v2, kV2Size, &v2, kV2Size, &bytes, NULL);
            v2Ok = v2Res;
            DbgPrintf(1, " %s spr=0x%02X", GetResultText(v2Res), v2.info.SupportedUsbProtocols.ul);
        }
        DbgPrintf(4, "UDI_4 VendorID=%4.4X ProductID=%4.4X", conn.ex.DeviceDescriptor.idVendor,
                  conn.ex.DeviceDescriptor.idProduct);
        if (PortCount < kMaxPorts)
            AddPortRecord(hub, hubPath, p, chain, conn.ex, askedV2 && v2Ok ? &v2.info : NULL);
        // The hub below stays open while the hubs below it are walked.
        if (conn.ex.DeviceIsHub && ReadDownstreamPath(hub, p, downstream))
            HubEnumerate(downstream, chain);
    }

    CloseHandle(hub);
    DbgPrintf(4, "UDI_END c=%i", PortCount);
}

void CUsbDevInfo::AddPortRecord(HANDLE hub, const char* hubPath, int port, const char* chain,
                                const USB_NODE_CONNECTION_INFORMATION_EX& conn,
                                const USB_NODE_CONNECTION_INFORMATION_EX_V2* v2) {
    UsbPortRecord* rec = new UsbPortRecord;
    Ports[PortCount] = rec;
    lstrcpynA(rec->HubPath, hubPath, sizeof(rec->HubPath));
    ReadDriverKey(hub, port, rec->DriverKeyName, sizeof(rec->DriverKeyName));
    lstrcpynA(rec->PortName, chain, sizeof(rec->PortName));

    const USB_DEVICE_DESCRIPTOR& desc = conn.DeviceDescriptor;
    DbgPrintf(1, "-----------------");
    DbgPrintf(1, "USB device found");
    DbgPrintf(1, "VendorID=%4.4X ProductID=%4.4X PortName=%s", desc.idVendor, desc.idProduct,
              chain);
    DbgPrintf(1, "DriverKeyName=%s", rec->DriverKeyName);
    DbgPrintf(1, "ConnState=%u", (DWORD)conn.ConnectionStatus);
    DbgPrintf(1, "PortNumber=%i", port);

    rec->VendorID = desc.idVendor;
    rec->ProductID = desc.idProduct;
    rec->PortNumber = port;
    rec->bcdUSB = desc.bcdUSB;
    rec->ConnState = (WORD)conn.ConnectionStatus;
    rec->DeviceIsHub = conn.DeviceIsHub ? 1 : 0;
    DWORD speed = conn.Speed;
    // The basic query answers a low-speed flag in this byte, not a speed.
    // Systems that have only that query drive no high-speed ports, so a
    // device without the flag runs at full speed.
    if (UseBasicQuery()) speed = conn.Speed ? kSpeedLow : kSpeedFull;
    rec->DevMaxSpeed = speed;
    rec->ConnSpeed = speed;
    if (rec->DeviceIsHub && rec->bcdUSB == 0x0200) rec->HubIs2xCapable = QueryHub2xCapable(hub);
    if (v2 != NULL) ApplyV2Speeds(rec, *v2);

    DbgPrintf(4, "UDI_5");
    PortCount++;
    DbgPrintf(4, "UDI_8 c=%i", PortCount);
}

bool CUsbDevInfo::ReadDownstreamPath(HANDLE hub, int port, char* pathArea) {
    return QueryPortName(hub, IOCTL_USB_GET_NODE_CONNECTION_NAME, port, kNodeNameAreaSize,
                         pathArea + kPathPrefixLength, kPathAreaSize - kPathPrefixLength);
}

}  // namespace tarvel
