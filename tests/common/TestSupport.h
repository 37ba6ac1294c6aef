// Helpers shared by the test programs: HRESULT printing, capture of the
// trace, temporary trees reachable through a drive letter.
#pragma once

#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kvtest {

// "0x80004005": HRESULTs compared in assertions print this way.
std::string HrText(HRESULT hr);

struct HrValue {
    HRESULT hr;
    bool operator==(const HrValue& o) const { return hr == o.hr; }
};
void PrintTo(const HrValue& v, std::ostream* os);
#define EXPECT_HR(expected, actual) EXPECT_EQ(::kvtest::HrValue{expected}, ::kvtest::HrValue{actual})
#define ASSERT_HR(expected, actual) ASSERT_EQ(::kvtest::HrValue{expected}, ::kvtest::HrValue{actual})

std::string Narrow(const std::wstring& s); // UTF-8
std::wstring Widen(const std::string& s);  // from UTF-8

// A fresh folder, removed with everything in it at destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }

  private:
    std::filesystem::path m_path;
};

// A fresh folder reachable through a drive letter, as a disc or a source
// disk is. Win(L"a\\b") is the Windows path of a\b inside it ("T:\a\b", or
// "T:\<unique>\a\b" where the letter is shared by the whole run), Below() the
// same without the "T:" (what a description's TargetPath holds), Native() the
// path for the test's own file operations.
class TestDrive {
  public:
    explicit TestDrive(wchar_t wcLetter = L'T');
    ~TestDrive();
    TestDrive(const TestDrive&) = delete;
    TestDrive& operator=(const TestDrive&) = delete;

    wchar_t Letter() const { return m_wcLetter; }
    std::wstring Win(const std::wstring& strRel = L"") const;
    std::wstring Below(const std::wstring& strRel = L"") const;
    std::filesystem::path Native(const std::wstring& strRel = L"") const;

    // Creates a file (and its folders) with these bytes.
    void Write(const std::wstring& strRel, const std::string& bytes) const;
    void MakeDir(const std::wstring& strRel) const;

  private:
    wchar_t m_wcLetter;
    std::filesystem::path m_root; // native folder the letter maps to
    std::wstring m_strSub;        // "" or "\<unique>"
    bool m_bOwnsRoot = false;
};

// A path of the build machine as the test program reaches it: under Wine
// the machine's root "/" is drive Z:, so /a/b becomes Z:\a\b. Other
// paths only get the platform's separators.
inline std::wstring MachinePath(std::wstring strPath)
{
#if defined(_WIN32)
    for (wchar_t& c : strPath)
        if (c == L'/')
            c = L'\\';
    if (strPath.size() >= 1 && strPath[0] == L'\\' && (strPath.size() < 2 || strPath[1] != L'\\'))
        strPath.insert(0, L"Z:");
#else
    for (wchar_t& c : strPath)
        if (c == L'\\')
            c = L'/';
#endif
    return strPath;
}

#if defined(KORVANE_TEST_DATA_DIR)
// tests/data/<strRel> (a\b or a/b), for the system's calls and the
// test's own file operations alike.
inline std::wstring DataPath(const std::wstring& strRel = L"")
{
    std::wstring s = Widen(KORVANE_TEST_DATA_DIR);
    if (!strRel.empty())
        s += L"/" + strRel;
    return MachinePath(s);
}
#endif

// Writes bytes to a native path, creating its folders.
void WriteBytes(const std::filesystem::path& path, const std::string& bytes);
std::string ReadBytes(const std::filesystem::path& path);

} // namespace kvtest
