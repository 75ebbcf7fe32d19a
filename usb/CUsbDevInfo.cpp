#include "usb/CUsbDevInfo.h"

#include "usb/UsbText.h"

namespace tarvel {

namespace {

const DWORD kControllerDetailSize = 260;
const DWORD kRootHubNameAreaSize = 524;  // USB_ROOT_HUB_NAME, 260 wide characters
// The device path of host-controller interface index, or false when the
// set has no such interface or its detail cannot be read. Sets exists.
bool ReadControllerPath(HDEVINFO set, DWORD index, char* path, bool& exists) {
    SP_DEVICE_INTERFACE_DATA iface;
    MemFill(&iface, 0, sizeof(iface));
    iface.cbSize = sizeof(iface);
    exists = SetupDiEnumDeviceInterfaces(set, NULL, &GUID_DEVINTERFACE_USB_HOST_CONTROLLER,
                                         index, &iface) != 0;
    if (!exists) return false;

    union {
        SP_DEVICE_INTERFACE_DETAIL_DATA_A detail;
        BYTE area[kControllerDetailSize];
    } buffer;
    MemFill(&buffer, 0, sizeof(buffer));
    buffer.detail.cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
    SP_DEVINFO_DATA device;
    MemFill(&device, 0, sizeof(device));
    device.cbSize = sizeof(device);
    if (!SetupDiGetDeviceInterfaceDetailA(set, &iface, &buffer.detail, kControllerDetailSize,
                                          NULL, &device))
        return false;
    buffer.area[kControllerDetailSize - 1] = 0;
    lstrcpynA(path, buffer.detail.DevicePath, kPathAreaSize);
    return true;
}

}  // namespace

CUsbDevInfo::CUsbDevInfo() : DevTree(NULL), PortCount(0), WalkedHubCount(0) {
    for (int i = 0; i < kMaxPorts; i++) Ports[i] = NULL;
}

CUsbDevInfo::~CUsbDevInfo() { ReleaseAll(); }

bool CUsbDevInfo::Enumerate() {
    PortCount = 0;
    for (int i = 0; i < kMaxPorts; i++) Ports[i] = NULL;

    HDEVINFO set = SetupDiGetClassDevsA(&GUID_DEVINTERFACE_USB_HOST_CONTROLLER, NULL, NULL,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE) return false;

    int controllers = 0;
    for (DWORD index = 0;; index++) {
        char path[kPathAreaSize];
        bool exists = false;
        bool readable = ReadControllerPath(set, index, path, exists);
        if (!exists) break;
        if (!readable) continue;
        HANDLE controller = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_WRITE, NULL,
                                        OPEN_EXISTING, 0, NULL);
        // A controller that cannot be opened still uses up its number.
        controllers++;
        if (controller == INVALID_HANDLE_VALUE) continue;
        char number[16];
        wsprintfA(number, "%i", controllers);
        EnumerateRootHub(controller, number);
        CloseHandle(controller);
    }
    SetupDiDestroyDeviceInfoList(set);
    ForgetWalkedHubs();

    DevTree = new CUsbDevTree;
    DevTree->Build();
    LinkPortsToNodes();
    return controllers > 0;
}

bool CUsbDevInfo::EnumerateRootHub(HANDLE hostController, const char* controllerNumber) {
    union {
        USB_ROOT_HUB_NAME name;
        BYTE area[kRootHubNameAreaSize];
    } answer;
    MemFill(&answer, 0, sizeof(answer));
    char path[kPathAreaSize];
    InitPathArea(path);

    DWORD bytes = 0;
    if (!DeviceIoControl(hostController, IOCTL_USB_GET_ROOT_HUB_NAME, &answer,
                         kRootHubNameAreaSize, &answer, kRootHubNameAreaSize, &bytes, NULL))
        return false;
    int units = NameUnits(answer.name.ActualLength, kRootHubNameAreaSize,
                          offsetof(USB_ROOT_HUB_NAME, RootHubName));
    WideToText(CP_ACP, answer.name.RootHubName, units, path + kPathPrefixLength,
               kPathAreaSize - kPathPrefixLength);
    HubEnumerate(path, controllerNumber);
    return true;
}

// Records first by equal driver key, then the rest by hub and port number.
void CUsbDevInfo::LinkPortsToNodes() {
    for (int i = 0; i < PortCount; i++) {
        UsbPortRecord* port = Ports[i];
        port->DevNode = DevTree->FindByDriverKey(port->DriverKeyName);
        if (port->DevNode != NULL)
            lstrcpynA(port->DevNode->PortChain, port->PortName, sizeof(port->DevNode->PortChain));
    }
    for (int i = 0; i < PortCount; i++) {
        UsbPortRecord* port = Ports[i];
        if (port->DevNode == NULL)
            port->DevNode = DevTree->FindByHubPort(port->HubPath, port->PortNumber);
    }
}

void CUsbDevInfo::ReleaseAll() {
    for (int i = 0; i < PortCount; i++) delete Ports[i];
    for (int i = 0; i < kMaxPorts; i++) Ports[i] = NULL;
    PortCount = 0;
    if (DevTree != NULL) {
        delete DevTree;
        DevTree = NULL;
    }
}

int CUsbDevInfo::FindDevices(char* const* ids, UsbPortRecord** out, int capacity) {
    if (ids == NULL || ids[0] == NULL || ids[0][0] == 0) {
        // An internal check that reports and goes on: the caller never
        // passes an empty list.
        DbgPrintf(1, "INT3 in %s line %u, function %s", __FILE__, __LINE__,
                  "CUsbDevInfo::FindDevices");
        Sleep(100);
        return 0;
    }
    int found = 0;
    for (int i = 0; i < PortCount; i++) {
        UsbPortRecord* port = Ports[i];
        if (!MatchPort(port->DevNode, port, ids)) continue;
        if (found >= capacity) {
            printf("Max Number of supported devices (%i) reached -> abort\n", capacity);
            break;
        }
        out[found++] = port;
    }
    return found;
}

}  // namespace tarvel
