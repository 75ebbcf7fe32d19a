// Typed reads of machine-description values for the usb section.
#include "platform/sim/UsbJson.h"

namespace tarvel::sim {

using nlohmann::json;

bool JsonReader::ObjectOf(const json& j, const std::string& path, const char* const* keys,
                          size_t count) {
    if (!j.is_object()) {
        error_ = path + ": expected an object";
        return false;
    }
    for (auto it = j.begin(); it != j.end(); ++it) {
        bool known = false;
        for (size_t i = 0; i < count && !known; i++) known = it.key() == keys[i];
        if (!known) {
            error_ = path + "." + it.key() + ": unknown key";
            return false;
        }
    }
    return true;
}

bool JsonReader::List(const json& j, const std::string& path) {
    if (j.is_array()) return true;
    error_ = path + ": expected a list";
    return false;
}

bool JsonReader::Choice(const json& j, const std::string& path,
                        std::initializer_list<const char*> choices, std::string& out) {
    if (j.is_string()) {
        for (const char* c : choices) {
            if (j.get<std::string>() == c) {
                out = c;
                return true;
            }
        }
    }
    error_ = path + ": expected one of";
    const char* sep = " ";
    for (const char* c : choices) {
        error_ += sep;
        error_ += c;
        sep = ", ";
    }
    return false;
}

bool JsonReader::Bool(const json& j, const char* key, const std::string& path, bool& out) {
    if (!j.contains(key)) return true;
    if (j[key].is_boolean()) {
        out = j[key].get<bool>();
        return true;
    }
    error_ = path + "." + key + ": expected true or false";
    return false;
}

bool JsonReader::Text(const json& j, const char* key, const std::string& path,
                      std::string& out) {
    if (!j.contains(key)) return true;
    if (j[key].is_string()) {
        out = j[key].get<std::string>();
        return true;
    }
    error_ = path + "." + key + ": expected a text";
    return false;
}

bool JsonReader::Number(const json& j, const char* key, const std::string& path,
                        uint32_t max, uint32_t& out) {
    if (!j.contains(key)) return true;
    return Value(j[key], path + "." + key, max, out);
}

bool JsonReader::TextOrCr(const json& j, const char* key, const std::string& path,
                          UsbText& out) {
    if (!j.contains(key)) return true;
    const json& v = j[key];
    std::string at = path + "." + key;
    if (v.is_string()) {
        out = {true, v.get<std::string>(), 0};
        return true;
    }
    if (!v.is_object() || v.size() != 1 || !v.contains("cr")) {
        error_ = at + ": expected a text or {\"cr\": N}";
        return false;
    }
    out.ok = false;
    out.text.clear();
    return Code(v["cr"], at + ".cr", out.code);
}

bool JsonReader::PropertyText(const json& j, const char* key, const std::string& path,
                              UsbText& out) {
    if (!j.contains(key)) return true;
    const json& v = j[key];
    if (!v.is_object() || v.size() != 1 || !v.contains("unterminated"))
        return TextOrCr(j, key, path, out);
    if (!v["unterminated"].is_string()) {
        error_ = path + "." + key + ".unterminated: expected a text";
        return false;
    }
    out = {true, v["unterminated"].get<std::string>(), 0, false};
    return true;
}

bool JsonReader::Code(const json& j, const std::string& path, uint32_t& out) {
    uint32_t code = 0;
    if (!Value(j, path, 0xFFFFFFFF, code)) return false;
    if (code == 0) {
        error_ = path + ": a failure code is never 0";
        return false;
    }
    out = code;
    return true;
}

bool JsonReader::Value(const json& j, const std::string& path, uint32_t max, uint32_t& out) {
    uint64_t value = 0;
    bool ok = JsonNumber(j, value);
    if (ok && value <= max) {
        out = uint32_t(value);
        return true;
    }
    error_ = path + ": expected a number from 0 to " + std::to_string(max) +
             " (an integer or a \"0x..\" text)";
    return false;
}

}  // namespace tarvel::sim
