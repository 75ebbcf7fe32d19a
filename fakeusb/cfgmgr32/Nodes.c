#include "Nodes.h"

// Wine's handles are indices into its own table; this bit never appears in
// one, so the two kinds cannot collide.
#define OWN_TAG 0x5A000000u
#define OWN_INDEX_MASK 0x00FFFFFFu

typedef struct {
    WCHAR Id[NODE_ID_CCH];
} OwnNode;

static OwnNode* Own;
static DWORD OwnCount, OwnCapacity;
static SRWLOCK OwnLock = SRWLOCK_INIT;

typedef CONFIGRET(WINAPI* GetDeviceIdW)(DEVINST, PWSTR, ULONG, ULONG);

int NodeTextLength(const WCHAR* text) {
    int n = 0;
    while (text[n]) n++;
    return n;
}

// Copies at most cch - 1 characters and always terminates.
void NodeCopyText(WCHAR* to, const WCHAR* from, int cch) {
    int i = 0;
    for (; i < cch - 1 && from[i]; i++) to[i] = from[i];
    to[i] = 0;
}

void NodeFree(void* block) {
    if (block) HeapFree(GetProcessHeap(), 0, block);
}

// setupapi's CM_Get_Device_IDW, which knows Wine's own handles. Looked up
// by name because this DLL exports a function of the same name.
static GetDeviceIdW WineGetDeviceIdW(void) {
    static GetDeviceIdW fn;
    if (!fn) {
        HMODULE setupapi = LoadLibraryW(L"setupapi.dll");
        if (setupapi) fn = (GetDeviceIdW)(void*)GetProcAddress(setupapi, "CM_Get_Device_IDW");
    }
    return fn;
}

BOOL NodeInstanceId(DEVINST node, WCHAR* id) {
    if ((node & ~OWN_INDEX_MASK) == OWN_TAG) {
        DWORD index = node & OWN_INDEX_MASK;
        BOOL known = FALSE;
        AcquireSRWLockShared(&OwnLock);
        if (index < OwnCount) {
            NodeCopyText(id, Own[index].Id, NODE_ID_CCH);
            known = TRUE;
        }
        ReleaseSRWLockShared(&OwnLock);
        return known;
    }
    GetDeviceIdW fn = WineGetDeviceIdW();
    return fn && fn(node, id, NODE_ID_CCH, 0) == CR_SUCCESS && id[0];
}

static BOOL GrowOwn(void) {
    DWORD capacity = OwnCapacity ? OwnCapacity * 2 : 64;
    HANDLE heap = GetProcessHeap();
    SIZE_T bytes = capacity * sizeof(OwnNode);
    void* grown = Own ? HeapReAlloc(heap, 0, Own, bytes) : HeapAlloc(heap, 0, bytes);
    if (!grown) return FALSE;
    Own = grown;
    OwnCapacity = capacity;
    return TRUE;
}

BOOL NodeHandleFor(const WCHAR* id, DEVINST* handle) {
    BOOL ok = TRUE;
    AcquireSRWLockExclusive(&OwnLock);
    DWORD i = 0;
    while (i < OwnCount && lstrcmpiW(Own[i].Id, id) != 0) i++;
    if (i == OwnCount) {
        if (OwnCount > OWN_INDEX_MASK || (OwnCount == OwnCapacity && !GrowOwn()))
            ok = FALSE;
        else
            NodeCopyText(Own[OwnCount++].Id, id, NODE_ID_CCH);
    }
    ReleaseSRWLockExclusive(&OwnLock);
    if (ok) *handle = OWN_TAG | i;
    return ok;
}

HKEY NodeOpenEnumKey(const WCHAR* id) {
    static const WCHAR prefix[] = L"System\\CurrentControlSet\\Enum\\";
    WCHAR path[NODE_ID_CCH + sizeof prefix / sizeof prefix[0]];
    NodeCopyText(path, prefix, NODE_ID_CCH);
    int length = NodeTextLength(path);
    NodeCopyText(path + length, id, NODE_ID_CCH);
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return NULL;
    return key;
}

BOOL NodeReadDword(HKEY key, const WCHAR* name, DWORD* value) {
    DWORD type, size = sizeof *value;
    return RegQueryValueExW(key, name, NULL, &type, (BYTE*)value, &size) == ERROR_SUCCESS &&
           type == REG_DWORD && size == sizeof *value;
}

WCHAR* NodeReadText(HKEY key, const WCHAR* name) {
    DWORD bytes;
    return NodeReadStored(key, name, &bytes);
}

WCHAR* NodeReadStored(HKEY key, const WCHAR* name, DWORD* bytes) {
    DWORD type, size = 0;
    if (RegQueryValueExW(key, name, NULL, &type, NULL, &size) != ERROR_SUCCESS) return NULL;
    if (type != REG_SZ && type != REG_MULTI_SZ) return NULL;
    // Room for two terminators the stored data may lack.
    DWORD cch = size / sizeof(WCHAR) + 2;
    WCHAR* text = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, cch * sizeof(WCHAR));
    if (!text) return NULL;
    if (RegQueryValueExW(key, name, NULL, &type, (BYTE*)text, &size) != ERROR_SUCCESS) {
        NodeFree(text);
        return NULL;
    }
    *bytes = size;
    return text;
}

BOOL NodeIsRecorded(HKEY key) {
    DWORD value;
    return NodeReadDword(key, L"TarvelStatus", &value) ||
           NodeReadDword(key, L"TarvelStatusCr", &value);
}
