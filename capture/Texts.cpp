// Conversions of the system's answers into the UTF-8 of a machine file.
#include "capture/Texts.h"

#include "runtime/CRTreplace.h"

namespace tarvel::capture {

namespace {

const DWORD kReplacement = 0xFFFD;

int PutUtf8(char* out, DWORD code) {
    if (code < 0x80) {
        out[0] = char(code);
        return 1;
    }
    if (code < 0x800) {
        out[0] = char(0xC0 | (code >> 6));
        out[1] = char(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = char(0xE0 | (code >> 12));
        out[1] = char(0x80 | ((code >> 6) & 0x3F));
        out[2] = char(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (code >> 18));
    out[1] = char(0x80 | ((code >> 12) & 0x3F));
    out[2] = char(0x80 | ((code >> 6) & 0x3F));
    out[3] = char(0x80 | (code & 0x3F));
    return 4;
}

bool AnsiNoted;

// The character that the n bytes at text stand for in the ANSI code page,
// asked of the system's own conversion, or 0. Bytes stand for a character
// only when it converts back to exactly them: a gap, a lone lead byte or a
// bad trail byte reads as some default character that does not.
WCHAR AnsiChar(const BYTE* text, int n) {
    WCHAR wide[2];
    if (MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(text), n, wide, 2) != 1)
        return 0;
    char back[8];
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, 1, back, sizeof back, NULL,
                            NULL) != n)
        return 0;
    for (int i = 0; i < n; i++)
        if (BYTE(back[i]) != text[i]) return 0;
    return wide[0];
}

// The length of a well-formed UTF-8 sequence at text, or 0.
int Utf8Sequence(const BYTE* text, int left) {
    BYTE b = text[0];
    // 0xC0, 0xC1 and 0xF5 to 0xFF lead no well-formed sequence.
    int n = b >= 0xC2 && b <= 0xDF ? 2 : b >= 0xE0 && b <= 0xEF ? 3 : b >= 0xF0 && b <= 0xF4 ? 4 : 0;
    if (n == 0 || n > left) return 0;
    for (int i = 1; i < n; i++)
        if ((text[i] & 0xC0) != 0x80) return 0;
    if (n == 3 && b == 0xE0 && text[1] < 0xA0) return 0;
    if (n == 3 && b == 0xED && text[1] >= 0xA0) return 0;  // a surrogate
    if (n == 4 && b == 0xF0 && text[1] < 0x90) return 0;
    if (n == 4 && b == 0xF4 && text[1] >= 0x90) return 0;
    return n;
}

}  // namespace

Text WideText(const WCHAR* wide, int units) {
    int length = 0;
    while (length < units && wide[length]) length++;
    return WideUnits(wide, length);
}

Text WideUnits(const WCHAR* wide, int length) {
    char* out = static_cast<char*>(Take(length * 3 + 1));
    int used = 0;
    for (int i = 0; i < length; i++) {
        DWORD c = wide[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && wide[i + 1] >= 0xDC00 &&
            wide[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            i++;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;  // a lone half of a pair has no UTF-8 form
        }
        used += PutUtf8(out + used, c);
    }
    return Text{out, used, true, 0};
}

Text AnsiText(Machine& m, const char* bytes, int length) {
    char* out = static_cast<char*>(Take(length * 3 + 1));
    const BYTE* in = reinterpret_cast<const BYTE*>(bytes);
    bool utf8 = GetACP() == CP_UTF8;
    int used = 0;
    for (int i = 0; i < length;) {
        if (in[i] < 0x80) {
            out[used++] = char(in[i++]);
            continue;
        }
        if (utf8) {
            int n = Utf8Sequence(in + i, length - i);
            if (n > 0) {
                MemMove(out + used, in + i, n);
                used += n;
                i += n;
                continue;
            }
        } else {
            // One byte, or a lead and a trail byte in a double-byte code page.
            int n = 1;
            WCHAR c = AnsiChar(in + i, 1);
            if (!c && i + 1 < length) c = AnsiChar(in + i, n = 2);
            if (c) {
                used += PutUtf8(out + used, c);
                i += n;
                continue;
            }
        }
        if (!AnsiNoted)
            Note(m, "A byte 0x%02X of an ANSI text stands for no character of code page %u; "
                    "such bytes are written as U+FFFD.", in[i], GetACP());
        AnsiNoted = true;
        used += PutUtf8(out + used, kReplacement);
        i++;
    }
    return Text{out, used, true, 0};
}

void ResetTexts() {
    AnsiNoted = false;
}

Text FailedText(DWORD code) { return Text{nullptr, 0, false, code}; }

char* AnsiPath(const char* prefix, const WCHAR* wide, int units) {
    int length = 0;
    while (length < units && wide[length]) length++;
    int prefixLength = lstrlenA(prefix);
    int size = prefixLength + length * 4 + 1;
    char* path = static_cast<char*>(Take(size));
    MemMove(path, prefix, prefixLength);
    if (length > 0)
        WideCharToMultiByte(CP_ACP, 0, wide, length, path + prefixLength, size - prefixLength - 1,
                            NULL, NULL);
    return path;
}

bool SameDevicePath(const char* a, const char* b) {
    if (!a || !b || lstrlenA(a) <= 4 || lstrlenA(b) <= 4) return false;
    return lstrcmpiA(a + 4, b + 4) == 0;
}

bool SameText(const Text& a, const Text& b) {
    if (!a.Ok || !b.Ok || a.Length != b.Length) return false;
    for (int i = 0; i < a.Length; i++)
        if (a.Utf8[i] != b.Utf8[i]) return false;
    return true;
}

bool NamesPort(const Text& location, int port) {
    char prefix[16];
    int length = wsprintfA(prefix, "Port_#%04i", port);
    if (!location.Ok || location.Length < length) return false;
    for (int i = 0; i < length; i++) {
        char c = location.Utf8[i];
        if (c >= 'a' && c <= 'z') c = char(c - 32);
        char p = prefix[i];
        if (p >= 'a' && p <= 'z') p = char(p - 32);
        if (c != p) return false;
    }
    return true;
}

}  // namespace tarvel::capture
