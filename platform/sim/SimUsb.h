// The USB part of the simulated machine: controllers, hubs, ports, nodes,
// and the setupapi, cfgmgr32 and hub I/O-control services over them.
#pragma once
#include <nlohmann/json.hpp>
#include <string>

namespace tarvel::sim {

struct UsbSection {
    nlohmann::json raw;  // the "usb" object as given (null when absent)
};

// Validates and takes the "usb" object. On error returns false and sets
// error to one line naming the key path (for example "usb.controllers[0].open").
bool ParseUsbSection(const nlohmann::json& usb, UsbSection& out, std::string& error);

// Rebuilds the simulated USB stack (DEVINST numbering, open handles, device
// information sets) for a newly loaded machine.
void ResetUsbState(const UsbSection& usb);

}  // namespace tarvel::sim
