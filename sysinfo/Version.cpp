// The Windows version the program runs on and a file's version numbers.
#include "sysinfo/Version.h"

#include "runtime/CRTreplace.h"
#include "sysinfo/SysLib.h"

namespace tarvel {

OsVersionRecord OsVersion;

static const int kNtdllPathSize = 64;

DWORD VersionCode(DWORD major, DWORD minor) {
    return (major / 10) * 0x1000 + (major % 10) * 0x100 + (minor / 10) * 0x10 + minor % 10;
}

static void FillVersionNumbers(const VS_FIXEDFILEINFO& info, FileVersionRecord& record) {
    // Only the low byte of each 16-bit part is kept.
    record.Major = static_cast<BYTE>(info.dwFileVersionMS >> 16);
    record.Minor = static_cast<BYTE>(info.dwFileVersionMS);
    record.Build = static_cast<BYTE>(info.dwFileVersionLS >> 16);
    record.Revision = static_cast<BYTE>(info.dwFileVersionLS);
    record.Packed = (DWORD(record.Major) << 24) | (DWORD(record.Minor) << 16) |
                    (DWORD(record.Build) << 8) | record.Revision;
    wsprintfA(record.Text, "%u.%u.%u", record.Major, record.Minor, record.Build);
}

int ReadFixedFileInfo(HMODULE versionDll, const char* path, VS_FIXEDFILEINFO& info) {
    auto getInfo = LookUpProc<GetFileVersionInfoA_t>(versionDll, "GetFileVersionInfoA");
    auto query = LookUpProc<VerQueryValueA_t>(versionDll, "VerQueryValueA");
    if (getInfo == NULL || query == NULL) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return -1;
    }
    DWORD data[256];  // 1024 bytes, DWORD-aligned for the fixed block
    LPVOID block = NULL;
    UINT length = 0;
    // A resource may declare a shorter fixed block: what follows it is not
    // the file's version.
    if (!getInfo(path, 0, sizeof data, data) || !query(data, "\\", &block, &length) ||
        length < sizeof(VS_FIXEDFILEINFO))
        return 0;
    info = *static_cast<const VS_FIXEDFILEINFO*>(block);
    return 1;
}

// A file whose version.dll lacks the functions leaves the record as it was.
static bool ReadFixedInfo(HMODULE versionDll, const char* path, FileVersionRecord& record) {
    VS_FIXEDFILEINFO info;
    int read = ReadFixedFileInfo(versionDll, path, info);
    if (read < 0) return false;
    MemFill(&record, 0, sizeof record);
    if (read == 0) {
        wsprintfA(record.Text, "ERROR%u", GetLastError());
        return false;
    }
    FillVersionNumbers(info, record);
    return true;
}

int GetFileVersionNumbers(const char* path, FileVersionRecord& record) {
    HMODULE versionDll = LoadSystemLibrary("version.dll");
    if (versionDll == NULL) {
        printf("error: %s not found", "version.dll");
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    bool ok = ReadFixedInfo(versionDll, path, record);
    // Releasing the library must not disturb the error of the read.
    DWORD error = GetLastError();
    FreeLibrary(versionDll);
    SetLastError(error);
    return ok ? 1 : 0;
}

int AskRtlGetVersion(RTL_OSVERSIONINFOEXW& info) {
    auto rtlGetVersion =
        LookUpProc<RtlGetVersion_t>(GetModuleHandleA("ntdll.dll"), "RtlGetVersion");
    if (rtlGetVersion == NULL) return -1;
    MemFill(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    return rtlGetVersion(&info) == 0 ? 1 : 0;
}

void AskGetVersionEx(OSVERSIONINFOEXA& info) {
    MemFill(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info));
}

// Where RtlGetVersion is there but fails, the version stays 0.0:
// GetVersionExA answers only where it is missing.
static void ReadReportedVersion(OsVersionRecord& record) {
    RTL_OSVERSIONINFOEXW rtl;
    int asked = AskRtlGetVersion(rtl);
    if (asked > 0) CopyVersionFields(rtl, record);
    if (asked >= 0) return;
    OSVERSIONINFOEXA info;
    AskGetVersionEx(info);
    CopyVersionFields(info, record);
}

static void ReadPlatform(OsVersionRecord& record) {
    HMODULE kernel32 = GetModuleHandleA("kernel32");
    auto isWow64 = LookUpProc<IsWow64Process_t>(kernel32, "IsWow64Process");
    BOOL wow64 = FALSE;
    if (isWow64 != NULL) isWow64(GetCurrentProcess(), &wow64);
    record.Wow64 = wow64;
    lstrcpyA(record.ProcessPlatform, wow64 ? "Win32 on x64" : "Win32");
    lstrcpyA(record.WindowsPlatform, wow64 ? "x64" : "Win32");
}

// The system's own ntdll.dll carries the true version even where the
// reported one is held back for compatibility.
static void ReadNtdllVersion(OsVersionRecord& record, const char* systemDir) {
    static const char kName[] = "\\ntdll.dll";
    int dirLength = lstrlenA(systemDir);
    if (dirLength == 0 || dirLength + lstrlenA(kName) >= kNtdllPathSize) return;
    char path[kNtdllPathSize];
    wsprintfA(path, "%s%s", systemDir, kName);
    FileVersionRecord ntdll;
    MemFill(&ntdll, 0, sizeof ntdll);
    if (GetFileVersionNumbers(path, ntdll) != 1) return;
    record.NtdllVersion = VersionCode(ntdll.Major, ntdll.Minor);
    record.NtdllMajor = ntdll.Major;
    record.NtdllMinor = ntdll.Minor;
}

void GetOsVersionInfo(OsVersionRecord& record, const char* systemDir) {
    MemFill(&record, 0, sizeof record);
    ReadReportedVersion(record);
    if (record.Major > 4) ReadPlatform(record);
    record.ReportedVersion = VersionCode(record.Major, record.Minor);
    ReadNtdllVersion(record, systemDir);
    record.EffectiveVersion = record.ReportedVersion;
    if (record.NtdllVersion > record.EffectiveVersion) record.EffectiveVersion = record.NtdllVersion;
    DWORD v = record.EffectiveVersion;
    record.VersionFlag = v == 0x0501 || v == 0x0502 || v >= 0x0602;
}

}  // namespace tarvel
