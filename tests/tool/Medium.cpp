#include "Medium.h"

#include "ToolRunner.h"
#include "host/HostPath.h"
#include "output/Text.h"

#include <gtest/gtest.h>

#include <cwctype>

namespace kvtooltest {

std::wstring Backslashed(std::wstring strRel)
{
    for (wchar_t& c : strRel)
        if (c == L'/')
            c = L'\\';
    return strRel;
}

CMedium::CMedium()
{
    std::filesystem::create_directories(Source());
    std::filesystem::create_directories(Disc());
    std::filesystem::create_directories(Media());
#if defined(_WIN32)
    std::wstring strDisc = kvtool::LibraryPathOf(Disc());
    m_wcLetter = static_cast<wchar_t>(std::towupper(strDisc[0]));
    m_strBelow = strDisc.substr(2);
#endif
}

std::filesystem::path CMedium::Source(const std::wstring& strRel) const
{
    return strRel.empty() ? m_dir.Path() / "source" : m_dir.Path() / "source" / kvtool::NativePath(strRel);
}

std::filesystem::path CMedium::Disc(const std::wstring& strRel) const
{
    return strRel.empty() ? m_dir.Path() / "disc" : m_dir.Path() / "disc" / kvtool::NativePath(strRel);
}

std::vector<std::wstring> CMedium::DriveArgs() const
{
    std::vector<std::wstring> vecArgs = {L"--drive", std::wstring(1, m_wcLetter)};
#if !defined(_WIN32)
    vecArgs.push_back(L"--map");
    vecArgs.push_back(std::wstring(1, m_wcLetter) + L"=" + kvtool::WideFromNative(Disc()));
#endif
    return vecArgs;
}

std::wstring CMedium::DiscPath(const std::wstring& strRel) const
{
    return std::wstring(1, m_wcLetter) + L":" + m_strBelow + L"\\" +
           kvtool::LibraryRelPath(kvtool::Utf8FromWide(strRel));
}

std::wstring CMedium::SourcePath(const std::wstring& strRel) const
{
    return kvtool::LibraryPathOf(Source(strRel));
}

std::wstring CMedium::SourceUnder(const std::wstring& strFolder, const std::wstring& strRel) const
{
    return kvtool::LibraryPathOf(Source(strFolder)) + L"\\" + Backslashed(strRel);
}

void CMedium::WriteBoth(const std::wstring& strRel, const std::string& strBytes) const
{
    WriteSource(strRel, strBytes);
    WriteDisc(strRel, strBytes);
}

void CMedium::WriteSource(const std::wstring& strRel, const std::string& strBytes) const
{
    kvtest::WriteBytes(Source(strRel), strBytes);
}

void CMedium::WriteDisc(const std::wstring& strRel, const std::string& strBytes) const
{
    kvtest::WriteBytes(Disc(strRel), strBytes);
}

void CMedium::Describe(int iNumber, const std::vector<std::wstring>& vecSources) const
{
    std::vector<std::wstring> vecArgs = {
        L"describe", L"--number", std::to_wstring(iNumber), L"--out", kvtool::WideFromNative(Media()),
        L"--target", Target()};
    for (const std::wstring& strSource : vecSources)
        vecArgs.push_back(kvtool::WideFromNative(Source(strSource)));
    CToolRun run = RunTool(vecArgs);
    ASSERT_EQ(0, run.iExit) << run.strErr;
}

std::vector<std::wstring> CMedium::VerifyArgs(int iNumber, const std::vector<std::wstring>& vecExtra) const
{
    std::vector<std::wstring> vecArgs = {L"verify"};
    for (const std::wstring& strArg : DriveArgs())
        vecArgs.push_back(strArg);
    vecArgs.insert(vecArgs.end(),
                   {L"--number", std::to_wstring(iNumber), L"--folder", kvtool::WideFromNative(Media())});
    vecArgs.insert(vecArgs.end(), vecExtra.begin(), vecExtra.end());
    return vecArgs;
}

} // namespace kvtooltest
