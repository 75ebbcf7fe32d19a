// Typed reads of machine-description values for the usb section: each
// read checks the kind and, on a mismatch, writes one line naming the key
// path into the error text and answers false.
#pragma once
#include <nlohmann/json.hpp>
#include <cstdint>
#include <initializer_list>
#include <string>

#include "platform/sim/SimUsb.h"

namespace tarvel::sim {

class JsonReader {
public:
    explicit JsonReader(std::string& error) : error_(error) {}

    // j must be an object holding only the given keys.
    template <size_t N>
    bool Object(const nlohmann::json& j, const std::string& path, const char* (&keys)[N]) {
        return ObjectOf(j, path, keys, N);
    }
    bool List(const nlohmann::json& j, const std::string& path);
    bool Choice(const nlohmann::json& j, const std::string& path,
                std::initializer_list<const char*> choices, std::string& out);

    // Optional members of an object: a missing key leaves out unchanged.
    bool Bool(const nlohmann::json& j, const char* key, const std::string& path, bool& out);
    bool Text(const nlohmann::json& j, const char* key, const std::string& path,
              std::string& out);
    bool Number(const nlohmann::json& j, const char* key, const std::string& path,
                uint32_t max, uint32_t& out);
    // A text, or {"cr": N} for a failure with CONFIGRET N.
    bool TextOrCr(const nlohmann::json& j, const char* key, const std::string& path,
                  UsbText& out);
    // A node property: as TextOrCr, or {"unterminated": TEXT}.
    bool PropertyText(const nlohmann::json& j, const char* key, const std::string& path,
                      UsbText& out);

    // A failure code: a number other than 0.
    bool Code(const nlohmann::json& j, const std::string& path, uint32_t& out);
    // An integer or a "0x..." string, at most max.
    bool Value(const nlohmann::json& j, const std::string& path, uint32_t max, uint32_t& out);

private:
    bool ObjectOf(const nlohmann::json& j, const std::string& path, const char* const* keys,
                  size_t count);

    std::string& error_;
};

}  // namespace tarvel::sim
