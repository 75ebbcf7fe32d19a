// The version flag and platform texts, the ntdll path and version.dll
// edge cases, and loading from the system directory only.
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

TEST_F(VersionTest, VersionDllWithoutItsFunctions) {
    Load("{\"system\": {\"version_dll\": \"no_functions\"}}");
    FileVersionRecord v;
    MemFill(&v, 0x55, sizeof v);
    EXPECT_EQ(GetFileVersionNumbers("C:\\Tools\\tarvel.exe", v), 0);
    EXPECT_EQ(GetLastError(), 127u);
    EXPECT_EQ(v.Major, 0x55);  // untouched
    EXPECT_EQ(Count("FreeLibrary"), 1);
}

TEST_F(VersionTest, LibraryPathThatDoesNotFitLoadsNothing) {
    Load("{\"system\": {\"system_directory\": \"C:\\\\" + std::string(250, 'd') + "\"}}");
    EXPECT_EQ(LoadSystemLibrary("version.dll"), nullptr);
    EXPECT_EQ(GetLastError(), 206u);
    EXPECT_EQ(Count("LoadLibraryA"), 0);
}
