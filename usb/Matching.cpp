#include "usb/Matching.h"

#include "usb/CUsbDevInfo.h"

namespace tarvel {

namespace {

// Characters that differ at most in bit 0x20 are equal, so that letters
// match in either case; the end of the pattern equals nothing.
bool SameChar(unsigned char text, unsigned char pattern) {
    return pattern != 0 && ((text ^ pattern) & ~0x20u) == 0;
}

bool OneMatches(unsigned char text, unsigned char pattern) {
    return pattern == '?' || SameChar(text, pattern);
}

}  // namespace

bool WildcardMatch(const char* text, const char* pattern) {
    if (text == NULL || text[0] == 0 || pattern == NULL) return false;
    const unsigned char* t = (const unsigned char*)text;
    const unsigned char* p = (const unsigned char*)pattern;

    while (*p != '*') {
        if (!OneMatches(*t, *p)) return false;
        t++;
        p++;
        if (*t == 0) break;
    }
    // Only the latest star is retried; earlier ones never need to be.
    const unsigned char* resume = NULL;
    const unsigned char* retry = NULL;
    while (*t != 0) {
        if (*p == '*') {
            p++;
            if (*p == 0) return true;
            resume = p;
            retry = t + 1;
        } else if (OneMatches(*t, *p)) {
            t++;
            p++;
        } else {
            p = resume;
            t = retry++;
        }
    }
    while (*p == '*') p++;
    return *p == 0;
}

bool CUsbDevInfo::MatchPort(const DevNodeRecord* node, const UsbPortRecord* port,
                            char* const* ids) const {
    for (int i = 0; ids[i] != NULL; i++) {
        const char* id = ids[i];
        if (WildcardMatch(port->DriverKeyName, id)) continue;
        // Port chains are compared exactly: 1-3* must not select 1-3-2.
        if (lstrcmpA(port->PortName, id) == 0) continue;
        if (node != NULL && WildcardMatch(node->DeviceId, id)) continue;
        if (node != NULL && WildcardMatch(node->LocationInfo, id)) continue;
        return false;
    }
    return true;
}

int DeviceStatus(const UsbPortRecord& port) {
    if (port.DevNode == NULL || port.DevNode->Problem != 0) return 3;
    return 0;
}

}  // namespace tarvel
