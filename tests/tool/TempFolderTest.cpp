// The tool's temporary folders: private, new, and gone after a usage error.
#include "TestSupport.h"
#include "commands/DemoCommand.h"
#include "commands/TempFolder.h"
#include "output/UsageError.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace {

// Points the system's temporary folder at another one while it lives.
class CTempHome {
  public:
    explicit CTempHome(const std::filesystem::path& folder)
    {
#if defined(_WIN32)
        const wchar_t* pszOld = _wgetenv(L"TMP");
        m_bHad = pszOld != nullptr;
        if (m_bHad)
            m_strOld = pszOld;
        _wputenv_s(L"TMP", folder.wstring().c_str());
#else
        const char* pszOld = std::getenv("TMPDIR");
        m_bHad = pszOld != nullptr;
        if (m_bHad)
            m_strOld = pszOld;
        setenv("TMPDIR", folder.c_str(), 1);
#endif
    }
    ~CTempHome()
    {
#if defined(_WIN32)
        _wputenv_s(L"TMP", m_bHad ? m_strOld.c_str() : L"");
#else
        if (m_bHad)
            setenv("TMPDIR", m_strOld.c_str(), 1);
        else
            unsetenv("TMPDIR");
#endif
    }
    CTempHome(const CTempHome&) = delete;
    CTempHome& operator=(const CTempHome&) = delete;

  private:
    bool m_bHad = false;
    std::filesystem::path::string_type m_strOld;
};

} // namespace

TEST(TempFolder, UsageErrorLeavesNothingEvenWithKeep)
{
    const std::vector<std::vector<std::wstring>> aCases = {
        {L"--drive", L"1"},
        {L"--keep", L"--drive", L"1"},
        {L"--keep", L"--events", L"-", L"--events-raw", L"-"},
    };
    for (const auto& vecArgs : aCases) {
        SCOPED_TRACE(kvtest::Narrow(vecArgs.back()));
        kvtest::TempDir temp;
        const CTempHome home(temp.Path());
        EXPECT_THROW(kvtool::DemoCommand(vecArgs), kvtool::CUsageError);
        EXPECT_TRUE(std::filesystem::is_empty(temp.Path()));
    }
}

TEST(TempFolder, MissingTemporaryFolderIsNamedAsTheCause)
{
    kvtest::TempDir temp;
    const CTempHome home(temp.Path() / "gone");
    try {
        kvtool::MakeTempFolder("compare");
        ADD_FAILURE() << "made a folder below a folder that is not there";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("folder for temporary files")) << e.what();
    }
    EXPECT_FALSE(std::filesystem::exists(temp.Path() / "gone"));
}

#if !defined(_WIN32)
// Others must not read the names of the files a description lists, nor
// plant a folder or link the tool then writes into.
TEST(TempFolder, NewAndPrivateWhateverTheUmask)
{
    kvtest::TempDir temp;
    const CTempHome home(temp.Path());
    const mode_t old = umask(022);
    const std::filesystem::path first = kvtool::MakeTempFolder("compare");
    const std::filesystem::path second = kvtool::MakeTempFolder("compare");
    umask(old);
    EXPECT_NE(first, second);
    for (const std::filesystem::path& folder : {first, second}) {
        struct stat st {};
        ASSERT_EQ(0, lstat(folder.c_str(), &st)) << folder;
        EXPECT_TRUE(S_ISDIR(st.st_mode));
        EXPECT_EQ(0700u, st.st_mode & 0777u) << folder;
        EXPECT_EQ(temp.Path(), folder.parent_path());
    }
}
#endif
