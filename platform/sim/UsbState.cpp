// The live state of the simulated USB stack.
#include "platform/sim/UsbState.h"

#include <algorithm>
#include <map>
#include <vector>

#include "platform/sim/Sim.h"

namespace tarvel::sim {
namespace {

struct UsbState {
    UsbSection usb;
    std::map<uintptr_t, UsbSetKind> sets;
    std::map<uintptr_t, UsbOpenDevice> devices;
    uintptr_t nextSet = 0;
    uintptr_t nextDevice = 0;
    // (first anonymous DEVINST, parent DEVINST), ascending.
    std::vector<std::pair<uint32_t, uint32_t>> anonymous;
    IoctlAreaMap areas;
};

UsbState& State() {
    static UsbState state;
    return state;
}

// Handle values far from what the rest of the simulator hands out.
const uintptr_t kSetBase = 0x5E700000;
const uintptr_t kDeviceBase = 0x6DE00000;

// The parent of an anonymous node, or 0 when node is no anonymous node.
uint32_t AnonymousParent(DEVINST node) {
    const UsbState& s = State();
    if (node <= s.usb.nodes.size() || s.anonymous.empty()) return 0;
    auto it = std::upper_bound(s.anonymous.begin(), s.anonymous.end(),
                               std::make_pair(uint32_t(node), UINT32_MAX));
    if (it == s.anonymous.begin()) return 0;
    --it;
    const UsbNode& parent = s.usb.nodes[it->second - 1];
    return node < it->first + parent.children ? it->second : 0;
}

}  // namespace

void NoteIoctlArea(const char* name, DWORD inSize, DWORD outSize) {
    State().areas[name].insert({inSize, outSize});
}

const IoctlAreaMap& IoctlAreas() { return State().areas; }

void ResetUsbState(const UsbSection& usb) {
    UsbState& s = State();
    s = UsbState();
    s.usb = usb;
    for (size_t i = 0; i < usb.nodes.size(); i++) {
        if (usb.nodes[i].children > 0) {
            s.anonymous.emplace_back(usb.nodes[i].first_anonymous, uint32_t(i + 1));
        }
    }
}

const UsbSection& Usb() { return State().usb; }

HDEVINFO OpenSet(UsbSetKind kind) {
    UsbState& s = State();
    uintptr_t value = kSetBase + 0x10 * ++s.nextSet;
    s.sets[value] = kind;
    return HDEVINFO(value);
}

bool FindSet(HDEVINFO set, UsbSetKind& kind) {
    auto it = State().sets.find(uintptr_t(set));
    if (it == State().sets.end()) return false;
    kind = it->second;
    return true;
}

bool CloseSet(HDEVINFO set) { return State().sets.erase(uintptr_t(set)) == 1; }

size_t LiveUsbHandles() { return State().sets.size() + State().devices.size(); }

HANDLE OpenDevice(const UsbOpenDevice& device) {
    UsbState& s = State();
    uintptr_t value = kDeviceBase + 4 * ++s.nextDevice;
    s.devices[value] = device;
    return HANDLE(value);
}

const UsbOpenDevice* FindDevice(HANDLE handle) {
    auto it = State().devices.find(uintptr_t(handle));
    return it == State().devices.end() ? nullptr : &it->second;
}

bool CloseDevice(HANDLE handle, std::string& path) {
    auto it = State().devices.find(uintptr_t(handle));
    if (it == State().devices.end()) return false;
    path = it->second.path;
    State().devices.erase(it);
    return true;
}

const UsbNode* FindNode(DEVINST node, UsbNode& scratch) {
    const UsbSection& usb = State().usb;
    if (node >= 1 && node <= usb.nodes.size()) return &usb.nodes[node - 1];
    if (AnonymousParent(node) == 0) return nullptr;
    scratch = AnonymousNode(node);
    return &scratch;
}

DEVINST NodeChild(DEVINST node) {
    const UsbSection& usb = State().usb;
    if (node < 1 || node > usb.nodes.size()) return 0;
    const UsbNode& n = usb.nodes[node - 1];
    return n.first_named_child != 0 ? n.first_named_child : n.first_anonymous;
}

DEVINST NodeSibling(DEVINST node) {
    const UsbSection& usb = State().usb;
    if (node >= 1 && node <= usb.nodes.size()) return usb.nodes[node - 1].next_sibling;
    uint32_t parent = AnonymousParent(node);
    if (parent == 0) return 0;
    return AnonymousParent(node + 1) == parent ? node + 1 : 0;
}

std::u16string Utf16(const std::string& utf8) {
    std::u16string out;
    size_t i = 0;
    while (i < utf8.size()) {
        unsigned char c = utf8[i];
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2
                  : (c & 0xF8) == 0xF0 ? 3 : -1;
        uint32_t cp = extra == 0 ? c : extra == 1 ? c & 0x1F : extra == 2 ? c & 0x0F : c & 0x07;
        bool ok = extra >= 0 && i + extra < utf8.size();
        for (int k = 1; ok && k <= extra; k++) {
            unsigned char cc = utf8[i + k];
            ok = (cc & 0xC0) == 0x80;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += u'\xFFFD';  // a broken sequence becomes one replacement character
            i++;
            continue;
        }
        i += extra + 1;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

std::string Ansi(const std::string& utf8) {
    std::u16string wide = Utf16(utf8);
    int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::vector<char> out(size_t(size) + 1, 0);
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, out.data(), size, nullptr, nullptr);
    return std::string(out.data());
}

bool SameTextI(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); i++) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = char(x - 32);
        if (y >= 'a' && y <= 'z') y = char(y - 32);
        if (x != y) return false;
    }
    return true;
}

}  // namespace tarvel::sim
