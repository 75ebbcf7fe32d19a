// The USB part of the simulated machine: controllers, hubs, ports, nodes.
#pragma once
#include <string>

namespace tarvel::sim {

struct UsbSection {
    // Filled by the USB part of the simulator.
};

}  // namespace tarvel::sim
