// Fits the device-node tree to the walk. In a machine file a hub's node is
// the node of the port it hangs on, and a hub's child nodes are its ports'
// nodes in port order, then its further nodes; the system's child order is
// kept, as the program lists the nodes in that order.
#include "capture/Texts.h"
#include "runtime/CRTreplace.h"

namespace tarvel::capture {

namespace {

const int kMaxPort = 255;

bool IsChildOf(const Machine& m, int parentNode, DEVINST inst) {
    if (parentNode < 0) return true;  // no node above: any node will do
    const List<DEVINST>& children = m.Nodes[parentNode].Children;
    for (int i = 0; i < children.Count; i++)
        if (children[i] == inst) return true;
    return false;
}

void Associate(Machine& m, int hub, int node) {
    m.Hubs[hub].Node = node;
    m.Nodes[node].Hub = hub;
    ReadChildren(m, node);
    for (int i = 0; i < m.Members.Count; i++) {
        if (m.Members[i].Hub < 0 && m.Members[i].Owner == m.Nodes[node].Inst) {
            m.Members[i].Hub = hub;
            Hub& h = m.Hubs[hub];
            h.Detail = m.Members[i].Detail;
            h.InterfacePath = m.Members[i].Detail ? m.Members[i].Path : Text{};
            return;
        }
    }
}

// The port a hub hangs on.
Port* PortOf(Machine& m, int hub) {
    const Hub& h = m.Hubs[hub];
    if (h.Parent < 0 || h.OnPort == 0) return nullptr;
    List<Port>& conns = m.Hubs[h.Parent].Conns;
    for (int k = 0; k < conns.Count; k++)
        if (conns[k].Number == h.OnPort) return &conns[k];
    return nullptr;
}

// A hub's own node: the hub-set member whose interface is this hub, else
// the node the tree puts where the hub is (the controller's first child,
// or the child of the parent hub's node that names the port).
int FindHubNode(Machine& m, int hub) {
    const Hub& h = m.Hubs[hub];
    if (h.Walk.Reread) return -1;  // the node belongs to the hub the first walk read
    if (h.Parent < 0) {
        // A root hub's node is its controller's one child.
        for (int c = 0; c < m.Controllers.Count; c++) {
            const Controller& ctl = m.Controllers[c];
            if (ctl.RootHub != hub || ctl.Inst == 0) continue;
            int node = ReadNode(m, ctl.Inst);
            ReadChildren(m, node);
            if (m.Nodes[node].Children.Count == 0) break;
            int first = ReadNode(m, m.Nodes[node].Children[0]);
            if (m.Nodes[first].Hub < 0) return first;
        }
    }
    int above = -1;
    if (h.Parent >= 0) {
        above = m.Hubs[h.Parent].Node;
        if (above < 0 && m.Hubs[h.Parent].Parent >= 0) return -1;
    }
    for (int i = 0; i < m.Members.Count; i++) {
        const Member& mb = m.Members[i];
        if (mb.Hub >= 0 || !mb.Detail || !SameDevicePath(mb.RawPath, h.OpenPath)) continue;
        int node = ReadNode(m, mb.Owner);
        if (m.Nodes[node].Hub < 0 && IsChildOf(m, above, mb.Owner)) return node;
    }
    const Port* port = PortOf(m, hub);
    if (!port || above < 0) return -1;
    // ReadNode adds to Nodes: the children are read through their index.
    for (int pass = 0; pass < 2; pass++) {
        for (int i = 0; i < m.Nodes[above].Children.Count; i++) {
            int node = ReadNode(m, m.Nodes[above].Children[i]);
            const Node& n = m.Nodes[node];
            if (n.Hub >= 0) continue;
            if (pass == 0 ? SameText(n.Props[kDriver], port->DriverKey)
                          : NamesPort(n.Props[kLocation], port->Number))
                return node;
        }
    }
    return -1;
}

Port& InsertPort(Hub& h, int number) {
    h.Conns.Add();
    int k = h.Conns.Count - 1;
    for (; k > 0 && h.Conns[k - 1].Number > number; k--) h.Conns[k] = h.Conns[k - 1];
    Port& port = h.Conns[k];
    MemFill(&port, 0, sizeof port);
    port.Number = number;
    port.QueryOk = true;
    port.Status = NoDeviceConnected;
    port.DriverKey = FailedText(ERROR_DEVICE_NOT_CONNECTED);
    port.NodeNameOk = true;
    port.HubName = Text{"", 0, true, 0};
    port.Hub = port.Node = -1;
    return port;
}

Port* FindPort(Hub& h, int number) {
    for (int k = 0; k < h.Conns.Count; k++)
        if (h.Conns[k].Number == number) return &h.Conns[k];
    return nullptr;
}

// A port number in (low, high) that no listed port has; 0 when none.
int FreePortNumber(Hub& h, int low, int high) {
    for (int q = low + 1; q < high && q <= kMaxPort; q++)
        if (!FindPort(h, q)) return q;
    return 0;
}

// The listed port a child node belongs to by its driver key, then by its
// location; -1 for none. A hub the walk did not reach cannot be on a port
// that the walk asked for a hub's name and that answered none: in the file
// that port would answer the hub's name.
int MatchPort(Machine& m, Hub& h, int node, bool hub, const bool* taken) {  // taken: by port number
    const Node& n = m.Nodes[node];
    for (int pass = 0; pass < 2; pass++) {
        for (int k = 0; k < h.Conns.Count; k++) {
            const Port& p = h.Conns[k];
            if (taken[p.Number] || p.Hub >= 0 || (hub && p.IsHub && p.NodeNameOk)) continue;
            if (pass == 0 ? SameText(n.Props[kDriver], p.DriverKey)
                          : NamesPort(n.Props[kLocation], p.Number))
                return p.Number;
        }
    }
    return 0;
}

// The port number a child that is itself a hub's node must have; 0 for a
// child that is not, -1 for a hub that waits for a number.
int HubChildPort(const Machine& m, int hub, int node) {
    int below = m.Nodes[node].Hub;
    if (below < 0 || m.Hubs[below].Parent != hub) return 0;
    return m.Hubs[below].OnPort ? m.Hubs[below].OnPort : -1;
}

void PlaceChildren(Machine& m, int hub) {
    int self = m.Hubs[hub].Node;
    int count = m.Nodes[self].Children.Count;
    if (count == 0) return;
    int* nodes = static_cast<int*>(Take(sizeof(int) * count));
    int* fixed = static_cast<int*>(Take(sizeof(int) * count));
    for (int i = 0; i < count; i++) {
        nodes[i] = ReadNode(m, m.Nodes[self].Children[i]);
        fixed[i] = HubChildPort(m, hub, nodes[i]);
    }
    bool* taken = static_cast<bool*>(Take(kMaxPort + 1));
    int lastHubChild = -1;
    for (int i = 0; i < count; i++)
        if (fixed[i] != 0) lastHubChild = i;
    int lastPort = 0;
    for (int i = 0; i < count; i++) {
        Hub& h = m.Hubs[hub];
        int node = nodes[i];
        // The lowest number a hub's node further on needs stays above this one.
        int ceiling = kMaxPort + 1;
        for (int j = i + 1; j <= lastHubChild; j++)
            if (fixed[j] > 0 && fixed[j] < ceiling) ceiling = fixed[j];
        // A hub's node, and every node before the last of them, must be a
        // port's node; the nodes after it may stay further nodes.
        bool needed = fixed[i] != 0 || i <= lastHubChild;
        int number = fixed[i];
        if (number <= 0 && (needed || h.Extras.Count == 0)) {
            int match = MatchPort(m, h, node, fixed[i] < 0, taken);
            if (match > lastPort && match < (needed ? ceiling : kMaxPort + 1)) number = match;
            else number = needed ? -1 : 0;
        }
        if (number < 0) number = FreePortNumber(h, lastPort, ceiling);
        if (number == 0 && fixed[i] != 0) number = FreePortNumber(h, lastPort, kMaxPort + 1);
        if (number == 0 || (fixed[i] > 0 && number <= lastPort)) {
            if (i <= lastHubChild)
                Note(m, "The child nodes of hub %i are in an order no machine file gives; "
                        "the file changes it.", hub + 1);
        }
        if (number == 0 && fixed[i] == 0) {
            h.Extras.Add() = node;
            continue;
        }
        if (number == 0) continue;  // a hub child without any free number: left out
        Port* port = FindPort(h, number);
        if (!port) port = &InsertPort(h, number);
        taken[number] = true;
        port->Node = node;
        int below = m.Nodes[node].Hub;
        if (below >= 0 && m.Hubs[below].Parent == hub) {
            port->Hub = below;
            m.Hubs[below].OnPort = number;
        }
        if (number > lastPort) lastPort = number;
    }
}

// A hub-set member the walk did not reach: a hub of its own, where the
// node tree puts it, so that its children are listed as the program lists
// them.
void PlaceMember(Machine& m, int member) {
    Member mb = m.Members[member];
    int node = ReadNode(m, mb.Owner);
    if (m.Nodes[node].Hub >= 0) {
        Note(m, "Hub set member %i is the node of another member; the file lists it once.",
             member);
        return;
    }
    int parentHub = -1, parentController = -1;
    for (int h = 0; h < m.Hubs.Count && parentHub < 0; h++)
        if (m.Hubs[h].Node >= 0 && IsChildOf(m, m.Hubs[h].Node, mb.Owner)) parentHub = h;
    // A path is answered by the first hub in the file that has it: a hub
    // whose path another hub answers to goes after every controller with a
    // root hub, so that it does not answer for the hubs the walk read.
    bool shared = false;
    for (int h = 0; h < m.Hubs.Count && mb.Detail; h++)
        shared = shared ||
                 (m.Hubs[h].Walk.Queried && SameDevicePath(m.Hubs[h].OpenPath, mb.RawPath));
    int last = -1;
    for (int c = 0; c < m.Controllers.Count && shared; c++)
        if (m.Controllers[c].RootHub >= 0) last = c;
    for (int c = last + 1; c < m.Controllers.Count && parentHub < 0 && parentController < 0; c++) {
        const Controller& ctl = m.Controllers[c];
        if (ctl.Inst == 0) continue;
        int cn = ReadNode(m, ctl.Inst);
        ReadChildren(m, cn);
        if (IsChildOf(m, cn, mb.Owner)) parentController = c;
    }
    // Its name: the interface path without its prefix. (A name another hub
    // has too is told apart when the file is written.)
    Text name = {};
    char* path = nullptr;
    if (mb.Detail && mb.Path.Length > 4 && mb.RawPath[0] == '\\' && mb.RawPath[1] == '\\') {
        name = Text{mb.Path.Utf8 + 4, mb.Path.Length - 4, true, 0};
        path = CopyString(mb.RawPath);
        path[2] = '.';
    }
    if (!name.Ok) {
        char text[40];
        int length = wsprintfA(text, "UNREACHED#HUB#%i", member + 1);
        name = Text{CopyString(text), length, true, 0};
        path = CopyString("\\\\.\\");  // opens nothing
    }
    m.Walks++;
    int hub = WalkHub(m, name, path, parentHub);
    if (parentHub < 0) {
        if (parentController < 0) {
            parentController = m.Controllers.Count;
            Controller& added = m.Controllers.Add();
            added.Path = Text{"", 0, true, 0};
            added.RootHub = -1;
        }
        m.Controllers[parentController].RootHub = hub;
        Note(m, "Hub set member %i is a root hub the walk did not reach; the file gives it host "
                "controller %i.", member, parentController + 1);
    }
    Associate(m, hub, node);
}

// The file gives the child count of every node but a hub's own (its
// children are its ports' nodes and further nodes): a port's node without a
// hub, and each further node.
void ReadCountedChildren(Machine& m) {
    for (int h = 0; h < m.Hubs.Count; h++) {
        for (int k = 0; k < m.Hubs[h].Conns.Count; k++) {
            int node = m.Hubs[h].Conns[k].Node;
            if (m.Hubs[h].Conns[k].Hub < 0 && node >= 0) ReadChildren(m, node);
        }
        for (int i = 0; i < m.Hubs[h].Extras.Count; i++) ReadChildren(m, m.Hubs[h].Extras[i]);
    }
}

// The hubs in the order the file gives them: controller by controller, a
// hub before the hubs on its ports.
void AddInFileOrder(const Machine& m, int hub, List<int>& order) {
    order.Add() = hub;
    const List<Port>& conns = m.Hubs[hub].Conns;
    for (int k = 0; k < conns.Count; k++)
        if (conns[k].Hub >= 0) AddInFileOrder(m, conns[k].Hub, order);
}

bool NameTaken(const Machine& m, const List<int>& order, int before, const Text& name) {
    for (int e = 0; e < before; e++)
        if (SameText(m.Hubs[order[e]].Name, name)) return true;
    return false;
}

void AssociateHubs(Machine& m, int from) {
    for (int h = from; h < m.Hubs.Count; h++) {
        if (m.Hubs[h].Node >= 0) continue;
        int node = FindHubNode(m, h);
        if (node >= 0) Associate(m, h, node);
    }
}

}  // namespace

void Assemble(Machine& m) {
    AssociateHubs(m, 0);
    for (int i = 0; i < m.Members.Count; i++) {
        if (m.Members[i].Hub >= 0) continue;
        int before = m.Hubs.Count;
        PlaceMember(m, i);
        AssociateHubs(m, before);
    }
    for (int h = 0; h < m.Hubs.Count; h++)
        if (m.Hubs[h].Node >= 0) PlaceChildren(m, h);
    ReadCountedChildren(m);
}

// A name answered twice gets one letter in the other case: paths compare
// without case, so it still leads where the name led.
void MakeNamesUnique(Machine& m) {
    List<int> order = {};
    for (int c = 0; c < m.Controllers.Count; c++)
        if (m.Controllers[c].RootHub >= 0) AddInFileOrder(m, m.Controllers[c].RootHub, order);
    for (int i = 1; i < order.Count; i++) {
        Hub& h = m.Hubs[order[i]];
        if (!NameTaken(m, order, i, h.Name)) continue;
        char* name = static_cast<char*>(Take(h.Name.Length + 24));
        MemMove(name, h.Name.Utf8, h.Name.Length);
        Text renamed = {name, h.Name.Length, true, 0};
        for (int k = renamed.Length - 1; k >= 0 && NameTaken(m, order, i, renamed); k--) {
            char c = h.Name.Utf8[k];
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) continue;
            MemMove(name, h.Name.Utf8, h.Name.Length);
            name[k] = char(c ^ 0x20);
        }
        if (NameTaken(m, order, i, renamed))
            renamed.Length += wsprintfA(name + h.Name.Length, "#%i", i + 1);
        h.Name = renamed;
        Note(m, "Two hubs answer the same name; the file writes one letter of the second in the "
                "other case.");
    }
}

}  // namespace tarvel::capture
