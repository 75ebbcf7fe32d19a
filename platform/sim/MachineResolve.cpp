// Writes a loaded machine in the key names and value forms of the machine
// file, with references by number: hubs by walk number, nodes by DEVINST.
#include "platform/sim/MachineResolve.h"

#include <string>
#include <vector>

namespace tarvel::sim {
namespace {

using nlohmann::json;

json Ref(uint32_t number) { return number == 0 ? json() : json(number); }
json HubRef(int index) { return index < 0 ? json() : json(index + 1); }

json Text(const UsbText& t, const char* failure) {
    if (!t.ok) return json{{failure, t.code}};
    if (!t.terminated) return json{{"unterminated", t.text}};
    return t.text;
}

std::string Version(const std::vector<uint32_t>& v) {
    std::string text;
    for (uint32_t part : v) text += (text.empty() ? "" : ".") + std::to_string(part);
    return text;
}

json OptionalVersion(const std::optional<std::vector<uint32_t>>& v) {
    return v ? json(Version(*v)) : json();
}

json System(const SystemSection& s) {
    std::vector<uint32_t> ntdll = {s.os_major, s.os_minor, s.os_build, 0};
    return {{"exe_path", s.exe_path},
            {"system_directory", s.system_directory},
            {"os_version", {s.os_major, s.os_minor, s.os_build}},
            {"service_pack", s.service_pack},
            {"product_type", s.product_type},
            {"suite_mask", s.suite_mask},
            {"rtl_get_version", s.rtl_get_version},
            {"ntdll_version", s.ntdll_version_given ? OptionalVersion(s.ntdll_version)
                                                    : json(Version(ntdll))},
            {"exe_version", OptionalVersion(s.exe_version)},
            {"version_dll", s.version_dll},
            {"wow64", s.wow64 == "missing" ? json("missing") : json(s.wow64 == "true")},
            {"dll_directory_functions", s.dll_directory_functions}};
}

json Console(const ConsoleSection& c) {
    json input = json::array();
    for (const auto& batch : c.input) {
        json records = json::array();
        for (const InputRecord& r : batch) {
            if (r.type != "key") {
                records.push_back({{"type", r.type}});
                continue;
            }
            records.push_back({{"type", r.type}, {"down", r.down}, {"vk", r.vk},
                               {"char", r.ch}, {"state", r.state}});
        }
        input.push_back(records);
    }
    return {{"stdout", c.stdout_type},
            {"stderr", c.stderr_type},
            {"ansi_cp", c.ansi_cp},
            {"output_cp", c.output_cp},
            {"cp_info", c.cp_info},
            {"window", c.window},
            {"processes", c.processes},
            {"stdin", c.stdin_type},
            {"input", input},
            {"screen_attributes",
             c.screen_attributes ? json(*c.screen_attributes) : json()}};
}

json Port(const UsbPort& p) {
    json v2 = p.v2_ok ? json{{"protocols", p.protocols}, {"flags", p.flags}} : json("fails");
    json key = p.driver_key.ok ? json(p.driver_key.text) : json{{"error", p.driver_key.code}};
    return {{"at", p.at},          {"number", p.number},
            {"query", p.query_ok ? "ok" : "fails"},
            {"status", p.status},  {"vid", p.vid},
            {"pid", p.pid},        {"bcd_usb", p.bcd_usb},
            {"speed", p.speed},    {"is_hub", p.is_hub},
            {"v2", v2},            {"driver_key", key},
            {"node_name", p.node_name_ok ? "ok" : "fails"},
            {"hub", HubRef(p.hub)}, {"node", Ref(p.node)}};
}

json Hub(const UsbHub& h) {
    json ports = json::array();
    for (const UsbPort& p : h.connections) ports.push_back(Port(p));
    json caps = h.capabilities < 0 ? json("fails") : json(h.capabilities == 1);
    return {{"at", h.at},
            {"number", h.walk_number},
            {"name", h.name},
            {"open", h.open},
            {"node_info", h.node_info},
            {"ports", h.ports},
            {"capabilities", caps},
            {"connections", ports},
            {"interface_detail", h.interface_detail},
            {"interface_path", h.interface_path},
            {"node", Ref(h.node)},
            {"extra_nodes", h.extra_nodes}};
}

json Node(const UsbNode& n, uint32_t devinst, uint32_t parent, bool anonymous) {
    json status = n.status_ok ? json(n.status) : json{{"cr", n.status_cr}};
    uint32_t child = n.first_named_child != 0 ? n.first_named_child : n.first_anonymous;
    return {{"at", n.at},
            {"devinst", devinst},
            {"anonymous", anonymous},
            {"instance_id", Text(n.instance_id, "cr")},
            {"status", status},
            {"problem", n.problem},
            {"friendly_name", Text(n.friendly_name, "cr")},
            {"description", Text(n.description, "cr")},
            {"location", Text(n.location, "cr")},
            {"driver", Text(n.driver, "cr")},
            {"children", n.children},
            {"parent", Ref(parent)},
            {"first_child", Ref(child)},
            {"next_sibling", Ref(n.next_sibling)}};
}

// Nodes in DEVINST order, the anonymous children (all after the named
// nodes) included, each with its parent.
json Nodes(const UsbSection& usb) {
    uint32_t named = uint32_t(usb.nodes.size());
    std::vector<uint32_t> parents(named + 1, 0);
    for (uint32_t i = 1; i <= named; i++) {
        for (uint32_t c = usb.nodes[i - 1].first_named_child; c != 0 && c <= named;
             c = usb.nodes[c - 1].next_sibling) {
            parents[c] = i;
        }
    }
    json nodes = json::array();
    for (uint32_t i = 1; i <= named; i++) nodes.push_back(Node(usb.nodes[i - 1], i, parents[i], false));
    for (uint32_t i = 1; i <= named; i++) {
        const UsbNode& parent = usb.nodes[i - 1];
        for (uint32_t k = 0; k < parent.children; k++) {
            uint32_t devinst = parent.first_anonymous + k;
            UsbNode n = AnonymousNode(devinst);
            n.at = parent.at + ".children";
            if (k + 1 < parent.children) n.next_sibling = devinst + 1;
            nodes.push_back(Node(n, devinst, i, true));
        }
    }
    return nodes;
}

json Usb(const UsbSection& usb) {
    json controllers = json::array();
    for (const UsbController& c : usb.controllers) {
        controllers.push_back({{"at", c.at}, {"detail", c.detail}, {"path", c.path},
                               {"open", c.open}, {"root_hub", HubRef(c.root_hub)},
                               {"node", Ref(c.node)}});
    }
    json hubs = json::array();
    for (const UsbHub& h : usb.hubs) hubs.push_back(Hub(h));
    json order = json::array();
    for (int hub : usb.hub_set) order.push_back(usb.hubs[hub].name);
    return {{"controller_set", usb.controller_set_ok ? "ok" : "fails"},
            {"hub_set", usb.hub_set_ok ? "ok" : "fails"},
            {"controllers", controllers},
            {"hubs", hubs},
            {"hub_set_order", order},
            {"nodes", Nodes(usb)}};
}

}  // namespace

json ResolvedMachine(const Machine& machine) {
    return {{"system", System(machine.system)},
            {"console", Console(machine.console)},
            {"usb", Usb(machine.usb)},
            {"clock", machine.virtual_clock ? "virtual" : "real"}};
}

}  // namespace tarvel::sim
