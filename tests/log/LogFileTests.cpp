// The records as the file holds them: fields, levels, indentation, EXIT
// texts, UTF-8, one line per record, appending, threads, standard error.
#include "LogCapture.h"
#include "TestSupport.h"
#include "ZRLog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <regex>
#include <thread>
#include <tuple>

namespace {

using kvtest::Narrow;

struct Line {
    std::string strLevel;
    size_t nIndent;
    std::string strText;
};

std::filesystem::path NativePath(const std::wstring& strPath)
{
#if defined(_WIN32)
    return std::filesystem::path(strPath);
#else
    return std::filesystem::path(Narrow(strPath));
#endif
}

// Sets TZ (null: removes it) and makes the C library read it again.
void SetTimeZone(const char* pszTz)
{
#if defined(_WIN32)
    _putenv_s("TZ", pszTz ? pszTz : "");
    _tzset();
#else
    pszTz ? setenv("TZ", pszTz, 1) : unsetenv("TZ");
    tzset();
#endif
}

// The clock the records take their time from: std::time may read a coarser
// one, which can still show the previous second after a record shows the next.
std::string LocalNow()
{
    const std::time_t t = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    char sz[32];
    std::strftime(sz, sizeof sz, "%Y-%m-%d %H:%M:%S", std::localtime(&t));
    return sz;
}

// Splits a log into records, checking that each is one well-formed line.
std::vector<Line> ParseLog(const std::string& strLog, const std::string& strFrom = "",
                           const std::string& strTo = "")
{
    static const std::regex re(
        "(\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2})\\.\\d{3}\t(ENTER|EXIT|ERROR|INFO)\t( *)(.*)");
    std::vector<Line> vec;
    size_t nStart = 0;
    for (size_t nEnd; (nEnd = strLog.find('\n', nStart)) != std::string::npos; nStart = nEnd + 1) {
        std::smatch m;
        const std::string strLine = strLog.substr(nStart, nEnd - nStart);
        if (!std::regex_match(strLine, m, re)) {
            ADD_FAILURE() << "malformed record: " << strLine;
            continue;
        }
        if (!strFrom.empty()) {
            EXPECT_TRUE(strFrom <= m[1].str() && m[1].str() <= strTo)
                << m[1] << " outside " << strFrom << ".." << strTo;
        }
        vec.push_back({m[2], static_cast<size_t>(m[3].length()), m[4]});
    }
    EXPECT_EQ(nStart, strLog.size()) << "log does not end with a line end";
    return vec;
}

class LogFile : public testing::Test {
  protected:
    void SetUp() override
    {
        m_pLog->SetSink(nullptr, nullptr);
        m_strPath = kvtest::Widen(m_dir.Path().string()) + L"/trace.log";
        ASSERT_TRUE(m_pLog->SetDestination(m_strPath.c_str()));
    }
    void TearDown() override { m_pLog->SetDestination(nullptr); }
    // Read while the file is still the destination: each record is there
    // as soon as the call that wrote it returned.
    std::string Bytes() const { return kvtest::ReadBytes(NativePath(m_strPath)); }
    std::vector<Line> Lines() const { return ParseLog(Bytes()); }

    CZRLog* m_pLog = CZRLog::GetInstance();
    kvtest::TempDir m_dir;
    std::wstring m_strPath;
};

TEST_F(LogFile, FieldsLevelsAndIndentationFollowNesting)
{
    const std::string strFrom = LocalNow();
    m_pLog->EnterFunction(L"CKorvane::VerifyBurning(TCHAR tchDrvLetter=%c, int iNumber=%i)", L'E', 3);
    m_pLog->AddInfo(L"CKorvane::VerifyBurning(...) %d files", 12);
    m_pLog->EnterFunction(L"CKorvane::GetMediaSize(%s)", L"D:\\Media\\Media3.xml");
    m_pLog->AddError(L"CKorvane::GetMediaSize(...) code %x size %lld", 0xBEEFu, 5368709120LL);
    m_pLog->ExitFunction(static_cast<__int64>(5368709120LL));
    m_pLog->ExitFunction(E_FAIL);
    m_pLog->AddInfo(L"after");
    const std::vector<Line> got = ParseLog(Bytes(), strFrom, LocalNow());
    const std::vector<std::tuple<std::string, size_t, std::string>> want = {
        {"ENTER", 0, "CKorvane::VerifyBurning(TCHAR tchDrvLetter=E, int iNumber=3)"},
        {"INFO", 2, "CKorvane::VerifyBurning(...) 12 files"},
        {"ENTER", 2, "CKorvane::GetMediaSize(D:\\Media\\Media3.xml)"},
        {"ERROR", 4, "CKorvane::GetMediaSize(...) code beef size 5368709120"},
        {"EXIT", 2, "CKorvane::GetMediaSize(D:\\Media\\Media3.xml) -> 5368709120"},
        {"EXIT", 0, "CKorvane::VerifyBurning(TCHAR tchDrvLetter=E, int iNumber=3) -> 0x80004005"},
        {"INFO", 0, "after"},
    };
    ASSERT_EQ(want.size(), got.size());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(want[i], std::make_tuple(got[i].strLevel, got[i].nIndent, got[i].strText))
            << "record " << i;
}

TEST_F(LogFile, TimeStampsAreLocalTime)
{
    const char* pszOld = std::getenv("TZ");
    const std::string strOld = pszOld ? pszOld : "";
    SetTimeZone("KVT-14"); // far from UTC: a UTC stamp falls outside the window
    const std::string strFrom = LocalNow();
    m_pLog->AddInfo(L"now");
    const std::string strTo = LocalNow();
    SetTimeZone(pszOld ? strOld.c_str() : nullptr);
    EXPECT_EQ(1u, ParseLog(Bytes(), strFrom, strTo).size());
}

TEST_F(LogFile, ExitTextsOfTheThreeForms)
{
    const std::vector<std::pair<std::function<void()>, std::string>> cases = {
        {[&] { m_pLog->ExitFunction(S_OK); }, "Op(50%) -> 0x00000000"},
        {[&] { m_pLog->ExitFunction(E_ABORT); }, "Op(50%) -> 0x80004004"},
        {[&] { m_pLog->ExitFunction(-1); }, "Op(50%) -> 0xFFFFFFFF"},
        {[&] { m_pLog->ExitFunction(INT_MAX); }, "Op(50%) -> 0x7FFFFFFF"},
        {[&] { m_pLog->ExitFunction(0xDEADBEEFu); }, "Op(50%) -> 0xDEADBEEF"},
        {[&] { m_pLog->ExitFunction(static_cast<__int64>(0)); }, "Op(50%) -> 0"},
        {[&] { m_pLog->ExitFunction(static_cast<__int64>(-1)); }, "Op(50%) -> -1"},
        {[&] { m_pLog->ExitFunction(static_cast<__int64>(LLONG_MIN)); }, "Op(50%) -> -9223372036854775808"},
        {[&] { m_pLog->ExitFunction(static_cast<__int64>(LLONG_MAX)); }, "Op(50%) -> 9223372036854775807"},
        {[&] { m_pLog->ExitFunction(L"Op(50%)"); }, "Op(50%)"},
    };
    for (const auto& c : cases) {
        // The entry text holds a "%": it must not be read as a format again.
        m_pLog->EnterFunction(L"Op(%d%%)", 50);
        c.first();
    }
    const std::vector<Line> got = Lines();
    ASSERT_EQ(cases.size() * 2, got.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ("EXIT", got[2 * i + 1].strLevel);
        EXPECT_EQ(cases[i].second, got[2 * i + 1].strText);
    }
}

TEST_F(LogFile, TextsAreUtf8AndStayOnOneLine)
{
    std::wstring strOdd = L"a";
    strOdd += static_cast<wchar_t>(0xD800); // an unpaired surrogate
    strOdd += L"b";
    m_pLog->AddInfo(L"%s", L"Gr\u00FC\u00DFe \u20AC \U0001F600");
    m_pLog->AddInfo(L"\u65E5 %s", strOdd.c_str());
    m_pLog->AddError(L"one\ntwo\r\nC:\\new\tend");
    const std::vector<Line> got = Lines();
    ASSERT_EQ(3u, got.size());
    EXPECT_EQ("Gr\xC3\xBC\xC3\x9F"
              "e \xE2\x82\xAC \xF0\x9F\x98\x80",
              got[0].strText);
    EXPECT_EQ("\xE6\x97\xA5 a\xEF\xBF\xBD"
              "b",
              got[1].strText);
    EXPECT_EQ("one\\ntwo\\r\\nC:\\new\tend", got[2].strText);
}

TEST_F(LogFile, AppendsToWhatTheFileHeld)
{
    m_pLog->SetDestination(nullptr);
    kvtest::WriteBytes(NativePath(m_strPath), "earlier\n");
    ASSERT_TRUE(m_pLog->SetDestination(m_strPath.c_str()));
    m_pLog->AddInfo(L"first");
    ASSERT_TRUE(m_pLog->SetDestination(m_strPath.c_str()));
    m_pLog->AddInfo(L"second");
    const std::string strLog = Bytes();
    ASSERT_EQ(0u, strLog.find("earlier\n"));
    const std::vector<Line> got = ParseLog(strLog.substr(8));
    ASSERT_EQ(2u, got.size());
    EXPECT_EQ("second", got[1].strText);
}

TEST_F(LogFile, AnUnopenableFileLeavesNoDestination)
{
    const std::wstring strBad = m_strPath + L".missing/x.log";
    EXPECT_FALSE(m_pLog->SetDestination(strBad.c_str()));
    EXPECT_FALSE(m_pLog->IsEnabled());
    EXPECT_FALSE(m_pLog->SetDestination(kvtest::Widen(m_dir.Path().string()).c_str())); // a folder
#if !defined(_WIN32)
    // No name here holds an unpaired surrogate; it must not open "x\uFFFD.log" instead.
    std::wstring strOdd = m_strPath + L".x";
    strOdd += static_cast<wchar_t>(0xDC00);
    EXPECT_FALSE(m_pLog->SetDestination(strOdd.c_str()));
    EXPECT_FALSE(std::filesystem::exists(kvtest::Narrow(strOdd)));
#endif
    m_pLog->AddInfo(L"lost");
    EXPECT_TRUE(m_pLog->SetDestination(nullptr));
    EXPECT_EQ("", Bytes());
}

TEST_F(LogFile, ThreadsNeverInterleaveAndKeepTheirOwnNesting)
{
    kvtest::LogCapture capture;            // the sink too runs under the lock
    const int kThreads = 8, kRounds = 200; // 5 records a round
    std::vector<std::thread> vecThreads;
    for (int t = 0; t < kThreads; ++t)
        vecThreads.emplace_back([this, t] {
            const std::wstring strDone = L"T" + std::to_wstring(t) + L" done";
            for (int i = 0; i < kRounds; ++i) {
                m_pLog->EnterFunction(L"T%d outer %d", t, i);
                m_pLog->EnterFunction(L"T%d inner %d", t, i);
                m_pLog->AddInfo(L"T%d info %d", t, i);
                m_pLog->ExitFunction(i);
                m_pLog->ExitFunction(strDone.c_str());
            }
        });
    for (std::thread& th : vecThreads)
        th.join();
    const std::vector<Line> got = Lines();
    ASSERT_EQ(static_cast<size_t>(kThreads * kRounds * 5), got.size());
    EXPECT_EQ(got.size(), capture.Records().size());
    std::vector<int> vecNext(kThreads, 0); // per thread: records seen
    for (const Line& line : got) {
        const int t = std::stoi(line.strText.substr(1));
        ASSERT_TRUE(t >= 0 && t < kThreads) << line.strText;
        const int iSeen = vecNext[t]++, i = iSeen / 5;
        const std::string strT = "T" + std::to_string(t), strI = std::to_string(i);
        char szHex[16];
        std::snprintf(szHex, sizeof szHex, "0x%08X", static_cast<unsigned>(i));
        const std::tuple<std::string, size_t, std::string> want[] = {
            {"ENTER", 0, strT + " outer " + strI}, {"ENTER", 2, strT + " inner " + strI},
            {"INFO", 4, strT + " info " + strI},   {"EXIT", 2, strT + " inner " + strI + " -> " + szHex},
            {"EXIT", 0, strT + " done"},
        };
        ASSERT_EQ(want[iSeen % 5], std::make_tuple(line.strLevel, line.nIndent, line.strText));
    }
}

TEST_F(LogFile, DashWritesToStandardError)
{
    ASSERT_TRUE(m_pLog->SetDestination(L"-"));
    testing::internal::CaptureStderr();
    m_pLog->EnterFunction(L"CKorvane::CKorvane()");
    m_pLog->AddInfo(L"to standard error %d", 9);
    m_pLog->ExitFunction(L"CKorvane::CKorvane()");
    std::string strErr = testing::internal::GetCapturedStderr();
    m_pLog->SetDestination(nullptr);
    strErr.erase(std::remove(strErr.begin(), strErr.end(), '\r'), strErr.end());
    const std::vector<Line> got = ParseLog(strErr);
    ASSERT_EQ(3u, got.size());
    EXPECT_EQ("INFO", got[1].strLevel);
    EXPECT_EQ(2u, got[1].nIndent);
    EXPECT_EQ("to standard error 9", got[1].strText);
    EXPECT_EQ("CKorvane::CKorvane()", got[2].strText);
    EXPECT_EQ("", Bytes());
}

} // namespace
