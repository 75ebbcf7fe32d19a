// Reads a machine description: the system, console and clock keys with
// their defaults; the usb section goes to the USB part.
#include <stdlib.h>

#include <algorithm>
#include <initializer_list>

#include "platform/sim/Machine.h"

namespace tarvel::sim {
namespace {

using nlohmann::json;

// Each reader returns false after setting the error line for its key path.
class Reader {
public:
    explicit Reader(std::string& error) : error_(error) {}

    bool Fail(const std::string& path, const std::string& message) {
        error_ = path + ": " + message;
        return false;
    }

    bool Object(const json& value, const std::string& path,
                std::initializer_list<const char*> keys) {
        if (!value.is_object()) return Fail(path.empty() ? "machine" : path, "expected an object");
        for (auto it = value.begin(); it != value.end(); ++it) {
            bool known = false;
            for (const char* key : keys) known = known || it.key() == key;
            if (!known) return Fail(Join(path, it.key()), "unknown key");
        }
        return true;
    }

    bool Text(const json& value, const std::string& path, std::string& out) {
        if (!value.is_string()) return Fail(path, "expected a string");
        out = value.get<std::string>();
        return true;
    }

    bool Flag(const json& value, const std::string& path, bool& out) {
        if (!value.is_boolean()) return Fail(path, "expected true or false");
        out = value.get<bool>();
        return true;
    }

    bool Choice(const json& value, const std::string& path,
                std::initializer_list<const char*> choices, std::string& out) {
        std::string list;
        for (const char* c : choices) {
            list += list.empty() ? "" : ", ";
            list += c;
            if (value.is_string() && value.get<std::string>() == c) {
                out = c;
                return true;
            }
        }
        return Fail(path, "expected one of " + list);
    }

    // An integer, or a string in C hexadecimal form.
    bool Number(const json& value, const std::string& path, uint32_t max, uint32_t& out) {
        uint64_t n = 0;
        bool ok = JsonNumber(value, n);
        if (!ok || n > max)
            return Fail(path, "expected a number from 0 to " + std::to_string(max));
        out = (uint32_t)n;
        return true;
    }

    // "a.b.c.d" with four 16-bit parts.
    bool Version(const json& value, const std::string& path, std::vector<uint32_t>& out) {
        out.clear();
        std::string text = value.is_string() ? value.get<std::string>() : "";
        size_t start = 0;
        for (bool more = value.is_string(); more;) {
            size_t dot = text.find('.', start);
            more = dot != std::string::npos;
            std::string part = text.substr(start, more ? dot - start : std::string::npos);
            start = dot + 1;
            if (part.empty() || part.size() > 5 || part.find_first_not_of("0123456789") != part.npos)
                break;
            out.push_back((uint32_t)strtoul(part.c_str(), nullptr, 10));
            if (out.back() > 0xFFFF || (more && out.size() == 4)) break;
            if (!more && out.size() == 4) return true;
        }
        return Fail(path, "expected a version \"a.b.c.d\" or null");
    }

    static std::string Join(const std::string& path, const std::string& key) {
        return path.empty() ? key : path + "." + key;
    }

private:
    std::string& error_;
};

bool OptionalVersion(Reader& r, const json& value, const std::string& path,
                     std::optional<std::vector<uint32_t>>& out) {
    if (value.is_null()) {
        out.reset();
        return true;
    }
    std::vector<uint32_t> version;
    if (!r.Version(value, path, version)) return false;
    out = version;
    return true;
}

bool ParseOsVersion(Reader& r, const json& value, SystemSection& sys) {
    const std::string path = "system.os_version";
    if (!value.is_array() || value.size() != 3)
        return r.Fail(path, "expected [major, minor, build]");
    return r.Number(value[0], path + "[0]", 0xFFFFFFFF, sys.os_major) &&
           r.Number(value[1], path + "[1]", 0xFFFFFFFF, sys.os_minor) &&
           r.Number(value[2], path + "[2]", 0xFFFFFFFF, sys.os_build);
}

bool ParseWow64(Reader& r, const json& value, std::string& out) {
    if (value.is_boolean()) {
        out = value.get<bool>() ? "true" : "false";
        return true;
    }
    if (value == "missing") {
        out = "missing";
        return true;
    }
    return r.Fail("system.wow64", "expected true, false or \"missing\"");
}

bool ParseSystemKey(Reader& r, const std::string& key, const json& v, SystemSection& sys) {
    const std::string path = "system." + key;
    if (key == "exe_path") return r.Text(v, path, sys.exe_path);
    if (key == "system_directory") return r.Text(v, path, sys.system_directory);
    if (key == "os_version") return ParseOsVersion(r, v, sys);
    if (key == "service_pack") return r.Number(v, path, 0xFFFF, sys.service_pack);
    if (key == "product_type") return r.Number(v, path, 0xFF, sys.product_type);
    if (key == "suite_mask") return r.Number(v, path, 0xFFFF, sys.suite_mask);
    if (key == "rtl_get_version")
        return r.Choice(v, path, {"ok", "missing", "fails"}, sys.rtl_get_version);
    if (key == "ntdll_version") {
        sys.ntdll_version_given = true;
        return OptionalVersion(r, v, path, sys.ntdll_version);
    }
    if (key == "exe_version") return OptionalVersion(r, v, path, sys.exe_version);
    if (key == "version_dll")
        return r.Choice(v, path, {"ok", "missing", "no_functions"}, sys.version_dll);
    if (key == "wow64") return ParseWow64(r, v, sys.wow64);
    return r.Flag(v, path, sys.dll_directory_functions);
}

bool ParseSystem(Reader& r, const json& value, SystemSection& sys) {
    if (!r.Object(value, "system",
                  {"exe_path", "system_directory", "os_version", "service_pack", "product_type",
                   "suite_mask", "rtl_get_version", "ntdll_version", "exe_version",
                   "version_dll", "wow64", "dll_directory_functions"}))
        return false;
    for (auto it = value.begin(); it != value.end(); ++it)
        if (!ParseSystemKey(r, it.key(), it.value(), sys)) return false;
    return true;
}

bool ParseRecord(Reader& r, const json& value, const std::string& path, InputRecord& rec) {
    if (!value.is_object()) return r.Fail(path, "expected an object");
    if (!value.contains("type")) return r.Fail(path + ".type", "missing");
    if (!r.Choice(value["type"], path + ".type", {"key", "focus", "menu", "mouse", "size"},
                  rec.type))
        return false;
    if (rec.type != "key") return r.Object(value, path, {"type"});
    if (!r.Object(value, path, {"type", "down", "vk", "char", "state"})) return false;
    if (value.contains("down") && !r.Flag(value["down"], path + ".down", rec.down)) return false;
    if (value.contains("vk") && !r.Number(value["vk"], path + ".vk", 0xFFFF, rec.vk)) return false;
    if (value.contains("char") && !r.Number(value["char"], path + ".char", 0xFF, rec.ch))
        return false;
    return !value.contains("state") ||
           r.Number(value["state"], path + ".state", 0xFFFFFFFF, rec.state);
}

bool ParseInput(Reader& r, const json& value, ConsoleSection& console) {
    const std::string path = "console.input";
    if (!value.is_array()) return r.Fail(path, "expected a list of lists of input records");
    console.input.clear();
    for (size_t i = 0; i < value.size(); ++i) {
        std::string batchPath = path + "[" + std::to_string(i) + "]";
        if (!value[i].is_array()) return r.Fail(batchPath, "expected a list of input records");
        console.input.emplace_back();
        for (size_t j = 0; j < value[i].size(); ++j) {
            console.input.back().emplace_back();
            std::string recordPath = batchPath + "[" + std::to_string(j) + "]";
            if (!ParseRecord(r, value[i][j], recordPath, console.input.back().back()))
                return false;
        }
    }
    return true;
}

bool ParseConsoleKey(Reader& r, const std::string& key, const json& v, ConsoleSection& con) {
    const std::string path = "console." + key;
    std::initializer_list<const char*> types = {"console", "nul", "file", "pipe", "auto"};
    if (key == "stdout") return r.Choice(v, path, types, con.stdout_type);
    if (key == "stderr") return r.Choice(v, path, types, con.stderr_type);
    if (key == "ansi_cp") return r.Number(v, path, 0xFFFF, con.ansi_cp);
    if (key == "output_cp") return r.Number(v, path, 0xFFFF, con.output_cp);
    if (key == "cp_info") return r.Flag(v, path, con.cp_info);
    if (key == "window")
        return r.Choice(v, path, {"none", "hidden", "other", "own", "pseudo"}, con.window);
    if (key == "processes") {
        uint64_t n = 0;
        if (!JsonNumber(v, n) || n < 1 || n > 0xFFFF)
            return r.Fail(path, "expected a number from 1 to 65535");
        con.processes = uint32_t(n);
        return true;
    }
    if (key == "stdin") return r.Choice(v, path, {"console", "redirected"}, con.stdin_type);
    if (key == "input") return ParseInput(r, v, con);
    if (v.is_null()) {
        con.screen_attributes.reset();
        return true;
    }
    uint32_t attributes = 0;
    if (!r.Number(v, path, 0xFFFF, attributes)) return false;
    con.screen_attributes = attributes;
    return true;
}

bool ParseConsole(Reader& r, const json& value, ConsoleSection& console) {
    if (!r.Object(value, "console",
                  {"stdout", "stderr", "ansi_cp", "output_cp", "cp_info", "window", "processes",
                   "stdin", "input", "screen_attributes"}))
        return false;
    for (auto it = value.begin(); it != value.end(); ++it)
        if (!ParseConsoleKey(r, it.key(), it.value(), console)) return false;
    // A command prompt's window is shared with the prompt itself.
    if (!value.contains("processes")) console.processes = console.window == "other" ? 2 : 1;
    return true;
}

}  // namespace

bool ParseMachine(const std::string& text, Machine& machine, std::string& error) {
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::parse_error& e) {
        // Where it broke, so that a hand-edited file can be mended.
        size_t end = e.byte == 0 ? 0 : std::min<size_t>(e.byte - 1, text.size());
        size_t line = 1 + std::count(text.begin(), text.begin() + end, '\n');
        size_t column = end - (line == 1 ? 0 : text.rfind('\n', end - 1) + 1) + 1;
        error = "machine: not valid JSON (line " + std::to_string(line) + ", column " +
                std::to_string(column) + ")";
        return false;
    }
    Reader r(error);
    if (!r.Object(doc, "", {"system", "console", "usb", "clock", "notes"})) return false;
    // Where the file came from and what in it is approximate: for people.
    if (doc.contains("notes")) {
        const json& notes = doc["notes"];
        bool texts = notes.is_array();
        for (const json& note : notes) texts = texts && note.is_string();
        if (!texts) return r.Fail("notes", "expected a list of texts");
    }
    machine = Machine();
    if (doc.contains("system") && !ParseSystem(r, doc["system"], machine.system)) return false;
    if (doc.contains("console") && !ParseConsole(r, doc["console"], machine.console))
        return false;
    if (doc.contains("clock")) {
        std::string clock;
        if (!r.Choice(doc["clock"], "clock", {"real", "virtual"}, clock)) return false;
        machine.virtual_clock = clock == "virtual";
    }
    json usb = doc.contains("usb") ? doc["usb"] : json();
    return ParseUsbSection(usb, machine.usb, error);
}

bool JsonNumber(const json& value, uint64_t& out) {
    if (value.is_number_unsigned()) {
        out = value.get<uint64_t>();
        return true;
    }
    if (!value.is_string()) return false;
    const std::string& s = value.get_ref<const std::string&>();
    if (s.size() < 3 || s.size() > 10 || s[0] != '0' || (s[1] != 'x' && s[1] != 'X'))
        return false;
    if (s.find_first_not_of("0123456789abcdefABCDEF", 2) != std::string::npos) return false;
    out = strtoull(s.c_str() + 2, nullptr, 16);
    return true;
}

}  // namespace tarvel::sim
