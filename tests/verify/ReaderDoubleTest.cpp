// The reader over counting doubles of the XML interfaces: what it reads,
// what it logs, and that every node it obtains is released exactly once.
#include "FakeXml.h"
#include "Harness.h"
#include "LogCapture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include "kvwin32.h"
#endif

namespace kvtest {
namespace {

// Every BSTR the reader receives is freed: the Win32 layer counts the live
// ones (on Windows the sanitizer-free legs rely on the Linux proof).
long LiveBstrs()
{
#if defined(_WIN32)
    return 0;
#else
    return kvwin32::LiveBstrCount();
#endif
}

class ReaderDoubleTest : public testing::Test {
  protected:
    FakeCounters counters;
    FakeNode entry{counters, L"FILE"};
    TestKorvane k;
    LogCapture log;
    long lBstrsBefore = LiveBstrs();

    void TearDown() override
    {
        EXPECT_EQ(counters.iNodesOut, counters.iNodesReleased) << "every node handed out is released";
        EXPECT_EQ(0, counters.iOverReleased);
        EXPECT_EQ(lBstrsBefore, LiveBstrs()) << "every BSTR handed out is freed";
    }
};

TEST_F(ReaderDoubleTest, FirstMatchingChildWithTextWinsIgnoringCase)
{
    entry.Add(L"Path", L"\\p");
    entry.Add(L"NAME", std::nullopt); // matching, but no text: skipped
    entry.Add(L"name", L"first.txt");
    entry.Add(L"Name", L"second.txt");
    CZRString str;
    EXPECT_HR(S_OK, k.GetFileName(str, &entry));
    EXPECT_STREQ(L"first.txt", str);
    EXPECT_EQ(std::vector<std::wstring>{L"CKorvane::GetFileChild(...) GetText on node NAME FAILED"},
              log.Texts(ZRLOG_ERROR));
    // The search stops at the match: the fourth child is never obtained.
    EXPECT_EQ(3, counters.iNodesOut);
}

TEST_F(ReaderDoubleTest, TracesEntryAndExitOfAccessorAndLookup)
{
    entry.Add(L"FullPath", L"C:\\Data\\a.txt");
    CZRPathString str;
    EXPECT_HR(S_OK, k.GetFileFullPath(str, &entry));
    const std::vector<std::wstring> enters = log.Texts(ZRLOG_ENTER);
    ASSERT_EQ(2u, enters.size());
    EXPECT_EQ(L"CKorvane::GetFileFullPath(CZRPathString& strFullPath,IZRXmlNode *pNode)", enters[0]);
    EXPECT_EQ(L"CKorvane::GetFileChild(IZRXmlNode *pRuleNode,LPCTSTR strChildName=FullPath)", enters[1]);
    EXPECT_EQ(2u, log.Texts(ZRLOG_EXIT).size());
}

TEST_F(ReaderDoubleTest, MissingChildGivesEmptyTextOrZeroAndSucceeds)
{
    entry.Add(L"Other", L"x");
    CZRString str = L"old";
    CZRPathString path = L"old";
    DWORD dw = 77;
    __int64 iSize = 77;
    EXPECT_HR(S_OK, k.GetFileWriteTime(str, &entry));
    EXPECT_HR(S_OK, k.GetFileTargetPath(path, &entry));
    EXPECT_HR(S_OK, k.GetFileAttribute(dw, &entry));
    EXPECT_HR(S_OK, k.GetFileSize(iSize, &entry));
    EXPECT_STREQ(L"", str);
    EXPECT_STREQ(L"", path);
    EXPECT_EQ(0u, dw);
    EXPECT_EQ(0, iSize);
}

TEST_F(ReaderDoubleTest, GetChildAtFailureEmptiesTextsAndKeepsNumbers)
{
    entry.Add(L"Path", L"\\p");
    entry.Add(L"FullPath", L"C:\\x");
    entry.Add(L"Attribute", L"16");
    entry.Add(L"FileSize", L"5");
    entry.iFailChildAt = 1;
    CZRString str = L"old";
    CZRPathString path = L"old";
    DWORD dw = 77;
    __int64 iSize = 78;
    EXPECT_HR(E_FAIL, k.GetFileWriteTime(str, &entry));
    EXPECT_HR(E_FAIL, k.GetFileFullPath(path, &entry));
    EXPECT_HR(E_FAIL, k.GetFileAttribute(dw, &entry));
    EXPECT_HR(E_FAIL, k.GetFileSize(iSize, &entry));
    EXPECT_STREQ(L"", str);
    EXPECT_STREQ(L"", path);
    EXPECT_EQ(77u, dw);
    EXPECT_EQ(78, iSize);
    EXPECT_EQ(L"CKorvane::GetFileChild(...) GetChildAt 1 FAILED", log.Texts(ZRLOG_ERROR).at(0));
}

TEST_F(ReaderDoubleTest, GetNameFailureEndsTheSearchAndReleasesTheChild)
{
    entry.Add(L"Path", L"\\p");
    FakeNode& bad = entry.Add(L"Broken", L"x");
    bad.bFailName = true;
    entry.Add(L"Name", L"late.txt"); // would match, but the search has ended
    CZRString str;
    EXPECT_HR(E_FAIL, k.GetFileName(str, &entry));
    EXPECT_STREQ(L"", str);
    EXPECT_EQ(std::vector<std::wstring>{L"CKorvane::GetFileChild(...) GetName FAILED"},
              log.Texts(ZRLOG_ERROR));
    EXPECT_EQ(0, bad.iRefs);
}

TEST_F(ReaderDoubleTest, NullNodeEmptiesOutputAndKeepsNumber)
{
    CZRString str = L"old";
    DWORD dw = 5;
    EXPECT_HR(E_FAIL, k.GetFileChild(str, nullptr, L"Name"));
    EXPECT_STREQ(L"", str);
    EXPECT_HR(E_FAIL, k.GetFileExclusion(dw, nullptr));
    EXPECT_EQ(5u, dw);
    EXPECT_EQ(L"CKorvane::GetFileChild(IZRXmlNode *Node) ERROR pNode=NULL", log.Texts(ZRLOG_ERROR).at(0));
}

TEST_F(ReaderDoubleTest, NumbersUseTheDecimalConversion)
{
    entry.Add(L"attribute", L"  16 folder");
    entry.Add(L"Exclusion", L"-1");
    entry.Add(L"FILESIZE", L"9223372036854775808");
    DWORD dwAttr = 0, dwExcl = 0;
    __int64 iSize = 0;
    EXPECT_HR(S_OK, k.GetFileAttribute(dwAttr, &entry));
    EXPECT_HR(S_OK, k.GetFileExclusion(dwExcl, &entry));
    EXPECT_HR(S_OK, k.GetFileSize(iSize, &entry));
    EXPECT_EQ(16u, dwAttr);
    EXPECT_EQ(0xFFFFFFFFu, dwExcl);
    EXPECT_EQ(INT64_MAX, iSize);
}

// The totals under /Factory/Media/Info, each read after its own load.
class TotalsDoubleTest : public testing::Test {
  protected:
    FakeCounters counters;
    FakeNode info{counters, L"Info"};
    LogCapture log;

    void TearDown() override
    {
        EXPECT_EQ(counters.iNodesOut, counters.iNodesReleased);
        EXPECT_EQ(0, counters.iOverReleased);
    }
};

TEST_F(TotalsDoubleTest, FileCountLoadsAndReadsTheValueAsUnsigned)
{
    auto owner = std::make_unique<FakeXml>(counters);
    FakeXml* pXml = owner.get();
    info.Add(L"Media_NumberFiles", L"").iIntValue = -2;
    pXml->pInfo = &info;
    TestKorvane k;
    IZRXml* pReal = k.m_pXml;
    k.m_pXml = pXml;
    log.Clear(); // the constructor's own records
    EXPECT_EQ(0xFFFFFFFEu, k.GetFileCount(L"D:\\Media\\Media3.xml"));
    EXPECT_EQ(std::vector<std::wstring>{L"D:\\Media\\Media3.xml"}, pXml->loadedPaths);
    EXPECT_EQ(L"GetFileCount(LPCTSTR strXMLFilePath=D:\\Media\\Media3.xml)", log.Texts(ZRLOG_ENTER).at(0));
    k.m_pXml = pReal;
}

TEST_F(TotalsDoubleTest, EachFailureLogsItsMessageAndGivesZero)
{
    std::unique_ptr<FakeXml> pXml(new FakeXml(counters));
    TestKorvane k;
    IZRXml* pReal = k.m_pXml;
    k.m_pXml = pXml.get();

    EXPECT_EQ(0u, k.GetFileCount(nullptr));
    pXml->hrLoad = E_FAIL;
    EXPECT_EQ(0u, k.GetFileCount(L"x.xml"));
    pXml->hrLoad = S_OK;
    EXPECT_EQ(0u, k.GetFileCount(L"x.xml")); // no Info node
    pXml->pInfo = &info;
    EXPECT_EQ(0u, k.GetFileCount(L"x.xml")); // no Media_NumberFiles
    k.m_pXml = nullptr;
    EXPECT_EQ(0u, k.GetFileCount(L"x.xml"));
    k.m_pXml = pReal;

    EXPECT_EQ((std::vector<std::wstring>{
                  L"CKorvane::GetFileCount(...) No XML File strXMLFilePath = NULL !",
                  L"CKorvane::GetFileCount(...) Open XML Media file x.xml FAILED",
                  L"CKorvane::GetFileCount(...) Get Info node in XML media file x.xml FAILED",
                  L"CKorvane::GetFileCount(...) Get Media_NumberFiles FAILED",
                  L"CKorvane::GetFileCount(...) No XML Interface",
              }),
              log.Texts(ZRLOG_ERROR));
    EXPECT_EQ(3, pXml->iLoads);
}

#if KORVANE_REVISION >= 11
TEST_F(TotalsDoubleTest, MediaSizeExitsThroughThe64BitFormOnlyWithAValue)
{
    std::unique_ptr<FakeXml> pXml(new FakeXml(counters));
    info.Add(L"Media_Size", L"").iInt64Value = 5000000000LL;
    TestKorvane k;
    IZRXml* pReal = k.m_pXml;
    k.m_pXml = pXml.get();
    pXml->pInfo = &info;
    log.Clear();
    EXPECT_EQ(5000000000LL, k.GetMediaSize(L"m.xml"));
    pXml->pInfo = nullptr;
    EXPECT_EQ(0, k.GetMediaSize(L"m.xml"));
    k.m_pXml = pReal;
    const std::vector<std::wstring> exits = log.Texts(ZRLOG_EXIT);
    ASSERT_EQ(2u, exits.size());
    EXPECT_NE(std::wstring::npos, exits[0].find(L"5000000000"));
    EXPECT_NE(std::wstring::npos, exits[1].find(L"0x00000000"));
    EXPECT_EQ(L"CKorvane::GetMediaSize(...) Get Info node in XML media file m.xml FAILED",
              log.Texts(ZRLOG_ERROR).at(0));
}
#endif

} // namespace
} // namespace kvtest
