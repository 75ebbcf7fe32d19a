// Code pages of the simulated machine: conversion between UTF-16 and the
// code pages with Windows' tables, and the case mapping of the ANSI code page.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <vector>

#include "platform/sim/Sim.h"
#include "platform/sim/SimCore.h"

namespace tarvel::sim {
namespace {

struct PageData {
    UINT codePage;
    const unsigned char* bytes;
    size_t size;
};
#include "CodePageData.inc"

// Windows' names, as GetCPInfoExA answers them.
const struct {
    UINT codePage;
    const char* name;
} kPageNames[] = {
    {437, "437   (OEM - United States)"},
    {850, "850   (OEM - Multilingual Latin I)"},
    {852, "852   (OEM - Latin II)"},
    {866, "866   (OEM - Russian)"},
    {874, "874   (ANSI/OEM - Thai)"},
    {932, "932   (ANSI/OEM - Japanese Shift-JIS)"},
    {936, "936   (ANSI/OEM - Simplified Chinese GBK)"},
    {949, "949   (ANSI/OEM - Korean)"},
    {950, "950   (ANSI/OEM - Traditional Chinese Big5)"},
    {1250, "1250  (ANSI - Central Europe)"},
    {1251, "1251  (ANSI - Cyrillic)"},
    {1252, "1252  (ANSI - Latin I)"},
    {1253, "1253  (ANSI - Greek)"},
    {1254, "1254  (ANSI - Turkish)"},
    {1255, "1255  (ANSI - Hebrew)"},
    {1256, "1256  (ANSI - Arabic)"},
    {1257, "1257  (ANSI - Baltic)"},
    {1258, "1258  (ANSI/OEM - Viet Nam)"},
    {CP_UTF8, "65001 (UTF-8)"},
};

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

// Reads the little-endian words of an embedded table; a short table is a
// broken build, never a reason to answer '?'.
struct WordReader {
    const PageData& data;
    size_t pos = 0;
    uint16_t Next() {
        if (pos + 2 > data.size) {
            fprintf(stderr, "tarvel-sim: code page %u: table truncated\n", data.codePage);
            abort();
        }
        uint16_t word = (uint16_t)(data.bytes[pos] | data.bytes[pos + 1] << 8);
        pos += 2;
        return word;
    }
};

// Builds the table from the bytes the way scripts/codepages.py derives it:
// the first byte sequence that gives a unit, then the stored differences.
std::unique_ptr<CodePageTable> BuildTable(const PageData& data) {
    auto table = std::make_unique<CodePageTable>();
    WordReader in{data};
    uint16_t header[13];
    uint16_t headerSize = header[0] = in.Next();
    if (headerSize != 13) {
        fprintf(stderr, "tarvel-sim: code page %u: bad table header\n", data.codePage);
        abort();
    }
    for (int i = 1; i < 13; ++i) header[i] = in.Next();
    table->codePage = header[1];
    table->maxCharSize = header[2];
    table->defaultChar = header[3];
    table->uniDefaultChar = header[4];
    memcpy(table->leadBytes, header + 7, sizeof table->leadBytes);
    for (int b = 0; b < 256; ++b) table->single[b] = in.Next();
    int leads = in.Next();
    for (int i = 0; i < leads; ++i) {
        uint16_t lead = in.Next();
        if (lead > 0xFF) abort();
        table->isLead[lead] = true;
        table->dbcs.resize(65536, table->uniDefaultChar);
        for (int t = 0; t < 256; ++t) table->dbcs[lead << 8 | t] = in.Next();
    }
    std::vector<bool> set(65536, false);
    for (int b = 0; b < 256; ++b) {
        if (!table->isLead[b]) {
            uint16_t unit = table->single[b];
            if (!set[unit]) table->wide[unit] = (uint16_t)b, set[unit] = true;
            continue;
        }
        for (int t = 0; t < 256; ++t) {
            uint16_t unit = table->dbcs[b << 8 | t];
            if (!set[unit]) table->wide[unit] = (uint16_t)(b << 8 | t), set[unit] = true;
        }
    }
    for (int u = 0; u < 65536; ++u)
        if (!set[u]) table->wide[u] = table->defaultChar;
    uint32_t pairs = in.Next();
    pairs |= (uint32_t)in.Next() << 16;
    for (uint32_t i = 0; i < pairs; ++i) {
        uint16_t unit = in.Next();
        table->wide[unit] = in.Next();
    }
    if (in.pos != data.size) {
        fprintf(stderr, "tarvel-sim: code page %u: table too long\n", data.codePage);
        abort();
    }
    return table;
}

}  // namespace

uint16_t CodePageTable::ToUnit(uint16_t bytes) const {
    if (bytes > 0xFF) return dbcs.empty() ? uniDefaultChar : dbcs[bytes];
    return isLead[bytes] ? uniDefaultChar : single[bytes];
}

const CodePageTable* FindCodePage(UINT codePage) {
    const size_t count = sizeof kPageData / sizeof kPageData[0];
    static std::unique_ptr<CodePageTable> built[count];
    for (size_t i = 0; i < count; ++i) {
        if (kPageData[i].codePage != codePage) continue;
        if (!built[i]) built[i] = BuildTable(kPageData[i]);
        return built[i].get();
    }
    return nullptr;
}

UINT ResolveCodePage(UINT codePage) {
    if (codePage == CP_ACP) return Current().console.ansi_cp;
    // Windows takes it from the system locale, which a machine file does
    // not name (1252 goes with 437 and with 850 alike).
    if (codePage == CP_OEMCP) Fatal("CP_OEMCP: the machine has no OEM code page");
    return codePage;
}

int EncodeNext(UINT codePage, DWORD flags, const WCHAR* text, size_t count, size_t* pos,
               char out[4], bool* missing) {
    codePage = ResolveCodePage(codePage);
    *missing = false;
    if (codePage == CP_UTF8) return EncodeUtf8(NextCodePoint(text, count, pos), out);
    uint16_t unit = text[(*pos)++];
    const CodePageTable* table = FindCodePage(codePage);
    if (!table) {
        *missing = unit >= 0x80;
        out[0] = *missing ? '?' : (char)unit;
        return 1;
    }
    uint16_t bytes = table->wide[unit];
    // Best fit answers a byte that reads back as another unit; without it,
    // only the default char stands for a unit the code page lacks.
    *missing = table->ToUnit(bytes) != unit &&
               ((flags & WC_NO_BEST_FIT_CHARS) || bytes == table->defaultChar);
    if (*missing) bytes = table->defaultChar;
    if (bytes > 0xFF) {
        out[0] = (char)(bytes >> 8);
        out[1] = (char)bytes;
        return 2;
    }
    out[0] = (char)bytes;
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

int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideCount, LPSTR out,
                        int outSize, LPCSTR defaultChar, BOOL* usedDefault) {
    UINT cp = ResolveCodePage(codePage);
    bool utf8 = cp == CP_UTF8;
    // UTF-8 takes 0 or WC_ERR_INVALID_CHARS alone; of the other code pages'
    // flags only best fit is simulated.
    if (!utf8 && (flags & ~(DWORD)WC_NO_BEST_FIT_CHARS)) {
        char line[96];
        snprintf(line, sizeof line, "WideCharToMultiByte flags 0x%X are not simulated", flags);
        Fatal(line);
    }
    if (utf8 && (flags & ~(DWORD)WC_ERR_INVALID_CHARS)) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
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
    for (size_t pos = 0; utf8 && (flags & WC_ERR_INVALID_CHARS) && pos < count;) {
        if (NextCodePoint(wide, count, &pos) == kBadCodePoint) {
            SetLastError(ERROR_NO_UNICODE_TRANSLATION);
            return 0;
        }
    }
    // A double-byte code page takes a default of two bytes, lead and trail.
    const CodePageTable* table = FindCodePage(cp);
    bool wideDefault = defaultChar && defaultChar[0] && defaultChar[1] && table &&
                       table->maxCharSize == 2;
    if (usedDefault) *usedDefault = FALSE;
    int written = 0;
    for (size_t pos = 0; pos < count;) {
        char bytes[4];
        bool missing;
        int n = EncodeNext(cp, flags, wide, count, &pos, bytes, &missing);
        if (missing && defaultChar) {
            bytes[0] = defaultChar[0];
            if (wideDefault) bytes[1] = defaultChar[1];
            n = wideDefault ? 2 : 1;
        }
        if (missing && usedDefault) *usedDefault = TRUE;
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

namespace {

// One character of UTF-8 at bytes[*pos]; an ill-formed sequence gives
// U+FFFD for its longest valid start, as Windows does.
uint32_t DecodeUtf8(const unsigned char* bytes, size_t count, size_t* pos) {
    unsigned char lead = bytes[(*pos)++];
    if (lead < 0x80) return lead;
    int more = lead >= 0xC2 && lead <= 0xDF ? 1 : lead >= 0xE0 && lead <= 0xEF ? 2
             : lead >= 0xF0 && lead <= 0xF4 ? 3 : -1;
    if (more < 0) return 0xFFFD;
    uint32_t code = lead & (0x3F >> more);
    for (int i = 0; i < more; ++i) {
        if (*pos >= count) return 0xFFFD;
        unsigned char next = bytes[*pos];
        unsigned char low = 0x80, high = 0xBF;
        if (i == 0 && lead == 0xE0) low = 0xA0;
        if (i == 0 && lead == 0xED) high = 0x9F;
        if (i == 0 && lead == 0xF0) low = 0x90;
        if (i == 0 && lead == 0xF4) high = 0x8F;
        if (next < low || next > high) return 0xFFFD;
        code = code << 6 | (next & 0x3F);
        ++*pos;
    }
    return code;
}

}  // namespace

int MultiByteToWideChar(UINT codePage, DWORD, LPCSTR text, int count, LPWSTR wide,
                        int wideSize) {
    UINT cp = ResolveCodePage(codePage);
    if (!text || count == 0 || wideSize < 0 || (wideSize > 0 && !wide)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    size_t length = count < 0 ? strlen(text) + 1 : (size_t)count;
    const unsigned char* bytes = (const unsigned char*)text;
    const CodePageTable* table = FindCodePage(cp);
    int written = 0;
    for (size_t pos = 0; pos < length;) {
        WCHAR units[2];
        int n = 1;
        unsigned char b = bytes[pos];
        if (cp == CP_UTF8) {
            uint32_t code = DecodeUtf8(bytes, length, &pos);
            units[0] = (WCHAR)code;
            if (code >= 0x10000) {
                units[0] = (WCHAR)(0xD800 + ((code - 0x10000) >> 10));
                units[1] = (WCHAR)(0xDC00 + (code & 0x3FF));
                n = 2;
            }
        } else if (!table) {
            units[0] = b < 0x80 ? b : u'?';
            ++pos;
        } else if (table->isLead[b] && pos + 1 < length && bytes[pos + 1] != 0) {
            units[0] = table->dbcs[b << 8 | bytes[pos + 1]];
            pos += 2;
        } else if (table->isLead[b]) {
            // A lead byte at the end, or before a NUL, is no character; the
            // NUL stays one.
            units[0] = table->uniDefaultChar;
            ++pos;
        } else {
            units[0] = table->single[b];
            ++pos;
        }
        if (wideSize > 0) {
            if (written + n > wideSize) {
                SetLastError(ERROR_INSUFFICIENT_BUFFER);
                return 0;
            }
            memcpy(wide + written, units, (size_t)n * sizeof(WCHAR));
        }
        written += n;
    }
    return written;
}

UINT GetACP() { return Current().console.ansi_cp; }

UINT GetConsoleOutputCP() { return Current().console.output_cp; }

BOOL GetCPInfoExA(UINT codePage, DWORD flags, LPCPINFOEXA info) {
    // Reserved, must be 0; what Windows does with others is not known here.
    if (flags != 0) Fatal("GetCPInfoExA with flags other than 0");
    if (!Current().console.cp_info || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    UINT cp = ResolveCodePage(codePage);
    memset(info, 0, sizeof *info);
    info->MaxCharSize = cp == CP_UTF8 ? 4 : 1;
    info->DefaultChar[0] = '?';
    info->UnicodeDefaultChar = cp == CP_UTF8 ? 0xFFFD : u'?';
    info->CodePage = cp;
    if (const CodePageTable* table = FindCodePage(cp)) {
        info->MaxCharSize = (UINT)table->maxCharSize;
        info->DefaultChar[0] = (BYTE)table->defaultChar;
        info->UnicodeDefaultChar = table->uniDefaultChar;
        memcpy(info->LeadByte, table->leadBytes, sizeof info->LeadByte);
    }
    const char* name = nullptr;
    for (const auto& page : kPageNames)
        if (page.codePage == cp) name = page.name;
    if (name)
        strcpy(info->CodePageName, name);
    else
        snprintf(info->CodePageName, sizeof info->CodePageName, "%u", cp);
    return TRUE;
}

}  // namespace tarvel
