// Code-page conversion and case mapping, as Windows answers them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/Platform.h"
#include "platform/sim/Sim.h"

namespace {

void Load(const std::string& json) {
    std::string error;
    ASSERT_TRUE(tarvel::sim::LoadMachineJson(json, error)) << error;
}

std::string Convert(tarvel::UINT cp, const char16_t* text) {
    char out[64] = {};
    int n = tarvel::WideCharToMultiByte(cp, 0, text, -1, out, sizeof out, nullptr, nullptr);
    return n > 0 ? std::string(out, (size_t)n - 1) : "<fail>";
}

TEST(SimCodePage, EachCodePageMapsItsOwnCharacters) {
    Load("{}");
    const char16_t* text = u"\u00e9\u00c4\u2500\u20ac\u00f8";  // e acute, A umlaut, box line, euro, o slash
    EXPECT_EQ(Convert(437, text), "\x82\x8e\xc4??");
    EXPECT_EQ(Convert(850, text), "\x82\x8e\xc4?\x9b");
    EXPECT_EQ(Convert(1252, text), "\xe9\xc4?\x80\xf8");
    EXPECT_EQ(Convert(65001, text), "\xc3\xa9\xc3\x84\xe2\x94\x80\xe2\x82\xac\xc3\xb8");
    // Any other code page passes ASCII only.
    EXPECT_EQ(Convert(1251, u"Az\u00e9"), "Az?");
}

TEST(SimCodePage, SymbolicCodePagesFollowTheMachine) {
    Load(R"({"console": {"ansi_cp": 850}})");
    EXPECT_EQ(Convert(CP_ACP, u"\u00f8"), "\x9b");
    EXPECT_EQ(Convert(CP_OEMCP, u"\u00f8"), "?");  // the OEM page is 437
    Load("{}");
    EXPECT_EQ(Convert(CP_ACP, u"\u00f8"), "\xf8");
}

TEST(SimCodePage, SurrogatePairIsOneCharacter) {
    Load("{}");
    EXPECT_EQ(Convert(1252, u"a\U0001F600b"), "a?b");
    EXPECT_EQ(Convert(437, u"\xd83d"), "?");  // a lone high surrogate
}

TEST(SimCodePage, SizesAndTheInsufficientBuffer) {
    Load("{}");
    // -1 counts the terminator; an explicit count does not add one.
    EXPECT_EQ(tarvel::WideCharToMultiByte(65001, 0, u"\u20ac!", -1, nullptr, 0, nullptr, nullptr), 5);
    EXPECT_EQ(tarvel::WideCharToMultiByte(65001, 0, u"\u20ac!", 2, nullptr, 0, nullptr, nullptr), 4);
    char out[8];
    memset(out, 'x', sizeof out);
    tarvel::SetLastError(0);
    EXPECT_EQ(tarvel::WideCharToMultiByte(1252, 0, u"abcd", -1, out, 3, nullptr, nullptr), 0);
    EXPECT_EQ(tarvel::GetLastError(), (tarvel::DWORD)ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::string(out, 4), "abcx");  // what fits is written
    // A multi-byte character is never split.
    memset(out, 'x', sizeof out);
    EXPECT_EQ(tarvel::WideCharToMultiByte(65001, 0, u"a\u20ac", 2, out, 3, nullptr, nullptr), 0);
    EXPECT_EQ(std::string(out, 3), "axx");
    EXPECT_EQ(tarvel::WideCharToMultiByte(1252, 0, u"ab", 0, out, 8, nullptr, nullptr), 0);
    EXPECT_EQ(tarvel::GetLastError(), (tarvel::DWORD)ERROR_INVALID_PARAMETER);
}

TEST(SimCodePage, CodePageNames) {
    Load(R"({"console": {"output_cp": 850}})");
    tarvel::CPINFOEXA info;
    ASSERT_TRUE(tarvel::GetCPInfoExA(tarvel::GetConsoleOutputCP(), 0, &info));
    EXPECT_STREQ(info.CodePageName, "850   (OEM - Multilingual Latin I)");
    ASSERT_TRUE(tarvel::GetCPInfoExA(1252, 0, &info));
    EXPECT_STREQ(info.CodePageName, "1252  (ANSI - Latin I)");
    ASSERT_TRUE(tarvel::GetCPInfoExA(720, 0, &info));
    EXPECT_STREQ(info.CodePageName, "720");
    Load(R"({"console": {"cp_info": false}})");
    EXPECT_FALSE(tarvel::GetCPInfoExA(437, 0, &info));
}

TEST(SimStrings, CaseMappingOfTheAnsiCodePage) {
    Load("{}");
    char text[] = "usb\\vid_0781&pid_5581 \xe9\xff\xdf\xf7";
    EXPECT_EQ(tarvel::CharUpperA(text), text);
    // e acute and y diaeresis have capitals in 1252; sharp s and division do not.
    EXPECT_STREQ(text, "USB\\VID_0781&PID_5581 \xc9\x9f\xdf\xf7");
    EXPECT_EQ(tarvel::lstrcmpiA("port_#0001", "PORT_#0001"), 0);
    EXPECT_EQ(tarvel::lstrcmpiA("\xe9", "\xc9"), 0);
    EXPECT_LT(tarvel::lstrcmpiA("abc", "ABD"), 0);
    EXPECT_GT(tarvel::lstrcmpA("b", "a"), 0);
    Load(R"({"console": {"ansi_cp": 437}})");
    EXPECT_NE(tarvel::lstrcmpiA("\xe9", "\xc9"), 0);
}

}  // namespace
