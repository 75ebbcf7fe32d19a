// Writes the machine file: two-space indentation, keys in the order a
// reader meets them in the machine format, numbers of the hardware in
// hexadecimal, texts as UTF-8 with JSON escapes for control characters.
#include "capture/JsonOut.h"

#include "capture/Texts.h"
#include "runtime/CRTreplace.h"

namespace tarvel::capture {

namespace {

const int kMaxNesting = 1024;

class Writer {
public:
    Writer(Machine& m, Output& out) : m_(m), out_(out) {}

    void Put(const char* bytes, int length) {
        if (out_.Length + length > out_.Capacity) {
            int capacity = out_.Capacity ? out_.Capacity * 2 : 65536;
            while (capacity < out_.Length + length) capacity *= 2;
            char* data = static_cast<char*>(Take(capacity));
            MemMove(data, out_.Data, out_.Length);
            out_.Data = data;
            out_.Capacity = capacity;
        }
        MemMove(out_.Data + out_.Length, bytes, length);
        out_.Length += length;
    }
    void Put(const char* text) { Put(text, lstrlenA(text)); }
    void Format(const char* format, DWORD value) {
        char text[32];
        Put(text, wsprintfA(text, format, value));
    }

    void Begin(char bracket) {
        Put(&bracket, 1);
        items_[++depth_] = 0;
    }
    void End(char bracket) {
        if (items_[depth_--]) Newline();
        Put(&bracket, 1);
    }
    void Item() {
        if (items_[depth_]++) Put(",");
        Newline();
    }
    void Key(const char* key) {
        Item();
        Put("\"");
        Put(key);
        Put("\": ");
    }

    void String(const char* bytes, int length) {
        Put("\"");
        for (int i = 0; i < length; i++) {
            unsigned char c = static_cast<unsigned char>(bytes[i]);
            if (c == '"' || c == '\\') {
                char escaped[2] = {'\\', char(c)};
                Put(escaped, 2);
            } else if (c < 0x20) {
                Format("\\u%04X", c);
            } else {
                Put(bytes + i, 1);
            }
        }
        Put("\"");
    }
    void String(const char* text) { String(text, lstrlenA(text)); }
    void String(const Text& text) { String(text.Utf8 ? text.Utf8 : "", text.Length); }
    void Bool(bool value) { Put(value ? "true" : "false"); }

    // A text, or {"<failure>": code}.
    void TextOr(const char* failure, const Text& text) {
        if (text.Ok) return String(text);
        Put("{\"");
        Put(failure);
        Format("\": %u}", text.Code);
    }

    void WriteMachine();

private:
    void Newline() {
        Put("\n");
        for (int i = 0; i < depth_; i++) Put("  ");
    }
    void WriteSystem();
    void WriteConsole();
    void WriteUsb();
    void WriteController(const capture::Controller& c);
    void WriteHub(int hub);
    void WritePort(const capture::Port& p);
    void WriteNode(int node, bool ofHub);
    void WriteVersion(bool ok, const WORD parts[4]);

    Machine& m_;
    Output& out_;
    int items_[kMaxNesting + 2] = {};
    int depth_ = 0;
    List<int> emitted_ = {};  // hubs in the order they are written
};

void Writer::WriteMachine() {
    Begin('{');
    Key("notes");
    Begin('[');
    for (int i = 0; i < m_.Notes.Count; i++) {
        Item();
        String(m_.Notes[i]);
    }
    End(']');
    Key("clock");
    String("real");
    WriteSystem();
    WriteConsole();
    WriteUsb();
    End('}');
    Put("\n");
}

void Writer::WriteVersion(bool ok, const WORD parts[4]) {
    if (!ok) return Put("null");
    char text[32];
    wsprintfA(text, "\"%u.%u.%u.%u\"", parts[0], parts[1], parts[2], parts[3]);
    Put(text);
}

void Writer::WriteSystem() {
    const SystemInfo& s = m_.System;
    Key("system");
    Begin('{');
    Key("exe_path");
    String(s.ExePath);
    Key("system_directory");
    String(s.SystemDirectory);
    Key("os_version");
    char text[48];
    Put(text, wsprintfA(text, "[%u, %u, %u]", s.Major, s.Minor, s.Build));
    Key("service_pack");
    Format("%u", s.ServicePackMajor);
    Key("product_type");
    Format("%u", s.ProductType);
    Key("suite_mask");
    Format("%u", s.SuiteMask);
    Key("rtl_get_version");
    String(s.RtlGetVersion);
    Key("ntdll_version");
    WriteVersion(s.NtdllVersionOk, s.NtdllVersion);
    Key("exe_version");
    WriteVersion(s.ExeVersionOk, s.ExeVersion);
    Key("version_dll");
    String(s.VersionDll);
    Key("wow64");
    if (lstrcmpA(s.Wow64, "missing") == 0) String(s.Wow64);
    else Put(s.Wow64);
    Key("dll_directory_functions");
    Bool(s.DllDirectoryFunctions);
    End('}');
}

void Writer::WriteConsole() {
    const ConsoleInfo& c = m_.Console;
    Key("console");
    Begin('{');
    Key("stdout");
    String(c.Stdout);
    Key("stderr");
    String(c.Stderr);
    Key("ansi_cp");
    Format("%u", c.AnsiCp);
    Key("output_cp");
    Format("%u", c.OutputCp);
    Key("cp_info");
    Bool(c.CpInfo);
    Key("window");
    String(c.Window);
    Key("stdin");
    String(c.Stdin);
    Key("input");
    Put("[]");
    Key("screen_attributes");
    if (c.ScreenOk) Format("%u", c.ScreenAttributes);
    else Put("null");
    End('}');
}

void Writer::WriteUsb() {
    Key("usb");
    Begin('{');
    Key("controller_set");
    String(m_.ControllerSetOk ? "ok" : "fails");
    Key("hub_set");
    String(m_.HubSetOk ? "ok" : "fails");
    Key("controllers");
    Begin('[');
    for (int c = 0; c < m_.Controllers.Count; c++) {
        Item();
        WriteController(m_.Controllers[c]);
    }
    End(']');
    Key("hub_set_order");
    Begin('[');
    for (int i = 0; i < m_.Members.Count; i++) {
        int hub = m_.Members[i].Hub;
        bool written = false, listed = false;
        for (int e = 0; e < emitted_.Count; e++) written = written || emitted_[e] == hub;
        for (int j = 0; j < i; j++) listed = listed || m_.Members[j].Hub == hub;
        if (hub < 0 || !written || listed || m_.Hubs[hub].Node < 0) continue;
        Item();
        String(m_.Hubs[hub].Name);
    }
    End(']');
    End('}');
}

void Writer::WriteController(const capture::Controller& c) {
    Begin('{');
    Key("detail");
    Bool(c.Detail);
    Key("path");
    String(c.Path);
    Key("open");
    Bool(c.Open);
    Key("root_hub");
    if (c.RootHub >= 0) WriteHub(c.RootHub);
    else Put("null");
    End('}');
}

void Writer::WriteHub(int hub) {
    capture::Hub& h = m_.Hubs[hub];
    emitted_.Add() = hub;
    Begin('{');
    Key("name");
    String(h.Name);
    Key("open");
    Bool(h.Open);
    Key("node_info");
    Bool(h.NodeInfo);
    Key("ports");
    Format("%u", h.Ports);
    Key("capabilities");
    if (h.Caps < 0) String("fails");
    else Bool(h.Caps == 1);
    Key("interface_detail");
    Bool(h.Detail);
    Key("interface_path");
    if (h.InterfacePath.Utf8) {
        String(h.InterfacePath);
    } else {
        char* path = static_cast<char*>(Take(h.Name.Length + 5));
        MemMove(path, "\\\\?\\", 4);
        MemMove(path + 4, h.Name.Utf8, h.Name.Length);
        String(path, h.Name.Length + 4);
    }
    if (h.Parent < 0) {
        Key("node");
        if (h.Node >= 0) WriteNode(h.Node, true);
        else Put("null");
    }
    Key("connections");
    Begin('{');
    for (int k = 0; k < h.Conns.Count; k++) {
        char number[8];
        wsprintfA(number, "%i", h.Conns[k].Number);
        Key(number);
        WritePort(h.Conns[k]);
    }
    End('}');
    Key("extra_nodes");
    Begin('[');
    for (int i = 0; i < h.Extras.Count; i++) {
        Item();
        WriteNode(h.Extras[i], false);
    }
    End(']');
    End('}');
}

void Writer::WritePort(const capture::Port& p) {
    Begin('{');
    Key("query");
    String(p.QueryOk ? "ok" : "fails");
    Key("status");
    Format("%u", p.Status);
    Key("vid");
    Format("\"0x%04X\"", p.Vid);
    Key("pid");
    Format("\"0x%04X\"", p.Pid);
    Key("bcd_usb");
    Format("\"0x%04X\"", p.Bcd);
    Key("speed");
    Format("%u", p.Speed);
    Key("is_hub");
    Bool(p.IsHub);
    Key("v2");
    if (p.V2Ok) {
        Put("{\"protocols\": ");
        Format("%u", p.Protocols);
        Put(", \"flags\": ");
        Format("%u}", p.Flags);
    } else {
        String("fails");
    }
    Key("driver_key");
    TextOr("error", p.DriverKey);
    Key("node_name");
    String(p.NodeNameOk ? "ok" : "fails");
    int node = p.Node;
    if (p.Hub >= 0) {
        Key("hub");
        WriteHub(p.Hub);
        if (m_.Hubs[p.Hub].Node >= 0) node = m_.Hubs[p.Hub].Node;
    }
    Key("node");
    if (node >= 0) WriteNode(node, p.Hub >= 0);
    else Put("null");
    End('}');
}

void Writer::WriteNode(int node, bool ofHub) {
    if (!ofHub) ReadChildren(m_, node);
    capture::Node& n = m_.Nodes[node];
    n.Placed = true;
    Begin('{');
    Key("instance_id");
    TextOr("cr", n.Id);
    Key("status");
    if (n.StatusOk) Format("\"0x%08X\"", n.Status);
    else TextOr("cr", FailedText(n.StatusCode));
    Key("problem");
    Format("%u", n.Problem);
    static const char* const kNames[kPropertyCount] = {"friendly_name", "description", "location",
                                                        "driver"};
    for (int p = 0; p < kPropertyCount; p++) {
        Key(kNames[p]);
        if (n.Props[p].Ok && n.Unterminated[p]) {
            Put("{\"unterminated\": ");
            String(n.Props[p]);
            Put("}");
        } else {
            TextOr("cr", n.Props[p]);
        }
    }
    Key("children");
    // A hub's children are all written as its ports' nodes and further nodes.
    Format("%u", ofHub ? 0 : n.Children.Count);
    End('}');
}

// The hubs in the order the file gives them: controller by controller, a
// hub before the hubs on its ports.
void AddInFileOrder(const Machine& m, int hub, List<int>& order) {
    order.Add() = hub;
    const List<Port>& conns = m.Hubs[hub].Conns;
    for (int k = 0; k < conns.Count; k++)
        if (conns[k].Hub >= 0) AddInFileOrder(m, conns[k].Hub, order);
}

bool NameTaken(const Machine& m, const List<int>& order, int before, const Text& name) {
    for (int e = 0; e < before; e++)
        if (SameText(m.Hubs[order[e]].Name, name)) return true;
    return false;
}

// Hub names are unique in a machine file. A name answered twice gets one
// letter in the other case: paths compare without case, so it still leads
// where the name led.
void MakeNamesUnique(Machine& m) {
    List<int> order = {};
    for (int c = 0; c < m.Controllers.Count; c++)
        if (m.Controllers[c].RootHub >= 0) AddInFileOrder(m, m.Controllers[c].RootHub, order);
    for (int i = 1; i < order.Count; i++) {
        Hub& h = m.Hubs[order[i]];
        if (!NameTaken(m, order, i, h.Name)) continue;
        char* name = static_cast<char*>(Take(h.Name.Length + 24));
        MemMove(name, h.Name.Utf8, h.Name.Length);
        Text renamed = {name, h.Name.Length, true, 0};
        for (int k = renamed.Length - 1; k >= 0 && NameTaken(m, order, i, renamed); k--) {
            char c = h.Name.Utf8[k];
            if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))) continue;
            MemMove(name, h.Name.Utf8, h.Name.Length);
            name[k] = char(c ^ 0x20);
        }
        if (NameTaken(m, order, i, renamed))
            renamed.Length += wsprintfA(name + h.Name.Length, "#%i", i + 1);
        h.Name = renamed;
        Note(m, "Two hubs answer the same name; the file writes one letter of the second in the "
                "other case.");
    }
}

}  // namespace

void WriteMachine(Machine& m, Output& out) {
    MakeNamesUnique(m);
    Writer writer(m, out);
    writer.WriteMachine();
}

}  // namespace tarvel::capture
