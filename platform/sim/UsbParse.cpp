// Reads the "usb" object of a machine description into the model of
// SimUsb.h, filling every default and numbering hubs, ports and device
// nodes in walk order as it goes.
#include <cstdio>
#include <map>
#include <set>

#include "platform/sim/SimUsb.h"
#include "platform/sim/UsbJson.h"

namespace tarvel::sim {
namespace {

using nlohmann::json;

// Anonymous children are numbered after the named nodes; keep every DEVINST
// well inside 32 bits whatever the file asks for.
const uint64_t kMaxNodes = 0x10000000;
// Far beyond any real hub chain; keeps the recursion off the stack's end.
const int kMaxHubDepth = 200;

std::string Format(const char* format, uint32_t a, uint32_t b = 0, uint32_t c = 0) {
    char text[256];
    snprintf(text, sizeof text, format, a, b, c);
    return text;
}

class UsbParser {
public:
    UsbParser(UsbSection& out, std::string& error) : out_(out), error_(error) {}

    bool Parse(const json& usb);

private:
    bool Controller(const json& j, const std::string& path, size_t index);
    int Hub(const json& j, const std::string& path, const UsbPort* port);
    bool Connections(const json& j, const std::string& path, int hub);
    bool Port(const json& j, const std::string& path, uint32_t number, int hub);
    bool PortV2(const json& j, const std::string& path, UsbPort& port);
    bool DriverKey(const json& j, const std::string& path, UsbPort& port);
    uint32_t Node(const json& j, const std::string& path, UsbNode node);
    bool HubSetOrder(const json& j, const std::string& path);
    void LinkSiblings(const std::vector<uint32_t>& children, uint32_t parent);
    void NumberAnonymous();

    UsbSection& out_;
    std::string& error_;
    JsonReader r_{error_};
    uint32_t port_count_ = 0;  // listed ports so far, for default driver keys
    int depth_ = 0;            // hubs above the one being read
    std::set<std::string> names_;
};

bool UsbParser::Parse(const json& usb) {
    out_ = UsbSection();
    if (usb.is_null()) return true;
    const char* keys[] = {"controller_set", "hub_set", "controllers", "hub_set_order"};
    if (!r_.Object(usb, "usb", keys)) return false;
    std::string v;
    if (usb.contains("controller_set")) {
        if (!r_.Choice(usb["controller_set"], "usb.controller_set", {"ok", "fails"}, v)) return false;
        out_.controller_set_ok = v == "ok";
    }
    if (usb.contains("hub_set")) {
        if (!r_.Choice(usb["hub_set"], "usb.hub_set", {"ok", "fails"}, v)) return false;
        out_.hub_set_ok = v == "ok";
    }
    if (usb.contains("controllers")) {
        const json& list = usb["controllers"];
        if (!r_.List(list, "usb.controllers")) return false;
        for (size_t i = 0; i < list.size(); i++) {
            if (!Controller(list[i], "usb.controllers[" + std::to_string(i) + "]", i)) return false;
        }
    }
    if (usb.contains("hub_set_order")) {
        if (!HubSetOrder(usb["hub_set_order"], "usb.hub_set_order")) return false;
    } else {
        for (size_t i = 0; i < out_.hubs.size(); i++) {
            if (out_.hubs[i].node != 0) out_.hub_set.push_back(int(i));
        }
    }
    NumberAnonymous();
    return true;
}

bool UsbParser::Controller(const json& j, const std::string& path, size_t index) {
    const char* keys[] = {"detail", "path", "open", "root_hub"};
    if (!r_.Object(j, path, keys)) return false;
    UsbController c;
    c.at = path;
    c.path = "\\\\?\\pci#ven_8086&dev_a36d#3&11583659&0&" + std::to_string(index) +
             "#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}";
    if (!r_.Bool(j, "detail", path, c.detail) || !r_.Text(j, "path", path, c.path) ||
        !r_.Bool(j, "open", path, c.open)) {
        return false;
    }
    UsbNode node;
    node.instance_id.text = "PCI\\VEN_8086&DEV_A36D&SUBSYS_00000000&REV_10\\3&11583659&0&" +
                            std::to_string(index);
    node.description.text = "USB xHCI Compliant Host Controller";
    node.friendly_name = {false, "", 0x25};
    node.location = {false, "", 0x25};
    node.driver = {false, "", 0x25};
    node.at = path + ".node";
    out_.nodes.push_back(node);
    c.node = uint32_t(out_.nodes.size());
    size_t slot = out_.controllers.size();
    out_.controllers.push_back(c);
    if (j.contains("root_hub") && !j["root_hub"].is_null()) {
        int hub = Hub(j["root_hub"], path + ".root_hub", nullptr);
        if (hub < 0) return false;
        out_.controllers[slot].root_hub = hub;
        uint32_t hubNode = out_.hubs[hub].node;
        if (hubNode != 0) LinkSiblings({hubNode}, out_.controllers[slot].node);
    }
    return true;
}

// Parses a hub; port is the port it hangs on, null for a root hub.
// Returns its index in out_.hubs, or -1.
int UsbParser::Hub(const json& j, const std::string& path, const UsbPort* port) {
    const char* keys[] = {"name", "open", "node_info", "ports", "capabilities", "connections",
                          "interface_detail", "interface_path", "node", "extra_nodes"};
    if (!r_.Object(j, path, keys)) return -1;
    if (depth_ >= kMaxHubDepth) {
        error_ = path + ": hubs nested more than " + std::to_string(kMaxHubDepth) + " deep";
        return -1;
    }
    int index = int(out_.hubs.size());
    out_.hubs.emplace_back();
    UsbHub h;
    h.at = path;
    h.walk_number = uint32_t(index + 1);
    if (port) {
        h.name = Format("USB#VID_%04X&PID_%04X#6&2b8c9a1&0&", port->vid, port->pid) +
                 std::to_string(h.walk_number) + "#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
    } else {
        h.name = "USB#ROOT_HUB30#4&2a0c1f5&0&" + std::to_string(h.walk_number) +
                 "#{f18a0e88-c30c-11d0-8815-00a0c906bed8}";
    }
    uint32_t ports = h.ports;
    if (!r_.Text(j, "name", path, h.name) || !r_.Bool(j, "open", path, h.open) ||
        !r_.Bool(j, "node_info", path, h.node_info) ||
        !r_.Number(j, "ports", path, 255, ports) ||
        !r_.Bool(j, "interface_detail", path, h.interface_detail)) {
        return -1;
    }
    h.ports = ports;
    if (!names_.insert(h.name).second) {
        error_ = path + ".name: another hub has the name " + h.name;
        return -1;
    }
    h.interface_path = "\\\\?\\" + h.name;
    if (!r_.Text(j, "interface_path", path, h.interface_path)) return -1;
    if (j.contains("capabilities")) {
        const json& c = j["capabilities"];
        if (c.is_boolean()) {
            h.capabilities = c.get<bool>() ? 1 : 0;
        } else if (c.is_string() && c.get<std::string>() == "fails") {
            h.capabilities = -1;
        } else {
            error_ = path + ".capabilities: expected true, false or \"fails\"";
            return -1;
        }
    }
    if (port) {
        if (j.contains("node")) {
            error_ = path + ".node: a downstream hub's node is given on its port";
            return -1;
        }
        h.node = port->node;
    } else if (!j.contains("node") || !j["node"].is_null()) {
        UsbNode node;
        node.instance_id.text = "USB\\ROOT_HUB30\\4&2A0C1F5&0&" + std::to_string(h.walk_number);
        node.description.text = "USB Root Hub (USB 3.0)";
        node.friendly_name = node.location = node.driver = {false, "", 0x25};
        h.node = Node(j.contains("node") ? j["node"] : json(), path + ".node", node);
        if (h.node == 0) return -1;
    }
    out_.hubs[index] = h;
    if (j.contains("connections") && !Connections(j["connections"], path + ".connections", index))
        return -1;
    if (j.contains("extra_nodes")) {
        const json& list = j["extra_nodes"];
        if (!r_.List(list, path + ".extra_nodes")) return -1;
        for (size_t i = 0; i < list.size(); i++) {
            // Named by the DEVINST it gets, as an anonymous child is.
            UsbNode node = AnonymousNode(uint32_t(out_.nodes.size() + 1));
            uint32_t n = Node(list[i], path + ".extra_nodes[" + std::to_string(i) + "]", node);
            if (n == 0) return -1;
            out_.hubs[index].extra_nodes.push_back(n);
        }
    }
    const UsbHub& done = out_.hubs[index];
    if (done.node != 0) {
        std::vector<uint32_t> children;
        for (const UsbPort& p : done.connections) {
            if (p.node != 0) children.push_back(p.node);
        }
        children.insert(children.end(), done.extra_nodes.begin(), done.extra_nodes.end());
        LinkSiblings(children, done.node);
    }
    return index;
}

bool UsbParser::Connections(const json& j, const std::string& path, int hub) {
    if (!j.is_object()) {
        error_ = path + ": expected an object";
        return false;
    }
    // Object keys come sorted as text; ports go in ascending number.
    std::map<uint32_t, std::string> numbers;
    for (auto it = j.begin(); it != j.end(); ++it) {
        const std::string& key = it.key();
        bool digits = !key.empty() && key.size() <= 3 && key[0] != '0';
        for (char ch : key) digits = digits && ch >= '0' && ch <= '9';
        if (!digits || std::stoul(key) > 255) {
            error_ = path + "." + key + ": a port number is 1 to 255";
            return false;
        }
        numbers[uint32_t(std::stoul(key))] = key;
    }
    for (const auto& [number, key] : numbers) {
        if (!Port(j[key], path + "." + key, number, hub)) return false;
    }
    return true;
}

bool UsbParser::Port(const json& j, const std::string& path, uint32_t number, int hub) {
    const char* keys[] = {"query", "status", "vid", "pid", "bcd_usb", "speed", "is_hub",
                          "v2", "driver_key", "node_name", "hub", "node"};
    if (!r_.Object(j, path, keys)) return false;
    UsbPort p;
    p.at = path;
    p.number = number;
    std::string v;
    if (j.contains("query")) {
        if (!r_.Choice(j["query"], path + ".query", {"ok", "fails"}, v)) return false;
        p.query_ok = v == "ok";
    }
    if (j.contains("node_name")) {
        if (!r_.Choice(j["node_name"], path + ".node_name", {"ok", "fails"}, v)) return false;
        p.node_name_ok = v == "ok";
    }
    if (!r_.Number(j, "status", path, 0xFFFFFFFF, p.status) ||
        !r_.Number(j, "vid", path, 0xFFFF, p.vid) || !r_.Number(j, "pid", path, 0xFFFF, p.pid) ||
        !r_.Number(j, "bcd_usb", path, 0xFFFF, p.bcd_usb) ||
        !r_.Number(j, "speed", path, 255, p.speed)) {
        return false;
    }
    bool hasHub = j.contains("hub") && !j["hub"].is_null();
    p.is_hub = hasHub;
    if (!r_.Bool(j, "is_hub", path, p.is_hub)) return false;
    if (p.speed == 3) {
        p.protocols = 7;
        p.flags = 3;
    }
    if (j.contains("v2") && !PortV2(j["v2"], path + ".v2", p)) return false;
    p.driver_key.text =
        "{36fc9e60-c465-11cf-8056-444553540000}\\" + Format("%04u", port_count_++);
    if (j.contains("driver_key") && !DriverKey(j["driver_key"], path + ".driver_key", p))
        return false;
    if (!j.contains("node") || !j["node"].is_null()) {
        UsbNode node;
        node.instance_id.text = Format("USB\\VID_%04X&PID_%04X\\5&1a2b3c4d&0&%u", p.vid, p.pid,
                                       number);
        node.description.text = p.is_hub ? "Generic USB Hub" : "USB Input Device";
        node.location.text = Format("Port_#%04u.Hub_#%04u", number, out_.hubs[hub].walk_number);
        node.friendly_name = {false, "", 0x25};
        node.driver = p.driver_key.ok ? p.driver_key : UsbText{false, "", 0x25};
        p.node = Node(j.contains("node") ? j["node"] : json(), path + ".node", node);
        if (p.node == 0) return false;
    }
    size_t slot = out_.hubs[hub].connections.size();
    out_.hubs[hub].connections.push_back(p);
    if (hasHub) {
        depth_++;
        int child = Hub(j["hub"], path + ".hub", &p);
        depth_--;
        if (child < 0) return false;
        out_.hubs[hub].connections[slot].hub = child;
    }
    return true;
}

bool UsbParser::PortV2(const json& j, const std::string& path, UsbPort& p) {
    if (j.is_string() && j.get<std::string>() == "fails") {
        p.v2_ok = false;
        return true;
    }
    if (!j.is_object()) {
        error_ = path + ": expected an object or \"fails\"";
        return false;
    }
    const char* keys[] = {"protocols", "flags"};
    return r_.Object(j, path, keys) && r_.Number(j, "protocols", path, 0xFFFFFFFF, p.protocols) &&
           r_.Number(j, "flags", path, 0xFFFFFFFF, p.flags);
}

bool UsbParser::DriverKey(const json& j, const std::string& path, UsbPort& p) {
    if (j.is_string()) {
        p.driver_key.text = j.get<std::string>();
        return true;
    }
    if (!j.is_object() || j.size() != 1 || !j.contains("error")) {
        error_ = path + ": expected a text or {\"error\": N}";
        return false;
    }
    p.driver_key.ok = false;
    return r_.Code(j["error"], path + ".error", p.driver_key.code);
}

// Parses a node over the given defaults and appends it; returns its
// DEVINST, or 0 on error.
uint32_t UsbParser::Node(const json& j, const std::string& path, UsbNode node) {
    if (out_.nodes.size() + out_.anonymous_count + 1 >= kMaxNodes) {
        error_ = path + ": too many device nodes";
        return 0;
    }
    if (!j.is_null()) {
        const char* keys[] = {"instance_id", "status", "problem", "friendly_name",
                              "description", "location", "driver", "children"};
        if (!r_.Object(j, path, keys)) return 0;
        if (!r_.TextOrCr(j, "instance_id", path, node.instance_id) ||
            !r_.PropertyText(j, "friendly_name", path, node.friendly_name) ||
            !r_.PropertyText(j, "description", path, node.description) ||
            !r_.PropertyText(j, "location", path, node.location) ||
            !r_.PropertyText(j, "driver", path, node.driver) ||
            !r_.Number(j, "problem", path, 0xFFFFFFFF, node.problem) ||
            !r_.Number(j, "children", path, 0xFFFF, node.children)) {
            return 0;
        }
        if (j.contains("status")) {
            const json& s = j["status"];
            if (s.is_object()) {
                UsbText t;
                if (!r_.TextOrCr(j, "status", path, t)) return 0;
                node.status_ok = false;
                node.status_cr = t.code;
            } else if (!r_.Number(j, "status", path, 0xFFFFFFFF, node.status)) {
                return 0;
            }
        }
    }
    node.at = path;
    out_.anonymous_count += node.children;
    out_.nodes.push_back(node);
    return uint32_t(out_.nodes.size());
}

bool UsbParser::HubSetOrder(const json& j, const std::string& path) {
    if (!r_.List(j, path)) return false;
    std::map<std::string, int> byName;
    for (size_t i = 0; i < out_.hubs.size(); i++) byName[out_.hubs[i].name] = int(i);
    std::set<int> seen;
    for (size_t i = 0; i < j.size(); i++) {
        std::string at = path + "[" + std::to_string(i) + "]";
        if (!j[i].is_string()) {
            error_ = at + ": expected a hub name";
            return false;
        }
        auto it = byName.find(j[i].get<std::string>());
        if (it == byName.end()) {
            error_ = at + ": no hub has this name";
            return false;
        }
        if (out_.hubs[it->second].node == 0) {
            error_ = at + ": this hub has no device node";
            return false;
        }
        if (!seen.insert(it->second).second) {
            error_ = at + ": this hub is already listed";
            return false;
        }
        out_.hub_set.push_back(it->second);
    }
    return true;
}

void UsbParser::LinkSiblings(const std::vector<uint32_t>& children, uint32_t parent) {
    if (children.empty()) return;
    out_.nodes[parent - 1].first_named_child = children[0];
    for (size_t i = 0; i + 1 < children.size(); i++) {
        out_.nodes[children[i] - 1].next_sibling = children[i + 1];
    }
}

// Anonymous children follow a node's named children in its sibling chain.
void UsbParser::NumberAnonymous() {
    uint32_t next = uint32_t(out_.nodes.size()) + 1;
    for (UsbNode& n : out_.nodes) {
        if (n.children == 0) continue;
        n.first_anonymous = next;
        next += n.children;
        if (n.first_named_child == 0) continue;
        uint32_t last = n.first_named_child;
        while (out_.nodes[last - 1].next_sibling != 0) last = out_.nodes[last - 1].next_sibling;
        out_.nodes[last - 1].next_sibling = n.first_anonymous;
    }
}

}  // namespace

UsbNode AnonymousNode(uint32_t devinst) {
    UsbNode node;
    node.instance_id.text = "USB\\VID_0000&PID_0000\\X" + std::to_string(devinst);
    node.description.text = "USB Device";
    node.friendly_name = node.location = node.driver = {false, "", 0x25};
    return node;
}

bool ParseUsbSection(const nlohmann::json& usb, UsbSection& out, std::string& error) {
    UsbParser parser(out, error);
    if (parser.Parse(usb)) return true;
    out = UsbSection();
    return false;
}

}  // namespace tarvel::sim
