// The splitter: separation by spaces only, quoting, quote removal and the
// argument limit.
#include <string>
#include <vector>

#include "runtime/CmdLine.h"
#include "runtime_sim_fixture.h"

using namespace tarvel;
using Args = std::vector<std::string>;

class CmdLineTest : public SimTest {
protected:
    Args Split(const std::string& line) {
        sim::SetCommandLine(line);
        char* args[kMaxArgs] = {};
        int count = -1;
        EXPECT_TRUE(SplitCommandLine(count, args));
        return Args(args, args + count);
    }
};

TEST_F(CmdLineTest, SpacesSeparateAndEndsAreTrimmed) {
    EXPECT_EQ(Split("tarvel  -na   1-3"), (Args{"tarvel", "-na", "1-3"}));
    EXPECT_EQ(Split(" \t tarvel -na\t-w:500 \t  "), (Args{"tarvel", "-na\t-w:500"}));
    EXPECT_EQ(Split(" \t  "), Args{});
}

TEST_F(CmdLineTest, QuotedTextStaysTogetherAndLosesItsQuotes) {
    EXPECT_EQ(Split("\"C:\\Program Files\\tarvel.exe\" \"USB\\VID_0781&PID_5581\\4C53\""),
              (Args{"C:\\Program Files\\tarvel.exe", "USB\\VID_0781&PID_5581\\4C53"}));
    EXPECT_EQ(Split("t -w:\"500\" \"\" \""), (Args{"t", "-w:500", "", ""}));
}

TEST_F(CmdLineTest, OnlyUnescapedQuotesAreRemoved) {
    EXPECT_EQ(Split("t a\"b c\"d a\"\"b"), (Args{"t", "ab cd", "ab"}));
    // An escaped quote stays with its backslash and still starts quoting.
    EXPECT_EQ(Split("t a\\\"b c d"), (Args{"t", "a\\\"b c d"}));
    EXPECT_EQ(Split("t a\\\"b\" c"), (Args{"t", "a\\\"b", "c"}));
}

TEST_F(CmdLineTest, AtMost32ArgumentsAreRecorded) {
    std::string line = "t";
    for (int i = 1; i < 40; i++) line += " a" + std::to_string(i);
    Args args = Split(line);
    ASSERT_EQ(args.size(), 32u);
    EXPECT_EQ(args[31], "a31");  // cut at its own separator
}
