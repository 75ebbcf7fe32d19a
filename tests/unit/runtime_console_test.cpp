// The console state: redirection, code page choice, the OEM test, and the
// outcomes of the wait for a key as the trace and the output show them.
#include <string>

#include "runtime/CConsole.h"
#include "runtime_sim_fixture.h"

using namespace tarvel;

namespace {

std::string Machine(const std::string& console) {
    return "{\"clock\": \"virtual\", \"console\": {" + console + "}}";
}

std::string Key(int vk, int ch, int state = 0, bool down = true) {
    return "{\"type\": \"key\", \"down\": " + std::string(down ? "true" : "false") +
           ", \"vk\": " + std::to_string(vk) + ", \"char\": " + std::to_string(ch) +
           ", \"state\": " + std::to_string(state) + "}";
}

// Only the pauses: they tell which way the wait went.
std::string Sleeps(const std::string& trace) {
    std::string result;
    size_t pos = 0;
    while (pos < trace.size()) {
        size_t end = trace.find('\n', pos);
        if (end == std::string::npos) end = trace.size();
        std::string line = trace.substr(pos, end - pos);
        if (line.rfind("Sleep ", 0) == 0) result += line.substr(6) + " ";
        pos = end + 1;
    }
    return result;
}

}  // namespace

class ConsoleTest : public SimTest {
protected:
    std::string WaitOn(const std::string& console) {
        Load(Machine(console));
        CConsole state;
        state.Wait4KeyIfStartedStandalone();
        return Sleeps(TraceText());
    }
};

TEST_F(ConsoleTest, RedirectionChoosesTheCodePage) {
    Load(Machine("\"stdout\": \"file\", \"stderr\": \"console\", \"ansi_cp\": 1252, \"output_cp\": 850"));
    CConsole file;
    EXPECT_TRUE(file.StdOutRedirected);
    EXPECT_FALSE(file.StdErrRedirected);
    EXPECT_EQ(file.CodePage, 1252u);
    EXPECT_FALSE(file.OemCodePage);
    EXPECT_STREQ(file.ExePath, "C:\\Tools\\tarvel.exe");

    Load(Machine("\"stdout\": \"nul\", \"stderr\": \"pipe\", \"ansi_cp\": 1252, \"output_cp\": 850"));
    CConsole nul;
    EXPECT_FALSE(nul.StdOutRedirected);
    EXPECT_TRUE(nul.StdErrRedirected);
    EXPECT_EQ(nul.CodePage, 850u);
    EXPECT_TRUE(nul.OemCodePage);
}

TEST_F(ConsoleTest, OemTestFallsBackToNumbersWithoutADescription) {
    struct Case {
        int cp;
        bool described;
        bool oem;
    } cases[] = {{850, true, true},   {437, true, true},   {1252, true, false},
                 {65001, true, false}, {737, true, false}, {437, false, true},
                 {737, false, true},   {850, false, true}, {869, false, true},
                 {720, false, false},  {870, false, false}};
    for (const Case& c : cases) {
        Load(Machine("\"stdout\": \"console\", \"output_cp\": " + std::to_string(c.cp) +
                     ", \"cp_info\": " + (c.described ? "true" : "false")));
        CConsole state;
        EXPECT_EQ(state.CodePage, static_cast<UINT>(c.cp));
        EXPECT_EQ(state.OemCodePage != 0, c.oem) << c.cp << (c.described ? " described" : "");
    }
}

TEST_F(ConsoleTest, ScreenAttributesOrZero) {
    Load(Machine("\"screen_attributes\": 31"));
    EXPECT_EQ(CConsole().TextAttributes, 31);
    Load(Machine("\"screen_attributes\": null"));
    EXPECT_EQ(CConsole().TextAttributes, 0);
}

TEST(ConsoleKeysTest, ControlHandlerAndModifierKeys) {
    for (DWORD e : {0u, 1u, 2u, 5u, 6u}) EXPECT_TRUE(CConsole::ConsoleCtrlHandler(e)) << e;
    for (DWORD e : {3u, 4u, 7u}) EXPECT_FALSE(CConsole::ConsoleCtrlHandler(e)) << e;
    KEY_EVENT_RECORD key = {};
    for (WORD vk : {0x10, 0x11, 0x12, 0x13, 0x14}) {
        key.wVirtualKeyCode = vk;
        EXPECT_TRUE(IsModifierKey(key)) << vk;
    }
    for (WORD vk : {0x0F, 0x15, 0x41}) {
        key.wVirtualKeyCode = vk;
        EXPECT_FALSE(IsModifierKey(key)) << vk;
    }
}

TEST_F(ConsoleTest, NoWaitWithoutAVisibleWindowOfOurOwn) {
    EXPECT_EQ(WaitOn("\"window\": \"none\""), "");
    EXPECT_EQ(WaitOn("\"window\": \"hidden\""), "");
    EXPECT_EQ(WaitOn("\"window\": \"other\""), "100 ");
    EXPECT_EQ(Out(), "");
}

TEST_F(ConsoleTest, ArrowKeyDiscardsTheRestOfItsBatch) {
    std::string input = "[[" + Key(0x25, 0) + "," + Key(0x41, 'a') + "], [" + Key(0x42, 'b') + "]]";
    EXPECT_EQ(WaitOn("\"window\": \"own\", \"input\": " + input), "100 10 10 100 ");
    EXPECT_EQ(Out(), "Press any key to close");
}

TEST_F(ConsoleTest, ModifiedAndReleasedKeysDoNotEndTheWait) {
    std::string input = "[[" + Key(0x10, 0) + "], [" + Key(0x43, 3, LEFT_CTRL_PRESSED) + "], [" +
                        Key(0x41, 'A', SHIFT_PRESSED) + "], [" + Key(0x51, '@', RIGHT_ALT_PRESSED | LEFT_CTRL_PRESSED) +
                        "], [" + Key(0x41, 'a', 0, false) + ", {\"type\": \"focus\"}, {\"type\": \"menu\"}], [" +
                        Key(0x41, 'a', CAPSLOCK_ON | NUMLOCK_ON) + "], [" + Key(0x42, 'b') + "]]";
    // The sixth batch ends it: lock states are not modifiers.
    EXPECT_EQ(WaitOn("\"window\": \"own\", \"input\": " + input), "100 10 10 10 10 10 10 100 ");
}

TEST_F(ConsoleTest, FailedReadLeavesThePromptUpForTwoSeconds) {
    EXPECT_EQ(WaitOn("\"window\": \"own\", \"stdin\": \"redirected\""), "100 10 2000 100 ");
    EXPECT_EQ(Out(), "Press any key to close");
    std::string input = "[[" + Key(0x25, 0) + "]]";
    EXPECT_EQ(WaitOn("\"window\": \"own\", \"input\": " + input), "100 10 10 2000 100 ");
}
