// Korvane.dll's version resource as Windows reads it back, and that it is
// the DLL's only resource.
#include "ModuleImage.h"

#include "Korvane.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

namespace {

struct RevisionVersion {
    int iRevision;
    WORD wVersion[4];
    const wchar_t* pszVersion;
};

// The file version follows the revision: 1.1.0.0 for the 32-bit deliverable,
// 1.0.0.9 for the 64-bit one.
const RevisionVersion g_versions[] = {
    {11, {1, 1, 0, 0}, L"1.1.0.0"},
    {10, {1, 0, 0, 9}, L"1.0.0.9"},
};

const RevisionVersion& Expected()
{
    for (const RevisionVersion& v : g_versions)
        if (v.iRevision == KORVANE_REVISION)
            return v;
    throw std::logic_error("unknown revision");
}

class VersionResource : public testing::Test {
  protected:
    void SetUp() override
    {
        HMODULE hModule = kvwintest::KorvaneDll();
        ASSERT_NE(nullptr, hModule);
        m_strPath = kvwintest::ModulePath(hModule);
        DWORD dwHandle = 0;
        DWORD cb = GetFileVersionInfoSizeW(m_strPath.c_str(), &dwHandle);
        ASSERT_NE(0u, cb) << "no version resource in " << kvtest::Narrow(m_strPath) << ", error "
                          << GetLastError();
        m_data.resize(cb);
        ASSERT_TRUE(GetFileVersionInfoW(m_strPath.c_str(), 0, cb, m_data.data()));
    }

    // The value under a sub-block, or nullptr.
    const void* Query(const wchar_t* pszSubBlock, UINT* pcb = nullptr)
    {
        void* pValue = nullptr;
        UINT cb = 0;
        if (!VerQueryValueW(m_data.data(), pszSubBlock, &pValue, &cb))
            return nullptr;
        if (pcb)
            *pcb = cb;
        return pValue;
    }

    // A string of the first translation the resource declares.
    std::wstring String(const wchar_t* pszName)
    {
        UINT cb = 0;
        auto pTranslation = static_cast<const WORD*>(Query(L"\\VarFileInfo\\Translation", &cb));
        if (!pTranslation || cb < 2 * sizeof(WORD))
            return L"<no translation>";
        wchar_t szBlock[64];
        swprintf(szBlock, 64, L"\\StringFileInfo\\%04x%04x\\%ls", pTranslation[0], pTranslation[1], pszName);
        UINT cch = 0;
        auto psz = static_cast<const wchar_t*>(Query(szBlock, &cch));
        if (!psz)
            return L"<missing>";
        return std::wstring(psz);
    }

    std::wstring m_strPath;
    std::vector<BYTE> m_data;
};

TEST_F(VersionResource, FixedFileAndProductVersionsFollowTheRevision)
{
    UINT cb = 0;
    auto pFixed = static_cast<const VS_FIXEDFILEINFO*>(Query(L"\\", &cb));
    ASSERT_NE(nullptr, pFixed);
    ASSERT_GE(cb, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(0xFEEF04BDu, pFixed->dwSignature);
    const WORD* w = Expected().wVersion;
    const DWORD dwMS = static_cast<DWORD>(w[0]) << 16 | w[1];
    const DWORD dwLS = static_cast<DWORD>(w[2]) << 16 | w[3];
    EXPECT_EQ(dwMS, pFixed->dwFileVersionMS);
    EXPECT_EQ(dwLS, pFixed->dwFileVersionLS);
    EXPECT_EQ(dwMS, pFixed->dwProductVersionMS);
    EXPECT_EQ(dwLS, pFixed->dwProductVersionLS);
    EXPECT_EQ(static_cast<DWORD>(VFT_DLL), pFixed->dwFileType);
}

TEST_F(VersionResource, StringsNameTheChecksumAndTheVersion)
{
    EXPECT_EQ(L"CRC Check", String(L"FileDescription"));
    EXPECT_EQ(Expected().pszVersion, String(L"FileVersion"));
    EXPECT_EQ(Expected().pszVersion, String(L"ProductVersion"));
}

BOOL CALLBACK CollectType(HMODULE, LPWSTR pszType, LONG_PTR lParam)
{
    auto pTypes = reinterpret_cast<std::vector<ULONG_PTR>*>(lParam);
    // Named types (not integer resources) count as something other than
    // RT_VERSION too.
    pTypes->push_back(IS_INTRESOURCE(pszType) ? reinterpret_cast<ULONG_PTR>(pszType) : ~ULONG_PTR(0));
    return TRUE;
}

TEST_F(VersionResource, IsTheDllsOnlyResource)
{
    HMODULE hData = LoadLibraryExW(m_strPath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, hData);
    std::vector<ULONG_PTR> types;
    EnumResourceTypesW(hData, CollectType, reinterpret_cast<LONG_PTR>(&types));
    FreeLibrary(hData);
    EXPECT_EQ(std::vector<ULONG_PTR>{reinterpret_cast<ULONG_PTR>(RT_VERSION)}, types);
}

} // namespace
