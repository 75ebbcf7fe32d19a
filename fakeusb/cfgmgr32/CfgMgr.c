// The Configuration Manager functions that Wine 8 leaves as stubs, answered
// from what the fake USB driver records in each node's Enum key; nodes
// without records get what Windows answers for an ordinary started node.
#include "Nodes.h"
#include <setupapi.h>

// What Windows reports for a started node with a loaded driver.
#define STARTED_NODE_STATUS 0x0180200Au

BOOL WINAPI DllEntry(HINSTANCE module, DWORD reason, LPVOID reserved) {
    (void)module;
    (void)reason;
    (void)reserved;
    return TRUE;
}

// ---- instance IDs ----

CONFIGRET WINAPI CM_Get_Device_IDW(DEVINST node, PWSTR buffer, ULONG length, ULONG flags) {
    (void)flags;
    WCHAR id[NODE_ID_CCH];
    if (!buffer) return CR_INVALID_POINTER;
    if (!NodeInstanceId(node, id)) return CR_NO_SUCH_DEVNODE;
    if ((ULONG)NodeTextLength(id) + 1 > length) return CR_BUFFER_SMALL;
    NodeCopyText(buffer, id, (int)length);
    return CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Device_IDA(DEVINST node, PSTR buffer, ULONG length, ULONG flags) {
    (void)flags;
    WCHAR id[NODE_ID_CCH];
    char narrow[NODE_ID_CCH * 2];
    if (!buffer) return CR_INVALID_POINTER;
    if (!NodeInstanceId(node, id)) return CR_NO_SUCH_DEVNODE;
    int bytes = WideCharToMultiByte(CP_ACP, 0, id, -1, narrow, sizeof narrow, NULL, NULL);
    if (bytes <= 0) return CR_FAILURE;
    // What fits, without a terminator, when the whole does not.
    for (int i = 0; i < bytes && (ULONG)i < length; i++) buffer[i] = narrow[i];
    return (ULONG)bytes > length ? CR_BUFFER_SMALL : CR_SUCCESS;
}

CONFIGRET WINAPI CM_Get_Device_ID_Size(PULONG length, DEVINST node, ULONG flags) {
    (void)flags;
    WCHAR id[NODE_ID_CCH];
    if (!length) return CR_INVALID_POINTER;
    if (!NodeInstanceId(node, id)) return CR_NO_SUCH_DEVNODE;
    *length = (ULONG)NodeTextLength(id);
    return CR_SUCCESS;
}

// ---- links ----

// The instance ID after `after` in the list of the multi-string (the first
// when `after` is null), as a handle of this DLL.
static CONFIGRET HandleInList(const WCHAR* list, const WCHAR* after, PDEVINST found) {
    const WCHAR* entry = list;
    if (after) {
        while (*entry && lstrcmpiW(entry, after) != 0) entry += NodeTextLength(entry) + 1;
        if (!*entry) return CR_NO_SUCH_DEVNODE;
        entry += NodeTextLength(entry) + 1;
    }
    if (!*entry) return CR_NO_SUCH_DEVNODE;
    return NodeHandleFor(entry, found) ? CR_SUCCESS : CR_OUT_OF_MEMORY;
}

// The text value `name` of the node with this instance ID, or null.
static WCHAR* ReadNodeText(const WCHAR* id, const WCHAR* name) {
    HKEY key = NodeOpenEnumKey(id);
    if (!key) return NULL;
    WCHAR* text = NodeReadText(key, name);
    RegCloseKey(key);
    return text;
}

CONFIGRET WINAPI CM_Get_Child(PDEVINST child, DEVINST node, ULONG flags) {
    (void)flags;
    WCHAR id[NODE_ID_CCH];
    if (!child) return CR_INVALID_POINTER;
    *child = 0;
    if (!NodeInstanceId(node, id)) return CR_NO_SUCH_DEVNODE;
    WCHAR* children = ReadNodeText(id, L"TarvelChildren");
    if (!children) return CR_NO_SUCH_DEVNODE;
    CONFIGRET result = HandleInList(children, NULL, child);
    NodeFree(children);
    return result;
}

CONFIGRET WINAPI CM_Get_Parent(PDEVINST parent, DEVINST node, ULONG flags) {
    (void)flags;
    WCHAR id[NODE_ID_CCH];
    if (!parent) return CR_INVALID_POINTER;
    *parent = 0;
    if (!NodeInstanceId(node, id)) return CR_NO_SUCH_DEVNODE;
    WCHAR* parentId = ReadNodeText(id, L"TarvelParent");
    CONFIGRET result = CR_NO_SUCH_DEVNODE;
    if (parentId && parentId[0])
        result = NodeHandleFor(parentId, parent) ? CR_SUCCESS : CR_OUT_OF_MEMORY;
    NodeFree(parentId);
    return result;
}

CONFIGRET WINAPI CM_Get_Sibling(PDEVINST sibling, DEVINST node, ULONG flags) {
    (void)flags;
    WCHAR id[NODE_ID_CCH];
    if (!sibling) return CR_INVALID_POINTER;
    *sibling = 0;
    if (!NodeInstanceId(node, id)) return CR_NO_SUCH_DEVNODE;
    WCHAR* parentId = ReadNodeText(id, L"TarvelParent");
    if (!parentId) return CR_NO_SUCH_DEVNODE;
    WCHAR* children = ReadNodeText(parentId, L"TarvelChildren");
    NodeFree(parentId);
    if (!children) return CR_NO_SUCH_DEVNODE;
    CONFIGRET result = HandleInList(children, id, sibling);
    NodeFree(children);
    return result;
}

// ---- status ----

CONFIGRET WINAPI CM_Get_DevNode_Status(PULONG status, PULONG problem, DEVINST node, ULONG flags) {
    (void)flags;
    WCHAR id[NODE_ID_CCH];
    if (!status || !problem) return CR_INVALID_POINTER;
    if (!NodeInstanceId(node, id)) return CR_NO_SUCH_DEVNODE;
    DWORD failure = 0, value = STARTED_NODE_STATUS, number = 0;
    HKEY key = NodeOpenEnumKey(id);
    if (key) {
        if (NodeIsRecorded(key)) value = 0;
        NodeReadDword(key, L"TarvelStatusCr", &failure);
        NodeReadDword(key, L"TarvelStatus", &value);
        NodeReadDword(key, L"TarvelProblem", &number);
        RegCloseKey(key);
    }
    if (failure) return failure;
    *status = value;
    // Windows keeps a node's problem number at 0 while the node has no
    // problem, so the number goes only with DN_HAS_PROBLEM.
    *problem = (value & DN_HAS_PROBLEM) ? number : 0;
    return CR_SUCCESS;
}
