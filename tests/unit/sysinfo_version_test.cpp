// Version codes, the Windows version as the machine reports it, file
// version numbers, and loading from the system directory only.
#include <string>

#include "runtime_sim_fixture.h"
#include "sysinfo/SysLib.h"
#include "sysinfo/Version.h"

using namespace tarvel;

class VersionTest : public SimTest {
protected:
    OsVersionRecord Os(const std::string& keys, const std::string& dir = "C:\\Windows\\system32") {
        Load("{\"clock\": \"virtual\", \"system\": {" + keys + "}}");
        OsVersionRecord r;
        MemFill(&r, 0x55, sizeof r);
        GetOsVersionInfo(r, dir.c_str());
        return r;
    }
    int Count(const std::string& what) {
        std::string t = TraceText();
        int n = 0;
        for (size_t p = t.find(what); p != std::string::npos; p = t.find(what, p + 1)) n++;
        return n;
    }
};

TEST(VersionCodeTest, DecimalDigitsAsHexDigits) {
    EXPECT_EQ(VersionCode(5, 1), 0x0501u);
    EXPECT_EQ(VersionCode(6, 2), 0x0602u);
    EXPECT_EQ(VersionCode(10, 0), 0x1000u);
    EXPECT_EQ(VersionCode(12, 34), 0x1234u);
}

TEST_F(VersionTest, NtdllVersionLiftsAHeldBackReport) {
    OsVersionRecord r = Os("\"os_version\": [6, 2, 9200], \"ntdll_version\": \"10.0.19041.1\", \"service_pack\": 1");
    EXPECT_EQ(r.Build, 9200u);
    EXPECT_EQ(r.ServicePackMajor, 1u);
    EXPECT_EQ(r.ReportedVersion, 0x0602u);
    EXPECT_EQ(r.NtdllVersion, 0x1000u);
    EXPECT_EQ(r.EffectiveVersion, 0x1000u);
    // version.dll is loaded by full path and released after the read.
    EXPECT_EQ(Count("LoadLibraryA C:\\Windows\\system32\\version.dll -> ok"), 1);
    EXPECT_EQ(Count("FreeLibrary C:\\Windows\\system32\\version.dll"), 1);

    EXPECT_EQ(Os("\"os_version\": [10, 0, 1], \"ntdll_version\": null").EffectiveVersion, 0x1000u);
}

TEST_F(VersionTest, HowTheVersionIsAsked) {
    OsVersionRecord fails = Os("\"rtl_get_version\": \"fails\", \"ntdll_version\": \"6.3.9600.0\"");
    EXPECT_EQ(fails.Major, 0u);
    EXPECT_STREQ(fails.ProcessPlatform, "");
    EXPECT_EQ(fails.EffectiveVersion, 0x0603u);

    OsVersionRecord xp = Os("\"rtl_get_version\": \"missing\", \"os_version\": [5, 1, 2600], \"service_pack\": 2");
    EXPECT_EQ(xp.EffectiveVersion, 0x0501u);
    EXPECT_EQ(xp.ServicePackMajor, 2u);
}

TEST_F(VersionTest, VersionFlagAndPlatformTexts) {
    struct Case {
        const char* keys;
        bool flag;
        const char* windows;
        const char* process;
    } cases[] = {
        {"\"os_version\": [5, 0, 1]", false, "x64", "Win32 on x64"},
        {"\"os_version\": [5, 2, 1], \"wow64\": false", true, "Win32", "Win32"},
        {"\"os_version\": [6, 1, 1], \"wow64\": \"missing\"", false, "Win32", "Win32"},
        {"\"os_version\": [6, 2, 1]", true, "x64", "Win32 on x64"},
        {"\"os_version\": [4, 0, 1381]", false, "", ""},
    };
    for (const Case& c : cases) {
        OsVersionRecord r = Os(c.keys);
        EXPECT_EQ(r.VersionFlag != 0, c.flag) << c.keys;
        EXPECT_STREQ(r.WindowsPlatform, c.windows) << c.keys;
        EXPECT_STREQ(r.ProcessPlatform, c.process) << c.keys;
    }
}

TEST_F(VersionTest, SystemDirectoryTooLongForTheNtdllPath) {
    const std::string keys = "\"os_version\": [6, 2, 1], \"ntdll_version\": \"10.0.1.0\", \"system_directory\": ";
    std::string dir = "C:\\" + std::string(51, 'd');  // 54 characters: 64 with the name
    OsVersionRecord r = Os(keys + "\"C:\\\\" + std::string(51, 'd') + "\"", dir);
    EXPECT_EQ(r.NtdllVersion, 0u);
    EXPECT_EQ(r.EffectiveVersion, 0x0602u);
    EXPECT_EQ(Count("LoadLibraryA"), 0);
    dir.pop_back();
    EXPECT_EQ(Os(keys + "\"C:\\\\" + std::string(50, 'd') + "\"", dir).EffectiveVersion, 0x1000u);
}

TEST_F(VersionTest, FileVersionKeepsTheLowByteOfEachPart) {
    Load("{\"system\": {\"exe_version\": \"10.0.300.1\"}}");
    FileVersionRecord v = {};
    EXPECT_EQ(GetFileVersionNumbers("c:\\tools\\TARVEL.EXE", v), 1);
    EXPECT_EQ(v.Packed, 0x0A002C01u);
    EXPECT_EQ(v.Build, 44);
    EXPECT_STREQ(v.Text, "10.0.44");
}

TEST_F(VersionTest, FailedReads) {
    Load("{\"system\": {\"exe_version\": null}}");
    FileVersionRecord v;
    MemFill(&v, 0x55, sizeof v);
    EXPECT_EQ(GetFileVersionNumbers("C:\\Tools\\tarvel.exe", v), 0);
    EXPECT_EQ(v.Packed + v.Major + v.Revision, 0u);
    EXPECT_STREQ(v.Text, "ERROR1813");
    EXPECT_EQ(GetLastError(), 1813u);

    Load("{\"system\": {\"version_dll\": \"no_functions\"}}");
    MemFill(&v, 0x55, sizeof v);
    EXPECT_EQ(GetFileVersionNumbers("C:\\Tools\\tarvel.exe", v), 0);
    EXPECT_EQ(GetLastError(), 127u);
    EXPECT_EQ(v.Major, 0x55);  // untouched
    EXPECT_EQ(Count("FreeLibrary"), 1);

    Load("{\"system\": {\"version_dll\": \"missing\"}}");
    EXPECT_EQ(GetFileVersionNumbers("C:\\Tools\\tarvel.exe", v), 0);
    EXPECT_EQ(GetLastError(), 2u);
    EXPECT_EQ(v.Major, 0x55);
    EXPECT_EQ(Out(), "error: version.dll not found");
}

TEST_F(VersionTest, LibraryPathThatDoesNotFitLoadsNothing) {
    Load("{\"system\": {\"system_directory\": \"C:\\\\" + std::string(250, 'd') + "\"}}");
    EXPECT_EQ(LoadSystemLibrary("version.dll"), nullptr);
    EXPECT_EQ(GetLastError(), 206u);
    EXPECT_EQ(Count("LoadLibraryA"), 0);
}
