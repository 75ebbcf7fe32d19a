// Writes the machine file: keys in the order a reader meets them in the
// machine format, numbers of the hardware in hexadecimal.
#include "capture/MachineOut.h"

#include "capture/Texts.h"  // FailedText

namespace tarvel::capture {

namespace {

class MachineWriter {
public:
    MachineWriter(const Machine& m, Output& out) : m_(m), json_(out) {}
    void WriteMachine();

private:
    void WriteSystem();
    void WriteConsole();
    void WriteUsb();
    void WriteController(const Controller& c);
    void WriteHub(int hub);
    void WritePort(const Port& p);
    void WriteNode(int node, bool ofHub);
    void WriteVersion(bool ok, const WORD parts[4]);
    void String(const Text& text) { json_.String(text.Utf8 ? text.Utf8 : "", text.Length); }
    // A text, or {"<failure>": code}.
    void TextOr(const char* failure, const Text& text);
    void HexString(DWORD value, int digits);  // "0x" and the digits, quoted

    const Machine& m_;
    JsonWriter json_;
    List<int> emitted_ = {};  // hubs in the order they are written
};

void MachineWriter::TextOr(const char* failure, const Text& text) {
    if (text.Ok) return String(text);
    json_.Raw("{\"");
    json_.Raw(failure);
    json_.Raw("\": ");
    json_.Unsigned(text.Code);
    json_.Raw("}");
}

void MachineWriter::HexString(DWORD value, int digits) {
    json_.Raw("\"0x");
    json_.Hex(value, digits);
    json_.Raw("\"");
}

void MachineWriter::WriteMachine() {
    json_.Begin('{');
    json_.Key("notes");
    json_.Begin('[');
    for (int i = 0; i < m_.Notes.Count; i++) {
        json_.Item();
        json_.String(m_.Notes[i]);
    }
    json_.End(']');
    json_.Member("clock", "real");
    WriteSystem();
    WriteConsole();
    WriteUsb();
    json_.End('}');
    json_.Raw("\n");
}

void MachineWriter::WriteVersion(bool ok, const WORD parts[4]) {
    if (!ok) return json_.Raw("null");
    json_.Raw("\"");
    for (int i = 0; i < 4; i++) {
        if (i) json_.Raw(".");
        json_.Unsigned(parts[i]);
    }
    json_.Raw("\"");
}

void MachineWriter::WriteSystem() {
    const SystemInfo& s = m_.System;
    json_.Key("system");
    json_.Begin('{');
    json_.Key("exe_path");
    String(s.ExePath);
    json_.Key("system_directory");
    String(s.SystemDirectory);
    json_.Key("os_version");
    json_.Raw("[");
    json_.Unsigned(s.Major);
    json_.Raw(", ");
    json_.Unsigned(s.Minor);
    json_.Raw(", ");
    json_.Unsigned(s.Build);
    json_.Raw("]");
    json_.Member("service_pack", s.ServicePackMajor);
    json_.Member("product_type", s.ProductType);
    json_.Member("suite_mask", s.SuiteMask);
    json_.Member("rtl_get_version", s.RtlGetVersion);
    json_.Key("ntdll_version");
    WriteVersion(s.NtdllVersionOk, s.NtdllVersion);
    json_.Key("exe_version");
    WriteVersion(s.ExeVersionOk, s.ExeVersion);
    json_.Member("version_dll", s.VersionDll);
    json_.Key("wow64");
    // true and false are JSON's own; only "missing" is a text.
    if (s.Wow64[0] == 'm') json_.String(s.Wow64);
    else json_.Raw(s.Wow64);
    json_.BoolMember("dll_directory_functions", s.DllDirectoryFunctions);
    json_.End('}');
}

void MachineWriter::WriteConsole() {
    const ConsoleInfo& c = m_.Console;
    json_.Key("console");
    json_.Begin('{');
    json_.Member("stdout", c.Stdout);
    json_.Member("stderr", c.Stderr);
    json_.Member("ansi_cp", c.AnsiCp);
    json_.Member("output_cp", c.OutputCp);
    json_.BoolMember("cp_info", c.CpInfo);
    json_.Member("window", c.Window);
    json_.Member("processes", c.Processes);
    json_.Member("stdin", c.Stdin);
    json_.Key("input");
    json_.Raw("[]");
    json_.Key("screen_attributes");
    if (c.ScreenOk) json_.Unsigned(c.ScreenAttributes);
    else json_.Raw("null");
    json_.End('}');
}

void MachineWriter::WriteUsb() {
    json_.Key("usb");
    json_.Begin('{');
    json_.Member("controller_set", m_.ControllerSetOk ? "ok" : "fails");
    json_.Member("hub_set", m_.HubSetOk ? "ok" : "fails");
    json_.Key("controllers");
    json_.Begin('[');
    for (int c = 0; c < m_.Controllers.Count; c++) {
        json_.Item();
        WriteController(m_.Controllers[c]);
    }
    json_.End(']');
    json_.Key("hub_set_order");
    json_.Begin('[');
    for (int i = 0; i < m_.Members.Count; i++) {
        int hub = m_.Members[i].Hub;
        bool written = false, listed = false;
        for (int e = 0; e < emitted_.Count; e++) written = written || emitted_[e] == hub;
        for (int j = 0; j < i; j++) listed = listed || m_.Members[j].Hub == hub;
        if (hub < 0 || !written || listed || m_.Hubs[hub].Node < 0) continue;
        json_.Item();
        String(m_.Hubs[hub].Name);
    }
    json_.End(']');
    json_.End('}');
}

void MachineWriter::WriteController(const Controller& c) {
    json_.Begin('{');
    json_.BoolMember("detail", c.Detail);
    json_.Key("path");
    String(c.Path);
    json_.BoolMember("open", c.Open);
    json_.Key("root_hub");
    if (c.RootHub >= 0) WriteHub(c.RootHub);
    else json_.Raw("null");
    json_.End('}');
}

void MachineWriter::WriteHub(int hub) {
    const Hub& h = m_.Hubs[hub];
    emitted_.Add() = hub;
    json_.Begin('{');
    json_.Key("name");
    String(h.Name);
    json_.BoolMember("open", h.Open);
    json_.BoolMember("node_info", h.NodeInfo);
    json_.Member("ports", h.Ports);
    json_.Key("capabilities");
    if (h.Caps < 0) json_.String("fails");
    else json_.Bool(h.Caps == 1);
    json_.BoolMember("interface_detail", h.Detail);
    json_.Key("interface_path");
    if (h.InterfacePath.Utf8) {
        String(h.InterfacePath);
    } else {
        json_.Raw("\"");
        json_.Escaped("\\\\?\\", 4);
        json_.Escaped(h.Name.Utf8, h.Name.Length);
        json_.Raw("\"");
    }
    if (h.Parent < 0) {
        json_.Key("node");
        if (h.Node >= 0) WriteNode(h.Node, true);
        else json_.Raw("null");
    }
    json_.Key("connections");
    json_.Begin('{');
    for (int k = 0; k < h.Conns.Count; k++) {
        json_.Key(DWORD(h.Conns[k].Number));
        WritePort(h.Conns[k]);
    }
    json_.End('}');
    json_.Key("extra_nodes");
    json_.Begin('[');
    for (int i = 0; i < h.Extras.Count; i++) {
        json_.Item();
        WriteNode(h.Extras[i], false);
    }
    json_.End(']');
    json_.End('}');
}

void MachineWriter::WritePort(const Port& p) {
    json_.Begin('{');
    json_.Member("query", p.QueryOk ? "ok" : "fails");
    json_.Member("status", p.Status);
    json_.Key("vid");
    HexString(p.Vid, 4);
    json_.Key("pid");
    HexString(p.Pid, 4);
    json_.Key("bcd_usb");
    HexString(p.Bcd, 4);
    json_.Member("speed", p.Speed);
    json_.BoolMember("is_hub", p.IsHub);
    json_.Key("v2");
    if (p.V2Ok) {
        json_.Raw("{\"protocols\": ");
        json_.Unsigned(p.Protocols);
        json_.Raw(", \"flags\": ");
        json_.Unsigned(p.Flags);
        json_.Raw("}");
    } else {
        json_.String("fails");
    }
    json_.Key("driver_key");
    TextOr("error", p.DriverKey);
    json_.Member("node_name", p.NodeNameOk ? "ok" : "fails");
    int node = p.Node;
    if (p.Hub >= 0) {
        json_.Key("hub");
        WriteHub(p.Hub);
        if (m_.Hubs[p.Hub].Node >= 0) node = m_.Hubs[p.Hub].Node;
    }
    json_.Key("node");
    if (node >= 0) WriteNode(node, p.Hub >= 0);
    else json_.Raw("null");
    json_.End('}');
}

void MachineWriter::WriteNode(int node, bool ofHub) {
    const Node& n = m_.Nodes[node];
    json_.Begin('{');
    json_.Key("instance_id");
    TextOr("cr", n.Id);
    json_.Key("status");
    if (n.StatusOk) HexString(n.Status, 8);
    else TextOr("cr", FailedText(n.StatusCode));
    json_.Member("problem", n.Problem);
    static const char* const kNames[kPropertyCount] = {"friendly_name", "description", "location",
                                                        "driver"};
    for (int p = 0; p < kPropertyCount; p++) {
        json_.Key(kNames[p]);
        if (n.Props[p].Ok && n.Unterminated[p]) {
            json_.Raw("{\"unterminated\": ");
            String(n.Props[p]);
            json_.Raw("}");
        } else {
            TextOr("cr", n.Props[p]);
        }
    }
    json_.Key("children");
    // A hub's children are all written as its ports' nodes and further nodes.
    json_.Unsigned(ofHub ? 0 : n.Children.Count);
    json_.End('}');
}

}  // namespace

void WriteMachine(const Machine& m, Output& out) {
    MachineWriter writer(m, out);
    writer.WriteMachine();
}

}  // namespace tarvel::capture
