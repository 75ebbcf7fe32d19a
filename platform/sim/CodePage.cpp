// Code pages of the simulated machine: the conversion from UTF-16 and the
// case mapping of the ANSI code page.
#include <stdio.h>
#include <string.h>

#include "platform/sim/Sim.h"
#include "platform/sim/SimCore.h"

namespace tarvel::sim {
namespace {

// Upper halves (0x80..0xFF) of the single-byte code pages.
const uint16_t kCp437[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8,
    0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2,
    0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1,
    0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD,
    0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562,
    0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534,
    0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
    0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393,
    0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6,
    0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0,
    0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

const uint16_t kCp850[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8,
    0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2,
    0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00F8, 0x00A3, 0x00D8, 0x00D7, 0x0192, 0x00E1,
    0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x00AE, 0x00AC, 0x00BD,
    0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x00C1, 0x00C2,
    0x00C0, 0x00A9, 0x2563, 0x2551, 0x2557, 0x255D, 0x00A2, 0x00A5, 0x2510, 0x2514, 0x2534,
    0x252C, 0x251C, 0x2500, 0x253C, 0x00E3, 0x00C3, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
    0x2550, 0x256C, 0x00A4, 0x00F0, 0x00D0, 0x00CA, 0x00CB, 0x00C8, 0x0131, 0x00CD, 0x00CE,
    0x00CF, 0x2518, 0x250C, 0x2588, 0x2584, 0x00A6, 0x00CC, 0x2580, 0x00D3, 0x00DF, 0x00D4,
    0x00D2, 0x00F5, 0x00D5, 0x00B5, 0x00FE, 0x00DE, 0x00DA, 0x00DB, 0x00D9, 0x00FD, 0x00DD,
    0x00AF, 0x00B4, 0x00AD, 0x00B1, 0x2017, 0x00BE, 0x00B6, 0x00A7, 0x00F7, 0x00B8, 0x00B0,
    0x00A8, 0x00B7, 0x00B9, 0x00B3, 0x00B2, 0x25A0, 0x00A0};

// 1252 differs from Latin-1 only in 0x80..0x9F; the five unassigned bytes
// map to the C1 controls of the same value, as Windows does.
const uint16_t kCp1252Low[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

int FindInTable(const uint16_t* table, int size, uint32_t code) {
    for (int i = 0; i < size; ++i)
        if (table[i] == code) return i;
    return -1;
}

int EncodeUtf8(uint32_t code, char out[4]) {
    if (code == kBadCodePoint) code = 0xFFFD;
    if (code < 0x80) {
        out[0] = (char)code;
        return 1;
    }
    if (code < 0x800) {
        out[0] = (char)(0xC0 | (code >> 6));
        out[1] = (char)(0x80 | (code & 0x3F));
        return 2;
    }
    if (code < 0x10000) {
        out[0] = (char)(0xE0 | (code >> 12));
        out[1] = (char)(0x80 | ((code >> 6) & 0x3F));
        out[2] = (char)(0x80 | (code & 0x3F));
        return 3;
    }
    out[0] = (char)(0xF0 | (code >> 18));
    out[1] = (char)(0x80 | ((code >> 12) & 0x3F));
    out[2] = (char)(0x80 | ((code >> 6) & 0x3F));
    out[3] = (char)(0x80 | (code & 0x3F));
    return 4;
}

int EncodeSingleByte(UINT codePage, uint32_t code) {
    if (code < 0x80) return (int)code;
    int index = -1;
    if (codePage == 437) index = FindInTable(kCp437, 128, code);
    if (codePage == 850) index = FindInTable(kCp850, 128, code);
    if (index >= 0) return 0x80 + index;
    if (codePage == 1252) {
        if (code >= 0xA0 && code <= 0xFF) return (int)code;
        index = FindInTable(kCp1252Low, 32, code);
        if (index >= 0) return 0x80 + index;
    }
    return -1;
}

}  // namespace

UINT ResolveCodePage(UINT codePage) {
    if (codePage == CP_ACP) return Current().console.ansi_cp;
    if (codePage == CP_OEMCP) return 437;
    return codePage;
}

int EncodeCodePoint(UINT codePage, uint32_t code, char out[4]) {
    codePage = ResolveCodePage(codePage);
    if (codePage == CP_UTF8) return EncodeUtf8(code, out);
    int byte = code == kBadCodePoint ? -1 : EncodeSingleByte(codePage, code);
    if (byte < 0) return 0;
    out[0] = (char)byte;
    return 1;
}

uint32_t NextCodePoint(const WCHAR* text, size_t count, size_t* pos) {
    uint32_t unit = text[(*pos)++];
    if (unit < 0xD800 || unit > 0xDFFF) return unit;
    if (unit >= 0xDC00 || *pos >= count) return kBadCodePoint;
    uint32_t low = text[*pos];
    if (low < 0xDC00 || low > 0xDFFF) return kBadCodePoint;
    ++*pos;
    return 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
}

unsigned char UpperAnsi(unsigned char c) {
    if (c >= 'a' && c <= 'z') return (unsigned char)(c - 0x20);
    if (Current().console.ansi_cp != 1252) return c;
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return (unsigned char)(c - 0x20);
    switch (c) {
        case 0x9A: return 0x8A;  // s caron
        case 0x9C: return 0x8C;  // oe
        case 0x9E: return 0x8E;  // z caron
        case 0xFF: return 0x9F;  // y diaeresis
    }
    return c;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAnsi((unsigned char)a[i]) != UpperAnsi((unsigned char)b[i])) return false;
    return true;
}

}  // namespace tarvel::sim

namespace tarvel {

using namespace sim;

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wide, int wideCount, LPSTR out,
                        int outSize, LPCSTR defaultChar, BOOL* usedDefault) {
    UINT cp = ResolveCodePage(codePage);
    bool utf8 = cp == CP_UTF8;
    if (!wide || wideCount == 0 || outSize < 0 || (outSize > 0 && !out) ||
        (utf8 && (defaultChar || usedDefault))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t count = 0;
    if (wideCount < 0)
        while (wide[count++] != 0) {}
    else
        count = (size_t)wideCount;
    if (usedDefault) *usedDefault = FALSE;
    char fallback = defaultChar ? defaultChar[0] : '?';
    int written = 0;
    for (size_t pos = 0; pos < count;) {
        char bytes[4];
        int n = EncodeCodePoint(cp, NextCodePoint(wide, count, &pos), bytes);
        if (n == 0) {
            bytes[0] = fallback;
            n = 1;
            if (usedDefault) *usedDefault = TRUE;
        }
        if (outSize > 0) {
            // Windows fills the buffer with whole characters before it fails.
            if (written + n > outSize) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            memcpy(out + written, bytes, (size_t)n);
        }
        written += n;
    }
    return written;
}

UINT GetACP() { return Current().console.ansi_cp; }

UINT GetConsoleOutputCP() { return Current().console.output_cp; }

BOOL GetCPInfoExA(UINT codePage, DWORD, LPCPINFOEXA info) {
    if (!Current().console.cp_info || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    UINT cp = ResolveCodePage(codePage);
    memset(info, 0, sizeof *info);
    info->MaxCharSize = cp == CP_UTF8 ? 4 : 1;
    info->DefaultChar[0] = '?';
    info->UnicodeDefaultChar = u'?';
    info->CodePage = cp;
    const char* name = nullptr;
    if (cp == 437) name = "437   (OEM - United States)";
    if (cp == 850) name = "850   (OEM - Multilingual Latin I)";
    if (cp == 1252) name = "1252  (ANSI - Latin I)";
    if (cp == CP_UTF8) name = "65001 (UTF-8)";
    if (name)
        strcpy(info->CodePageName, name);
    else
        snprintf(info->CodePageName, sizeof info->CodePageName, "%u", cp);
    return TRUE;
}

}  // namespace tarvel
