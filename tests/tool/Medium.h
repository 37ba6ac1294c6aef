// A medium for the end-to-end tests: a source tree, its disc copy reached
// through a drive letter, and a folder for the description files. On Linux
// the disc is drive E, mapped with --map; on Windows it is a folder on the
// temporary folder's own drive, named below that drive's root.
#pragma once

#include "TestSupport.h"

#include <filesystem>
#include <string>
#include <vector>

namespace kvtooltest {

class CMedium {
  public:
    CMedium();

    std::filesystem::path Source(const std::wstring& strRel = L"") const;
    std::filesystem::path Disc(const std::wstring& strRel = L"") const;
    std::filesystem::path Media() const { return m_dir.Path() / "media"; }

    wchar_t Letter() const { return m_wcLetter; }
    // What --target gets so that the sources land at the top of the disc folder.
    std::wstring Target() const { return m_strBelow.empty() ? L"\\" : m_strBelow; }
    // --drive and, on Linux, the --map that goes with it.
    std::vector<std::wstring> DriveArgs() const;
    // The disc copy as the library names it: "E:\a.txt".
    std::wstring DiscPath(const std::wstring& strRel) const;
    // A source file as the library names it when it lies under a folder
    // entry: "<folder>\<rel>".
    std::wstring SourceUnder(const std::wstring& strFolder, const std::wstring& strRel) const;
    std::wstring SourcePath(const std::wstring& strRel) const;

    // The same bytes into the source and the disc copy.
    void WriteBoth(const std::wstring& strRel, const std::string& strBytes) const;
    void WriteSource(const std::wstring& strRel, const std::string& strBytes) const;
    void WriteDisc(const std::wstring& strRel, const std::string& strBytes) const;

    // Runs "korvane describe" for these sources (relative to the source
    // folder) into Media<n>.xml; fails the test when it does not succeed.
    void Describe(int iNumber, const std::vector<std::wstring>& vecSources) const;
    // "verify --drive ... --number n --folder media" and the extra arguments.
    std::vector<std::wstring> VerifyArgs(int iNumber, const std::vector<std::wstring>& vecExtra = {}) const;

  private:
    kvtest::TempDir m_dir;
    wchar_t m_wcLetter = L'E';
    std::wstring m_strBelow; // Windows: the disc folder below its drive's root
};

// Backslashes for a relative path.
std::wstring Backslashed(std::wstring strRel);

} // namespace kvtooltest
