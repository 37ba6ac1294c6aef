#include "TestSupport.h"

#include <kvutf/Utf.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#if defined(_WIN32)
#include <process.h>
#define KVTEST_PID _getpid()
#else
#include <unistd.h>
#define KVTEST_PID getpid()
#endif

namespace kvtest {

std::string HrText(HRESULT hr)
{
    char sz[16];
    std::snprintf(sz, sizeof sz, "0x%08X", static_cast<unsigned>(hr));
    return sz;
}

void PrintTo(const HrValue& v, std::ostream* os)
{
    *os << HrText(v.hr);
}

std::string Narrow(const std::wstring& s)
{
    return kvutf::Utf8FromWide(s);
}

std::wstring Widen(const std::string& s)
{
    return kvutf::WideFromUtf8(s);
}

namespace {
std::atomic<unsigned> g_uCounter{0};

std::filesystem::path UniqueName()
{
    static const unsigned uSeed = std::random_device{}();
    return "kvt" + std::to_string(KVTEST_PID) + "_" + std::to_string(uSeed % 100000) + "_" +
           std::to_string(++g_uCounter);
}
} // namespace

TempDir::TempDir()
{
    m_path = std::filesystem::temp_directory_path() / UniqueName();
    std::filesystem::create_directories(m_path);
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_path, ec);
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes)
{
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f)
        throw std::runtime_error("cannot write " + path.string());
}

std::string ReadBytes(const std::filesystem::path& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

#if defined(_WIN32)
// The test run maps each letter it offers to a folder beforehand (a Wine
// prefix's dosdevices link, or a subst on Windows) and names that folder, as
// a Windows path, in KORVANE_TEST_DRIVE_<letter>; each TestDrive takes a
// fresh sub-folder of it.
TestDrive::TestDrive(wchar_t wcLetter)
    : m_wcLetter(wcLetter >= L'a' && wcLetter <= L'z' ? static_cast<wchar_t>(wcLetter - L'a' + L'A')
                                                      : wcLetter)
{
    const std::string strLetter = Narrow(std::wstring(1, m_wcLetter));
    std::wstring strVar = L"KORVANE_TEST_DRIVE_";
    strVar += m_wcLetter;
    std::wstring strRoot(GetEnvironmentVariableW(strVar.c_str(), nullptr, 0), L'\0');
    if (!strRoot.empty())
        strRoot.resize(
            GetEnvironmentVariableW(strVar.c_str(), &strRoot[0], static_cast<DWORD>(strRoot.size())));
    if (strRoot.empty())
        throw std::runtime_error("drive " + strLetter + ": is not mapped for the tests (KORVANE_TEST_DRIVE_" +
                                 strLetter + " unset)");
    std::filesystem::path name = UniqueName();
    m_root = std::filesystem::path(MachinePath(strRoot));
    m_strSub = L"\\" + name.wstring();
    std::filesystem::create_directories(m_root / name);
    // The folder made through the root must be there through the letter too,
    // or every test on this drive would fail for a reason of the setup.
    DWORD dwAttr = GetFileAttributesW(Win().c_str());
    if (dwAttr == INVALID_FILE_ATTRIBUTES || !(dwAttr & FILE_ATTRIBUTE_DIRECTORY)) {
        std::error_code ec;
        std::filesystem::remove_all(m_root / name, ec);
        throw std::runtime_error("drive " + strLetter + ": does not lead to " + Narrow(strRoot));
    }
}

TestDrive::~TestDrive()
{
    std::error_code ec;
    std::filesystem::remove_all(Native(), ec);
}
#else
TestDrive::TestDrive(wchar_t wcLetter) : m_wcLetter(wcLetter)
{
    m_root = std::filesystem::temp_directory_path() / UniqueName();
    std::filesystem::create_directories(m_root);
    m_bOwnsRoot = true;
    char szVar[] = "KORVANE_DRIVE_X";
    szVar[14] = static_cast<char>(towupper(wcLetter));
    setenv(szVar, m_root.c_str(), 1);
}

TestDrive::~TestDrive()
{
    char szVar[] = "KORVANE_DRIVE_X";
    szVar[14] = static_cast<char>(towupper(m_wcLetter));
    unsetenv(szVar);
    std::error_code ec;
    std::filesystem::permissions(m_root, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(m_root, ec);
}
#endif

std::wstring TestDrive::Below(const std::wstring& strRel) const
{
    std::wstring s = m_strSub;
    if (!strRel.empty())
        s += L"\\" + strRel;
    return s;
}

std::wstring TestDrive::Win(const std::wstring& strRel) const
{
    std::wstring s(1, m_wcLetter);
    s += L":";
    std::wstring below = Below(strRel);
    return below.empty() ? s + L"\\" : s + below;
}

std::filesystem::path TestDrive::Native(const std::wstring& strRel) const
{
    std::filesystem::path p = m_root;
    if (!m_strSub.empty())
        p /= m_strSub.substr(1);
    std::wstring rel = strRel;
    for (wchar_t& c : rel)
        if (c == L'\\')
            c = L'/';
    if (!rel.empty())
        p /= std::filesystem::u8path(Narrow(rel)).make_preferred();
    return p;
}

void TestDrive::Write(const std::wstring& strRel, const std::string& bytes) const
{
    WriteBytes(Native(strRel), bytes);
}

void TestDrive::MakeDir(const std::wstring& strRel) const
{
    std::filesystem::create_directories(Native(strRel));
}

} // namespace kvtest
