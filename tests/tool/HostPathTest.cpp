// Paths from the command line to the library.
#include "host/HostPath.h"
#include "output/Text.h"

#include <DescriptionRules.h>

#include <gtest/gtest.h>

using namespace kvtool;

TEST(ToolPath, DescriptionPathDropsOneTrailingBackslash)
{
    EXPECT_EQ(L"D:\\Media\\Media3.xml", kvdesc::DescriptionPath(L"D:\\Media", 3));
    EXPECT_EQ(L"D:\\Media\\Media3.xml", kvdesc::DescriptionPath(L"D:\\Media\\", 3));
    EXPECT_EQ(L"/tmp/m\\Media-1.xml", kvdesc::DescriptionPath(L"/tmp/m", -1));
}

TEST(ToolPath, DrivePaths)
{
    EXPECT_TRUE(IsDrivePath(L"E:\\a"));
    EXPECT_TRUE(IsDrivePath(L"e:/a"));
    EXPECT_FALSE(IsDrivePath(L"E:a"));
    EXPECT_FALSE(IsDrivePath(L"E:"));
    EXPECT_FALSE(IsDrivePath(L"1:\\a"));
    EXPECT_FALSE(IsDrivePath(L"/tmp/a"));
}

TEST(ToolPath, RelativeArgumentsBecomeAbsolute)
{
    std::wstring strPath = LibraryPathFromArgument(L"sub/../x.xml");
    EXPECT_EQ(WideFromNative(std::filesystem::current_path() / "x.xml"), strPath);
#if defined(_WIN32)
    EXPECT_TRUE(IsDrivePath(strPath));
    EXPECT_EQ(std::wstring::npos, strPath.find(L'/'));
#else
    EXPECT_EQ(L'/', strPath[0]);
    // A drive path is left for the Win32 layer's mapping.
    EXPECT_EQ(L"E:\\Media\\Media1.xml", LibraryPathFromArgument(L"E:\\Media\\Media1.xml"));
#endif
}
