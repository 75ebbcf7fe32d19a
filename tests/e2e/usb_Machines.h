// Machine descriptions for the end-to-end tests of the USB inventory.
#pragma once
#include <string>

#include "flow_expect.h"

namespace usbe2e {

// A machine whose controllers are given as a JSON list body; os is the
// version triple, e.g. "[10, 0, 19045]".
inline std::string Machine(const std::string& controllers,
                           const std::string& os = "[10, 0, 19045]",
                           const std::string& usbExtra = "") {
    return R"({"clock": "virtual", "console": {"stdout": "pipe"},
               "system": {"os_version": )" + os + R"(},
               "usb": {"controllers": [)" + controllers + "]" + usbExtra + "}}";
}

inline std::string OneRootHub(const std::string& connections, int ports = 4,
                              const std::string& os = "[10, 0, 19045]") {
    return Machine(R"({"root_hub": {"name": "ROOT1", "ports": )" + std::to_string(ports) +
                       R"(, "connections": {)" + connections + "}}}",
                   os);
}

// The values of the "Label        : value" lines of out with this label,
// each followed by '|'.
inline std::string Values(const std::string& out, const std::string& label) {
    std::string picked;
    for (size_t at = 0, end; at < out.size(); at = end + 2) {
        end = out.find("\r\n", at);
        if (end == std::string::npos) end = out.size();
        std::string line = out.substr(at, end - at);
        if (line.compare(0, label.size(), label) == 0 && line.size() >= 15 && line[13] == ':')
            picked += line.substr(15) + "|";
    }
    return picked;
}

using flow::Count;

}  // namespace usbe2e
