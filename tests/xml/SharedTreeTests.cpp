// Documents loaded from the same bytes while another still holds its tree
// share that tree; documents whose bytes differ in anything never do.
#include "XmlTestSupport.h"

#include <TestSupport.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace xmltest;

namespace {

TEST(XmlSharedTree, SameBytesGiveTheSameAnswersWhileTheFirstIsHeld)
{
    const std::string strDoc = MediaDescription(50, true);
    DocPtr pFirst = NewDocument();
    ASSERT_HR(S_OK, Load(pFirst.get(), strDoc));
    DocPtr pSecond = NewDocument();
    ASSERT_HR(S_OK, Load(pSecond.get(), strDoc));
    NodePtr pEntry = NodeAt(pSecond.get(), L"/Factory/FILE[50]");
    ASSERT_TRUE(pEntry);
    // Dropping the first, and loading it anew, leaves the second's nodes whole.
    pFirst.reset();
    DocPtr pThird = NewDocument();
    ASSERT_HR(S_OK, Load(pThird.get(), "<other>x</other>"));
    NodePtr pName = ChildNamed(pEntry.get(), L"Name");
    ASSERT_TRUE(pName);
    EXPECT_EQ(ExpectedName(50), Text(pName.get()));
    EXPECT_EQ(ExpectedFullPath(1), TextAt(pSecond.get(), L"/Factory/FILE[1]/FullPath"));
    EXPECT_EQ(L"x", TextAt(pThird.get(), L"/other"));
}

// One byte changed anywhere, in a document held while the other loads: each
// answers with its own text (block edges, the tail, the first and last byte).
TEST(XmlSharedTree, OneByteDifferentIsAnotherDocument)
{
    const std::string strBase = "<r>abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJ</r>";
    const std::wstring strBaseText = L"abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJ";
    DocPtr pBase = NewDocument();
    ASSERT_HR(S_OK, Load(pBase.get(), strBase));
    for (size_t i = 3; i < strBase.size() - 4; ++i) {
        SCOPED_TRACE(i);
        std::string strChanged = strBase;
        strChanged[i] = '_';
        DocPtr pChanged = NewDocument();
        ASSERT_HR(S_OK, Load(pChanged.get(), strChanged));
        std::wstring strExpected = strBaseText;
        strExpected[i - 3] = L'_';
        EXPECT_EQ(strExpected, TextAt(pChanged.get(), L"/r"));
        EXPECT_EQ(strBaseText, TextAt(pBase.get(), L"/r"));
    }
    // The root's name, its first and last bytes.
    for (const std::string& strChanged :
         {std::string("<s>abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJ</s>"),
          std::string(" <r>abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJ</r>"),
          std::string("<r>abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJ</r> ")}) {
        SCOPED_TRACE(strChanged);
        DocPtr pChanged = NewDocument();
        ASSERT_HR(S_OK, Load(pChanged.get(), strChanged));
        EXPECT_EQ(strChanged.find("<s>") != std::string::npos ? kNull : strBaseText,
                  TextAt(pChanged.get(), L"/r"));
    }
}

// Lengths that differ only by what pads the last block: "a" and "a\0..." must
// not meet (the second is not even XML), nor documents of every short length.
TEST(XmlSharedTree, ShortDocumentsOfEveryLength)
{
    std::vector<DocPtr> vecHeld;
    for (size_t cch = 0; cch < 40; ++cch) {
        SCOPED_TRACE(cch);
        const std::string strDoc = "<r>" + std::string(cch, 'q') + "</r>";
        vecHeld.push_back(NewDocument());
        ASSERT_HR(S_OK, Load(vecHeld.back().get(), strDoc));
    }
    for (size_t cch = 0; cch < 40; ++cch) {
        SCOPED_TRACE(cch);
        DocPtr pAgain = NewDocument();
        ASSERT_HR(S_OK, Load(pAgain.get(), "<r>" + std::string(cch, 'q') + "</r>"));
        // "<r></r>" has no text: null.
        EXPECT_EQ(cch == 0 ? kNull : std::wstring(cch, L'q'), Take(NodeAt(pAgain.get(), L"/r")->GetText()));
        EXPECT_EQ(cch == 0 ? kNull : std::wstring(cch, L'q'),
                  Take(NodeAt(vecHeld[cch].get(), L"/r")->GetText()));
    }
    DocPtr pPadded = NewDocument();
    EXPECT_FALSE(SUCCEEDED(Load(pPadded.get(), std::string("<r>a</r>\0", 9))));
    EXPECT_TRUE(IsEmpty(pPadded.get()));
}

// A file rewritten while the first load is still held is read anew.
TEST(XmlSharedTree, ChangedFileIsParsedAgain)
{
    kvtest::TestDrive drive{L'T'};
    drive.Write(L"Media1.xml", "<Factory><FILE><Name>old.txt</Name></FILE></Factory>");
    DocPtr pOld = NewDocument();
    ASSERT_HR(S_OK, pOld->LoadFile(drive.Win(L"Media1.xml").c_str()));
    DocPtr pSame = NewDocument();
    ASSERT_HR(S_OK, pSame->LoadFile(drive.Win(L"Media1.xml").c_str()));
    drive.Write(L"Media1.xml", "<Factory><FILE><Name>new.txt</Name></FILE></Factory>");
    DocPtr pNew = NewDocument();
    ASSERT_HR(S_OK, pNew->LoadFile(drive.Win(L"Media1.xml").c_str()));
    EXPECT_EQ(L"new.txt", TextAt(pNew.get(), L"/Factory/FILE/Name"));
    EXPECT_EQ(L"old.txt", TextAt(pOld.get(), L"/Factory/FILE/Name"));
    EXPECT_EQ(L"old.txt", TextAt(pSame.get(), L"/Factory/FILE/Name"));
    // The same document object reloading the changed file.
    ASSERT_HR(S_OK, pOld->LoadFile(drive.Win(L"Media1.xml").c_str()));
    EXPECT_EQ(L"new.txt", TextAt(pOld.get(), L"/Factory/FILE/Name"));
}

// More documents held at once than the trees remembered: each keeps its own.
TEST(XmlSharedTree, ManyHeldDocuments)
{
    std::vector<DocPtr> vecDocs;
    for (int i = 0; i < 12; ++i) {
        vecDocs.push_back(NewDocument());
        ASSERT_HR(S_OK, Load(vecDocs.back().get(), "<n>" + std::to_string(i % 6) + "</n>"));
    }
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(std::to_wstring(i % 6), TextAt(vecDocs[i].get(), L"/n")) << i;
}

} // namespace
