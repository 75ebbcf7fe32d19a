// Serial numbers out of a machine file. A USB device with a serial number
// has it as the last part of its instance ID, as in
// USB\VID_0781&PID_5581\4C530001230510117085; the parts Windows makes up
// hold '&' instead. The serial lives on in the names and paths made from
// the ID. Each serial becomes one placeholder, the same wherever it
// stands, so that the file still links every port to its node.
#include "capture/Texts.h"
#include "runtime/CRTreplace.h"

namespace tarvel::capture {

namespace {

// Free texts only lose serials this long; shorter ones would hit ordinary
// words and numbers there.
const int kMinSerialInNames = 4;

struct Serials {
    List<Text> Values;
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; }

bool SameNoCase(const char* a, const char* b, int length) {
    for (int i = 0; i < length; i++)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

void AddSerial(Serials& s, const Text& id) {
    if (!id.Ok) return;
    int parts = 0, last = 0;
    for (int i = 0; i < id.Length; i++)
        if (id.Utf8[i] == '\\') parts++, last = i + 1;
    if (parts < 2 || last >= id.Length) return;
    Text serial = {id.Utf8 + last, id.Length - last, true, 0};
    for (int i = 0; i < serial.Length; i++)
        if (serial.Utf8[i] == '&') return;
    for (int i = 0; i < s.Values.Count; i++)
        if (s.Values[i].Length == serial.Length &&
            SameNoCase(s.Values[i].Utf8, serial.Utf8, serial.Length))
            return;
    s.Values.Add() = serial;
}

bool IsSeparator(char c) { return c == '\\' || c == '#'; }
bool IsWordChar(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           (c & 0x80) != 0;
}

// Writes the placeholder of serial i in the case of what it replaces.
int Placeholder(char* out, int i, const char* replaced, int length) {
    bool lower = false, upper = false;
    for (int k = 0; k < length; k++) {
        lower = lower || (replaced[k] >= 'a' && replaced[k] <= 'z');
        upper = upper || (replaced[k] >= 'A' && replaced[k] <= 'Z');
    }
    return wsprintfA(out, lower && !upper ? "masked%04i" : "MASKED%04i", i + 1);
}

// Replaces serials in a text: in an ID or path, the parts between '\' and
// '#' that equal one (the first `keep` parts of an instance ID stay); in a
// name, each occurrence that stands as a word of its own. Without out it
// only measures: a placeholder may be longer than the serial it replaces.
int MaskInto(const Serials& s, const Text& text, bool path, int keep, char* out, bool& changed) {
    int used = 0, part = 0;
    for (int i = 0; i < text.Length;) {
        bool start = i == 0 || (path ? IsSeparator(text.Utf8[i - 1]) : !IsWordChar(text.Utf8[i - 1]));
        int hit = -1;
        for (int k = 0; start && hit < 0 && k < s.Values.Count; k++) {
            int n = s.Values[k].Length;
            if (n > text.Length - i || (!path && n < kMinSerialInNames) || (path && part < keep))
                continue;
            char after = i + n < text.Length ? text.Utf8[i + n] : 0;
            bool end = after == 0 || (path ? IsSeparator(after) : !IsWordChar(after));
            if (end && SameNoCase(text.Utf8 + i, s.Values[k].Utf8, n)) hit = k;
        }
        if (hit >= 0) {
            char placeholder[32];
            int length = Placeholder(placeholder, hit, text.Utf8 + i, s.Values[hit].Length);
            if (out) MemMove(out + used, placeholder, length);
            used += length;
            i += s.Values[hit].Length;
            changed = true;
            continue;
        }
        if (path && IsSeparator(text.Utf8[i])) part++;
        if (out) out[used] = text.Utf8[i];
        used++;
        i++;
    }
    return used;
}

void MaskText(const Serials& s, Text& text, bool path, int keep) {
    if (!text.Ok || text.Length == 0) return;
    bool changed = false;
    int length = MaskInto(s, text, path, keep, nullptr, changed);
    if (!changed) return;
    char* out = static_cast<char*>(Take(length + 1));
    MaskInto(s, text, path, keep, out, changed);
    text = Text{out, length, true, 0};
}

}  // namespace

void MaskSerials(Machine& m) {
    Serials s = {};
    for (int i = 0; i < m.Nodes.Count; i++) AddSerial(s, m.Nodes[i].Id);
    for (int i = 0; i < m.Nodes.Count; i++) {
        Node& n = m.Nodes[i];
        MaskText(s, n.Id, true, 2);
        MaskText(s, n.Props[kFriendlyName], false, 0);
        MaskText(s, n.Props[kDescription], false, 0);
    }
    for (int h = 0; h < m.Hubs.Count; h++) {
        Hub& hub = m.Hubs[h];
        MaskText(s, hub.Name, true, 0);
        MaskText(s, hub.InterfacePath, true, 0);
        for (int k = 0; k < hub.Conns.Count; k++) MaskText(s, hub.Conns[k].HubName, true, 0);
    }
    for (int c = 0; c < m.Controllers.Count; c++) MaskText(s, m.Controllers[c].Path, true, 0);
    for (int i = 0; i < m.Members.Count; i++) MaskText(s, m.Members[i].Path, true, 0);
}

}  // namespace tarvel::capture
