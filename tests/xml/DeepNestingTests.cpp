// Nesting as deep as memory allows: neither loading nor destroying the tree
// may recurse.
#include "XmlTestSupport.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

using namespace xmltest;

namespace {

constexpr int kDepth = 1000000;

std::string Nested(int nDepth, const std::string& strInner, const std::string& strClose)
{
    std::string str;
    str.reserve(static_cast<size_t>(nDepth) * 7 + strInner.size());
    for (int i = 0; i < nDepth; ++i)
        str += "<a>";
    str += strInner;
    for (int i = 0; i < nDepth; ++i)
        str += strClose;
    return str;
}

TEST(XmlDeepNesting, MillionLevelsLoadAndOutliveTheDocument)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), Nested(kDepth, "x", "</a>")));
    NodePtr pNode = NodeAt(pDoc.get(), L"/a");
    ASSERT_TRUE(pNode);
    for (int i = 1; i < kDepth; ++i) {
        ASSERT_EQ(pNode->GetChildCount(), 1) << "depth " << i;
        pNode = ChildAt(pNode.get(), 0);
        ASSERT_TRUE(pNode);
    }
    EXPECT_EQ(pNode->GetChildCount(), 0);
    EXPECT_EQ(Text(pNode.get()), L"x");
    // The deepest node alone keeps the tree; releasing it frees a million levels.
    pDoc.reset();
    EXPECT_EQ(Text(pNode.get()), L"x");
    pNode.reset();
}

TEST(XmlDeepNesting, MillionUnclosedLevelsFail)
{
    DocPtr pDoc = NewDocument();
    EXPECT_HR(XML_E_TRUNCATED, Load(pDoc.get(), Nested(kDepth, "", "")));
    EXPECT_TRUE(IsEmpty(pDoc.get()));
    EXPECT_HR(XML_E_TAGMISMATCH, Load(pDoc.get(), Nested(kDepth, "<b></c>", "</a>")));
    EXPECT_TRUE(IsEmpty(pDoc.get()));
}

TEST(XmlDeepNesting, LongPath)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), Nested(5000, "deep", "</a>")));
    std::wstring strPath;
    for (int i = 0; i < 5000; ++i)
        strPath += L"/a";
    EXPECT_EQ(TextAt(pDoc.get(), strPath), L"deep");
    EXPECT_FALSE(NodeAt(pDoc.get(), strPath + L"/a"));
}

} // namespace
