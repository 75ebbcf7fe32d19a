// Shared internals of the simulated kernel32/user32/shlwapi services.
#pragma once
#include <stdint.h>

#include <string>
#include <vector>

#include "platform/Platform.h"

namespace tarvel::sim {

// Code pages: CP_ACP and CP_OEMCP resolved to the machine's numbers.
UINT ResolveCodePage(UINT codePage);
// A code page's tables, as Windows' NLS files hold them.
struct CodePageTable {
    UINT codePage = 0;
    int maxCharSize = 1;
    uint16_t defaultChar = '?';
    uint16_t uniDefaultChar = '?';
    BYTE leadBytes[12] = {};
    uint16_t single[256] = {};
    bool isLead[256] = {};
    std::vector<uint16_t> dbcs;  // lead << 8 | trail, double-byte code pages only
    uint16_t wide[65536] = {};   // bytes (lead << 8 | trail when two), best fit included
    // The unit that bytes read back as.
    uint16_t ToUnit(uint16_t bytes) const;
};
// The table of a code page, or null for a code page without one.
const CodePageTable* FindCodePage(UINT codePage);
// Writes the bytes of the character at text[*pos] (one unit; for UTF-8 a
// pair counts as one) and advances *pos; returns their count. *missing:
// the code page lacks it and the default char was written.
int EncodeNext(UINT codePage, DWORD flags, const WCHAR* text, size_t count, size_t* pos,
               char out[4], bool* missing);
// Reads one character from UTF-16 at text[*pos] (a pair counts as one)
// and advances *pos; a lone surrogate gives 0xFFFFFFFF.
uint32_t NextCodePoint(const WCHAR* text, size_t count, size_t* pos);
const uint32_t kBadCodePoint = 0xFFFFFFFF;
// Upper case in the ANSI code page of the machine.
unsigned char UpperAnsi(unsigned char c);
bool EqualNoCase(const std::string& a, const std::string& b);

// Process-level pieces that LoadMachine resets.
void ResetConsole();
void ResetModules();
void ResetProcess();
void ResetHeap();

// A misuse that would crash or corrupt a real process: one line on
// stderr, then the process ends abnormally.
[[noreturn]] void Fatal(const char* what);

// Writes bytes to the real fd or the capture buffer.
void WriteStdout(const char* data, size_t size);

// Whether a library (such as "version.dll") is loaded now.
bool ModuleLoaded(const char* name);

// The functions that GetProcAddress hands out.
BOOL SimSetDllDirectoryA(LPCSTR path);
BOOL SimSetDefaultDllDirectories(DWORD flags);
BOOL SimIsWow64Process(HANDLE process, BOOL* wow64);
NTSTATUS SimRtlGetVersion(PRTL_OSVERSIONINFOEXW info);
BOOL SimGetFileVersionInfoA(LPCSTR path, DWORD handle, DWORD length, LPVOID data);
BOOL SimVerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* value, UINT* length);

// What GetCommandLineA answers, and what ExitProcess runs.
char* CommandLineText();
void RunExitHook(unsigned code);

}  // namespace tarvel::sim
