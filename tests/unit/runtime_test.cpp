// The runtime: the command-line splitter, the console state and the wait
// for a key, printf and diagnostics, the heap and its checks.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <vector>

#include "runtime/CmdLine.h"
#include "unit.h"

using namespace tarvel;
using unit::Out;
using unit::SimTest;

TEST_F(SimTest, CommandLineSplitting) {
    for (const auto& c : unit::Data("cmdlines.json")) {
        sim::SetCommandLine(c["line"]);
        // Slots past the arguments are not the splitter's: it leaves them be.
        char untouched[] = "\"q\"";
        char* args[kMaxArgs + 1];
        std::fill(args, args + kMaxArgs + 1, &untouched[0]);
        int count = -1;
        EXPECT_TRUE(SplitCommandLine(count, args)) << c["line"];
        EXPECT_EQ(std::vector<std::string>(args, args + count), c["args"]) << c["line"];
        EXPECT_STREQ(untouched, "\"q\"") << c["line"];
    }
}

// For each console of data/consoles.json: the state read from it, the
// control events taken, and how the wait for a key ends, as its pauses show.
TEST_F(SimTest, ConsoleStateAndTheWaitForAKey) {
    for (const auto& c : unit::Data("consoles.json")) {
        SCOPED_TRACE(c.dump());
        unit::Load(nlohmann::json({{"clock", "virtual"}, {"console", c["console"]}}).dump());
        CConsole console;
        // Ctrl+C, Ctrl+Break and the session events must not end the run.
        for (DWORD e = 0; e < 8; e++) EXPECT_EQ(sim::RaiseCtrlEvent(e), e <= 2 || e == 5 || e == 6) << e;
        if (c.contains("redirected"))
            EXPECT_EQ(c["redirected"], nlohmann::json({console.StdOutRedirected != 0, console.StdErrRedirected != 0}));
        if (c.contains("code_page")) EXPECT_EQ(console.CodePage, c["code_page"].get<UINT>());
        if (c.contains("oem")) EXPECT_EQ(console.OemCodePage != 0, c["oem"].get<bool>());
        if (c.contains("attributes")) EXPECT_EQ(console.TextAttributes, c["attributes"].get<WORD>());
        if (!c.contains("sleeps")) continue;
        console.Wait4KeyIfStartedStandalone();
        std::string sleeps, trace = unit::Trace();
        for (size_t at = trace.find("Sleep "); at != std::string::npos; at = trace.find("Sleep ", at + 1))
            sleeps += trace.substr(at + 6, trace.find('\n', at) - at - 6) + " ";
        EXPECT_EQ(sleeps, c["sleeps"]);
        EXPECT_EQ(Out(), c["out"]);
    }
}

// Bare line feeds become CR LF; what does not fit 1023 bytes is cut
// before it, and a CR LF pair is never split.
TEST_F(SimTest, PrintfExpandsLineFeedsAndCutsBeforeWhatDoesNotFit) {
    EXPECT_EQ(tarvel::printf("a\nb\r\n%i\n", -3), 10);
    EXPECT_EQ(Out(), "a\r\nb\r\n-3\r\n");
    const std::pair<const char*, const char*> ends[] = {{"\ny", "\r\ny"}, {"\ny", "\r\n"}, {"\n", ""}};
    for (size_t before = 1020; before <= 1022; before++) {
        char text[kPrintfBufferSize];
        lstrcpyA(text, (std::string(before, 'x') + ends[before - 1020].first).c_str());
        ExpandNewlines(text);
        EXPECT_EQ(std::string(text), std::string(before, 'x') + ends[before - 1020].second);
    }
}

TEST_F(SimTest, DiagnosticsObeyTheLevelAndAreCut) {
    DbgPrintf(1, "one");
    DiagLevel = 6;
    DbgPrintf(4, "UDI_%i", 5);
    DbgPrintf(7, "seven");
    DbgPrintf(1, "%s", (std::string(1000, 'a') + std::string(200, 'b')).c_str());
    EXPECT_EQ(Out(), " UDI_5\r\n " + std::string(1000, 'a') + "\r\n");
}

TEST_F(SimTest, HeapBlocksAreZeroedCopiedAndAccounted) {
    unit::Held before;
    BYTE* block = static_cast<BYTE*>(HeapNew(64));
    EXPECT_EQ(std::string((char*)block, 64), std::string(64, '\0'));
    char* copies[] = {DupString(nullptr), DupString(""), DupString("x"), DupString("1-3-2")};
    EXPECT_EQ(AllocSum, before.bytes + 64 + 1 + 1 + 2 + 6);
    EXPECT_EQ(std::string(copies[0]) + "|" + copies[1] + "|" + copies[2] + "|" + copies[3], "||x|1-3-2");
    HeapDelete(block);
    HeapDelete(nullptr);
    for (char* copy : copies) HeapDelete(copy);
    unit::ExpectReleased(before, "the copies");
}

namespace {

void Overrun() { static_cast<char*>(HeapNew(4))[4] = 1; }  // one byte past the block
void NewAfterOverrun() { Overrun(); HeapNew(1); }
void DeleteAfterOverrun() { void* a = HeapNew(1); Overrun(); HeapDelete(a); }
void DeleteTwice() { void* a = HeapNew(1); HeapDelete(a); HeapDelete(a); }

}  // namespace

// A damaged heap stops the program at once, with a beep: before a block is
// handed out or taken back, and after a release that went wrong.
TEST_F(SimTest, DamagedHeapBreaksIntoTheDebugger) {
    const std::string broke = " INT3 in .*CRTreplace.cpp line [0-9]+, function operator ";
    struct Case {
        int level;
        void (*damage)();
        std::string said;
    } cases[] = {{1, NewAfterOverrun, " HeapValidate after new failed\r\nBeep 1000 3000\n" + broke + "new\r\n"},
                 {1, DeleteAfterOverrun, "Beep 1000 1000\n" + broke + "delete\r\n"},
                 {1, DeleteTwice, " HeapValidate after delete failed\r\nBeep 1000 1000\n" + broke + "delete\r\n"},
                 {0, NewAfterOverrun, "Beep 1000 3000\n"},
                 {0, DeleteTwice, "Beep 1000 1000\n"}};
    for (const Case& c : cases) {
        EXPECT_EXIT(
            {
                dup2(2, 1);  // the program's output, and the trace, where the death test reads
                fcntl(2, F_SETFL, fcntl(2, F_GETFL) | O_APPEND);  // each after the other
                sim::CaptureStdout(false);
                sim::SetTraceFile("/dev/stderr");
                DiagLevel = c.level;
                c.damage();
            },
            ::testing::KilledBySignal(SIGTRAP), "^" + c.said + "Sleep 100\n$");  // a pause, then the break
    }
}

TEST(MemOps, FillMoveAndClamp) {
    BYTE buf[10];
    MemFill(buf, 0xEE, 10);
    EXPECT_EQ(MemFill(buf + 1, 0x1AB, 7), buf + 1);  // unaligned start, words then bytes
    EXPECT_EQ(std::string(buf, buf + 10), "\xEE" + std::string(7, '\xAB') + "\xEE\xEE");
    char down[] = "abcdefghij";
    MemMove(down, down + 3, 5);
    EXPECT_STREQ(down, "defghfghij");
    char up[] = "abcdefghij";
    MemMove(up + 3, up, 5);  // overlapping upwards: copied from the end
    EXPECT_STREQ(up, "abcabcdeij");
    char words[] = "abcdefghij";
    MemCopyWholeDwords(words, "0123456789", 10);  // the two bytes past the last dword stay
    EXPECT_STREQ(words, "01234567ij");
    int v = -2;
    EXPECT_EQ(ClampInt(v, 0, 3), 0);
    EXPECT_EQ(ClampInt(v, 5, 1), 1);  // crossed bounds: the upper one wins
}
