// Whether a port is one the IDs select, and how it answers for it.
#pragma once

namespace tarvel {

struct UsbPortRecord;

// text against a pattern in which * stands for any run of characters and
// ? for any one; characters that differ only in bit 0x20 are equal (letters
// in either case). An empty or null text matches nothing.
bool WildcardMatch(const char* text, const char* pattern);

// 3 when the port has no device node or its node reports a problem, else 0.
int DeviceStatus(const UsbPortRecord& port);

}  // namespace tarvel
