// The console state: redirection, code page choice, the OEM test, and how
// the wait for a key ends, as its pauses in the trace show.
#include <string>

#include "runtime/CConsole.h"
#include "runtime_sim_fixture.h"

using namespace tarvel;

namespace {

std::string Machine(const std::string& console) {
    return "{\"clock\": \"virtual\", \"console\": {" + console + "}}";
}

std::string Key(int vk, int ch, int state = 0, bool down = true) {
    return "{\"type\": \"key\", \"vk\": " + std::to_string(vk) + ", \"char\": " + std::to_string(ch) +
           ", \"state\": " + std::to_string(state) + ", \"down\": " + (down ? "true}" : "false}");
}

std::string Sleeps(const std::string& trace) {
    std::string result;
    for (size_t pos = trace.find("Sleep "); pos != std::string::npos; pos = trace.find("Sleep ", pos + 1))
        result += trace.substr(pos + 6, trace.find('\n', pos) - pos - 6) + " ";
    return result;
}

}  // namespace

class ConsoleTest : public SimTest {
protected:
    std::string WaitOn(const std::string& console) {
        Load(Machine(console));
        CConsole().Wait4KeyIfStartedStandalone();
        return Sleeps(TraceText());
    }
};

TEST_F(ConsoleTest, RedirectionChoosesTheCodePage) {
    Load(Machine("\"stdout\": \"file\", \"stderr\": \"console\", \"output_cp\": 850, \"screen_attributes\": null"));
    CConsole file;
    EXPECT_TRUE(file.StdOutRedirected);
    EXPECT_FALSE(file.StdErrRedirected);
    EXPECT_EQ(file.CodePage, 1252u);
    EXPECT_FALSE(file.OemCodePage);
    EXPECT_EQ(file.TextAttributes, 0);

    Load(Machine("\"stdout\": \"nul\", \"stderr\": \"pipe\", \"output_cp\": 850"));
    CConsole nul;
    EXPECT_FALSE(nul.StdOutRedirected);
    EXPECT_TRUE(nul.StdErrRedirected);
    EXPECT_EQ(nul.CodePage, 850u);
    EXPECT_TRUE(nul.OemCodePage);
    EXPECT_EQ(nul.TextAttributes, 7);
}

TEST_F(ConsoleTest, OemTestFallsBackToNumbersWithoutADescription) {
    struct Case {
        int cp;
        bool described, oem;
    } cases[] = {{1252, true, false}, {737, true, false}, {437, false, true}, {737, false, true},
                 {869, false, true},  {720, false, false}, {870, false, false}};
    for (const Case& c : cases) {
        Load(Machine("\"stdout\": \"console\", \"output_cp\": " + std::to_string(c.cp) +
                     ", \"cp_info\": " + (c.described ? "true" : "false")));
        EXPECT_EQ(CConsole().OemCodePage != 0, c.oem) << c.cp << (c.described ? " described" : "");
    }
}

TEST(ConsoleKeysTest, ControlEventsAndModifierKeys) {
    for (DWORD e : {0u, 1u, 2u, 5u, 6u}) EXPECT_TRUE(CConsole::ConsoleCtrlHandler(e)) << e;
    for (DWORD e : {3u, 4u, 7u}) EXPECT_FALSE(CConsole::ConsoleCtrlHandler(e)) << e;
    KEY_EVENT_RECORD key = {};
    for (WORD vk : {0x0F, 0x10, 0x14, 0x15}) {
        key.wVirtualKeyCode = vk;
        EXPECT_EQ(IsModifierKey(key), vk >= 0x10 && vk <= 0x14) << vk;
    }
}

TEST_F(ConsoleTest, OnlyAPlainKeyWithACharacterEndsTheWait) {
    std::string input = "[[" + Key(0x25, 0) + "," + Key(0x41, 'a') + "], [" + Key(0x10, 0) + "], [" +
                        Key(0x43, 3, LEFT_CTRL_PRESSED) + "], [" + Key(0x41, 'A', SHIFT_PRESSED) +
                        "], [" + Key(0x51, '@', RIGHT_ALT_PRESSED | LEFT_CTRL_PRESSED) + "], [" +
                        Key(0x41, 'a', 0, false) + ", {\"type\": \"focus\"}, {\"type\": \"menu\"}], [" +
                        Key(0x41, 'a', CAPSLOCK_ON | NUMLOCK_ON) + "], [" + Key(0x42, 'b') + "]]";
    // Seven reads: the arrow key spoils its batch, lock states do not count.
    EXPECT_EQ(WaitOn("\"window\": \"own\", \"input\": " + input), "100 10 10 10 10 10 10 10 100 ");
    EXPECT_EQ(Out(), "Press any key to close");
}

TEST_F(ConsoleTest, ReadFailingAfterASpoiltBatchLeavesThePromptUpForTwoSeconds) {
    EXPECT_EQ(WaitOn("\"window\": \"own\", \"input\": [[" + Key(0x25, 0) + "]]"), "100 10 10 2000 100 ");
    EXPECT_EQ(Out(), "Press any key to close");
}
