// The tool's temporary folders: new, private, and gone after a usage error.
#include "TestSupport.h"
#include "commands/DemoCommand.h"
#include "commands/TempFolder.h"
#include "output/UsageError.h"

#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <cstdlib>
#include <stdexcept>

#include <sys/stat.h>

TEST(TempFolder, NewPrivateAndGoneAfterAUsageError)
{
    kvtest::TempDir temp;
    const char* pszOld = std::getenv("TMPDIR");
    const std::string strOld = pszOld ? pszOld : "";
    setenv("TMPDIR", temp.Path().c_str(), 1);
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
    umask(old);
    struct stat st {};
    EXPECT_EQ(0, lstat(first.c_str(), &st));
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(0700u, st.st_mode & 0777u);
    EXPECT_NE(first, kvtool::MakeTempFolder("compare"));
    // A TMPDIR that is not there is named as the cause.
    setenv("TMPDIR", (temp.Path() / "gone").c_str(), 1);
    try {
        kvtool::MakeTempFolder("compare");
        ADD_FAILURE() << "made a folder below a folder that is not there";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string::npos, std::string(e.what()).find("folder for temporary files")) << e.what();
    }
    pszOld ? setenv("TMPDIR", strOld.c_str(), 1) : unsetenv("TMPDIR");
}
#endif
