#include "console/command_line.h"

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const char* line;
    std::vector<std::string> tokens;
};

class SplitCommandLineTest : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, YieldsTokens)
{
    EXPECT_EQ(SplitCommandLine(GetParam().line), GetParam().tokens) << "line: [" << GetParam().line << "]";
}

INSTANTIATE_TEST_SUITE_P(
    Lines, SplitCommandLineTest,
    testing::Values(
        SplitCase{"", {}},
        SplitCase{"Support.GetState", {"Support.GetState"}},
        SplitCase{" Support.GetState", {"", "Support.GetState"}},
        SplitCase{"exit ", {"exit"}},
        SplitCase{"a  b", {"a", "", "b"}},
        SplitCase{"a b ", {"a", "b"}},
        SplitCase{"a b  ", {"a", "b", ""}},
        SplitCase{" ", {""}},
        SplitCase{"x \"b c\"", {"x", "b c"}},
        SplitCase{"x name=\"b c\"", {"x", "name=\"b c\""}},
        // Tabs never split.
        SplitCase{"a\tb c", {"a\tb", "c"}},
        // A lone quote makes every space before it "inside quotes".
        SplitCase{"a b \"c d", {"a b \"c", "d"}},
        // Two-byte quoted tokens are not stripped; three-byte ones are.
        SplitCase{"x \"\"", {"x", "\"\""}},
        SplitCase{"x \"a\"", {"x", "a"}},
        SplitCase{"x \"\"\"", {"x \"\"\""}},
        // Only the outer pair goes.
        SplitCase{"\"a \"b\" c\"", {"a \"b\" c"}},
        // UTF-8 bytes pass through untouched.
        SplitCase{"path=C:\\\xC3\xA9t\xC3\xA9 x", {"path=C:\\\xC3\xA9t\xC3\xA9", "x"}}));

}  // namespace
