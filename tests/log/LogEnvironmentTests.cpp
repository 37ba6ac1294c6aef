// ZRLOG_FILE is read when a process first uses the logger, so each case runs
// in a child process whose logger starts fresh.
#include "TestSupport.h"
#include "ZRLog.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

#if defined(_WIN32)
void SetVariable(const char* pszName, const std::wstring& strValue) // "" removes it
{
    _wputenv_s(kvtest::Widen(pszName).c_str(), strValue.c_str());
}
std::wstring Wide(const std::filesystem::path& path)
{
    return path.wstring();
}
std::filesystem::path Native(const std::wstring& strPath)
{
    return strPath;
}
#else
void SetVariable(const char* pszName, const std::wstring& strValue)
{
    setenv(pszName, kvtest::Narrow(strValue).c_str(), 1);
}
std::wstring Wide(const std::filesystem::path& path)
{
    return kvtest::Widen(path.string());
}
std::filesystem::path Native(const std::wstring& strPath)
{
    return kvtest::Narrow(strPath);
}
#endif

class LogEnvironment : public testing::Test {
  protected:
    void SetUp() override
    {
        // A forked child would inherit this process's logger, which may have
        // read the environment already; a re-executed one starts fresh.
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        // The child runs this body again: it finds the parent's folder.
        if (const char* psz = std::getenv("KVTEST_ZRLOG_DIR")) {
            m_strFolder = kvtest::Widen(psz);
        } else {
            m_pDir = std::make_unique<kvtest::TempDir>();
            m_strFolder = Wide(m_pDir->Path());
            SetVariable("KVTEST_ZRLOG_DIR", m_strFolder);
        }
    }
    void TearDown() override
    {
        SetVariable("ZRLOG_FILE", L"");
        SetVariable("KVTEST_ZRLOG_DIR", L"");
    }
    std::unique_ptr<kvtest::TempDir> m_pDir;
    std::wstring m_strFolder;
};

TEST_F(LogEnvironment, AFileNamedThereReceivesTheRecords)
{
    const std::wstring strPath = m_strFolder + L"/tr\u00E4ce.log";
    SetVariable("ZRLOG_FILE", strPath);
    EXPECT_EXIT(
        {
            CZRLog::GetInstance()->AddInfo(L"from %s", L"the environment");
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
    const std::string strLog = kvtest::ReadBytes(Native(strPath));
    const std::string strTail = "\tINFO\tfrom the environment\n"; // the only record
    ASSERT_GT(strLog.size(), strTail.size());
    EXPECT_EQ(strLog.size() - strTail.size(), strLog.find(strTail)) << strLog;
}

TEST_F(LogEnvironment, DashMeansStandardError)
{
    SetVariable("ZRLOG_FILE", L"-");
    EXPECT_EXIT(
        {
            CZRLog::GetInstance()->AddError(L"to standard error %d", 2);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "\tERROR\tto standard error 2");
}

TEST_F(LogEnvironment, EmptyOrUnsetMeansNothing)
{
    SetVariable("ZRLOG_FILE", L"");
    EXPECT_EXIT(std::exit(CZRLog::GetInstance()->IsEnabled() ? 1 : 0), testing::ExitedWithCode(0), "");
}

} // namespace
