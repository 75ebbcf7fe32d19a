// Checks the stand-in cfgmgr32.dll inside a wine prefix: records links,
// statuses and properties for one of Wine's own nodes and three made-up
// children, asks the DLL (loaded by full path from the system directory, as
// tarvel does), and removes the records again. Exit code: failed checks.
#include <windows.h>
#include <cfgmgr32.h>
#include <setupapi.h>
#include <stdio.h>
#include <string.h>

typedef CONFIGRET(WINAPI* GetIdA)(DEVINST, PSTR, ULONG, ULONG);
typedef CONFIGRET(WINAPI* GetStatus)(PULONG, PULONG, DEVINST, ULONG);
typedef CONFIGRET(WINAPI* GetLink)(PDEVINST, DEVINST, ULONG);
typedef CONFIGRET(WINAPI* GetProperty)(DEVINST, ULONG, PULONG, PVOID, PULONG, ULONG);

static GetIdA IdA;
static GetStatus Status;
static GetLink Child, Sibling, Parent;
static GetProperty Property;
static int Failures;

#define ENUM L"System\\CurrentControlSet\\Enum\\"

static void Expect(int ok, const char* what) {
    if (!ok) {
        printf("FAIL: %s\n", what);
        Failures++;
    }
}

static void ExpectCr(CONFIGRET got, CONFIGRET wanted, const char* what) {
    if (got != wanted) {
        printf("FAIL: %s: CONFIGRET 0x%lX, expected 0x%lX\n", what, got, wanted);
        Failures++;
    }
}

static HKEY CreateNodeKey(const WCHAR* id) {
    WCHAR path[512] = ENUM;
    wcscat(path, id);
    HKEY key = NULL;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL);
    return key;
}

static void SetText(HKEY key, const WCHAR* name, const WCHAR* text, DWORD type, DWORD bytes) {
    RegSetValueExW(key, name, 0, type, (const BYTE*)text, bytes);
}

static void SetSz(HKEY key, const WCHAR* name, const WCHAR* text) {
    SetText(key, name, text, REG_SZ, (DWORD)(wcslen(text) + 1) * sizeof(WCHAR));
}

static void SetDword(HKEY key, const WCHAR* name, DWORD value) {
    RegSetValueExW(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
}

static const WCHAR* RecordedNames[] = {
    L"TarvelChildren", L"TarvelParent", L"TarvelStatus", L"TarvelProblem", L"TarvelStatusCr",
    L"TarvelFriendlyName", L"TarvelDeviceDesc", L"TarvelLocation", L"TarvelDriver"};

static void Unrecord(const WCHAR* id) {
    HKEY key = CreateNodeKey(id);
    for (int i = 0; i < (int)(sizeof RecordedNames / sizeof RecordedNames[0]); i++)
        RegDeleteValueW(key, RecordedNames[i]);
    RegCloseKey(key);
}

// Children: 1 is healthy with every property, 2 fails its status and two
// properties, 3 has no records at all.
static const WCHAR ChildList[] = L"TARVELCHECK\\CHILD\\1\0TarvelCheck\\Child\\2\0TARVELCHECK\\CHILD\\3\0";

static void Record(const WCHAR* hubId) {
    HKEY hub = CreateNodeKey(hubId);
    SetText(hub, L"TarvelChildren", ChildList, REG_MULTI_SZ, sizeof ChildList);
    SetDword(hub, L"TarvelStatus", 0x0180600A);
    SetDword(hub, L"TarvelProblem", 0);
    RegCloseKey(hub);

    HKEY one = CreateNodeKey(L"TARVELCHECK\\CHILD\\1");
    SetSz(one, L"TarvelParent", hubId);
    SetDword(one, L"TarvelStatus", 0x01802400);
    SetDword(one, L"TarvelProblem", 28);
    SetSz(one, L"TarvelFriendlyName", L"Stick \x00e9");
    SetSz(one, L"TarvelDeviceDesc", L"USB Mass Storage Device");
    SetSz(one, L"TarvelLocation", L"Port_#0001.Hub_#0001");
    RegCloseKey(one);

    HKEY two = CreateNodeKey(L"TARVELCHECK\\CHILD\\2");
    SetSz(two, L"TarvelParent", hubId);
    SetDword(two, L"TarvelStatusCr", 0x17);
    SetDword(two, L"TarvelDriverCr", 0x1A);
    SetDword(two, L"TarvelFriendlyNameCr", 0x25);
    SetSz(two, L"TarvelFriendlyName", L"never answered: the failure wins");
    RegCloseKey(two);

    RegCloseKey(CreateNodeKey(L"TARVELCHECK\\CHILD\\3"));
}

static void ExpectId(DEVINST node, const char* wanted, const char* what) {
    char id[256] = "";
    ExpectCr(IdA(node, id, sizeof id, 0), CR_SUCCESS, what);
    if (strcmp(id, wanted) != 0) {
        printf("FAIL: %s: instance ID '%s', expected '%s'\n", what, id, wanted);
        Failures++;
    }
}

static void CheckLinks(DEVINST hub, const char* hubId) {
    DEVINST one = 0, again = 0, two = 0, three = 0, none = 7, up = 0;
    ExpectCr(Child(&one, hub, 0), CR_SUCCESS, "first child");
    ExpectId(one, "TARVELCHECK\\CHILD\\1", "first child's ID");
    ExpectCr(Child(&again, hub, 0), CR_SUCCESS, "first child again");
    Expect(one == again, "one node, one handle");
    ExpectCr(Sibling(&two, one, 0), CR_SUCCESS, "second child");
    ExpectId(two, "TarvelCheck\\Child\\2", "second child's ID keeps its case");
    ExpectCr(Sibling(&three, two, 0), CR_SUCCESS, "third child");
    ExpectId(three, "TARVELCHECK\\CHILD\\3", "third child's ID");
    ExpectCr(Sibling(&none, three, 0), CR_NO_SUCH_DEVNODE, "no sibling after the last");
    Expect(none == 0, "no sibling: output cleared");
    ExpectCr(Child(&none, one, 0), CR_NO_SUCH_DEVNODE, "a node without children");
    ExpectCr(Parent(&up, one, 0), CR_SUCCESS, "parent");
    ExpectId(up, hubId, "parent's ID");
    ExpectCr(Sibling(&none, hub, 0), CR_NO_SUCH_DEVNODE, "a node without parent");
}

static void CheckStatus(DEVINST hub, DEVINST one, DEVINST two, DEVINST three) {
    ULONG status = 0, problem = 99;
    ExpectCr(Status(&status, &problem, hub, 0), CR_SUCCESS, "hub status");
    Expect(status == 0x0180600A && problem == 0, "hub status as recorded");
    ExpectCr(Status(&status, &problem, one, 0), CR_SUCCESS, "child status");
    Expect(status == 0x01802400 && problem == 28, "child status and problem as recorded");
    ExpectCr(Status(&status, &problem, two, 0), 0x17, "recorded status failure");
    ExpectCr(Status(&status, &problem, three, 0), CR_SUCCESS, "unrecorded node: started");
    Expect(problem == 0, "unrecorded node: no problem");
}

static CONFIGRET Get(DEVINST node, ULONG property, WCHAR* buffer, ULONG* length) {
    ULONG type = 0;
    return Property(node, property, &type, buffer, length, 0);
}

static void CheckProperties(DEVINST one, DEVINST two) {
    WCHAR text[1024];
    ULONG length = sizeof text;
    ExpectCr(Get(one, CM_DRP_FRIENDLYNAME, text, &length), CR_SUCCESS, "friendly name");
    Expect(wcscmp(text, L"Stick \x00e9") == 0 && length == 16, "friendly name text and length");
    length = 15;
    ExpectCr(Get(one, CM_DRP_FRIENDLYNAME, text, &length), CR_BUFFER_SMALL, "no room for terminator");
    Expect(length == 16, "needed length told");
    length = 0;
    ExpectCr(Get(one, CM_DRP_FRIENDLYNAME, NULL, &length), CR_BUFFER_SMALL, "size query");
    Expect(length == 16, "size query length");
    length = sizeof text;
    ExpectCr(Get(one, CM_DRP_LOCATION_INFORMATION, text, &length), CR_SUCCESS, "location");
    Expect(wcscmp(text, L"Port_#0001.Hub_#0001") == 0, "location text");
    length = sizeof text;
    ExpectCr(Get(one, CM_DRP_DRIVER, text, &length), CR_NO_SUCH_VALUE, "property not recorded");
    length = sizeof text;
    ExpectCr(Get(two, CM_DRP_DRIVER, text, &length), 0x1A, "recorded property failure");
    length = sizeof text;
    ExpectCr(Get(two, CM_DRP_FRIENDLYNAME, text, &length), 0x25, "failure before text");
}

static void CheckIdBuffer(DEVINST one) {
    char id[32];
    ULONG needed = (ULONG)strlen("TARVELCHECK\\CHILD\\1") + 1;
    ExpectCr(IdA(one, id, needed - 1, 0), CR_BUFFER_SMALL, "instance ID without room for terminator");
    ExpectCr(IdA(one, id, needed, 0), CR_SUCCESS, "instance ID that just fits");
    ExpectCr(IdA(0x5A7FFFFF, id, sizeof id, 0), CR_NO_SUCH_DEVNODE, "handle never handed out");
}

// A node of Wine's without records answers as setupapi knows it.
static void CheckUnrecorded(HDEVINFO set, SP_DEVINFO_DATA* device) {
    WCHAR fromSetupApi[512] = L"", fromStandIn[512] = L"";
    DWORD type;
    BOOL known = SetupDiGetDeviceRegistryPropertyW(set, device, SPDRP_HARDWAREID, &type,
                                                   (BYTE*)fromSetupApi, sizeof fromSetupApi, NULL);
    ULONG length = sizeof fromStandIn;
    CONFIGRET got = Get(device->DevInst, CM_DRP_HARDWAREID, fromStandIn, &length);
    ExpectCr(got, known ? CR_SUCCESS : CR_NO_SUCH_VALUE, "unrecorded node's hardware ID");
    Expect(!known || wcscmp(fromSetupApi, fromStandIn) == 0, "hardware ID as setupapi has it");
    DEVINST none = 7;
    ExpectCr(Child(&none, device->DevInst, 0), CR_NO_SUCH_DEVNODE, "unrecorded node: no child");
}

static HMODULE LoadStandIn(void) {
    char path[MAX_PATH];
    GetSystemDirectoryA(path, MAX_PATH);
    strcat(path, "\\cfgmgr32.dll");
    HMODULE module = LoadLibraryA(path);
    if (!module) return NULL;
    IdA = (GetIdA)(void*)GetProcAddress(module, "CM_Get_Device_IDA");
    Status = (GetStatus)(void*)GetProcAddress(module, "CM_Get_DevNode_Status");
    Child = (GetLink)(void*)GetProcAddress(module, "CM_Get_Child");
    Sibling = (GetLink)(void*)GetProcAddress(module, "CM_Get_Sibling");
    Parent = (GetLink)(void*)GetProcAddress(module, "CM_Get_Parent");
    Property = (GetProperty)(void*)GetProcAddress(module, "CM_Get_DevNode_Registry_PropertyW");
    return module;
}

// Whether the node's Enum key holds none of the fake driver's records, so
// that borrowing it for a while disturbs no loaded machine.
static int Unrecorded(HDEVINFO set, SP_DEVINFO_DATA* device) {
    WCHAR id[256], path[512] = ENUM;
    if (!SetupDiGetDeviceInstanceIdW(set, device, id, 256, NULL)) return 0;
    wcscat(path, id);
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key)) return 0;
    DWORD size = 0;
    int none = 1;
    for (int i = 0; i < (int)(sizeof RecordedNames / sizeof RecordedNames[0]); i++)
        if (!RegQueryValueExW(key, RecordedNames[i], NULL, NULL, NULL, &size)) none = 0;
    RegCloseKey(key);
    return none;
}

// The first two nodes of Wine's own that the driver did not record.
static int PickNodes(HDEVINFO set, SP_DEVINFO_DATA* hub, SP_DEVINFO_DATA* other) {
    SP_DEVINFO_DATA* wanted[2] = {hub, other};
    int found = 0;
    SP_DEVINFO_DATA device;
    device.cbSize = sizeof device;
    for (DWORD i = 0; found < 2 && SetupDiEnumDeviceInfo(set, i, &device); i++)
        if (Unrecorded(set, &device)) *wanted[found++] = device;
    return found == 2;
}

int main(void) {
    HMODULE module = LoadStandIn();
    if (!module || !IdA || !Status || !Child || !Sibling || !Parent || !Property) {
        printf("FAIL: the stand-in cfgmgr32.dll or one of its functions is missing\n");
        return 1;
    }
    Expect(GetProcAddress(module, "CM_Get_Version") != NULL, "forwarded export resolves");
    HDEVINFO set = SetupDiGetClassDevsW(NULL, NULL, NULL, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    SP_DEVINFO_DATA hub, other;
    if (!PickNodes(set, &hub, &other)) {
        printf("FAIL: the prefix has fewer than two device nodes of Wine's own\n");
        return 1;
    }
    char hubId[256];
    ExpectCr(IdA(hub.DevInst, hubId, sizeof hubId, 0), CR_SUCCESS, "Wine's node's ID");
    WCHAR hubIdW[256];
    MultiByteToWideChar(CP_ACP, 0, hubId, -1, hubIdW, 256);
    Record(hubIdW);

    CheckLinks(hub.DevInst, hubId);
    DEVINST one = 0, two = 0, three = 0;
    Child(&one, hub.DevInst, 0);
    Sibling(&two, one, 0);
    Sibling(&three, two, 0);
    CheckStatus(hub.DevInst, one, two, three);
    CheckProperties(one, two);
    CheckIdBuffer(one);
    CheckUnrecorded(set, &other);

    SetupDiDestroyDeviceInfoList(set);
    Unrecord(hubIdW);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, ENUM L"TARVELCHECK");
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, ENUM L"TARVELCHECK");
    printf(Failures ? "%d checks failed\n" : "all checks passed\n", Failures);
    return Failures;
}
