// Reading machine descriptions: number forms and the one-line errors that
// name the offending key.
#include <gtest/gtest.h>

#include <string>

#include "platform/sim/Machine.h"

namespace {

using tarvel::sim::Machine;
using tarvel::sim::ParseMachine;

std::string ErrorOf(const std::string& json) {
    Machine machine;
    std::string error;
    EXPECT_FALSE(ParseMachine(json, machine, error)) << json;
    return error;
}

TEST(SimMachine, GivenValuesAndNumberForms) {
    Machine m;
    std::string error;
    ASSERT_TRUE(ParseMachine(R"({"system": {"os_version": ["0x6", 1, 7601],
        "suite_mask": "0x0300", "ntdll_version": null, "exe_version": "3.2.1.65535"},
        "console": {"screen_attributes": null,
                    "input": [[{"type": "key", "down": false, "vk": "0x41", "char": 65}], []]}})",
                             m, error)) << error;
    EXPECT_EQ(m.system.os_major, 6u);
    EXPECT_EQ(m.system.suite_mask, 0x300u);
    EXPECT_TRUE(m.system.ntdll_version_given);
    EXPECT_FALSE(m.system.ntdll_version.has_value());
    EXPECT_EQ((*m.system.exe_version)[3], 65535u);
    EXPECT_FALSE(m.console.screen_attributes.has_value());
    ASSERT_EQ(m.console.input.size(), 2u);
    EXPECT_FALSE(m.console.input[0][0].down);
    EXPECT_EQ(m.console.input[0][0].vk, 0x41u);
    EXPECT_TRUE(m.console.input[1].empty());
}

TEST(SimMachine, ErrorsNameTheKeyPath) {
    EXPECT_EQ(ErrorOf(R"({"console": {"window": "big"}})"),
              "console.window: expected one of none, hidden, other, own");
    EXPECT_EQ(ErrorOf(R"({"sytem": {}})"), "sytem: unknown key");
    EXPECT_EQ(ErrorOf(R"({"system": {"exe_path": 5}})"), "system.exe_path: expected a string");
    EXPECT_EQ(ErrorOf(R"({"system": {"os_version": [10, 0]}})"),
              "system.os_version: expected [major, minor, build]");
    EXPECT_EQ(ErrorOf(R"({"system": {"os_version": [10, -1, 0]}})").substr(0, 22),
              "system.os_version[1]: ");
    EXPECT_EQ(ErrorOf(R"({"console": {"cp_info": "yes"}})"),
              "console.cp_info: expected true or false");
    EXPECT_EQ(ErrorOf(R"({"clock": "fast"})"), "clock: expected one of real, virtual");
    EXPECT_EQ(ErrorOf(R"({"console": {"input": [[{"type": "key"}, {"type": "focus", "vk": 1}]]}})"),
              "console.input[0][1].vk: unknown key");
    EXPECT_EQ(ErrorOf("[]"), "machine: expected an object");
    EXPECT_EQ(ErrorOf("{\"system\": "), "machine: not valid JSON");
}

TEST(SimMachine, NumbersAndVersionsOutOfShape) {
    for (const char* bad : {R"("0x")", R"("12")", R"("0x1G")", R"(1.5)", R"("0x10000")"})
        EXPECT_EQ(ErrorOf(std::string(R"({"system": {"service_pack": )") + bad + "}}"),
                  "system.service_pack: expected a number from 0 to 65535")
            << bad;
    for (const char* bad : {R"("1.2.3")", R"("1.2.3.4.5")", R"("1..3.4")", R"("1.2.3.65536")",
                            R"("1.2.3.")"})
        EXPECT_EQ(ErrorOf(std::string(R"({"system": {"exe_version": )") + bad + "}}"),
                  "system.exe_version: expected a version \"a.b.c.d\" or null")
            << bad;
}

}  // namespace
