// The wsprintf conversions the program's formats use, and the size limit.
#include <gtest/gtest.h>

#include <string>

#include "platform/Platform.h"

namespace {

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char out[1100];
    int count = tarvel::wsprintfA(out, format, args...);
    EXPECT_EQ(count, (int)std::string(out).size());
    return out;
}

TEST(SimFormat, IntegersWithWidthZeroAndPrecision) {
    EXPECT_EQ(Format("%02u|%04i|%2u|%4u", 7u, 42, 123u, 5u), "07|0042|123|   5");
    EXPECT_EQ(Format("%i %d %u", -2147483647 - 1, -5, 4294967295u), "-2147483648 -5 4294967295");
    EXPECT_EQ(Format("%05i|%-5i|%-05i", -42, 42, 7), "-0042|42   |7    ");
    EXPECT_EQ(Format("%.3u|%6.3i", 5u, -5), "005|  -005");
}

TEST(SimFormat, HexadecimalDigits) {
    EXPECT_EQ(Format("%4.4X|%02X|%x|%X", 0x81u, 0xAu, 0xBEEFu, 0u), "0081|0A|beef|0");
    EXPECT_EQ(Format("%X", 0xFFFFFFFFu), "FFFFFFFF");
    EXPECT_EQ(Format("%p", (void*)0x1234ABCD), "000000001234ABCD");
}

TEST(SimFormat, StringsNarrowAndWide) {
    EXPECT_EQ(Format("[%8s][%-4s][%.2s]", "abc", "x", "hello"), "[     abc][x   ][he]");
    EXPECT_EQ(Format("%s", (const char*)nullptr), "(null)");
    EXPECT_EQ(Format("%c%c%%", 'o', 'k'), "ok%");
}

TEST(SimFormat, OutputStopsAt1023Characters) {
    std::string longText(2000, 'a');
    char out[1100];
    out[1023] = 'x';
    out[1024] = 'y';
    EXPECT_EQ(tarvel::wsprintfA(out, "%s", longText.c_str()), 1023);
    EXPECT_EQ(out[1023], '\0');
    EXPECT_EQ(out[1024], 'y');
    // The limit holds for padding and literal text as well.
    EXPECT_EQ(tarvel::wsprintfA(out, "%1500u", 1u), 1023);
    EXPECT_EQ(tarvel::wsprintfA(out, "%99999999999999s|", "x"), 1023);
    EXPECT_EQ(tarvel::wsprintfA(out, longText.c_str()), 1023);
    EXPECT_EQ(tarvel::wsprintfA(out, "%s", longText.substr(0, 1023).c_str()), 1023);
    EXPECT_EQ(tarvel::wsprintfA(out, "%s", longText.substr(0, 1022).c_str()), 1022);
}

}  // namespace
