// Error, CONFIGRET and result names, the version record, and loading from
// the system directory only.
#include <string.h>

#include <map>
#include <regex>
#include <vector>

#include "sysinfo/SysLib.h"
#include "unit.h"

using namespace tarvel;
using unit::SimTest;

namespace {

// The value of every "#define NAME number" of an SDK header.
std::map<std::string, unsigned long> Defines(const std::string& header) {
    std::map<std::string, unsigned long> values;
    std::ifstream in(std::string(TARVEL_SDK_INCLUDE) + "/" + header);
    std::regex define(R"(^#define\s+(\w+)\s+\(?(?:__MSABI_LONG\()?(0x[0-9A-Fa-f]+|\d+)L?\)?\s*$)");
    std::smatch m;
    for (std::string line; std::getline(in, line);)
        if (std::regex_match(line, m, define)) values[m[1]] = std::stoul(m[2], nullptr, 0);
    return values;
}

}  // namespace

// A short name is the SDK's name without its ERROR_ prefix (31 keeps it),
// and must belong to the code it is given for.
TEST(SysinfoNames, NamesAreTheSdksNamesOfTheirCodes) {
    std::map<std::string, unsigned long> errors = Defines("winerror.h"), crs = Defines("cfgmgr32.h");
    if (errors.empty() || crs.empty()) GTEST_SKIP() << "no SDK headers in " << TARVEL_SDK_INCLUDE;
    errors["ERROR_NO_SUCH_DEVICE"] = 433;  // newer SDKs have it, mingw-w64's header not yet
    int named = 0;
    for (DWORD code = 1; code < 16000; code++) {
        std::string name = GetErrorName(code);
        if (name == std::to_string(code)) continue;
        named++;
        bool prefixed = errors.count("ERROR_" + name) && errors["ERROR_" + name] == code;
        EXPECT_TRUE(prefixed || (errors.count(name) && errors[name] == code)) << code << " " << name;
    }
    EXPECT_EQ(named, 30);
    EXPECT_STREQ(GetErrorName(0), "ok");
    for (CONFIGRET cr = 0; cr <= 0x3B; cr++) EXPECT_EQ(crs[GetCrName(cr)], cr) << GetCrName(cr);
}

TEST_F(SimTest, NamesWithoutATableEntryRotateThroughTheirBuffers) {
    const char* first = GetErrorName(0x0FFFFFFF);
    for (DWORD code = 1000; code < 1009; code++) GetErrorName(code);
    EXPECT_STREQ(GetErrorName(2), "FILE_NOT_FOUND");  // uses no buffer
    EXPECT_STREQ(first, "268435455");
    EXPECT_STREQ(GetErrorName(0x10000000), "0x10000000");
    EXPECT_STREQ(first, "0x10000000");  // the eleventh numeric name
    EXPECT_STREQ(GetCrName(0x3C), "CR_0x3C");
    // Result texts: four buffers in turn, and the last error kept.
    InitializeCriticalSection(&ResultTextLock);
    const char* result = GetResultText(-1);
    SetLastError(50);
    EXPECT_STREQ(GetResultText(0), "err=NOT_SUPPORTED");
    EXPECT_EQ(GetLastError(), 50u);
    for (int i = 2; i < 4; i++) GetResultText(i);
    EXPECT_EQ(GetResultText(4), result);
    DeleteCriticalSection(&ResultTextLock);
}

// The version the walk goes by, and its flag, as start-up reads them, for
// each system of data/versions.json.
TEST_F(SimTest, EffectiveWindowsVersion) {
    const nlohmann::json data = unit::Data("versions.json");
    for (const auto& c : data["systems"]) {
        SCOPED_TRACE(c.dump());
        unit::Load(nlohmann::json({{"clock", "virtual"}, {"system", c["system"]}}).dump());
        char dir[64];
        GetSystemDirectoryA(dir, sizeof dir);
        OsVersionRecord r;
        MemFill(&r, 0x55, sizeof r);
        GetOsVersionInfo(r, c.value("dir", std::string(dir)).c_str());
        EXPECT_EQ(r.EffectiveVersion, std::stoul(c["effective"].get<std::string>(), nullptr, 16));
        EXPECT_EQ(r.VersionFlag != 0, c["flag"].get<bool>());
        if (c.contains("loads")) EXPECT_EQ(unit::Count(unit::Trace(), "LoadLibraryA"), c["loads"].get<int>());
    }
}

// A file's version numbers, or the record as a failed read leaves it.
TEST_F(SimTest, FileVersionRecords) {
    const nlohmann::json data = unit::Data("versions.json");
    for (const auto& c : data["files"]) {
        SCOPED_TRACE(c.dump());
        unit::Load(nlohmann::json({{"clock", "virtual"}, {"system", c["system"]}}).dump());
        sim::Current().system.fixed_info_length = c.value("fixed_length", 52);
        unit::Held before;
        FileVersionRecord v, untouched;
        MemFill(&v, 0x55, sizeof v);
        MemFill(&untouched, 0x55, sizeof v);
        SetLastError(0);
        EXPECT_EQ(GetFileVersionNumbers("C:\\Tools\\tarvel.exe", v), c["result"].get<int>());
        EXPECT_EQ(GetLastError(), c["error"].get<DWORD>());
        unit::ExpectReleased(before, "the version read");
        const auto& n = c.value("numbers", nlohmann::json());
        if (n.is_null()) EXPECT_EQ(memcmp(&v, &untouched, sizeof v), 0);
        if (n.is_null()) continue;
        EXPECT_EQ(std::vector<DWORD>({v.Major, v.Minor, v.Build, v.Revision, v.Packed}),
                  std::vector<DWORD>({n[0], n[1], n[2], n[3], (DWORD)std::stoul(n[4].get<std::string>(), nullptr, 16)}));
        EXPECT_EQ(std::string(v.Text, strnlen(v.Text, sizeof v.Text)), c["text"]);
    }
}

// Without a system directory, or when the full path would not fit, nothing
// is loaded.
TEST_F(SimTest, LibrariesLoadFromTheSystemDirectoryOnly) {
    for (size_t length : {0, 248, 247}) {
        std::string dir = length ? "C:\\" + std::string(length - 3, 'd') : "";
        unit::Load(nlohmann::json({{"system", {{"system_directory", dir}}}}).dump());
        EXPECT_EQ(LoadSystemLibrary("version.dll") != nullptr, length == 247) << length;
        if (length == 248) EXPECT_EQ(GetLastError(), 206u);
        EXPECT_EQ(unit::Trace(), length == 247 ? "LoadLibraryA " + dir + "\\version.dll -> ok\n" : "");
    }
}
