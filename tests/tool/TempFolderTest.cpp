// The tool's temporary folders: new, private, and gone after a usage error.
#include "TestSupport.h"
#include "commands/DemoCommand.h"
#include "commands/TempFolder.h"
#include "output/UsageError.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <cstdlib>
#include <optional>
#include <stdexcept>

#include <sys/stat.h>

namespace {

// TMPDIR pointed at another folder while it lives.
class CTempHome {
  public:
    explicit CTempHome(const std::filesystem::path& folder)
    {
        if (const char* psz = std::getenv("TMPDIR"))
            m_strOld = psz;
        setenv("TMPDIR", folder.c_str(), 1);
    }
    ~CTempHome() { m_strOld ? setenv("TMPDIR", m_strOld->c_str(), 1) : unsetenv("TMPDIR"); }

  private:
    std::optional<std::string> m_strOld;
};

} // namespace

TEST(TempFolder, NewPrivateAndGoneAfterAUsageError)
{
    kvtest::TempDir temp;
    {
        const CTempHome home(temp.Path());
        // Usage errors found once demo has made its folder: none stays, --keep or not.
        for (const std::vector<std::wstring>& vecArgs :
             std::vector<std::vector<std::wstring>>{{L"--drive", L"1"},
                                                    {L"--keep", L"--drive", L"1"},
                                                    {L"--keep", L"--events", L"-", L"--events-raw", L"-"}})
            EXPECT_THROW(kvtool::DemoCommand(vecArgs), kvtool::CUsageError);
        EXPECT_TRUE(std::filesystem::is_empty(temp.Path()));
        // Others may neither read the names a description lists nor have made the folder.
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
        }
    }
    const CTempHome gone(temp.Path() / "gone");
    try {
        kvtool::MakeTempFolder("compare");
        ADD_FAILURE() << "made a folder below a folder that is not there";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("folder for temporary files")) << e.what();
    }
}
#endif
