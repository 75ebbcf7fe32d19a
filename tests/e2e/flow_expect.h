// Expected texts and trace helpers shared by the flow's end-to-end tests.
#pragma once
#include <string>

#include "SimRunner.h"

namespace flow {

inline std::string Banner(const std::string& version = "1.0.0") {
    return Crlf("Tarvel V" + version +
                " (Win32) - Lists USB Devices\n"
                "Freeware by the Tarvel project - https://tarvel.example.org\n");
}

inline std::string Usage() {
    return Crlf(
        "\nUsage:\n"
        "Tarvel [Id] [-l] [-na] [-w:nnnn]\n"
        "Id can be\n"
        " a device instance ID (in quotation marks because it contains the & char)\n"
        " a driver key name\n"
        " a device location info\n"
        " a friendly device name (in quotation marks if it contains space or &)\n"
        " a port chain in Halvetra style\n"
        "-na     no about info\n"
        "-w:nnnn waits nnnn milliseconds on end\n");
}

inline const std::string kNoDevices = "\r\nNo USB devices found\r\n";

// A machine without USB devices; extra top-level keys may follow.
inline std::string Machine(const std::string& more = "") {
    return "{\"clock\": \"virtual\"" + (more.empty() ? "" : ", " + more) + "}";
}

inline std::string Console(const std::string& keys) { return Machine("\"console\": {" + keys + "}"); }

// The pauses of a run, in order, each followed by a space.
inline std::string Sleeps(const std::string& trace) {
    std::string result;
    size_t pos = 0;
    while (pos < trace.size()) {
        size_t end = trace.find('\n', pos);
        if (end == std::string::npos) end = trace.size();
        std::string line = trace.substr(pos, end - pos);
        if (line.rfind("Sleep ", 0) == 0) result += line.substr(6) + " ";
        pos = end + 1;
    }
    return result;
}

inline int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t p = text.find(what); p != std::string::npos; p = text.find(what, p + 1)) n++;
    return n;
}

}  // namespace flow
