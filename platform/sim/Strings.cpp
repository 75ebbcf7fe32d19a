// The string services of kernel32, user32 and shlwapi.
#include <string.h>

#include "platform/sim/SimCore.h"

namespace tarvel {

using sim::UpperAnsi;

namespace {

int Sign(int difference) { return difference < 0 ? -1 : difference > 0 ? 1 : 0; }

bool InSet(char c, PCSTR set) {
    for (; *set; ++set)
        if (*set == c) return true;
    return false;
}

PCSTR Find(PCSTR text, PCSTR search, bool ignoreCase) {
    if (!text || !search || !*search) return nullptr;
    for (; *text; ++text) {
        size_t i = 0;
        while (search[i] && text[i]) {
            unsigned char a = (unsigned char)text[i], b = (unsigned char)search[i];
            if (ignoreCase ? UpperAnsi(a) != UpperAnsi(b) : a != b) break;
            ++i;
        }
        if (!search[i]) return text;
    }
    return nullptr;
}

}  // namespace

int lstrlenA(LPCSTR s) { return s ? (int)strlen(s) : 0; }

LPSTR lstrcpyA(LPSTR dst, LPCSTR src) {
    if (!dst || !src) return nullptr;
    return strcpy(dst, src);
}

LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int max) {
    if (!dst || !src) return nullptr;
    if (max <= 0) return dst;
    int i = 0;
    for (; i < max - 1 && src[i]; ++i) dst[i] = src[i];
    dst[i] = 0;
    return dst;
}

LPSTR lstrcatA(LPSTR dst, LPCSTR src) {
    if (!dst || !src) return nullptr;
    return strcat(dst, src);
}

// Windows orders a null string before every other string.
int lstrcmpA(LPCSTR a, LPCSTR b) {
    if (!a || !b) return Sign((a ? 1 : 0) - (b ? 1 : 0));
    return Sign(strcmp(a, b));
}

int lstrcmpiA(LPCSTR a, LPCSTR b) {
    if (!a || !b) return Sign((a ? 1 : 0) - (b ? 1 : 0));
    for (;; ++a, ++b) {
        int d = UpperAnsi((unsigned char)*a) - UpperAnsi((unsigned char)*b);
        if (d || !*a) return Sign(d);
    }
}

// A pointer whose high word is zero carries a single character instead.
LPSTR CharUpperA(LPSTR text) {
    uintptr_t value = (uintptr_t)text;
    if (value >> 16 == 0) return (LPSTR)(uintptr_t)UpperAnsi((unsigned char)value);
    for (char* p = text; *p; ++p) *p = (char)UpperAnsi((unsigned char)*p);
    return text;
}

PCSTR StrStrA(PCSTR text, PCSTR search) { return Find(text, search, false); }

PCSTR StrStrIA(PCSTR text, PCSTR search) { return Find(text, search, true); }

BOOL StrTrimA(PSTR text, PCSTR trim) {
    if (!text || !trim) return FALSE;
    size_t length = strlen(text), start = 0, end = length;
    while (start < end && InSet(text[start], trim)) ++start;
    while (end > start && InSet(text[end - 1], trim)) --end;
    if (start == 0 && end == length) return FALSE;
    memmove(text, text + start, end - start);
    text[end - start] = 0;
    return TRUE;
}

int StrToIntA(PCSTR text) {
    if (!text) return 0;
    bool negative = *text == '-';
    if (negative) ++text;
    uint32_t value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) value = value * 10 + (uint32_t)(*text - '0');
    return (int)(negative ? 0u - value : value);
}

}  // namespace tarvel
