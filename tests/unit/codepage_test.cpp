// The simulated machine's conversions against Windows' answers, from
// data/codepages.json (where a case says otherwise, the simulator's own),
// and what it refuses instead of answering unlike Windows.
#include <functional>

#include "platform/sim/UsbState.h"
#include "tests/unit/unit.h"

namespace {
using namespace tarvel;

std::string Hex(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) out += "0123456789abcdef"[c >> 4], out += "0123456789abcdef"[c & 15];
    return out;
}

std::string Unhex(std::string hex) {
    hex.erase(std::remove(hex.begin(), hex.end(), ' '), hex.end());
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out += (char)std::stoi(hex.substr(i, 2), nullptr, 16);
    return out;
}

struct CodePages : unit::SimTest {};

TEST_F(CodePages, ToBytesBestFitDefaultAndDoubleByte) {
    const auto data = unit::Data("codepages.json");
    for (const auto& c : data["to_bytes"]) {
        SCOPED_TRACE(c.dump());
        std::u16string wide = tarvel::sim::Utf16(c["text"].get<std::string>());
        std::string def = c.contains("default") ? Unhex(c["default"]) : "";
        bool check = c.contains("used") && c["cp"] != 65001;
        BOOL used = 2;
        char out[64];
        int n = WideCharToMultiByte(c["cp"], c.value("flags", 0), (LPCWSTR)wide.data(),
                                            (int)wide.size(), out, sizeof out,
                                            def.empty() ? nullptr : def.c_str(), check ? &used : nullptr);
        EXPECT_EQ(Hex(std::string(out, n > 0 ? n : 0)), Hex(Unhex(c["bytes"])));
        if (check) EXPECT_EQ(used, c["used"].get<bool>() ? TRUE : FALSE);
        if (n == 0) EXPECT_EQ(GetLastError(), c["error"].get<DWORD>());
    }
    const WCHAR lone[] = {u'a', 0xD800};
    char area[8];
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, 2, area, 8, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_NO_UNICODE_TRANSLATION);
    // A double-byte character that does not fit ends the output before it.
    const WCHAR nihon[] = {0x65E5, 0x672C};
    char out[3] = {};
    EXPECT_EQ(WideCharToMultiByte(932, 0, nihon, 2, out, 3, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(Hex(std::string(out, 3)), "93fa00");
}

TEST_F(CodePages, ToWideReadsLeadAndTrailBytes) {
    const auto data = unit::Data("codepages.json");
    for (const auto& c : data["to_wide"]) {
        SCOPED_TRACE(c.dump());
        std::string bytes = Unhex(c["bytes"]);
        WCHAR out[32];
        int n = MultiByteToWideChar(c["cp"], 0, bytes.data(), (int)bytes.size(), out, 32);
        EXPECT_EQ(std::u16string((const char16_t*)out, n > 0 ? n : 0),
                  tarvel::sim::Utf16(c["text"].get<std::string>()));
    }
}

TEST_F(CodePages, InfoNamesAndLeadBytes) {
    const auto data = unit::Data("codepages.json");
    for (const auto& [cp, name] : data["names"].items()) {
        CPINFOEXA info;
        ASSERT_TRUE(GetCPInfoExA(std::stoul(cp), 0, &info));
        EXPECT_EQ(std::string(info.CodePageName), name.get<std::string>());
    }
    CPINFOEXA info;
    ASSERT_TRUE(GetCPInfoExA(932, 0, &info));
    EXPECT_EQ(info.MaxCharSize, 2u);
    EXPECT_EQ(Hex(std::string((const char*)info.LeadByte, 6)), "819fe0fc0000");
    ASSERT_TRUE(GetCPInfoExA(CP_UTF8, 0, &info));
    EXPECT_EQ(info.UnicodeDefaultChar, 0xFFFD);
}

// Arguments whose effect the simulator does not know end the run, never
// pass unlike Windows.
TEST_F(CodePages, RefusedLoudly) {
    const LPCWSTR a = (LPCWSTR)u"a";
    const std::pair<std::function<void()>, const char*> refused[] = {
        {[&] { WideCharToMultiByte(CP_OEMCP, 0, a, 1, nullptr, 0, nullptr, nullptr); }, "CP_OEMCP"},
        {[&] { WideCharToMultiByte(1252, 0x200 /* WC_COMPOSITECHECK */, a, 1, nullptr, 0, nullptr, nullptr); }, "flags 0x200"},
        {[] { GetCPInfoExA(1252, 1, nullptr); }, "GetCPInfoExA with flags"},
        {[] { HeapValidate(GetProcessHeap(), 1 /* HEAP_NO_SERIALIZE */, nullptr); }, "HeapValidate with flags"},
        {[] { HeapFree(GetProcessHeap(), 1, nullptr); }, "HeapFree with flags"},
        {[] { CreateFileA("\\\\.\\X", 0, 0, nullptr, OPEN_EXISTING, 0x40000000, nullptr); }, "CreateFileA"}};
    for (const auto& [call, said] : refused) EXPECT_DEATH(call(), said);
}

}  // namespace
