// Asks tarvelusb.sys, loaded with stack_check.json, the hub queries with
// the areas and input the walk never uses: too small for the fixed part,
// just the declared size, a name without room for its terminator, ports out
// of range, a V2 query without Usb300, and the failure forms. What each must answer is the machine format's
// contract; this checks that the driver and Wine's buffered I/O keep it.
// Prints one line per fault and exits with the number of faults.
#include <windows.h>
#include <setupapi.h>
#include <usbioctl.h>
#include <stdio.h>
#include <string.h>

static const GUID HostControllerClass = {
    0x3abf6f2d, 0x71c4, 0x462a, {0x8a, 0x92, 0x1e, 0x68, 0x61, 0xe6, 0xaf, 0x27}};
static const WCHAR RootHubName[] =
    L"USB#ROOT_HUB30#4&2a0c1f5&0&1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
static const WCHAR DownstreamName[] =
    L"USB#VID_05E3&PID_0610#6&2b8c9a1&0&2#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
static const WCHAR DriverKey[] = L"{36fc9e60-c465-11cf-8056-444553540000}\\0000";
#define CHARS(s) (sizeof(s) / sizeof(WCHAR) - 1)

static int Faults;
#define CHECK(cond, ...)                                   \
    do {                                                   \
        if (!(cond)) {                                     \
            Faults++;                                      \
            printf("line %d: %s: ", __LINE__, #cond);      \
            printf(__VA_ARGS__);                           \
            printf("\n");                                  \
        }                                                  \
    } while (0)

// One query through an area of `size` bytes inside a larger buffer filled
// with 0xCC, so that bytes past the area and bytes left alone can be seen.
typedef struct {
    BYTE Area[1024];
    BOOL Ok;
    DWORD Error, Returned;
} QUERY;

static void Ask(HANDLE device, DWORD code, QUERY* q, const void* in, DWORD inSize, DWORD size) {
    memset(q->Area, 0xCC, sizeof q->Area);
    if (in) memcpy(q->Area, in, inSize);
    q->Returned = 0xDEAD;
    SetLastError(0);
    q->Ok = DeviceIoControl(device, code, in ? q->Area : NULL, in ? inSize : 0, q->Area, size,
                            &q->Returned, NULL);
    q->Error = q->Ok ? 0 : GetLastError();
}

static BOOL Untouched(const QUERY* q, DWORD from, DWORD to) {
    for (DWORD i = from; i < to; i++)
        if (q->Area[i] != 0xCC) return FALSE;
    return TRUE;
}

static ULONG Ulong(const QUERY* q, DWORD offset) {
    ULONG v;
    memcpy(&v, q->Area + offset, sizeof v);
    return v;
}

static HANDLE OpenFirstController(void) {
    HDEVINFO set = SetupDiGetClassDevsA(&HostControllerClass, NULL, NULL,
                                        DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    SP_DEVICE_INTERFACE_DATA data = {.cbSize = sizeof data};
    char buffer[512];
    SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail = (void*)buffer;
    detail->cbSize = sizeof *detail;
    HANDLE h = INVALID_HANDLE_VALUE;
    if (SetupDiEnumDeviceInterfaces(set, NULL, &HostControllerClass, 0, &data) &&
        SetupDiGetDeviceInterfaceDetailA(set, &data, detail, sizeof buffer, NULL, NULL)) {
        h = CreateFileA(detail->DevicePath, GENERIC_WRITE, FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                        0, NULL);
    }
    SetupDiDestroyDeviceInfoList(set);
    return h;
}

static HANDLE OpenHub(const WCHAR* name) {
    WCHAR path[300] = L"\\\\.\\";
    wcscat(path, name);
    return CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                       OPEN_EXISTING, 0, NULL);
}

// The three name answers: the whole structure when the area holds it;
// else, from the declared size (fixed part and one character) on, that
// size alone with ActualLength and an empty name; below it, a failure.
static void CheckNameAnswers(HANDLE device, DWORD code, ULONG index, DWORD fixed,
                             const WCHAR* name, DWORD chars) {
    QUERY q;
    DWORD declared = fixed + 2, actual = fixed + 2 * (chars + 1);
    Ask(device, code, &q, &index, 4, declared - 1);
    CHECK(!q.Ok && q.Error == ERROR_INSUFFICIENT_BUFFER, "error %lu", q.Error);
    CHECK(Untouched(&q, 4, sizeof q.Area), "a failed query wrote into the area");
    DWORD shortOf[] = {declared, actual - 1};  // no room for the name, for its terminator
    for (int i = 0; i < 2 && chars; i++) {
        Ask(device, code, &q, &index, 4, shortOf[i]);
        CHECK(q.Ok && q.Returned == declared, "area %lu: ok %d returned %lu", shortOf[i], q.Ok,
              q.Returned);
        CHECK(Ulong(&q, fixed - 4) == actual, "ActualLength %lu, not %lu", Ulong(&q, fixed - 4),
              actual);
        if (fixed == 8) CHECK(Ulong(&q, 0) == index, "ConnectionIndex %lu", Ulong(&q, 0));
        CHECK(q.Area[fixed] == 0 && q.Area[fixed + 1] == 0, "area %lu: the name not empty",
              shortOf[i]);
        CHECK(Untouched(&q, declared, sizeof q.Area), "area %lu: written past the declared size",
              shortOf[i]);
    }
    Ask(device, code, &q, &index, 4, actual);
    CHECK(q.Ok && q.Returned == actual, "ok %d returned %lu", q.Ok, q.Returned);
    CHECK(!memcmp(q.Area + fixed, name, 2 * (chars + 1)), "name or terminator differs");
    CHECK(Untouched(&q, actual, sizeof q.Area), "written past the answer");
    Ask(device, code, &q, &index, 4, 600);
    CHECK(q.Ok && q.Returned == actual, "ok %d returned %lu", q.Ok, q.Returned);
}

static void CheckConnectionQueries(HANDLE hub) {
    QUERY q;
    const DWORD size = sizeof(USB_NODE_CONNECTION_INFORMATION_EX);
    for (ULONG index = 0; index <= 5; index += 5) {  // 0 and one above the ports
        Ask(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &q, &index, 4, size);
        CHECK(!q.Ok && q.Error == ERROR_INVALID_PARAMETER, "port %lu: error %lu", index, q.Error);
    }
    ULONG index = 1;
    Ask(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &q, &index, 4, size - 1);
    CHECK(!q.Ok && q.Error == ERROR_INSUFFICIENT_BUFFER, "error %lu", q.Error);
    Ask(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &q, &index, 4, size);
    USB_NODE_CONNECTION_INFORMATION_EX* info = (void*)q.Area;
    CHECK(q.Ok && q.Returned == size && info->ConnectionStatus == DeviceConnected &&
          info->DeviceDescriptor.idVendor == 0x0781 && info->Speed == 3 && !info->DeviceIsHub,
          "ok %d status %d vid %04X speed %d", q.Ok, info->ConnectionStatus,
          info->DeviceDescriptor.idVendor, info->Speed);
    Ask(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION, &q, &index, 4, size);
    CHECK(q.Ok && q.Area[offsetof(USB_NODE_CONNECTION_INFORMATION, LowSpeed)] == 0,
          "a SuperSpeed device flagged low speed");
    index = 3;  // "query": "fails"
    Ask(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &q, &index, 4, size);
    CHECK(!q.Ok && q.Error == ERROR_GEN_FAILURE && Untouched(&q, 4, sizeof q.Area),
          "error %lu", q.Error);
    index = 4;  // not listed
    Ask(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, &q, &index, 4, size);
    CHECK(q.Ok && info->ConnectionStatus == NoDeviceConnected, "status %d",
          info->ConnectionStatus);
}

static void CheckV2(HANDLE hub) {
    QUERY q;
    USB_NODE_CONNECTION_INFORMATION_EX_V2 in = {1, sizeof in - 1, {0xFFFFFFFF}, {0}};
    Ask(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2, &q, &in, sizeof in, sizeof in);
    CHECK(!q.Ok && q.Error == ERROR_INVALID_PARAMETER, "Length 15: error %lu", q.Error);
    in.Length = sizeof in;
    Ask(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2, &q, &in, sizeof in, sizeof in);
    USB_NODE_CONNECTION_INFORMATION_EX_V2* out = (void*)q.Area;
    // Whatever the caller put there is overwritten.
    CHECK(q.Ok && out->SupportedUsbProtocols.ul == 7 && out->Flags.ul == 3,
          "ok %d protocols %lu flags %lu", q.Ok, out->SupportedUsbProtocols.ul, out->Flags.ul);
    // Without Usb300 the query is refused, whatever else is asked for.
    in.SupportedUsbProtocols.ul = 0xFFFFFFFB;
    Ask(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2, &q, &in, sizeof in, sizeof in);
    CHECK(!q.Ok && q.Error == ERROR_INVALID_PARAMETER && Untouched(&q, sizeof in, sizeof q.Area),
          "no Usb300: ok %d error %lu", q.Ok, q.Error);
    in.SupportedUsbProtocols.ul = 0;
    Ask(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2, &q, &in, sizeof in, sizeof in);
    CHECK(!q.Ok && q.Error == ERROR_INVALID_PARAMETER, "nothing asked: error %lu", q.Error);
    // The walk's query: Usb300 alone, no flags.
    in.SupportedUsbProtocols.ul = 4;
    in.ConnectionIndex = 4;
    Ask(hub, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2, &q, &in, sizeof in, sizeof in);
    CHECK(q.Ok && out->SupportedUsbProtocols.ul == 3 && out->Flags.ul == 0,
          "unlisted port: ok %d protocols %lu", q.Ok, out->SupportedUsbProtocols.ul);
}

static void CheckRootHub(HANDLE hub) {
    QUERY q;
    Ask(hub, IOCTL_USB_GET_NODE_INFORMATION, &q, NULL, 0, sizeof(USB_NODE_INFORMATION) - 1);
    CHECK(!q.Ok && q.Error == ERROR_INSUFFICIENT_BUFFER, "error %lu", q.Error);
    Ask(hub, IOCTL_USB_GET_NODE_INFORMATION, &q, NULL, 0, sizeof(USB_NODE_INFORMATION));
    USB_NODE_INFORMATION* info = (void*)q.Area;
    CHECK(q.Ok && info->u.HubInformation.HubDescriptor.bNumberOfPorts == 4, "ok %d ports %d",
          q.Ok, info->u.HubInformation.HubDescriptor.bNumberOfPorts);
    CheckConnectionQueries(hub);
    CheckV2(hub);
    CheckNameAnswers(hub, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, 1, 8, DriverKey,
                     CHARS(DriverKey));
    for (ULONG index = 3; index <= 4; index++) {  // {"error": 1167}, and not listed
        Ask(hub, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, &q, &index, 4, 136);
        CHECK(!q.Ok && q.Error == ERROR_DEVICE_NOT_CONNECTED, "port %lu: error %lu", index,
              q.Error);
    }
    CheckNameAnswers(hub, IOCTL_USB_GET_NODE_CONNECTION_NAME, 2, 8, DownstreamName,
                     CHARS(DownstreamName));
    CheckNameAnswers(hub, IOCTL_USB_GET_NODE_CONNECTION_NAME, 1, 8, L"", 0);  // no hub there
    Ask(hub, IOCTL_USB_GET_HUB_CAPABILITIES, &q, NULL, 0, 3);
    CHECK(!q.Ok && q.Error == ERROR_INSUFFICIENT_BUFFER, "error %lu", q.Error);
    Ask(hub, IOCTL_USB_GET_HUB_CAPABILITIES, &q, NULL, 0, 4);
    CHECK(q.Ok && q.Returned == 4 && Ulong(&q, 0) == 0, "ok %d bits %lu", q.Ok, Ulong(&q, 0));
}

static void CheckDownstreamHub(HANDLE hub) {
    QUERY q;
    Ask(hub, IOCTL_USB_GET_NODE_INFORMATION, &q, NULL, 0, sizeof(USB_NODE_INFORMATION));
    CHECK(!q.Ok && q.Error == ERROR_GEN_FAILURE && Untouched(&q, 0, sizeof q.Area),
          "node_info false: error %lu", q.Error);
    Ask(hub, IOCTL_USB_GET_HUB_CAPABILITIES, &q, NULL, 0, 4);
    CHECK(!q.Ok && q.Error == ERROR_GEN_FAILURE, "capabilities fails: error %lu", q.Error);
}

int main(void) {
    HANDLE controller = OpenFirstController();
    CHECK(controller != INVALID_HANDLE_VALUE, "error %lu", GetLastError());
    if (controller == INVALID_HANDLE_VALUE) return Faults;
    CheckNameAnswers(controller, IOCTL_USB_GET_ROOT_HUB_NAME, 0, 4, RootHubName,
                     CHARS(RootHubName));
    CloseHandle(controller);
    HANDLE hub = OpenHub(RootHubName);
    CHECK(hub != INVALID_HANDLE_VALUE, "root hub: error %lu", GetLastError());
    if (hub != INVALID_HANDLE_VALUE) {
        CheckRootHub(hub);
        CloseHandle(hub);
    }
    hub = OpenHub(DownstreamName);
    CHECK(hub != INVALID_HANDLE_VALUE, "downstream hub: error %lu", GetLastError());
    if (hub != INVALID_HANDLE_VALUE) {
        CheckDownstreamHub(hub);
        CloseHandle(hub);
    }
    printf("%d faults\n", Faults);
    return Faults;
}
