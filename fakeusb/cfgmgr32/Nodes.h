// Device nodes as the stand-in cfgmgr32 sees them: a DEVINST names either a
// node of Wine's own setupapi (a small index) or a child node handed out here
// (tagged), and the fake USB driver records each node's links, status and
// properties as Tarvel* values in its Enum key.
#pragma once
#include <windows.h>
#include <cfgmgr32.h>

// Longer than MAX_DEVICE_ID_LEN: a driver may record an over-long ID, and
// the caller's buffer check, not this one, must be what refuses it.
#define NODE_ID_CCH 512

// The node's instance ID; false when the handle names no node.
BOOL NodeInstanceId(DEVINST node, WCHAR* id);

// The handle this DLL answers for an instance ID; the same ID always gets
// the same handle, so a caller can compare handles. False when out of memory.
BOOL NodeHandleFor(const WCHAR* id, DEVINST* handle);

// The node's Enum key, or null when it has none.
HKEY NodeOpenEnumKey(const WCHAR* id);

BOOL NodeReadDword(HKEY key, const WCHAR* name, DWORD* value);

// A REG_SZ or REG_MULTI_SZ value in a buffer of the process heap, always
// ended by two zero characters; null when absent. Free with NodeFree.
WCHAR* NodeReadText(HKEY key, const WCHAR* name);
// The same, and in *bytes the size of the data as stored.
WCHAR* NodeReadStored(HKEY key, const WCHAR* name, DWORD* bytes);
void NodeFree(void* block);

// Whether the driver recorded this node (its status, or a status failure).
BOOL NodeIsRecorded(HKEY key);

int NodeTextLength(const WCHAR* text);
void NodeCopyText(WCHAR* to, const WCHAR* from, int cch);
