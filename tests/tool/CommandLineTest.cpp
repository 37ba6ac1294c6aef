// The option parser: what it accepts and the one-line messages it refuses with.
#include "commands/CommandLine.h"
#include "output/UsageError.h"

#include <gtest/gtest.h>

using namespace kvtool;

namespace {

const std::vector<COptionDef> kOptions = {
    {L"drive", true, false}, {L"map", true, true}, {L"keep", false, false}, {L"events", true, false}};

std::string UsageMessage(const std::vector<std::wstring>& vecArgs)
{
    try {
        ParseArgs(vecArgs, kOptions);
    } catch (const CUsageError& e) {
        return e.what();
    }
    return "(accepted)";
}

} // namespace

TEST(ToolCommandLine, ValuesFlagsAndPositionals)
{
    CParsedArgs args =
        ParseArgs({L"--drive", L"E", L"a.txt", L"--keep", L"--map=E=/x", L"--map", L"F=/y", L"b"}, kOptions);
    ASSERT_NE(nullptr, args.Value(L"drive"));
    EXPECT_EQ(L"E", *args.Value(L"drive"));
    EXPECT_TRUE(args.Has(L"keep"));
    EXPECT_EQ((std::vector<std::wstring>{L"E=/x", L"F=/y"}), args.Values(L"map"));
    EXPECT_EQ((std::vector<std::wstring>{L"a.txt", L"b"}), args.Positionals());
    EXPECT_EQ(nullptr, args.Value(L"events"));
}

TEST(ToolCommandLine, DashAloneIsAValueAndDoubleDashEndsOptions)
{
    CParsedArgs args = ParseArgs({L"--events", L"-", L"--", L"--drive", L"-"}, kOptions);
    EXPECT_EQ(L"-", *args.Value(L"events"));
    EXPECT_FALSE(args.Has(L"drive"));
    EXPECT_EQ((std::vector<std::wstring>{L"--drive", L"-"}), args.Positionals());
}

TEST(ToolCommandLine, NegativeNumberIsAValue)
{
    CParsedArgs args = ParseArgs({L"--drive", L"-3"}, kOptions);
    EXPECT_EQ(L"-3", *args.Value(L"drive"));
}

TEST(ToolCommandLine, EmptyInlineValueIsKept)
{
    CParsedArgs args = ParseArgs({L"--drive="}, kOptions);
    ASSERT_NE(nullptr, args.Value(L"drive"));
    EXPECT_EQ(L"", *args.Value(L"drive"));
}

TEST(ToolCommandLine, RefusesWithOneLineMessages)
{
    struct {
        std::vector<std::wstring> vecArgs;
        const char* pszMessage;
    } cases[] = {
        {{L"--nope"}, "unknown option '--nope'"},
        {{L"-x"}, "unknown option '-x'"},
        {{L"--drive"}, "option --drive needs a value"},
        {{L"--drive", L"--keep"}, "option --drive needs a value"},
        {{L"--drive", L"E", L"--drive", L"F"}, "option --drive given more than once"},
        {{L"--keep=yes"}, "option --keep takes no value"},
        {{L"--nope=1"}, "unknown option '--nope'"},
    };
    for (const auto& c : cases) {
        std::string strMessage = UsageMessage(c.vecArgs);
        EXPECT_EQ(c.pszMessage, strMessage);
        EXPECT_EQ(std::string::npos, strMessage.find('\n'));
    }
}
