// printf's line ends and cut, the diagnostic channel, heap accounting and
// the memory primitives.
#include <string>

#include "runtime_sim_fixture.h"

using namespace tarvel;

using OutputTest = SimTest;

TEST_F(OutputTest, PrintfExpandsBareLineFeedsOnly) {
    EXPECT_EQ(tarvel::printf("a\nb"), 4);
    EXPECT_EQ(tarvel::printf("c\r\nd"), 4);
    EXPECT_EQ(tarvel::printf("\n\n%i", -3), 6);
    EXPECT_EQ(tarvel::printf(""), 0);
    EXPECT_EQ(Out(), "a\r\nbc\r\nd\r\n\r\n-3");
}

TEST_F(OutputTest, ExpansionIsCutBeforeWhatDoesNotFit) {
    char text[kPrintfBufferSize];
    std::string plain(1022, 'x');
    lstrcpyA(text, (plain + "\n").c_str());
    ExpandNewlines(text);
    EXPECT_EQ(std::string(text), plain);  // a CR LF pair is never split

    int written = tarvel::printf("%s", std::string(700, '\n').c_str());
    std::string pairs;
    for (int i = 0; i < 511; i++) pairs += "\r\n";
    EXPECT_EQ(written, 1022);
    EXPECT_EQ(Out(), pairs);
}

TEST_F(OutputTest, DiagnosticsObeyTheThresholdAndAreCut) {
    DbgPrintf(1, "one");
    DbgPrintf(6, "six");
    EXPECT_EQ(Out(), "");
    DiagLevel = 6;
    DbgPrintf(4, "UDI_%i", 5);
    DbgPrintf(7, "seven");
    DbgPrintf(1, "%s", (std::string(1000, 'a') + std::string(200, 'b')).c_str());
    EXPECT_EQ(Out(), " UDI_5\r\n " + std::string(1000, 'a') + "\r\n");
}

TEST_F(OutputTest, HeapBlocksAreZeroedAndAccounted) {
    int before = AllocSum;
    BYTE* block = static_cast<BYTE*>(HeapNew(64));
    for (int i = 0; i < 64; i++) ASSERT_EQ(block[i], 0);
    char* none = DupString(nullptr);
    char* empty = DupString("");
    char* copy = DupString("1-3-2");
    EXPECT_EQ(AllocSum, before + 64 + 1 + 1 + 6);
    EXPECT_STREQ(none, "");
    EXPECT_STREQ(empty, "");
    EXPECT_STREQ(copy, "1-3-2");
    DiagLevel = 6;
    HeapDelete(block);
    HeapDelete(nullptr);
    EXPECT_EQ(Out(), " delete(64) sum=" + std::to_string(before + 8) + "\r\n");
    HeapDelete(none);
    HeapDelete(empty);
    HeapDelete(copy);
    EXPECT_EQ(AllocSum, before);
}

TEST(MemOpsTest, FillMoveAndWordCopy) {
    BYTE buf[10];
    for (BYTE& b : buf) b = 0xEE;
    EXPECT_EQ(MemFill(buf + 1, 0x1AB, 0), buf + 1);
    MemFill(buf + 1, 0x1AB, 7);  // unaligned start, words then bytes
    EXPECT_EQ(std::string(buf, buf + 10), "\xEE" + std::string(7, '\xAB') + "\xEE\xEE");

    char up[] = "abcdefghij";
    MemMove(up + 2, up, 6);
    EXPECT_STREQ(up, "ababcdefij");
    char down[] = "abcdefghij";
    MemMove(down, down + 3, 5);
    EXPECT_STREQ(down, "defghfghij");

    char dst[12] = "..........";
    MemCopyDwords(dst, "0123456789", 10);
    EXPECT_STREQ(dst, "01234567..");

    int v = -2;
    EXPECT_EQ(ClampInt(v, 0, 3), 0);
    EXPECT_EQ(ClampInt(v, 5, 1), 1);  // crossed bounds: the upper one wins
}
