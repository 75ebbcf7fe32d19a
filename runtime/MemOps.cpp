// Byte and word copies without the C runtime.
#include "runtime/CRTreplace.h"

namespace tarvel {

// Word stores go through __builtin_memcpy so that unaligned destinations
// stay well defined; the compiler turns each into a single store.
static void StoreDword(BYTE* dst, DWORD value) { __builtin_memcpy(dst, &value, 4); }

void* MemFill(void* dst, int value, DWORD count) {
    BYTE* p = static_cast<BYTE*>(dst);
    BYTE b = static_cast<BYTE>(value);
    DWORD pattern = b * 0x01010101u;
    for (DWORD words = count / 4; words > 0; words--, p += 4) StoreDword(p, pattern);
    for (DWORD rest = count % 4; rest > 0; rest--) *p++ = b;
    return dst;
}

void* MemMove(void* dst, const void* src, DWORD count) {
    BYTE* d = static_cast<BYTE*>(dst);
    const BYTE* s = static_cast<const BYTE*>(src);
    if (d > s && d < s + count) {
        // Destination above the source inside the range: copy from the end
        // so that no source byte is overwritten before it is read.
        while (count > 0) {
            count--;
            d[count] = s[count];
        }
    } else {
        for (DWORD i = 0; i < count; i++) d[i] = s[i];
    }
    return dst;
}

void* MemCopyWholeDwords(void* dst, const void* src, DWORD count) {
    BYTE* d = static_cast<BYTE*>(dst);
    const BYTE* s = static_cast<const BYTE*>(src);
    for (DWORD words = count / 4; words > 0; words--, d += 4, s += 4) {
        DWORD w;
        __builtin_memcpy(&w, s, 4);
        StoreDword(d, w);
    }
    return dst;
}

int& ClampInt(int& value, int lower, int upper) {
    if (value < lower) value = lower;
    if (value > upper) value = upper;
    return value;
}

}  // namespace tarvel
