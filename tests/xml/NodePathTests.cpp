// Node paths, and the child lookups of a node.
#include "XmlTestSupport.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

using namespace xmltest;

namespace {

// nFiles FILE entries among other children of the root, so that the n-th
// FILE is not the n-th child; each FILE's Name is its number.
std::string Interleaved(int nFiles)
{
    std::string str = "<Factory><Media><Info><Media_NumberFiles>7</Media_NumberFiles></Info></Media>";
    for (int i = 1; i <= nFiles; ++i) {
        if (i % 3 == 1)
            str += "<Other><Name>other</Name></Other>";
        str += "<FILE><Name>" + std::to_string(i) + "</Name><Name>second</Name></FILE>";
    }
    return str + "<Other/></Factory>";
}

struct PathCase {
    std::wstring strPath;
    HRESULT hr;
    std::wstring strName; // text of the node's first Name child, or its own text
};

void CheckPaths(int nFiles)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), Interleaved(nFiles)));
    const std::wstring strLast = std::to_wstring(nFiles);
    const std::wstring strMiddle = std::to_wstring(nFiles / 2 + 1);
    const PathCase kCases[] = {
        {L"/Factory/FILE[1]", S_OK, L"1"},
        {L"/Factory/FILE", S_OK, L"1"},
        {L"/Factory/FILE[2]", S_OK, L"2"},
        {L"/Factory/FILE[" + strMiddle + L"]", S_OK, strMiddle},
        {L"/Factory/FILE[" + strLast + L"]", S_OK, strLast},
        {L"/Factory[1]/FILE[" + strLast + L"]", S_OK, strLast},
        {L"/Factory/FILE[" + std::to_wstring(nFiles + 1) + L"]", XML_E_NOTFOUND, L""},
        {L"/Factory/FILE[4294967295]", XML_E_NOTFOUND, L""},
        {L"/Factory/FILE[2]/Name", S_OK, L""},
        {L"/Factory/FILE[2]/Name[2]", S_OK, L""},
        {L"/Factory/FILE[2]/Name[3]", XML_E_NOTFOUND, L""},
        {L"/Factory/Other[2]", S_OK, L"other"},
        {L"/Factory/Media/Info/Media_NumberFiles", S_OK, L""},
        {L"/Factory/Nothing", XML_E_NOTFOUND, L""},
        {L"/Factory/FILE/Nothing", XML_E_NOTFOUND, L""},
        {L"/Factory/Name", XML_E_NOTFOUND, L""}, // a grandchild, not a child
        {L"/Other/FILE[1]", XML_E_NOTFOUND, L""},
        {L"/factory/FILE[1]", XML_E_NOTFOUND, L""},
        {L"/Factory/file[1]", XML_E_NOTFOUND, L""},
        {L"/Factory[2]", XML_E_NOTFOUND, L""},
        {L"/Factory/FILE[0]", XML_E_BADPATH, L""},
        {L"/Factory/FILE[-1]", XML_E_BADPATH, L""},
        {L"/Factory/FILE[+1]", XML_E_BADPATH, L""},
        {L"/Factory/FILE[ 1]", XML_E_BADPATH, L""},
        {L"/Factory/FILE[x]", XML_E_BADPATH, L""},
        {L"/Factory/FILE[]", XML_E_BADPATH, L""},
        {L"/Factory/FILE[1", XML_E_BADPATH, L""},
        {L"/Factory/FILE[1]x", XML_E_BADPATH, L""},
        {L"/Factory/FILE[1][2]", XML_E_BADPATH, L""},
        {L"/Factory/FILE]", XML_E_BADPATH, L""},
        {L"/Factory/FILE[99999999999]", XML_E_BADPATH, L""},
        {L"Factory/FILE[1]", XML_E_BADPATH, L""},
        {L"", XML_E_BADPATH, L""},
        {L"/", XML_E_BADPATH, L""},
        {L"/Factory/", XML_E_BADPATH, L""},
        {L"//FILE", XML_E_BADPATH, L""},
        {L"/Factory//FILE", XML_E_BADPATH, L""},
    };
    for (const PathCase& c : kCases) {
        SCOPED_TRACE(kvtest::Narrow(c.strPath));
        HRESULT hr = S_OK;
        NodePtr pNode = NodeAt(pDoc.get(), c.strPath, &hr);
        EXPECT_HR(c.hr, hr);
        if (!pNode || c.strName.empty())
            continue;
        NodePtr pName = ChildNamed(pNode.get(), L"Name");
        ASSERT_TRUE(pName);
        EXPECT_EQ(Text(pName.get()), c.strName);
    }
    EXPECT_EQ(TextAt(pDoc.get(), L"/Factory/FILE[2]/Name"), L"2");
    EXPECT_EQ(TextAt(pDoc.get(), L"/Factory/FILE[2]/Name[2]"), L"second");
    EXPECT_EQ(TextAt(pDoc.get(), L"/Factory/Media/Info/Media_NumberFiles"), L"7");
}

// Few children are scanned, many go through the index: both must agree.
TEST(XmlNodePath, FewEntries)
{
    CheckPaths(5);
}
TEST(XmlNodePath, ManyEntries)
{
    CheckPaths(500);
}

TEST(XmlNodePath, EveryEntryInTurn)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), Interleaved(300)));
    for (int i = 1; i <= 300; ++i)
        ASSERT_EQ(TextAt(pDoc.get(), L"/Factory/FILE[" + std::to_wstring(i) + L"]/Name"), std::to_wstring(i));
    EXPECT_FALSE(NodeAt(pDoc.get(), L"/Factory/FILE[301]"));
}

TEST(XmlNodePath, BadArguments)
{
    DocPtr pDoc = NewDocument();
    IZRXmlNode* pNode = reinterpret_cast<IZRXmlNode*>(sizeof(void*));
    EXPECT_HR(XML_E_NOTLOADED, pDoc->GetNode(L"/Factory", &pNode));
    EXPECT_EQ(pNode, nullptr);
    ASSERT_HR(S_OK, Load(pDoc.get(), "<Factory/>"));
    pNode = reinterpret_cast<IZRXmlNode*>(sizeof(void*));
    EXPECT_HR(E_INVALIDARG, pDoc->GetNode(nullptr, &pNode));
    EXPECT_EQ(pNode, nullptr);
    EXPECT_HR(E_INVALIDARG, pDoc->GetNode(L"/Factory", nullptr));
    EXPECT_HR(E_INVALIDARG, pDoc->LoadMemory(nullptr, 1));
    EXPECT_TRUE(IsEmpty(pDoc.get()));
    EXPECT_HR(XML_E_NOROOT, pDoc->LoadMemory(nullptr, 0));
}

TEST(XmlChildren, CountAndIndexSeeElementsOnly)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), "<a>t<!--c--><b>1</b>x<?p?><c><d/></c><![CDATA[z]]><b>2</b></a>"));
    NodePtr pRoot = NodeAt(pDoc.get(), L"/a");
    ASSERT_TRUE(pRoot);
    ASSERT_EQ(pRoot->GetChildCount(), 3);
    const wchar_t* const kNames[] = {L"b", L"c", L"b"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Name(ChildAt(pRoot.get(), i).get()), kNames[i]);
    EXPECT_EQ(Text(ChildAt(pRoot.get(), 2).get()), L"2");
    HRESULT hr = S_OK;
    EXPECT_FALSE(ChildAt(pRoot.get(), 3, &hr));
    EXPECT_HR(E_INVALIDARG, hr);
    EXPECT_FALSE(ChildAt(pRoot.get(), -1, &hr));
    EXPECT_HR(E_INVALIDARG, hr);
    EXPECT_HR(E_INVALIDARG, pRoot->GetChildAt(0, nullptr));

    NodePtr pLeaf = ChildAt(ChildAt(pRoot.get(), 1).get(), 0);
    ASSERT_TRUE(pLeaf);
    EXPECT_EQ(Name(pLeaf.get()), L"d");
    EXPECT_EQ(pLeaf->GetChildCount(), 0);
    EXPECT_FALSE(ChildAt(pLeaf.get(), 0));
}

TEST(XmlChildren, ChildByNameIsTheFirstOfExactlyThatName)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), "<a x='attr'><b>1</b><B>upper</B><c><d/></c><b>2</b></a>"));
    NodePtr pRoot = NodeAt(pDoc.get(), L"/a");
    ASSERT_TRUE(pRoot);
    EXPECT_EQ(Text(ChildNamed(pRoot.get(), L"b").get()), L"1");
    EXPECT_EQ(Text(ChildNamed(pRoot.get(), L"B").get()), L"upper");
    const wchar_t* const kMissing[] = {L"d", L"x", L"", L"bb", L"C"};
    for (const wchar_t* pszName : kMissing) {
        HRESULT hr = S_OK;
        EXPECT_FALSE(ChildNamed(pRoot.get(), pszName, &hr)) << kvtest::Narrow(pszName);
        EXPECT_LT(hr, 0);
    }
    HRESULT hr = S_OK;
    EXPECT_FALSE(ChildNamed(pRoot.get(), nullptr, &hr));
    EXPECT_HR(E_INVALIDARG, hr);
    EXPECT_HR(E_INVALIDARG, pRoot->GetChild(L"b", nullptr));
}

TEST(XmlChildren, ChildByNameAmongManyChildren)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), Interleaved(100)));
    NodePtr pRoot = NodeAt(pDoc.get(), L"/Factory");
    ASSERT_TRUE(pRoot);
    EXPECT_EQ(pRoot->GetChildCount(), 1 + 100 + 34 + 1);
    EXPECT_EQ(Text(ChildNamed(ChildNamed(pRoot.get(), L"FILE").get(), L"Name").get()), L"1");
    EXPECT_EQ(Name(ChildAt(pRoot.get(), pRoot->GetChildCount() - 1).get()), L"Other");
    EXPECT_FALSE(ChildNamed(pRoot.get(), L"Name"));
}

} // namespace

// A name with an unpaired surrogate is no name in the document: it must not
// reach the element whose name holds U+FFFD in its place.
TEST(XmlNodePath, UnpairedSurrogateNamesNothing)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, Load(pDoc.get(), "<R><X\xEF\xBF\xBD>t</X\xEF\xBF\xBD></R>"));
    std::wstring strOdd = L"X";
    strOdd += static_cast<wchar_t>(0xD800);
    HRESULT hr = S_OK;
    EXPECT_TRUE(NodeAt(pDoc.get(), L"/R/X\uFFFD", &hr));
    EXPECT_FALSE(NodeAt(pDoc.get(), L"/R/" + strOdd, &hr));
    EXPECT_HR(XML_E_BADPATH, hr);
    NodePtr pRoot = NodeAt(pDoc.get(), L"/R");
    ASSERT_TRUE(pRoot);
    EXPECT_FALSE(ChildNamed(pRoot.get(), strOdd.c_str(), &hr));
    EXPECT_HR(XML_E_NOTFOUND, hr);
}
