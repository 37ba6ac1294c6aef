// What the sink receives, nesting across calls and threads, and the logger
// switched off: results pass through, nothing is formatted or kept.
#include "LogCapture.h"
#include "ZRLog.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <tuple>

namespace {

using Rec = std::tuple<ZRLogLevel, int, std::wstring>;

std::vector<Rec> Recs(const kvtest::LogCapture& capture)
{
    std::vector<Rec> vec;
    for (const kvtest::LogCapture::Record& r : capture.Records())
        vec.emplace_back(r.eLevel, r.iDepth, r.strText);
    return vec;
}

class LogSink : public testing::Test {
  protected:
    void SetUp() override
    {
        m_pLog->SetDestination(nullptr);
        m_pLog->SetSink(nullptr, nullptr);
    }
    CZRLog* m_pLog = CZRLog::GetInstance();
};

HRESULT Leaf(int iLevel)
{
    CZRLog::GetInstance()->EnterFunction(L"Leaf(int iLevel=%d)", iLevel);
    CZRLog::GetInstance()->AddError(L"Leaf(...) failed");
    return CZRLog::GetInstance()->ExitFunction(E_FAIL);
}

HRESULT Walk(int iLevel)
{
    CZRLog::GetInstance()->EnterFunction(L"Walk(int iLevel=%d)", iLevel);
    const HRESULT hr = iLevel < 2 ? Walk(iLevel + 1) : Leaf(iLevel);
    return CZRLog::GetInstance()->ExitFunction(hr);
}

TEST_F(LogSink, ReceivesLevelDepthAndTheUnindentedText)
{
    kvtest::LogCapture capture;
    EXPECT_EQ(E_FAIL, Walk(1));
    m_pLog->AddInfo(L"two\nlines");
    const std::vector<Rec> want = {
        {ZRLOG_ENTER, 0, L"Walk(int iLevel=1)"},
        {ZRLOG_ENTER, 1, L"Walk(int iLevel=2)"},
        {ZRLOG_ENTER, 2, L"Leaf(int iLevel=2)"},
        {ZRLOG_ERROR, 3, L"Leaf(...) failed"},
        {ZRLOG_EXIT, 2, L"Leaf(int iLevel=2) -> 0x80004005"},
        {ZRLOG_EXIT, 1, L"Walk(int iLevel=2) -> 0x80004005"},
        {ZRLOG_EXIT, 0, L"Walk(int iLevel=1) -> 0x80004005"},
        {ZRLOG_INFO, 0, L"two\nlines"},
    };
    EXPECT_EQ(want, Recs(capture));
}

TEST_F(LogSink, ExitsWithoutAnOpenEntryAndEntriesMadeWhileOff)
{
    m_pLog->EnterFunction(L"opened while off"); // not kept
    kvtest::LogCapture capture;
    m_pLog->EnterFunction(nullptr);
    m_pLog->ExitFunction(7);
    m_pLog->ExitFunction(7);
    m_pLog->ExitFunction(L"Gone()");
    m_pLog->EnterFunction(L"After()");
    const std::vector<Rec> want = {
        {ZRLOG_ENTER, 0, L""},      {ZRLOG_EXIT, 0, L" -> 0x00000007"}, {ZRLOG_EXIT, 0, L" -> 0x00000007"},
        {ZRLOG_EXIT, 0, L"Gone()"}, {ZRLOG_ENTER, 0, L"After()"},
    };
    EXPECT_EQ(want, Recs(capture));
}

TEST_F(LogSink, SwitchingOffDropsOpenEntries)
{
    {
        kvtest::LogCapture capture;
        m_pLog->EnterFunction(L"Left open");
    }
    kvtest::LogCapture capture;
    m_pLog->AddInfo(L"fresh");
    ASSERT_EQ(1u, capture.Records().size());
    EXPECT_EQ(0, capture.Records()[0].iDepth);
}

void LoggingSink(void* pContext, ZRLogLevel, int, const wchar_t*)
{
    ++*static_cast<int*>(pContext);
    // Calls from inside the sink are ignored rather than deadlocking.
    CZRLog::GetInstance()->AddInfo(L"nested");
    CZRLog::GetInstance()->SetSink(nullptr, nullptr);
}

TEST_F(LogSink, ASinkThatLogsDoesNotDeadlock)
{
    int iCalls = 0;
    m_pLog->SetSink(&LoggingSink, &iCalls);
    m_pLog->AddInfo(L"one");
    m_pLog->AddInfo(L"two");
    EXPECT_EQ(2, iCalls);
    m_pLog->SetSink(nullptr, nullptr);
}

TEST_F(LogSink, ExitFunctionReturnsItsArgumentOnOrOff)
{
    const wchar_t* const pszText = L"CKorvane::~CKorvane()";
    const HRESULT hr = E_FAIL;
    const DWORD dw = 0xFFFFFFFFu;
    for (const bool bOn : {false, true}) {
        std::unique_ptr<kvtest::LogCapture> pCapture(bOn ? new kvtest::LogCapture : nullptr);
        EXPECT_EQ(bOn ? TRUE : FALSE, m_pLog->IsEnabled());
        for (const int i : {0, 1, -1, INT_MIN, INT_MAX})
            EXPECT_EQ(i, m_pLog->ExitFunction(i));
        for (const __int64 i : {static_cast<__int64>(0), static_cast<__int64>(LLONG_MIN),
                                static_cast<__int64>(LLONG_MAX), static_cast<__int64>(1) << 40})
            EXPECT_EQ(i, m_pLog->ExitFunction(i));
        EXPECT_EQ(hr, m_pLog->ExitFunction(hr));
        EXPECT_EQ(dw, m_pLog->ExitFunction(dw));
        EXPECT_EQ(pszText, m_pLog->ExitFunction(pszText));
        EXPECT_EQ(nullptr, m_pLog->ExitFunction(static_cast<const wchar_t*>(nullptr)));
        EXPECT_EQ(bOn ? 13u : 0u, pCapture ? pCapture->Records().size() : 0u);
    }
}

TEST_F(LogSink, NothingIsFormattedWhileOff)
{
    // A formatter that ran would read through this pointer and crash.
    const wchar_t* const pszPoison = reinterpret_cast<const wchar_t*>(static_cast<std::uintptr_t>(8));
    EXPECT_EXIT(
        {
            m_pLog->EnterFunction(L"%s", pszPoison);
            m_pLog->AddError(L"%s", pszPoison);
            m_pLog->AddInfo(L"%s", pszPoison);
            std::exit(m_pLog->IsEnabled() ? 1 : 0);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
