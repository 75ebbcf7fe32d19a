// Shared helpers of the simulated-USB conformance tests.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "platform/Platform.h"
#include "platform/sim/Sim.h"

namespace simusb {

// Loads a machine whose usb section is given; fails the test when refused.
inline void LoadUsb(const std::string& usb) {
    std::string error;
    ASSERT_TRUE(tarvel::sim::LoadMachineJson("{\"clock\": \"virtual\", \"usb\": " + usb + "}", error))
        << error;
}

// The error line for a refused usb section, empty when it was accepted.
inline std::string UsbError(const std::string& usb) {
    std::string error;
    if (tarvel::sim::LoadMachineJson("{\"usb\": " + usb + "}", error)) return std::string();
    return error.empty() ? "(refused without a message)" : error;
}

inline tarvel::HANDLE Open(const char* path) {
    return tarvel::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
}

// One query with the area serving as input and output, as the walk sends it.
inline bool Ioctl(tarvel::HANDLE h, tarvel::DWORD code, void* area, tarvel::DWORD size,
                  tarvel::DWORD* returned = nullptr) {
    tarvel::DWORD bytes = 0xDEAD;
    bool ok = tarvel::DeviceIoControl(h, code, area, size, area, size, &bytes, nullptr) != 0;
    if (returned) *returned = bytes;
    return ok;
}

inline std::string Narrow(const char16_t* wide, size_t max) {
    std::string out;
    for (size_t i = 0; i < max && wide[i]; i++) out += char(wide[i]);
    return out;
}

}  // namespace simusb
