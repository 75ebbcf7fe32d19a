// The simulated machine as loaded from its JSON description; the keys and
// their defaults are read by ParseMachine and ParseUsbSection.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/sim/SimUsb.h"

namespace tarvel::sim {

struct SystemSection {
    std::string exe_path = "C:\\Tools\\tarvel.exe";
    std::string system_directory = "C:\\Windows\\system32";
    uint32_t os_major = 10, os_minor = 0, os_build = 19045;
    uint32_t service_pack = 0;
    uint32_t product_type = 1;
    uint32_t suite_mask = 256;
    std::string rtl_get_version = "ok";              // ok | missing | fails
    bool ntdll_version_given = false;                 // else os_version.0
    std::optional<std::vector<uint32_t>> ntdll_version;  // a.b.c.d, nullopt: none
    std::optional<std::vector<uint32_t>> exe_version = std::vector<uint32_t>{1, 0, 0, 0};
    std::string version_dll = "ok";                  // ok | missing | no_functions
    std::string wow64 = "true";                      // true | false | missing
    bool dll_directory_functions = true;
    // The length a version resource declares for its fixed block, which
    // VerQueryValueA answers; no key sets it, tests shorten it.
    uint32_t fixed_info_length = 52;
};

struct InputRecord {
    std::string type = "key";  // key | focus | menu | mouse | size
    bool down = true;
    uint32_t vk = 0;
    uint32_t ch = 0;
    uint32_t state = 0;
};

struct ConsoleSection {
    std::string stdout_type = "auto";  // console | nul | file | pipe | auto
    std::string stderr_type = "auto";
    uint32_t ansi_cp = 1252;
    uint32_t output_cp = 437;
    bool cp_info = true;
    std::string window = "none";  // none | hidden | other | own | pseudo
    uint32_t processes = 1;       // attached to the console, this one included
    std::string stdin_type = "console";  // console | redirected
    std::vector<std::vector<InputRecord>> input;
    std::optional<uint32_t> screen_attributes = 7;
};

struct Machine {
    SystemSection system;
    ConsoleSection console;
    UsbSection usb;
    bool virtual_clock = false;
};

// Parses a machine description. On error returns false and sets error to
// one line naming the key path.
bool ParseMachine(const std::string& json, Machine& machine, std::string& error);

// The built-in demo machine, as JSON.
const char* DemoMachineJson();

}  // namespace tarvel::sim
