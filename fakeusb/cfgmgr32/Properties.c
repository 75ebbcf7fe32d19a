// CM_Get_DevNode_Registry_PropertyW: the four properties the fake USB driver
// records come from its Tarvel* values; everything else from setupapi.
#include "Nodes.h"
#include <setupapi.h>

typedef struct {
    ULONG Property;
    const WCHAR* Value;    // the recorded text
    const WCHAR* Failure;  // the recorded CONFIGRET, when the query is to fail
} RecordedProperty;

static const RecordedProperty Recorded[] = {
    {CM_DRP_FRIENDLYNAME, L"TarvelFriendlyName", L"TarvelFriendlyNameCr"},
    {CM_DRP_DEVICEDESC, L"TarvelDeviceDesc", L"TarvelDeviceDescCr"},
    {CM_DRP_LOCATION_INFORMATION, L"TarvelLocation", L"TarvelLocationCr"},
    {CM_DRP_DRIVER, L"TarvelDriver", L"TarvelDriverCr"},
};

static const RecordedProperty* RecordedFor(ULONG property) {
    for (int i = 0; i < (int)(sizeof Recorded / sizeof Recorded[0]); i++)
        if (Recorded[i].Property == property) return &Recorded[i];
    return NULL;
}

// Hands out a text the way the real function does: the size needed, with
// terminator, in bytes in *length, and CR_BUFFER_SMALL when it does not fit.
static CONFIGRET AnswerText(const WCHAR* text, PULONG type, PVOID buffer, PULONG length) {
    ULONG needed = (ULONG)(NodeTextLength(text) + 1) * sizeof(WCHAR);
    ULONG room = *length;
    *length = needed;
    if (!buffer || room < needed) return CR_BUFFER_SMALL;
    NodeCopyText(buffer, text, (int)(needed / sizeof(WCHAR)));
    if (type) *type = REG_SZ;
    return CR_SUCCESS;
}

// A text stored without its terminator comes back as stored: exactly its
// bytes, nothing written after them, as Windows answers it.
static CONFIGRET AnswerUnterminated(const WCHAR* text, DWORD bytes, PULONG type, PVOID buffer,
                                    PULONG length) {
    ULONG room = *length;
    *length = bytes;
    if (!buffer || room < bytes) return CR_BUFFER_SMALL;
    for (DWORD i = 0; i < bytes; i++) ((BYTE*)buffer)[i] = ((const BYTE*)text)[i];  // no C runtime
    if (type) *type = REG_SZ;
    return CR_SUCCESS;
}

static CONFIGRET AnswerRecorded(HKEY key, const RecordedProperty* recorded, PULONG type,
                                PVOID buffer, PULONG length) {
    DWORD failure = 0;
    if (NodeReadDword(key, recorded->Failure, &failure) && failure) return failure;
    DWORD bytes = 0;
    WCHAR* text = NodeReadStored(key, recorded->Value, &bytes);
    if (!text) return CR_NO_SUCH_VALUE;
    DWORD units = bytes / sizeof(WCHAR);
    BOOL terminated = units > 0 && NodeTextLength(text) < (int)units;
    CONFIGRET result = terminated ? AnswerText(text, type, buffer, length)
                                  : AnswerUnterminated(text, units * sizeof(WCHAR), type, buffer, length);
    NodeFree(text);
    return result;
}

// A node the driver did not record: what setupapi knows of it. CM_DRP_x is
// SPDRP_x + 1.
static CONFIGRET AnswerFromSetupApi(const WCHAR* id, ULONG property, PULONG type, PVOID buffer,
                                    PULONG length) {
    HDEVINFO set = SetupDiCreateDeviceInfoList(NULL, NULL);
    if (set == INVALID_HANDLE_VALUE) return CR_FAILURE;
    SP_DEVINFO_DATA device;
    device.cbSize = sizeof device;
    CONFIGRET result = CR_NO_SUCH_DEVNODE;
    if (SetupDiOpenDeviceInfoW(set, id, NULL, 0, &device)) {
        DWORD dataType = 0, needed = 0;
        if (SetupDiGetDeviceRegistryPropertyW(set, &device, property - 1, &dataType, buffer,
                                              buffer ? *length : 0, &needed)) {
            result = CR_SUCCESS;
            *length = needed;
            if (type) *type = dataType;
        } else if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
            result = CR_BUFFER_SMALL;
            *length = needed;
        } else {
            result = CR_NO_SUCH_VALUE;
        }
    }
    SetupDiDestroyDeviceInfoList(set);
    return result;
}

CONFIGRET WINAPI CM_Get_DevNode_Registry_PropertyW(DEVINST node, ULONG property, PULONG type,
                                                   PVOID buffer, PULONG length, ULONG flags) {
    (void)flags;
    WCHAR id[NODE_ID_CCH];
    if (!length || (!buffer && *length)) return CR_INVALID_POINTER;
    if (property < CM_DRP_MIN || property > CM_DRP_MAX) return CR_INVALID_PROPERTY;
    if (!NodeInstanceId(node, id)) return CR_NO_SUCH_DEVNODE;
    const RecordedProperty* recorded = RecordedFor(property);
    HKEY key = recorded ? NodeOpenEnumKey(id) : NULL;
    if (key && NodeIsRecorded(key)) {
        CONFIGRET result = AnswerRecorded(key, recorded, type, buffer, length);
        RegCloseKey(key);
        return result;
    }
    if (key) RegCloseKey(key);
    return AnswerFromSetupApi(id, property, type, buffer, length);
}
