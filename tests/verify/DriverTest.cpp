// Whole runs of VerifyBurning over real description files and real trees.
#include "FakeXml.h"
#include "Harness.h"
#include "LogCapture.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace kvtest {
namespace {

class DriverTest : public testing::Test {
  protected:
    TestDrive src{L'S'};
    TestDrive disc{L'T'};
    TestDrive media{L'U'}; // holds the description files
    TestKorvane k;
    Host host;

    // The same file in the source tree and on the disc, with its entry.
    Entry Both(const std::wstring& strDir, const std::wstring& strName, const std::string& bytes)
    {
        const std::wstring rel = strDir.empty() ? strName : strDir + L"\\" + strName;
        src.Write(rel, bytes);
        disc.Write(rel, bytes);
        Entry e;
        e.strFullPath = src.Win(rel);
        // "\\" for the root: an empty element has no text, and reading it is
        // logged as a failure.
        e.strTargetPath = disc.Below(strDir).empty() ? L"\\" : disc.Below(strDir);
        e.strName = strName;
        e.iSize = static_cast<long long>(bytes.size());
        return e;
    }
    std::wstring Describe(const std::vector<Entry>& entries, DWORD dwFiles, long long iSize, int iNumber = 3)
    {
        const std::wstring name = L"Media" + std::to_wstring(iNumber) + L".xml";
        media.Write(name, Description(entries, dwFiles, iSize));
        return media.Win(name);
    }
    HRESULT Run(const std::wstring& strXml, wchar_t wcDrive = L'T')
    {
        return k.VerifyBurning(wcDrive, strXml.c_str(), host.Callback(), host.User());
    }
};

TEST_F(DriverTest, NullPathIsAnInvalidArgumentAndStoresNothing)
{
    LogCapture log;
    EXPECT_HR(E_INVALIDARG, k.VerifyBurning(L'T', nullptr, host.Callback(), host.User()));
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(nullptr, k.m_lpCB);
    EXPECT_EQ(std::vector<std::wstring>{L"CKorvane::VerifyBurning(...) No XML File strXMLFilePath = NULL !"},
              log.Messages());
}

TEST_F(DriverTest, MissingDescriptionFails)
{
    LogCapture log;
    const std::wstring path = media.Win(L"Media9.xml");
    EXPECT_HR(E_FAIL, Run(path));
    EXPECT_NE(
        std::wstring::npos,
        log.Messages().back().find(L"CKorvane::VerifyBurning(...) Open XML rules file " + path + L" FAILED"));
#if KORVANE_REVISION >= 11
    EXPECT_TRUE(host.calls.empty());
#else
    EXPECT_EQ(std::vector<Call>{Cmd(CRCVERIF_BEGIN, 0)}, host.calls);
#endif
}

TEST_F(DriverTest, NoEntriesGivesStartAndEndReports)
{
    EXPECT_HR(S_OK, Run(Describe({}, 4, 3145728)));
#if KORVANE_REVISION >= 11
    EXPECT_EQ((std::vector<Call>{Cmd(CRCVERIF_BEGIN, 6), Cmd(CRCVERIF_END, 4)}), host.calls);
#else
    EXPECT_EQ((std::vector<Call>{Cmd(CRCVERIF_BEGIN, 4), Cmd(CRCVERIF_END, 4)}), host.calls);
#endif
    EXPECT_EQ(4u, k.m_dwFileCount);
}

#if KORVANE_REVISION >= 11
TEST_F(DriverTest, StartReportIsTwiceTheMediaSizeInWholeMiB)
{
    const std::pair<long long, DWORD> cases[] = {
        {3145728, 6}, {1048575, 1}, {524287, 0}, {0, 0}, {5000000000LL, 9536}};
    for (const auto& c : cases) {
        host.calls.clear();
        EXPECT_HR(S_OK, Run(Describe({}, 0, c.first)));
        ASSERT_FALSE(host.calls.empty());
        EXPECT_EQ(Cmd(CRCVERIF_BEGIN, c.second), host.calls[0]) << "size " << c.first;
    }
}
#endif

TEST_F(DriverTest, MatchingFilesAndFolderPass)
{
    const Entry a = Both(L"Apps\\Tool", L"setup.exe", "setup");
    const Entry b = Both(L"", L"readme.txt", "read me");
    Both(L"Data", L"one.bin", "1");
    Both(L"Data\\sub", L"two.bin", "22");
    Entry folder;
    folder.strFullPath = src.Win(L"Data\\*.*");
    folder.strTargetPath = disc.Below(L"Data");
    folder.dwAttribute = FILE_ATTRIBUTE_DIRECTORY;
    LogCapture log;
    EXPECT_HR(S_OK, Run(Describe({a, b, folder}, 4, 0)));
    EXPECT_EQ(Cmd(CRCVERIF_END, 4), host.calls.back());
    EXPECT_EQ(std::vector<std::wstring>{}, log.Texts(ZRLOG_ERROR));
    EXPECT_EQ(4u, log.Texts(ZRLOG_INFO).size()) << "one CRC OK per file";
}

TEST_F(DriverTest, TargetPathsAreBuiltFromTheDriveTargetPathAndName)
{
    Entry a = Both(L"Apps\\Tool", L"setup.exe", "x");
    Entry root = Both(L"", L"a.txt", "y");
    LogCapture log;
    EXPECT_HR(S_OK, Run(Describe({a, root}, 2, 0), L't')); // lower-case drive letter
    std::vector<std::wstring> targets;
    for (const std::wstring& s : log.Texts(ZRLOG_ENTER)) {
        const size_t i = s.find(L" / Target File = ");
        if (s.find(L"CheckFileCRC") != std::wstring::npos && i != std::wstring::npos)
            targets.push_back(s.substr(i + 17));
    }
    std::wstring t = disc.Win(L"Apps\\Tool\\setup.exe");
    t[0] = L't';
    std::wstring r = disc.Win(L"a.txt");
    r[0] = L't';
    EXPECT_EQ((std::vector<std::wstring>{t, r}), targets);
}

TEST_F(DriverTest, SecondOfThreeEntriesFailsAndTheThirdIsNeverQueried)
{
    FakeCounters counters;
    auto fake = std::make_unique<FakeXml>(counters);
    FakeNode info(counters, L"Info");
    info.Add(L"Media_NumberFiles", L"").iIntValue = 3;
    info.Add(L"Media_Size", L"").iInt64Value = 0;
    fake->pInfo = &info;
    std::vector<std::unique_ptr<FakeNode>> files;
    const Entry good = Both(L"", L"good.txt", "g");
    Entry bad = Both(L"", L"bad.txt", "abc");
    disc.Write(L"bad.txt", "abd");
    const Entry third = Both(L"", L"third.txt", "t");
    for (const Entry& e : {good, bad, third}) {
        files.push_back(std::make_unique<FakeNode>(counters, L"FILE"));
        files.back()->Add(L"FullPath", e.strFullPath);
        files.back()->Add(L"TargetPath", e.strTargetPath);
        files.back()->Add(L"Name", e.strName);
        files.back()->Add(L"Attribute", L"32");
        fake->files.push_back(files.back().get());
    }
    IZRXml* pReal = k.m_pXml;
    k.m_pXml = fake.get();
    LogCapture log;
    const HRESULT hr = k.VerifyBurning(L'T', L"U:\\Media3.xml", nullptr, nullptr);
    k.m_pXml = pReal;
    EXPECT_HR(E_FAIL, hr);
    // The totals read Info once each (file count; media size in 1.1), then
    // the walk asks for the first two entries only.
    std::vector<std::wstring> expected(KORVANE_REVISION >= 11 ? 2 : 1, L"/Factory/Media/Info");
    expected.push_back(L"/Factory/FILE[1]");
    expected.push_back(L"/Factory/FILE[2]");
    EXPECT_EQ(expected, fake->queries);
    EXPECT_EQ(L"CKorvane::VerifyBurning CheckFileCRC FAILED FullPath = " + bad.strFullPath,
              log.Messages().back());
    EXPECT_EQ(counters.iNodesOut, counters.iNodesReleased)
        << "each entry node is released, the failing one too";
#if KORVANE_REVISION >= 11
    EXPECT_EQ(3, fake->iLoads);
#else
    EXPECT_EQ(2, fake->iLoads);
#endif
}

TEST_F(DriverTest, SkipAnswersLetTheRunEndWithSuccess)
{
    Entry a = Both(L"", L"a.txt", "abc");
    disc.Write(L"a.txt", "abcd"); // size (1.1) or checksum (1.0) differs
    Entry b = Both(L"", L"b.txt", "abc");
    disc.Write(L"b.txt", "abd"); // checksum differs
    Entry c = Both(L"", L"c.txt", "c");
    host.AnswerErrors(0);
    EXPECT_HR(S_OK, Run(Describe({a, b, c}, 3, 9)));
    EXPECT_EQ(2u, host.Only(CRCVERIF_FILEERROR).size());
    EXPECT_EQ(Cmd(CRCVERIF_END, 3), host.calls.back());
}

TEST_F(DriverTest, FailAnswerEndsTheRunWithoutEndReport)
{
    Entry a = Both(L"", L"a.txt", "abc");
    disc.Write(L"a.txt", "abd");
    host.AnswerErrors(1);
    EXPECT_HR(E_FAIL, Run(Describe({a}, 1, 3)));
    EXPECT_TRUE(host.Only(CRCVERIF_END).empty());
}

#if KORVANE_REVISION >= 11
TEST_F(DriverTest, AbortAnswerEndsTheRunWithAbort)
{
    Entry a = Both(L"", L"a.txt", "abc");
    disc.Write(L"a.txt", "abd");
    Entry b = Both(L"", L"b.txt", "b");
    host.AnswerErrors(2);
    EXPECT_HR(E_ABORT, Run(Describe({a, b}, 2, 6)));
    EXPECT_TRUE(host.Only(CRCVERIF_END).empty());
}

TEST_F(DriverTest, RunResetsTheCountersAndFlag)
{
    k.m_llBytesDone = 999999999;
    k.m_dwLastMiB = 77;
    k.m_bAbortVerif = TRUE;
    Entry a = Both(L"", L"a.txt", "abc");
    EXPECT_HR(S_OK, Run(Describe({a}, 1, 3)));
    EXPECT_EQ(6, k.m_llBytesDone) << "both files' bytes, counted from 0";
    EXPECT_EQ(0u, k.m_dwLastMiB);
    EXPECT_FALSE(k.m_bAbortVerif);
}
#endif

TEST_F(DriverTest, FolderEntryFailureNamesTheFileThatStoppedTheWalk)
{
    Both(L"Data", L"ok.txt", "ok");
    src.Write(L"Data\\bad.txt", "abc");
    disc.Write(L"Data\\bad.txt", "abd");
    Entry folder;
    folder.strFullPath = src.Win(L"Data\\*.*");
    folder.strTargetPath = disc.Below(L"Data");
    folder.dwAttribute = FILE_ATTRIBUTE_DIRECTORY;
    LogCapture log;
    EXPECT_HR(E_FAIL, k.VerifyBurning(L'T', Describe({folder}, 2, 0).c_str(), nullptr, nullptr));
    EXPECT_EQ(L"CKorvane::VerifyBurning CheckDirCRC FAILED pNode FullPath = " + src.Win(L"Data\\bad.txt"),
              log.Messages().back());
}

// The folder-and-number overload builds the description's name.
class DescriptionNameTest : public testing::Test {
  protected:
    FakeCounters counters;
    std::unique_ptr<FakeXml> fake = std::make_unique<FakeXml>(counters);
    TestKorvane k;
    IZRXml* pReal = nullptr;
    void SetUp() override
    {
        pReal = k.m_pXml;
        k.m_pXml = fake.get();
    }
    void TearDown() override { k.m_pXml = pReal; }
};

TEST_F(DescriptionNameTest, FolderWithOrWithoutBackslashAndNoFolder)
{
    EXPECT_HR(S_OK, k.VerifyBurning(L'E', 3, L"D:\\Media", nullptr, nullptr));
    EXPECT_HR(S_OK, k.VerifyBurning(L'E', 3, L"D:\\Media\\", nullptr, nullptr));
    EXPECT_HR(S_OK, k.VerifyBurning(L'E', 2, nullptr, nullptr, nullptr));
    ASSERT_FALSE(fake->loadedPaths.empty());
    for (size_t i = 0; i < fake->loadedPaths.size(); ++i) {
        const std::wstring expected =
            i < fake->loadedPaths.size() * 2 / 3 ? L"D:\\Media\\Media3.xml" : L"c:\\Temp\\Media2.xml";
        EXPECT_EQ(expected, fake->loadedPaths[i]) << i;
    }
}

// A document whose loading throws, standing for any exception in a run.
class ThrowingXml final : public IZRXml {
  public:
    HRESULT LoadFile(LPCWSTR) override { throw std::runtime_error("load"); }
    HRESULT LoadMemory(const void*, std::size_t) override { return E_NOTIMPL; }
    HRESULT GetNode(LPCWSTR, IZRXmlNode**) override { return E_FAIL; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
};

TEST(DriverExceptionTest, FolderAndNumberOverload)
{
    ThrowingXml xml;
    TestKorvane k;
    IZRXml* pReal = k.m_pXml;
    k.m_pXml = &xml;
#if KORVANE_REVISION >= 11
    EXPECT_HR(E_NOTIMPL, k.VerifyBurning(L'E', 1, L"D:\\Media", nullptr, nullptr));
#else
    EXPECT_THROW(k.VerifyBurning(L'E', 1, L"D:\\Media", nullptr, nullptr), std::runtime_error);
#endif
    EXPECT_THROW(k.VerifyBurning(L'E', L"D:\\Media\\Media1.xml", nullptr, nullptr), std::runtime_error);
    k.m_pXml = pReal;
}

TEST(DriverNoXmlTest, NoInterfaceFailsWithoutCallbackCalls)
{
    TestKorvane k;
    k.m_pXml->Release();
    k.m_pXml = nullptr;
    Host host;
    LogCapture log;
    EXPECT_HR(E_FAIL, k.VerifyBurning(L'E', L"D:\\Media\\Media1.xml", host.Callback(), host.User()));
    EXPECT_TRUE(host.calls.empty());
    EXPECT_EQ(std::vector<std::wstring>{L"CKorvane::VerifyBurning(...) No XML Interface"}, log.Messages());
    EXPECT_EQ(host.Callback(), k.m_lpCB) << "the callback is stored before the interface is checked";
}

// Only "no such node" ends the entries. Any other failure of the query, or
// a success without a node, fails the run with the entry named, and the end
// is not reported.
TEST_F(DriverTest, FailingNodeQueryIsNoEndOfTheEntries)
{
    struct Case {
        HRESULT hrQuery; // of the query for the second entry
        HRESULT hrRun;
    };
    const Case cases[] = {
        {ZRXML_E_NOTFOUND, S_OK}, {E_OUTOFMEMORY, E_FAIL},
        {E_FAIL, E_FAIL},         {static_cast<HRESULT>(0x80040210L), E_FAIL}, // the document was emptied
        {S_OK, E_FAIL},                                                        // "success", but no node
    };
    const Entry only = Both(L"", L"only.txt", "o");
    for (const Case& c : cases) {
        FakeCounters counters;
        FakeXml fake(counters);
        FakeNode info(counters, L"Info");
        info.Add(L"Media_NumberFiles", L"").iIntValue = 1;
        info.Add(L"Media_Size", L"").iInt64Value = 0;
        fake.pInfo = &info;
        FakeNode entry(counters, L"FILE");
        entry.Add(L"FullPath", only.strFullPath);
        entry.Add(L"TargetPath", only.strTargetPath);
        entry.Add(L"Name", only.strName);
        fake.files.push_back(&entry);
        fake.failedQueries[L"/Factory/FILE[2]"] = c.hrQuery;
        host.calls.clear();
        IZRXml* pReal = k.m_pXml;
        k.m_pXml = &fake;
        LogCapture log;
        const HRESULT hr = Run(L"U:\\Media3.xml");
        k.m_pXml = pReal;
        const std::string strCase = HrText(c.hrQuery);
        EXPECT_HR(c.hrRun, hr) << strCase;
        EXPECT_EQ((std::vector<std::wstring>{L"/Factory/FILE[1]", L"/Factory/FILE[2]"}),
                  std::vector<std::wstring>(fake.queries.end() - 2, fake.queries.end()))
            << strCase;
        EXPECT_EQ(c.hrRun == S_OK ? 1u : 0u, host.Only(CRCVERIF_END).size()) << strCase;
        std::vector<std::wstring> errors;
        if (c.hrRun != S_OK)
            errors.push_back(L"CKorvane::VerifyBurning(...) Get node /Factory/FILE[2] FAILED (" +
                             Widen(HrText(c.hrQuery)) + L")");
        EXPECT_EQ(errors, log.Texts(ZRLOG_ERROR)) << strCase;
        EXPECT_EQ(counters.iNodesOut, counters.iNodesReleased) << strCase;
    }
}

// A description whose path is MAX_PATH characters or more is read as the
// files are: through the extended-length form. Messages keep the path as given.
TEST_F(DriverTest, DescriptionOnALongPathIsRead)
{
    const Entry e = Both(L"", L"a.txt", "a");
    std::wstring strFolder = L"long-folder-name-0";
    while (media.Win(strFolder).size() < MAX_PATH + 20)
        strFolder += L"\\long-folder-name-" + std::to_wstring(strFolder.size());
    const std::wstring strRel = strFolder + L"\\Media1.xml";
    WriteBytes(LongNative(media.Native(strRel)), Description({e}, 1, 1));
    const std::wstring strPath = media.Win(strRel);
    ASSERT_GE(strPath.size(), static_cast<size_t>(MAX_PATH));
    LogCapture log;
    EXPECT_HR(S_OK, Run(strPath));
    EXPECT_EQ(1u, k.m_dwFileCount);
    EXPECT_EQ(1u, host.Only(CRCVERIF_END).size());
    const std::vector<std::wstring> enters = log.Texts(ZRLOG_ENTER);
    EXPECT_NE(enters.end(), std::find(enters.begin(), enters.end(),
                                      L"GetFileCount(LPCTSTR strXMLFilePath=" + strPath + L")"));
    EXPECT_TRUE(log.Texts(ZRLOG_ERROR).empty());
}

} // namespace
} // namespace kvtest
