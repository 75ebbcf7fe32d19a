// Version services: the operating system's version and the version
// resources of the program's file and of ntdll.dll.
#include <stddef.h>
#include <stdio.h>
#include <string.h>

#include <vector>

#include "platform/sim/Sim.h"
#include "platform/sim/SimCore.h"
#include "platform/sim/UsbState.h"

namespace tarvel::sim {
namespace {

const NTSTATUS kStatusInvalidParameter = (NTSTATUS)0xC000000D;
const DWORD kPlatformNt = 2;

// The version block written into the caller's buffer: the head of a
// VS_VERSIONINFO resource, then its VS_FIXEDFILEINFO on a 4-byte boundary.
const char16_t kKey[] = u"VS_VERSION_INFO";
const size_t kFixedOffset = 40;
const size_t kBlockSize = kFixedOffset + sizeof(VS_FIXEDFILEINFO);

void RequireVersionDll(const char* function) {
    if (ModuleLoaded("version.dll")) return;
    static char line[128];
    snprintf(line, sizeof line, "%s called while version.dll is not loaded", function);
    Fatal(line);
}

std::optional<std::vector<uint32_t>> FileVersion(const std::string& path) {
    const SystemSection& sys = Current().system;
    // The program passes paths in the ANSI code page, as it got them.
    if (EqualNoCase(path, Ansi(sys.exe_path))) return sys.exe_version;
    if (!EqualNoCase(path, Ansi(sys.system_directory) + "\\ntdll.dll")) return std::nullopt;
    if (sys.ntdll_version_given) return sys.ntdll_version;
    return std::vector<uint32_t>{sys.os_major, sys.os_minor, sys.os_build, 0};
}

void WriteBlock(unsigned char* data, const std::vector<uint32_t>& v) {
    memset(data, 0, kBlockSize);
    uint16_t head[3] = {(uint16_t)kBlockSize, (uint16_t)Current().system.fixed_info_length, 0};
    memcpy(data, head, sizeof head);
    memcpy(data + sizeof head, kKey, sizeof kKey);
    VS_FIXEDFILEINFO info = {};
    info.dwSignature = 0xFEEF04BD;
    info.dwStrucVersion = 0x00010000;
    info.dwFileVersionMS = info.dwProductVersionMS = v[0] << 16 | v[1];
    info.dwFileVersionLS = info.dwProductVersionLS = v[2] << 16 | v[3];
    info.dwFileFlagsMask = 0x3F;
    info.dwFileOS = 0x00040004;  // VOS_NT_WINDOWS32
    info.dwFileType = 1;         // VFT_APP
    memcpy(data + kFixedOffset, &info, sizeof info);
}

bool IsBlock(const unsigned char* data) {
    uint16_t length;
    uint32_t signature;
    memcpy(&length, data, sizeof length);
    memcpy(&signature, data + kFixedOffset, sizeof signature);
    return length == kBlockSize && memcmp(data + 6, kKey, sizeof kKey) == 0 &&
           signature == 0xFEEF04BD;
}

void CopyCsdVersion(const SystemSection& sys, char* text) {
    if (sys.service_pack) sprintf(text, "Service Pack %u", sys.service_pack);
}

}  // namespace

NTSTATUS SimRtlGetVersion(PRTL_OSVERSIONINFOEXW info) {
    const SystemSection& sys = Current().system;
    if (sys.rtl_get_version == "fails" || !info) return kStatusInvalidParameter;
    ULONG size = info->dwOSVersionInfoSize;
    if (size != sizeof(RTL_OSVERSIONINFOEXW) && size != offsetof(RTL_OSVERSIONINFOEXW, wServicePackMajor))
        return kStatusInvalidParameter;
    info->dwMajorVersion = sys.os_major;
    info->dwMinorVersion = sys.os_minor;
    info->dwBuildNumber = sys.os_build;
    info->dwPlatformId = kPlatformNt;
    char csd[128] = {};
    CopyCsdVersion(sys, csd);
    for (size_t i = 0; i < sizeof csd; ++i) info->szCSDVersion[i] = (WCHAR)(unsigned char)csd[i];
    if (size == sizeof(RTL_OSVERSIONINFOEXW)) {
        info->wServicePackMajor = (USHORT)sys.service_pack;
        info->wServicePackMinor = 0;
        info->wSuiteMask = (USHORT)sys.suite_mask;
        info->wProductType = (UCHAR)sys.product_type;
        info->wReserved = 0;
    }
    return 0;
}

BOOL SimGetFileVersionInfoA(LPCSTR path, DWORD, DWORD length, LPVOID data) {
    RequireVersionDll("GetFileVersionInfoA");
    if (!path || !data) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto version = FileVersion(path);
    if (!version) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    if (length < kBlockSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    WriteBlock((unsigned char*)data, *version);
    return TRUE;
}

BOOL SimVerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* value, UINT* length) {
    RequireVersionDll("VerQueryValueA");
    if (!block || !subBlock || !value || !length || !IsBlock((const unsigned char*)block)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (strcmp(subBlock, "\\") != 0) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    *value = (unsigned char*)block + kFixedOffset;
    *length = Current().system.fixed_info_length;
    return TRUE;
}

}  // namespace tarvel::sim

namespace tarvel {

BOOL GetVersionExA(OSVERSIONINFOA* info) {
    const sim::SystemSection& sys = sim::Current().system;
    if (!info || (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA) &&
                  info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOEXA))) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    info->dwMajorVersion = sys.os_major;
    info->dwMinorVersion = sys.os_minor;
    info->dwBuildNumber = sys.os_build;
    info->dwPlatformId = sim::kPlatformNt;
    memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    sim::CopyCsdVersion(sys, info->szCSDVersion);
    if (info->dwOSVersionInfoSize == sizeof(OSVERSIONINFOEXA)) {
        OSVERSIONINFOEXA* ex = (OSVERSIONINFOEXA*)info;
        ex->wServicePackMajor = (WORD)sys.service_pack;
        ex->wServicePackMinor = 0;
        ex->wSuiteMask = (WORD)sys.suite_mask;
        ex->wProductType = (BYTE)sys.product_type;
        ex->wReserved = 0;
    }
    return TRUE;
}

}  // namespace tarvel
