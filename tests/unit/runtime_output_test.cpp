// printf's line-end expansion and cut, the diagnostic channel, the heap
// accounting and the memory primitives.
#include <string>

#include "runtime_sim_fixture.h"

using namespace tarvel;

using OutputTest = SimTest;

TEST_F(OutputTest, PrintfExpandsBareLineFeedsOnly) {
    EXPECT_EQ(tarvel::printf("a\nb"), 4);
    EXPECT_EQ(tarvel::printf("c\r\nd"), 4);
    EXPECT_EQ(tarvel::printf("\n\n"), 4);
    EXPECT_EQ(tarvel::printf("%s=%i\n", "x", -3), 6);
    EXPECT_EQ(Out(), "a\r\nbc\r\nd\r\n\r\nx=-3\r\n");
}

TEST_F(OutputTest, EmptyPrintfWritesNothing) {
    EXPECT_EQ(tarvel::printf(""), 0);
    EXPECT_EQ(Out(), "");
}

TEST_F(OutputTest, ExpansionStopsBeforeWhatDoesNotFitAndNeverSplitsAPair) {
    char text[kPrintfBufferSize];
    std::string plain(1022, 'x');
    lstrcpyA(text, (plain + "\n").c_str());
    ExpandNewlines(text);
    EXPECT_EQ(std::string(text), plain);  // CR LF would need 1024 with its end

    std::string feeds(600, '\n');
    lstrcpyA(text, feeds.c_str());
    ExpandNewlines(text);
    std::string expanded(text);
    EXPECT_EQ(expanded.size(), 1022u);
    for (size_t i = 0; i < expanded.size(); i += 2) ASSERT_EQ(expanded.substr(i, 2), "\r\n");
}

TEST_F(OutputTest, OverlongPrintfWritesACutText) {
    std::string many(700, '\n');
    int written = tarvel::printf("%s", many.c_str());
    std::string out = Out();
    EXPECT_EQ(written, static_cast<int>(out.size()));
    EXPECT_LE(out.size(), 1023u);
    EXPECT_EQ(out.size() % 2, 0u);
    EXPECT_EQ(out.substr(out.size() - 2), "\r\n");
}

TEST_F(OutputTest, DiagnosticsObeyTheThreshold) {
    DbgPrintf(1, "one");
    DbgPrintf(4, "four");
    DbgPrintf(6, "six");
    EXPECT_EQ(Out(), "");
    DiagLevel = 6;
    DbgPrintf(4, "UDI_%i", 5);
    DbgPrintf(7, "seven");
    DiagLevel = -1;
    DbgPrintf(0, "zero");
    EXPECT_EQ(Out(), " UDI_5\r\n");
}

TEST_F(OutputTest, LongDiagnosticIsCutTo1000Characters) {
    DiagLevel = 1;
    std::string text(1000, 'a');
    text += std::string(200, 'b');
    DbgPrintf(1, "%s", text.c_str());
    EXPECT_EQ(Out(), " " + std::string(1000, 'a') + "\r\n");
}

TEST_F(OutputTest, HeapBlocksAreZeroedAndAccounted) {
    int before = AllocSum;
    BYTE* block = static_cast<BYTE*>(HeapNew(64));
    EXPECT_EQ(AllocSum, before + 64);
    for (int i = 0; i < 64; i++) ASSERT_EQ(block[i], 0);
    HeapDelete(block);
    EXPECT_EQ(AllocSum, before);
    HeapDelete(nullptr);
    EXPECT_EQ(AllocSum, before);
}

TEST_F(OutputTest, AllocationTraceAtLevelSix) {
    DiagLevel = 6;
    int before = AllocSum;
    void* block = HeapNew(3);
    HeapDelete(block);
    std::string expected = " new(3) sum=" + std::to_string(before + 3) + "\r\n" +
                           " delete(3) sum=" + std::to_string(before) + "\r\n";
    EXPECT_EQ(Out(), expected);
}

TEST_F(OutputTest, DupStringCopiesAndNeverReturnsNull) {
    int before = AllocSum;
    char* none = DupString(nullptr);
    char* empty = DupString("");
    EXPECT_EQ(AllocSum, before + 2);
    EXPECT_STREQ(none, "");
    EXPECT_STREQ(empty, "");
    char* copy = DupString("1-3-2");
    EXPECT_STREQ(copy, "1-3-2");
    EXPECT_EQ(AllocSum, before + 2 + 6);
    HeapDelete(none);
    HeapDelete(empty);
    HeapDelete(copy);
    EXPECT_EQ(AllocSum, before);
}

TEST(ClampIntTest, LowerBoundFirstThenUpper) {
    int v = 5;
    EXPECT_EQ(ClampInt(v, 0, 3), 3);
    v = -2;
    EXPECT_EQ(ClampInt(v, 0, 3), 0);
    v = 2;
    EXPECT_EQ(ClampInt(v, 0, 3), 2);
    v = 0;
    EXPECT_EQ(ClampInt(v, 5, 1), 1);  // crossed bounds: the upper one wins
    int& same = ClampInt(v, 0, 3);
    EXPECT_EQ(&same, &v);
}

TEST(MemOpsTest, FillWritesExactlyCountBytes) {
    BYTE buf[16];
    for (BYTE& b : buf) b = 0xEE;
    EXPECT_EQ(MemFill(buf + 1, 0x1AB, 0), buf + 1);
    EXPECT_EQ(buf[1], 0xEE);
    MemFill(buf + 1, 0x1AB, 7);  // unaligned start, words then bytes
    EXPECT_EQ(buf[0], 0xEE);
    for (int i = 1; i <= 7; i++) EXPECT_EQ(buf[i], 0xAB) << i;
    EXPECT_EQ(buf[8], 0xEE);
}

TEST(MemOpsTest, MoveHandlesOverlapBothWays) {
    char up[] = "abcdefghij";
    MemMove(up + 2, up, 6);  // destination above the source
    EXPECT_STREQ(up, "ababcdefij");
    char down[] = "abcdefghij";
    MemMove(down, down + 3, 5);
    EXPECT_STREQ(down, "defghfghij");
    char same[] = "abc";
    EXPECT_EQ(MemMove(same, same + 1, 0), same);
    EXPECT_STREQ(same, "abc");
}

TEST(MemOpsTest, CopyDwordsDropsTheOddTail) {
    char dst[12] = "..........";
    MemCopyDwords(dst, "0123456789", 10);
    EXPECT_STREQ(dst, "01234567..");
}
