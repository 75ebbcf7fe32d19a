// Error and status names, and the reuse of their rotating buffers.
#include "runtime_sim_fixture.h"
#include "sysinfo/ErrorNames.h"

using namespace tarvel;

TEST(ErrorNamesTest, NamesNumbersAndTheirRotation) {
    EXPECT_STREQ(GetErrorName(0), "ok");
    EXPECT_STREQ(GetErrorName(31), "ERROR_GEN_FAILURE");
    EXPECT_STREQ(GetErrorName(1460), "TIMEOUT");
    EXPECT_STREQ(GetErrorName(0xFFFFFFFF), "0xFFFFFFFF");
    const char* first = GetErrorName(0x0FFFFFFF);
    EXPECT_STREQ(first, "268435455");
    for (DWORD code = 1000; code < 1009; code++) GetErrorName(code);
    EXPECT_STREQ(GetErrorName(2), "FILE_NOT_FOUND");  // uses no buffer
    EXPECT_STREQ(first, "268435455");
    EXPECT_STREQ(GetErrorName(0x10000000), "0x10000000");
    EXPECT_STREQ(first, "0x10000000");  // the eleventh numeric name
}

TEST(ErrorNamesTest, ConfigManagerNames) {
    EXPECT_STREQ(GetCrName(0), "CR_SUCCESS");
    EXPECT_STREQ(GetCrName(0x25), "CR_NO_SUCH_VALUE");
    EXPECT_STREQ(GetCrName(0x3B), "CR_INVALID_STRUCTURE_SIZE");
    const char* a = GetCrName(0x3C);
    EXPECT_STREQ(a, "CR_0x3C");
    EXPECT_STREQ(GetCrName(0xFFFFFFFF), "CR_0xFFFFFFFF");
    EXPECT_STREQ(a, "CR_0xFFFFFFFF");
}

TEST_F(SimTest, ResultTextsKeepTheLastErrorAndRotate) {
    InitializeCriticalSection(&ResultTextLock);
    const char* first = GetResultText(-1);
    EXPECT_STREQ(first, "res=-1");
    SetLastError(50);
    EXPECT_STREQ(GetResultText(0), "err=NOT_SUPPORTED");
    EXPECT_EQ(GetLastError(), 50u);
    SetLastError(1167);
    EXPECT_STREQ(GetResultText(0), "err=1167");
    EXPECT_EQ(GetLastError(), 1167u);
    SetLastError(0);
    EXPECT_STREQ(GetResultText(0), "err=ok");
    EXPECT_STREQ(first, "res=-1");
    EXPECT_EQ(GetResultText(1), first);  // the fifth reuses the first
    EXPECT_STREQ(first, "res=1");
    DeleteCriticalSection(&ResultTextLock);
}
