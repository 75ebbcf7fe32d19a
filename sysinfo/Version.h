// The Windows version the program runs on and a file's version numbers.
#pragma once
#include "platform/Platform.h"

namespace tarvel {

struct OsVersionRecord {
    DWORD Major;
    DWORD Minor;
    DWORD Build;
    DWORD ServicePackMajor;
    DWORD ProductType;
    DWORD SuiteMask;
    DWORD EffectiveVersion;
    DWORD ReportedVersion;
    BOOL Wow64;
    char WindowsPlatform[8];
    char ProcessPlatform[16];
    DWORD NtdllVersion;
    DWORD NtdllMajor;
    DWORD NtdllMinor;
    BOOL VersionFlag;
};

struct FileVersionRecord {
    BYTE Major;
    BYTE Minor;
    BYTE Build;
    BYTE Revision;
    DWORD Packed;
    char Text[24];
};

// RTL_OSVERSIONINFOEXW and OSVERSIONINFOEXA name the six fields alike, and
// so do the records that keep them.
template <typename Info, typename Record>
void CopyVersionFields(const Info& info, Record& record) {
    record.Major = info.dwMajorVersion;
    record.Minor = info.dwMinorVersion;
    record.Build = info.dwBuildNumber;
    record.ServicePackMajor = info.wServicePackMajor;
    record.ProductType = info.wProductType;
    record.SuiteMask = info.wSuiteMask;
}

// The answers both the program and the capture read, asked the same way.
// RtlGetVersion's answer (info cleared first, its size set): 1 it answered,
// 0 it failed, -1 ntdll lacks it. Unlike GetVersionExA, it is not capped by
// the manifest.
int AskRtlGetVersion(RTL_OSVERSIONINFOEXW& info);
// GetVersionExA's answer (info cleared first, its size set), whatever the
// call returns.
void AskGetVersionEx(OSVERSIONINFOEXA& info);
// The file's fixed version block through version.dll, read into a 1 KiB
// area: 1 read; 0 the read failed (the last error says why); -1 the library
// lacks either function (ERROR_PROC_NOT_FOUND).
int ReadFixedFileInfo(HMODULE versionDll, const char* path, VS_FIXEDFILEINFO& info);

// major.minor as 0xMMmm with decimal digits: 6.2 is 0x0602, 10.0 is 0x1000.
DWORD VersionCode(DWORD major, DWORD minor);

// systemDir: the system directory as the program flow read it.
void GetOsVersionInfo(OsVersionRecord& record, const char* systemDir);
int GetFileVersionNumbers(const char* path, FileVersionRecord& record);

// The run's one record, filled at start and read by the port walk.
extern OsVersionRecord OsVersion;

}  // namespace tarvel
