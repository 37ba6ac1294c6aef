// Media descriptions as the verifier reads them, from files and from memory.
#include "XmlTestSupport.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <map>
#include <vector>

using namespace xmltest;

namespace {

std::wstring DataFile(const char* pszName)
{
    return kvtest::Widen(std::string(KORVANE_TEST_DATA_DIR) + "/xml/" + pszName);
}

// An entry's fields the way the verifier reads them: every child in turn,
// by index, its name and its text.
std::map<std::wstring, std::wstring> Fields(IZRXmlNode* pEntry)
{
    std::map<std::wstring, std::wstring> mapFields;
    const int nCount = pEntry->GetChildCount();
    for (int i = 0; i < nCount; ++i) {
        NodePtr pChild = ChildAt(pEntry, i);
        if (!pChild)
            break;
        mapFields.emplace(Name(pChild.get()), Text(pChild.get()));
    }
    return mapFields;
}

// Built on first use: kNull belongs to another file's static initialisation.
const std::vector<std::map<std::wstring, std::wstring>>& Media3()
{
    static const std::vector<std::map<std::wstring, std::wstring>> s_entries = {
        {{L"FullPath", L"C:\\Source\\Photos\\\u00E9t\u00E9 2026.jpg"},
         {L"Path", L"Photos\\"},
         {L"TargetPath", L"\\Photos\\\u00E9t\u00E9 2026.jpg"},
         {L"Name", L"\u00E9t\u00E9 2026.jpg"},
         {L"Attribute", L"32"},
         {L"Exclusion", L"0"},
         {L"WriteTime", L"2026-07-14 09:30:00"},
         {L"FileSize", L"2345678"}},
        {{L"FullPath", L"C:\\Source\\R&D\\plan.doc"},
         {L"Path", L"R&D\\"},
         {L"TargetPath", L"\\R&D\\plan.doc"},
         {L"Name", L"plan.doc"},
         {L"Attribute", L"33"},
         {L"Exclusion", L"1"},
         {L"WriteTime", L"2026-01-02 03:04:05"},
         {L"FileSize", L"5000000000"}},
        {{L"FullPath", L"C:\\Source\\Music"},
         {L"Path", kNull}, // <Path/>: no text
         {L"TargetPath", L"\\Music"},
         {L"Name", L"Music"},
         {L"Attribute", L"16"},
         {L"Exclusion", L"0"},
         {L"WriteTime", L"2025-12-31 23:59:59"},
         {L"FileSize", L"0"}},
        {{L"FullPath", L"C:\\Source\\readme.txt"},
         {L"TargetPath", L"\\readme.txt"},
         {L"Name", L"readme.txt"}},
    };
    return s_entries;
}

void CheckMedia3(IZRXml* pDoc)
{
    NodePtr pInfo = NodeAt(pDoc, L"/Factory/Media/Info");
    ASSERT_TRUE(pInfo);
    NodePtr pCount = ChildNamed(pInfo.get(), L"Media_NumberFiles");
    NodePtr pSize = ChildNamed(pInfo.get(), L"Media_Size");
    ASSERT_TRUE(pCount && pSize);
    EXPECT_EQ(pCount->GetIntValue(), 4);
    EXPECT_EQ(pSize->GetInt64Value(), 1234567890123LL);
    for (int i = 1; i <= 4; ++i) {
        NodePtr pEntry = NodeAt(pDoc, L"/Factory/FILE[" + std::to_wstring(i) + L"]");
        ASSERT_TRUE(pEntry) << i;
        EXPECT_EQ(Fields(pEntry.get()), Media3()[static_cast<size_t>(i - 1)]) << "entry " << i;
    }
    EXPECT_FALSE(NodeAt(pDoc, L"/Factory/FILE[5]"));
}

class Media3Files : public testing::TestWithParam<const char*> {};

TEST_P(Media3Files, LoadFromFile)
{
    DocPtr pDoc = NewDocument();
    ASSERT_HR(S_OK, pDoc->LoadFile(DataFile(GetParam()).c_str()));
    CheckMedia3(pDoc.get());
    // Loading again replaces the tree with an equal one.
    ASSERT_HR(S_OK, pDoc->LoadFile(DataFile(GetParam()).c_str()));
    CheckMedia3(pDoc.get());
}

INSTANTIATE_TEST_SUITE_P(Xml, Media3Files,
                         testing::Values("Media3.xml", "Media3-compact.xml", "Media3-utf16.xml",
                                         "Media3-latin1.xml"));

TEST(XmlMediaDescription, FilesThatDoNotLoad)
{
    DocPtr pDoc = NewDocument();
    const std::wstring kBad[] = {DataFile("Missing.xml"), DataFile("Truncated.xml"), DataFile(""),
                                 DataFile("NoFolder/Media3.xml")};
    for (const std::wstring& strPath : kBad) {
        ASSERT_HR(S_OK, pDoc->LoadFile(DataFile("Media3.xml").c_str()));
        EXPECT_LT(pDoc->LoadFile(strPath.c_str()), 0) << kvtest::Narrow(strPath);
        EXPECT_TRUE(IsEmpty(pDoc.get()));
    }
    EXPECT_HR(static_cast<HRESULT>(0x80070002UL), pDoc->LoadFile(DataFile("Missing.xml").c_str()));
    EXPECT_HR(XML_E_TRUNCATED, pDoc->LoadFile(DataFile("Truncated.xml").c_str()));
    EXPECT_HR(E_INVALIDARG, pDoc->LoadFile(nullptr));
}

// Every entry of a large description, pretty-printed and compact alike.
TEST(XmlMediaDescription, WalkAllEntries)
{
    constexpr int kFiles = 2000;
    for (bool bPretty : {true, false}) {
        SCOPED_TRACE(bPretty ? "pretty" : "compact");
        DocPtr pDoc = NewDocument();
        ASSERT_HR(S_OK, Load(pDoc.get(), MediaDescription(kFiles, bPretty)));
        NodePtr pCount = NodeAt(pDoc.get(), L"/Factory/Media/Info/Media_NumberFiles");
        ASSERT_TRUE(pCount);
        EXPECT_EQ(pCount->GetIntValue(), kFiles);
        int iEntry = 1;
        for (;; ++iEntry) {
            NodePtr pEntry = NodeAt(pDoc.get(), L"/Factory/FILE[" + std::to_wstring(iEntry) + L"]");
            if (!pEntry)
                break;
            const auto mapFields = Fields(pEntry.get());
            ASSERT_EQ(mapFields.size(), 8u);
            ASSERT_EQ(mapFields.at(L"Name"), ExpectedName(iEntry));
            ASSERT_EQ(mapFields.at(L"FullPath"), ExpectedFullPath(iEntry));
            ASSERT_EQ(mapFields.at(L"FileSize"), std::to_wstring(ExpectedSize(iEntry)));
            ASSERT_EQ(mapFields.at(L"Attribute"), iEntry % 7 == 0 ? L"16" : L"32");
        }
        EXPECT_EQ(iEntry, kFiles + 1);
    }
}

} // namespace
