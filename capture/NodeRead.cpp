// Device nodes: instance ID, status, the four properties the listing
// shows, and the children. Areas are large enough for whole texts, so the
// file holds what the system holds and the replay cuts it where the
// program's own areas end.
#include "capture/Texts.h"
#include "runtime/CRTreplace.h"

namespace tarvel::capture {

namespace {

const ULONG kIdArea = 4096;
const ULONG kPropertyArea = 16384;
// Beyond any real node; keeps a sibling chain that loops from running on.
const int kMaxChildren = 100000;

const ULONG kPropertyCodes[kPropertyCount] = {CM_DRP_FRIENDLYNAME, CM_DRP_DEVICEDESC,
                                              CM_DRP_LOCATION_INFORMATION, CM_DRP_DRIVER};

// The instance ID with every byte the system holds: an ID may hold a zero
// byte, and only the smallest area that takes it tells its true length.
Text ReadId(Machine& m, DEVINST inst, char* area) {
    CONFIGRET cr = CM_Get_Device_IDA(inst, area, kIdArea, 0);
    if (cr != CR_SUCCESS) return FailedText(cr);
    ULONG low = ULONG(lstrlenA(area)) + 1;
    if (CM_Get_Device_IDA(inst, area, low, 0) != CR_SUCCESS) {
        ULONG high = kIdArea;  // fits; low does not
        while (high - low > 1) {
            ULONG mid = low + (high - low) / 2;
            if (CM_Get_Device_IDA(inst, area, mid, 0) == CR_SUCCESS) high = mid;
            else low = mid;
        }
        low = high;
        CM_Get_Device_IDA(inst, area, low, 0);
    }
    return AnsiText(m, area, int(low) - 1);
}

// The text of a property; unterminated is set when the returned bytes hold
// no terminator (a value so stored), which the file must say to replay it.
Text ReadProperty(DEVINST inst, ULONG code, WCHAR* area, bool& unterminated) {
    ULONG type = 0;
    ULONG length = kPropertyArea;
    CONFIGRET cr = CM_Get_DevNode_Registry_PropertyW(inst, code, &type, area, &length, 0);
    if (cr != CR_SUCCESS) return FailedText(cr);
    if (length > kPropertyArea) length = kPropertyArea;
    int units = int(length / sizeof(WCHAR));
    int end = 0;
    while (end < units && area[end]) end++;
    unterminated = end == units;
    return WideText(area, units);
}

}  // namespace

int FindNode(const Machine& m, DEVINST inst) {
    for (int i = 0; i < m.Nodes.Count; i++)
        if (m.Nodes[i].Inst == inst) return i;
    return -1;
}

int ReadNode(Machine& m, DEVINST inst) {
    int found = FindNode(m, inst);
    if (found >= 0) return found;
    void* area = HeapNew(kPropertyArea);
    Node& n = m.Nodes.Add();
    n.Inst = inst;
    n.Hub = -1;
    n.Id = ReadId(m, inst, static_cast<char*>(area));
    ULONG status = 0, problem = 0;
    CONFIGRET cr = CM_Get_DevNode_Status(&status, &problem, inst, 0);
    n.StatusOk = cr == CR_SUCCESS;
    n.StatusCode = cr;
    n.Status = n.StatusOk ? status : 0;
    n.Problem = n.StatusOk ? problem : 0;
    for (int p = 0; p < kPropertyCount; p++)
        n.Props[p] = ReadProperty(inst, kPropertyCodes[p], static_cast<WCHAR*>(area),
                                  n.Unterminated[p]);
    HeapDelete(area);
    return m.Nodes.Count - 1;
}

void ReadChildren(Machine& m, int node) {
    if (m.Nodes[node].ChildrenRead) return;
    m.Nodes[node].ChildrenRead = true;
    DEVINST child = 0;
    if (CM_Get_Child(&child, m.Nodes[node].Inst, 0) != CR_SUCCESS) return;
    do {
        m.Nodes[node].Children.Add() = child;
    } while (m.Nodes[node].Children.Count < kMaxChildren &&
             CM_Get_Sibling(&child, child, 0) == CR_SUCCESS);
}

}  // namespace tarvel::capture
