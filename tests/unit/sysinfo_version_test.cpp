// Version codes, the Windows version as the machine reports it, file
// version numbers, and loading from the system directory only.
#include <string>

#include "runtime_sim_fixture.h"
#include "sysinfo/SysLib.h"
#include "sysinfo/Version.h"

using namespace tarvel;

namespace {

std::string System(const std::string& keys) {
    return "{\"clock\": \"virtual\", \"system\": {" + keys + "}}";
}

int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (size_t pos = text.find(what); pos != std::string::npos; pos = text.find(what, pos + 1)) n++;
    return n;
}

const char kSysDir[] = "C:\\Windows\\system32";

}  // namespace

TEST(VersionCodeTest, DecimalDigitsAsHexDigits) {
    EXPECT_EQ(VersionCode(5, 0), 0x0500u);
    EXPECT_EQ(VersionCode(5, 1), 0x0501u);
    EXPECT_EQ(VersionCode(6, 1), 0x0601u);
    EXPECT_EQ(VersionCode(6, 2), 0x0602u);
    EXPECT_EQ(VersionCode(10, 0), 0x1000u);
    EXPECT_EQ(VersionCode(12, 34), 0x1234u);
}

using VersionTest = SimTest;

TEST_F(VersionTest, NtdllVersionLiftsAHeldBackReport) {
    Load(System("\"os_version\": [6, 2, 9200], \"ntdll_version\": \"10.0.19041.1\", \"service_pack\": 0"));
    OsVersionRecord r;
    GetOsVersionInfo(r, kSysDir);
    EXPECT_EQ(r.Major, 6u);
    EXPECT_EQ(r.Minor, 2u);
    EXPECT_EQ(r.Build, 9200u);
    EXPECT_EQ(r.ReportedVersion, 0x0602u);
    EXPECT_EQ(r.NtdllVersion, 0x1000u);
    EXPECT_EQ(r.NtdllMajor, 10u);
    EXPECT_EQ(r.EffectiveVersion, 0x1000u);
    EXPECT_TRUE(r.VersionFlag);
    // version.dll is loaded by full path and released after the read.
    EXPECT_EQ(Count(TraceText(), "LoadLibraryA C:\\Windows\\system32\\version.dll -> ok"), 1);
    EXPECT_EQ(Count(TraceText(), "FreeLibrary C:\\Windows\\system32\\version.dll"), 1);
}

TEST_F(VersionTest, ReportStandsWhenNtdllHasNoVersion) {
    Load(System("\"os_version\": [10, 0, 19045], \"ntdll_version\": null, \"service_pack\": 3, "
                "\"product_type\": 3, \"suite_mask\": 272"));
    OsVersionRecord r;
    GetOsVersionInfo(r, kSysDir);
    EXPECT_EQ(r.EffectiveVersion, 0x1000u);
    EXPECT_EQ(r.NtdllVersion, 0u);
    EXPECT_EQ(r.ServicePackMajor, 3u);
    EXPECT_EQ(r.ProductType, 3u);
    EXPECT_EQ(r.SuiteMask, 272u);
}

TEST_F(VersionTest, FailingRtlGetVersionLeavesOnlyTheNtdllVersion) {
    Load(System("\"rtl_get_version\": \"fails\", \"os_version\": [6, 1, 7601], \"ntdll_version\": \"6.3.9600.0\""));
    OsVersionRecord r;
    GetOsVersionInfo(r, kSysDir);
    EXPECT_EQ(r.Major, 0u);
    EXPECT_EQ(r.ReportedVersion, 0u);
    EXPECT_STREQ(r.WindowsPlatform, "");
    EXPECT_STREQ(r.ProcessPlatform, "");
    EXPECT_EQ(r.EffectiveVersion, 0x0603u);
}

TEST_F(VersionTest, MissingRtlGetVersionFallsBackToGetVersionEx) {
    Load(System("\"rtl_get_version\": \"missing\", \"os_version\": [5, 1, 2600], \"service_pack\": 2, "
                "\"ntdll_version\": \"5.1.2600.0\""));
    OsVersionRecord r;
    GetOsVersionInfo(r, kSysDir);
    EXPECT_EQ(r.Major, 5u);
    EXPECT_EQ(r.Minor, 1u);
    EXPECT_EQ(r.ServicePackMajor, 2u);
    EXPECT_EQ(r.EffectiveVersion, 0x0501u);
    EXPECT_TRUE(r.VersionFlag);
}

TEST_F(VersionTest, VersionFlagFollowsTheEffectiveVersion) {
    struct Case {
        const char* version;
        bool flag;
    } cases[] = {{"5, 0", false}, {"5, 1", true},  {"5, 2", true}, {"6, 0", false},
                 {"6, 1", false}, {"6, 2", true}, {"10, 0", true}};
    for (const Case& c : cases) {
        Load(System(std::string("\"os_version\": [") + c.version + ", 100]"));
        OsVersionRecord r;
        GetOsVersionInfo(r, kSysDir);
        EXPECT_EQ(r.VersionFlag != 0, c.flag) << c.version;
    }
}

TEST_F(VersionTest, PlatformTexts) {
    struct Case {
        const char* keys;
        BOOL wow64;
        const char* windows;
        const char* process;
    } cases[] = {
        {"\"wow64\": true", TRUE, "x64", "Win32 on x64"},
        {"\"wow64\": false", FALSE, "Win32", "Win32"},
        {"\"wow64\": \"missing\"", FALSE, "Win32", "Win32"},
        {"\"wow64\": true, \"os_version\": [4, 0, 1381]", FALSE, "", ""},
    };
    for (const Case& c : cases) {
        Load(System(c.keys));
        OsVersionRecord r;
        GetOsVersionInfo(r, kSysDir);
        EXPECT_EQ(r.Wow64 != 0, c.wow64 != 0) << c.keys;
        EXPECT_STREQ(r.WindowsPlatform, c.windows) << c.keys;
        EXPECT_STREQ(r.ProcessPlatform, c.process) << c.keys;
    }
}

TEST_F(VersionTest, SystemDirectoryTooLongForTheNtdllPath) {
    std::string dir = "C:\\" + std::string(51, 'd');  // 54 characters
    Load(System("\"system_directory\": \"C:\\\\" + std::string(51, 'd') +
                "\", \"os_version\": [6, 2, 9200], \"ntdll_version\": \"10.0.1.0\""));
    OsVersionRecord r;
    GetOsVersionInfo(r, dir.c_str());
    EXPECT_EQ(r.NtdllVersion, 0u);
    EXPECT_EQ(r.EffectiveVersion, 0x0602u);
    EXPECT_EQ(Count(TraceText(), "LoadLibraryA"), 0);

    std::string fits = "C:\\" + std::string(50, 'd');  // 53: exactly fills 64 with the name
    Load(System("\"system_directory\": \"C:\\\\" + std::string(50, 'd') +
                "\", \"os_version\": [6, 2, 9200], \"ntdll_version\": \"10.0.1.0\""));
    GetOsVersionInfo(r, fits.c_str());
    EXPECT_EQ(r.EffectiveVersion, 0x1000u);
}

TEST_F(VersionTest, FileVersionKeepsTheLowByteOfEachPart) {
    Load(System("\"exe_version\": \"10.0.300.1\""));
    FileVersionRecord v = {};
    EXPECT_EQ(GetFileVersionNumbers("c:\\tools\\TARVEL.EXE", v), 1);
    EXPECT_EQ(v.Major, 10);
    EXPECT_EQ(v.Build, 44);
    EXPECT_EQ(v.Revision, 1);
    EXPECT_EQ(v.Packed, 0x0A002C01u);
    EXPECT_STREQ(v.Text, "10.0.44");

    Load(System("\"exe_version\": \"1.2.3.4\""));
    EXPECT_EQ(GetFileVersionNumbers("C:\\Tools\\tarvel.exe", v), 1);
    EXPECT_EQ(v.Packed, 0x01020304u);
    EXPECT_STREQ(v.Text, "1.2.3");
}

TEST_F(VersionTest, FileWithoutVersionInformation) {
    Load(System("\"exe_version\": null"));
    FileVersionRecord v;
    MemFill(&v, 0x55, sizeof v);
    EXPECT_EQ(GetFileVersionNumbers("C:\\Tools\\tarvel.exe", v), 0);
    EXPECT_EQ(v.Packed, 0u);
    EXPECT_EQ(v.Major + v.Minor + v.Build + v.Revision, 0);
    EXPECT_STREQ(v.Text, "ERROR1813");
    EXPECT_EQ(GetLastError(), 1813u);
    EXPECT_EQ(Out(), "");
}

TEST_F(VersionTest, VersionDllMissingOrIncomplete) {
    Load(System("\"version_dll\": \"missing\""));
    FileVersionRecord v;
    MemFill(&v, 0x55, sizeof v);
    EXPECT_EQ(GetFileVersionNumbers("C:\\Tools\\tarvel.exe", v), 0);
    EXPECT_EQ(GetLastError(), 2u);
    EXPECT_EQ(v.Major, 0x55);  // untouched
    EXPECT_EQ(Out(), "error: version.dll not found");

    Load(System("\"version_dll\": \"no_functions\""));
    EXPECT_EQ(GetFileVersionNumbers("C:\\Tools\\tarvel.exe", v), 0);
    EXPECT_EQ(GetLastError(), 127u);
    EXPECT_EQ(v.Major, 0x55);
    EXPECT_EQ(Out(), "");
    EXPECT_EQ(Count(TraceText(), "FreeLibrary"), 1);
}

TEST_F(VersionTest, LibraryPathThatDoesNotFitLoadsNothing) {
    Load(System("\"system_directory\": \"C:\\\\" + std::string(250, 'd') + "\""));
    SetLastError(0);
    EXPECT_EQ(LoadSystemLibrary("version.dll"), nullptr);
    EXPECT_EQ(GetLastError(), 206u);
    EXPECT_EQ(Count(TraceText(), "LoadLibraryA"), 0);
}
