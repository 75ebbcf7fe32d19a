// Error and status names, and the reuse of their rotating buffers.
#include <string>

#include "runtime_sim_fixture.h"
#include "sysinfo/ErrorNames.h"

using namespace tarvel;

TEST(ErrorNamesTest, TableNamesAndNumbers) {
    EXPECT_STREQ(GetErrorName(0), "ok");
    EXPECT_STREQ(GetErrorName(31), "ERROR_GEN_FAILURE");
    EXPECT_STREQ(GetErrorName(1460), "TIMEOUT");
    EXPECT_STREQ(GetErrorName(4), "4");
    EXPECT_STREQ(GetErrorName(0x0FFFFFFF), "268435455");
    EXPECT_STREQ(GetErrorName(0x10000000), "0x10000000");
    EXPECT_STREQ(GetErrorName(0xFFFFFFFF), "0xFFFFFFFF");
}

TEST(ErrorNamesTest, TenNumericBuffersInRotation) {
    const char* first = GetErrorName(1000);
    for (DWORD code = 1001; code < 1009; code++) GetErrorName(code);
    EXPECT_STREQ(GetErrorName(2), "FILE_NOT_FOUND");  // no buffer used
    const char* tenth = GetErrorName(1009);
    EXPECT_STREQ(first, "1000");
    EXPECT_STREQ(tenth, "1009");
    const char* eleventh = GetErrorName(1010);
    EXPECT_EQ(eleventh, first);
    EXPECT_STREQ(first, "1010");
}

TEST(ErrorNamesTest, ConfigManagerNames) {
    EXPECT_STREQ(GetCrName(0), "CR_SUCCESS");
    EXPECT_STREQ(GetCrName(0x1A), "CR_BUFFER_SMALL");
    EXPECT_STREQ(GetCrName(0x25), "CR_NO_SUCH_VALUE");
    EXPECT_STREQ(GetCrName(0x3B), "CR_INVALID_STRUCTURE_SIZE");
    const char* a = GetCrName(0x3C);
    EXPECT_STREQ(a, "CR_0x3C");
    const char* b = GetCrName(0xFFFFFFFF);
    EXPECT_STREQ(b, "CR_0xFFFFFFFF");
    EXPECT_STREQ(a, "CR_0xFFFFFFFF");  // one shared fallback buffer
}

class ResultTextTest : public SimTest {
protected:
    void SetUp() override {
        SimTest::SetUp();
        InitializeCriticalSection(&ResultTextLock);
    }
    void TearDown() override {
        DeleteCriticalSection(&ResultTextLock);
        SimTest::TearDown();
    }
};

TEST_F(ResultTextTest, SuccessShowsTheValueFailureTheLastError) {
    EXPECT_STREQ(GetResultText(1), "res=1");
    EXPECT_STREQ(GetResultText(-1), "res=-1");
    SetLastError(50);
    EXPECT_STREQ(GetResultText(0), "err=NOT_SUPPORTED");
    EXPECT_EQ(GetLastError(), 50u);
    SetLastError(0);
    EXPECT_STREQ(GetResultText(0), "err=ok");
    SetLastError(1167);
    EXPECT_STREQ(GetResultText(0), "err=1167");
    EXPECT_EQ(GetLastError(), 1167u);
}

TEST_F(ResultTextTest, FourBuffersInRotation) {
    const char* first = GetResultText(1);
    GetResultText(2);
    GetResultText(3);
    const char* fourth = GetResultText(4);
    EXPECT_STREQ(first, "res=1");
    EXPECT_STREQ(fourth, "res=4");
    const char* fifth = GetResultText(5);
    EXPECT_EQ(fifth, first);
    EXPECT_STREQ(first, "res=5");
}
