// The USB part of the simulated machine: controllers, hubs, ports, nodes,
// and the setupapi, cfgmgr32 and hub I/O-control services over them.
#pragma once
#include <nlohmann/json.hpp>
#include <cstdint>
#include <string>
#include <vector>

namespace tarvel::sim {

// A text the services answer, or the code with which they fail instead.
struct UsbText {
    bool ok = true;
    std::string text;  // UTF-8
    uint32_t code = 0;  // CONFIGRET or Win32 error when !ok
    bool terminated = true;  // false: a node property stored without its terminator
};

// One device node. Named nodes are numbered 1, 2, ... in file order; the
// anonymous children of a node follow all named nodes.
struct UsbNode {
    UsbText instance_id, friendly_name, description, location, driver;
    bool status_ok = true;
    uint32_t status_cr = 0;
    uint32_t status = 0x0180200A, problem = 0;
    uint32_t children = 0;      // anonymous children
    uint32_t first_anonymous = 0;  // DEVINST of the first of them
    uint32_t first_named_child = 0, next_sibling = 0;
    std::string at;  // its key path in the file, for messages about it
};

struct UsbPort {
    uint32_t number = 0;
    bool query_ok = true;
    uint32_t status = 1;
    uint32_t vid = 0x1234, pid = 0x5678, bcd_usb = 0x0200, speed = 2;
    bool is_hub = false;
    bool v2_ok = true;
    uint32_t protocols = 3, flags = 0;
    UsbText driver_key;  // code: the Win32 error of {"error": N}
    bool node_name_ok = true;
    int hub = -1;       // index into UsbSection::hubs
    uint32_t node = 0;  // DEVINST, 0 for none
    std::string at;
};

struct UsbHub {
    std::string name;  // without the \\.\ prefix
    bool open = true;
    bool node_info = true;
    uint32_t ports = 4;
    int capabilities = 1;  // 1 true, 0 false, -1 the query fails
    std::vector<UsbPort> connections;  // ascending port number
    bool interface_detail = true;
    std::string interface_path;
    uint32_t node = 0;  // DEVINST of the hub's own node, 0 for none
    std::vector<uint32_t> extra_nodes;
    uint32_t walk_number = 0;
    std::string at;
};

struct UsbController {
    bool detail = true;
    std::string path;
    bool open = true;
    int root_hub = -1;
    uint32_t node = 0;
    std::string at;
};

struct UsbSection {
    bool controller_set_ok = true;
    bool hub_set_ok = true;
    std::vector<UsbController> controllers;
    std::vector<UsbHub> hubs;    // walk order
    std::vector<UsbNode> nodes;  // named nodes; DEVINST n is nodes[n - 1]
    std::vector<int> hub_set;    // members of the hub set, as hub indices
    uint32_t anonymous_count = 0;
};

// A number of a machine description: a JSON integer, or a string in C
// hexadecimal form ("0x0781") of at most 32 bits. False for anything else.
bool JsonNumber(const nlohmann::json& value, uint64_t& out);

// Validates and takes the "usb" object. On error returns false and sets
// error to one line naming the key path (for example "usb.controllers[0].open").
bool ParseUsbSection(const nlohmann::json& usb, UsbSection& out, std::string& error);

// An anonymous child node with this DEVINST, as its defaults make it.
UsbNode AnonymousNode(uint32_t devinst);

// Rebuilds the simulated USB stack (DEVINST numbering, open handles, device
// information sets) for a newly loaded machine.
void ResetUsbState(const UsbSection& usb);

}  // namespace tarvel::sim
