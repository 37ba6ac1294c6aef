// The DLLs that the deliverable and its support libraries import: the
// support libraries under this platform's names and Windows' own DLLs, no
// compiler runtime that a host would have to ship beside them.
#include "ModuleImage.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace {

#if defined(_WIN64)
#define KVT_SUFFIX "64"
#else
#define KVT_SUFFIX ""
#endif

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool IsWindowsDll(const std::string& strDll)
{
    static const char* const s_system[] = {
        "kernel32.dll",
        "shlwapi.dll",
        "oleaut32.dll",
        "msvcrt.dll",
        "ucrtbase.dll",
        "ntdll.dll",
        "advapi32.dll",
        "user32.dll",
        "version.dll",
#if defined(_MSC_VER)
        // The Visual C++ runtime of a /MD build.
        "vcruntime140.dll",
        "vcruntime140_1.dll",
        "msvcp140.dll",
#endif
    };
    for (const char* psz : s_system)
        if (strDll == psz)
            return true;
    // The universal CRT's API sets.
    return strDll.compare(0, 11, "api-ms-win-") == 0;
}

bool IsSupportDll(const std::string& strDll)
{
    return strDll == Lower("ZRCoreXml" KVT_SUFFIX ".dll") || strDll == Lower("ZRString" KVT_SUFFIX ".dll") ||
           strDll == Lower("ZRLog" KVT_SUFFIX ".dll");
}

std::vector<std::string> LowerImports(HMODULE hModule)
{
    std::vector<std::string> dlls;
    for (const std::string& s : kvwintest::ImportedDlls(hModule))
        dlls.push_back(Lower(s));
    return dlls;
}

TEST(KorvaneImports, OnlyTheSupportLibrariesAndWindowsDlls)
{
    HMODULE hModule = kvwintest::KorvaneDll();
    ASSERT_NE(nullptr, hModule);
    std::vector<std::string> dlls = LowerImports(hModule);
    for (const std::string& strDll : dlls)
        EXPECT_TRUE(IsSupportDll(strDll) || IsWindowsDll(strDll)) << "Korvane.dll imports " << strDll;
    // The three support libraries, under this platform's names.
    for (const char* psz :
         {"ZRCoreXml" KVT_SUFFIX ".dll", "ZRString" KVT_SUFFIX ".dll", "ZRLog" KVT_SUFFIX ".dll"})
        EXPECT_NE(dlls.end(), std::find(dlls.begin(), dlls.end(), Lower(psz)))
            << "Korvane.dll does not import " << psz;
}

// Each image that ships or runs the tests: a compiler runtime DLL among its
// imports would have to be copied beside it.
struct Image {
    const wchar_t* pszModule; // nullptr: this program
};

class NoCompilerRuntime : public testing::TestWithParam<Image> {};

TEST_P(NoCompilerRuntime, AmongTheImports)
{
    ASSERT_NE(nullptr, kvwintest::KorvaneDll());
    HMODULE hModule = GetModuleHandleW(GetParam().pszModule);
    ASSERT_NE(nullptr, hModule);
    for (const std::string& strDll : LowerImports(hModule)) {
        EXPECT_TRUE(IsSupportDll(strDll) || IsWindowsDll(strDll) || strDll == "korvane.dll")
            << kvtest::Narrow(kvwintest::ModulePath(hModule)) << " imports " << strDll;
        EXPECT_EQ(std::string::npos, strDll.find("libgcc")) << strDll;
        EXPECT_EQ(std::string::npos, strDll.find("libstdc++")) << strDll;
        EXPECT_EQ(std::string::npos, strDll.find("winpthread")) << strDll;
    }
}

INSTANTIATE_TEST_SUITE_P(Images, NoCompilerRuntime,
                         testing::Values(Image{L"Korvane.dll"}, Image{L"ZRCoreXml" KVT_SUFFIX ".dll"},
                                         Image{L"ZRString" KVT_SUFFIX ".dll"},
                                         Image{L"ZRLog" KVT_SUFFIX ".dll"}, Image{nullptr}),
                         [](const testing::TestParamInfo<Image>& info) {
                             switch (info.index) {
                             case 0:
                                 return std::string("Korvane");
                             case 1:
                                 return std::string("ZRCoreXml");
                             case 2:
                                 return std::string("ZRString");
                             case 3:
                                 return std::string("ZRLog");
                             default:
                                 return std::string("TestProgram");
                             }
                         });

} // namespace
