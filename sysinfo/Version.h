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

// major.minor as 0xMMmm with decimal digits: 6.2 is 0x0602, 10.0 is 0x1000.
DWORD VersionCode(DWORD major, DWORD minor);

// systemDir: the system directory as the program flow read it.
void GetOsVersionInfo(OsVersionRecord& record, const char* systemDir);
int GetFileVersionNumbers(const char* path, FileVersionRecord& record);

// The run's one record, filled at start and read by the port walk.
extern OsVersionRecord OsVersion;

}  // namespace tarvel
