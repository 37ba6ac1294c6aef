// Numbers read from an element's text.
#include "XmlTestSupport.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>

using namespace xmltest;

namespace {

struct NumberCase {
    const char* pszText; // the element's content, markup allowed
    int iValue;
    long long llValue;
};

class Numbers : public testing::TestWithParam<NumberCase> {};

TEST_P(Numbers, ReadAsIntAndInt64)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), std::string("<n>") + GetParam().pszText + "</n>"));
    NodePtr pNode = NodeAt(pDoc.get(), L"/n");
    ASSERT_TRUE(pNode);
    EXPECT_EQ(pNode->GetIntValue(), GetParam().iValue);
    EXPECT_EQ(pNode->GetInt64Value(), GetParam().llValue);
}

INSTANTIATE_TEST_SUITE_P(
    Xml, Numbers,
    testing::Values(
        NumberCase{"", 0, 0}, NumberCase{"0", 0, 0}, NumberCase{"16", 16, 16},
        NumberCase{"  \t\n 16", 16, 16}, NumberCase{"16abc", 16, 16}, NumberCase{"16 17", 16, 16},
        NumberCase{"0x10", 0, 0}, NumberCase{"abc", 0, 0}, NumberCase{"+", 0, 0}, NumberCase{"-", 0, 0},
        NumberCase{"- 5", 0, 0}, NumberCase{"+-5", 0, 0}, NumberCase{"+42", 42, 42}, NumberCase{"-1", -1, -1},
        NumberCase{"007", 7, 7}, NumberCase{"1.5", 1, 1}, NumberCase{"2147483647", INT_MAX, 2147483647LL},
        NumberCase{"2147483648", INT_MAX, 2147483648LL}, NumberCase{"4294967295", INT_MAX, 4294967295LL},
        NumberCase{"-2147483648", INT_MIN, -2147483648LL}, NumberCase{"-2147483649", INT_MIN, -2147483649LL},
        NumberCase{"9223372036854775807", INT_MAX, INT64_MAX},
        NumberCase{"9223372036854775808", INT_MAX, INT64_MAX},
        NumberCase{"-9223372036854775808", INT_MIN, INT64_MIN},
        NumberCase{"-9223372036854775809", INT_MIN, INT64_MIN},
        NumberCase{"99999999999999999999999999999", INT_MAX, INT64_MAX},
        NumberCase{"-99999999999999999999999999999", INT_MIN, INT64_MIN}, NumberCase{"1<b>2</b>3", 13, 13},
        NumberCase{"<![CDATA[ 5]]>0", 50, 50}, NumberCase{"&#x20;&#54;", 6, 6}, NumberCase{"<b>7</b>", 0, 0},
        NumberCase{"5000000000", INT_MAX, 5000000000LL}));

TEST(XmlValues, NameOfEveryNode)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), "<Factory><Media_Size/><ns:x.y-z/></Factory>"));
    NodePtr pRoot = NodeAt(pDoc.get(), L"/Factory");
    ASSERT_TRUE(pRoot);
    EXPECT_EQ(Name(pRoot.get()), L"Factory");
    EXPECT_EQ(Name(ChildAt(pRoot.get(), 0).get()), L"Media_Size");
    EXPECT_EQ(Name(ChildAt(pRoot.get(), 1).get()), L"ns:x.y-z");
}

} // namespace
