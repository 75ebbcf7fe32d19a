// cfgmgr32 over the simulated device nodes.
#include <algorithm>
#include <cstring>

#include "platform/sim/UsbState.h"

namespace tarvel {
namespace {

const ULONG kRegSz = 1;
// Windows hands out no registry property larger than this through the
// program's path; bigger values fail the same way a small buffer does.
const ULONG kMaxProperty = 2048;

// The node, or null with the CONFIGRET that explains why.
const sim::UsbNode* Lookup(DEVINST node, sim::UsbNode& scratch, CONFIGRET& cr) {
    if (node == 0) {
        cr = CR_INVALID_DEVNODE;
        return nullptr;
    }
    const sim::UsbNode* n = sim::FindNode(node, scratch);
    cr = n ? CR_SUCCESS : CR_NO_SUCH_DEVNODE;
    return n;
}

const sim::UsbText* Property(const sim::UsbNode& n, ULONG property) {
    switch (property) {
    case CM_DRP_DEVICEDESC: return &n.description;
    case CM_DRP_DRIVER: return &n.driver;
    case CM_DRP_FRIENDLYNAME: return &n.friendly_name;
    case CM_DRP_LOCATION_INFORMATION: return &n.location;
    default: return nullptr;
    }
}

CONFIGRET Related(PDEVINST out, DEVINST node, ULONG flags, DEVINST (*step)(DEVINST)) {
    if (!out) return CR_INVALID_POINTER;
    *out = 0;
    if (flags != 0) return CR_INVALID_FLAG;
    sim::UsbNode scratch;
    CONFIGRET cr;
    if (!Lookup(node, scratch, cr)) return cr;
    DEVINST next = step(node);
    if (next == 0) return CR_NO_SUCH_DEVNODE;
    *out = next;
    return CR_SUCCESS;
}

}  // namespace

CONFIGRET CM_Get_Device_IDA(DEVINST node, PSTR buffer, ULONG length, ULONG flags) {
    if (!buffer) return CR_INVALID_POINTER;
    if (flags != 0) return CR_INVALID_FLAG;
    sim::UsbNode scratch;
    CONFIGRET cr;
    const sim::UsbNode* n = Lookup(node, scratch, cr);
    if (!n) return cr;
    if (!n->instance_id.ok) return n->instance_id.code;
    std::string id = sim::Ansi(n->instance_id.text);
    // What fits, without a terminator, when the whole does not.
    memcpy(buffer, id.c_str(), std::min<size_t>(id.size() + 1, length));
    return id.size() + 1 > length ? CR_BUFFER_SMALL : CR_SUCCESS;
}

CONFIGRET CM_Get_DevNode_Status(PULONG status, PULONG problem, DEVINST node, ULONG flags) {
    if (!status || !problem) return CR_INVALID_POINTER;
    if (flags != 0) return CR_INVALID_FLAG;
    sim::UsbNode scratch;
    CONFIGRET cr;
    const sim::UsbNode* n = Lookup(node, scratch, cr);
    if (!n) return cr;
    if (!n->status_ok) return n->status_cr;
    *status = n->status;
    // Windows keeps a node's problem number at 0 while the node has no
    // problem, so the number goes only with DN_HAS_PROBLEM.
    *problem = (n->status & DN_HAS_PROBLEM) ? n->problem : 0;
    return CR_SUCCESS;
}

CONFIGRET CM_Get_Child(PDEVINST child, DEVINST node, ULONG flags) {
    return Related(child, node, flags, sim::NodeChild);
}

CONFIGRET CM_Get_Sibling(PDEVINST sibling, DEVINST node, ULONG flags) {
    return Related(sibling, node, flags, sim::NodeSibling);
}

CONFIGRET CM_Get_DevNode_Registry_PropertyW(DEVINST node, ULONG property, PULONG type,
                                            PVOID buffer, PULONG length, ULONG flags) {
    if (!length || (!buffer && *length != 0)) return CR_INVALID_POINTER;
    if (flags != 0) return CR_INVALID_FLAG;
    if (property == 0 || property > 0x25) return CR_INVALID_PROPERTY;
    sim::UsbNode scratch;
    CONFIGRET cr;
    const sim::UsbNode* n = Lookup(node, scratch, cr);
    if (!n) return cr;
    const sim::UsbText* value = Property(*n, property);
    if (!value) return CR_NO_SUCH_VALUE;
    if (!value->ok) return value->code;
    std::u16string wide = sim::Utf16(value->text);
    // Exactly the stored bytes: a value stored without its terminator comes
    // back without one, and the rest of the caller's area stays as it was.
    ULONG bytes = ULONG((wide.size() + (value->terminated ? 1 : 0)) * sizeof(char16_t));
    if (bytes > kMaxProperty || bytes > *length) {
        *length = bytes;
        return CR_BUFFER_SMALL;
    }
    memcpy(buffer, wide.c_str(), bytes);
    *length = bytes;
    if (type) *type = kRegSz;
    return CR_SUCCESS;
}

}  // namespace tarvel
