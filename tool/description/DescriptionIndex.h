// The tool's own reading of the description file it hands to the library:
// how many entries it has, and for a source path that a report names, the
// disc path it was compared with, built the way the library builds it.
#pragma once

#include <windows.h>

#include <ZRXml.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kvtool {

class CDescriptionIndex {
  public:
    // Reads strXmlPath (a path as the library takes it) through the XML
    // library and counts its entries; false when it cannot be read, and the
    // index stays empty. The entries' fields are read on the first lookup:
    // a run that reports no problem never needs them.
    bool Load(const std::wstring& strXmlPath, wchar_t wcDrive);

    bool IsLoaded() const { return m_bLoaded; }
    size_t EntryCount() const { return m_pPending ? m_nPending : m_vecEntries.size(); }
    DWORD FileCount() const { return m_dwFileCount; } // Media_NumberFiles

    // The target of the pair whose source the library reported as
    // strSource; empty when no entry leads to it.
    std::wstring TargetFor(const std::wstring& strSource);
    // The other way: the source of the pair whose disc copy is strTarget.
    std::wstring SourceFor(const std::wstring& strTarget);

    // The first entry's source and the disc path it is compared with, as the
    // library builds them (a folder's target ends with "\"); false when the
    // description has no entry. Reads that entry alone.
    bool FirstPair(std::wstring& strSource, std::wstring& strTarget) const;

    // Each folder entry's source folder and disc folder, both without a
    // final "\" (a drive root's disc folder keeps it: "E:\"), in the
    // description's order; reads every entry's fields, keeping none.
    void ForEachFolder(
        const std::function<void(std::wstring_view svSource, std::wstring_view svTarget)>& fn) const;

    // Adds one entry from its FILE fields, as the library's driver reads them,
    // after those of the loaded description.
    void AddEntry(wchar_t wcDrive, const std::wstring& strFullPath, const std::wstring& strTargetPath,
                  const std::wstring& strName, DWORD dwAttribute);

  private:
    struct CXmlRelease {
        void operator()(IZRXml* pXml) const { pXml->Release(); }
    };
    // Reads the fields of the loaded description's entries, once.
    void ReadPending();
    void Append(wchar_t wcDrive, const std::wstring& strFullPath, const std::wstring& strTargetPath,
                const std::wstring& strName, DWORD dwAttribute);

    // An entry's two paths lie one after the other in m_strChars: a
    // description of a million entries must not cost two million strings.
    struct CEntry {
        size_t iSource;  // where the source starts in m_strChars
        DWORD cchSource; // a folder entry's folder, without the final "\"
        DWORD cchTarget; // follows the source; a folder's ends with "\"
        bool bFolder;
    };
    const wchar_t* SourceOf(const CEntry& entry) const { return m_strChars.data() + entry.iSource; }
    const wchar_t* TargetOf(const CEntry& entry) const { return SourceOf(entry) + entry.cchSource; }
    std::wstring_view SourceView(const CEntry& entry) const { return {SourceOf(entry), entry.cchSource}; }
    std::wstring_view SideView(const CEntry& entry, bool bTarget) const
    {
        return bTarget ? std::wstring_view(TargetOf(entry), entry.cchTarget) : SourceView(entry);
    }
    // The file entries ordered by source (or target), then by position, built
    // on the first lookup: a run with many reports must not scan every entry
    // for each one, and a run with none pays nothing.
    void SortFiles(bool bByTarget) const;
    // The entry a source (or disc) path is reached through; EntryCount() when none.
    size_t FirstLeadingTo(std::wstring_view svPath, bool bByTarget);

    std::vector<CEntry> m_vecEntries;
    std::wstring m_strChars;
    std::vector<size_t> m_vecFolders;             // positions of the folder entries, in order
    mutable std::vector<size_t> m_avecFilesBy[2]; // [bByTarget]
    mutable bool m_abFilesSorted[2] = {};
    DWORD m_dwFileCount = 0;
    bool m_bLoaded = false;
    // The loaded description until its entries are read, and how many it has.
    std::unique_ptr<IZRXml, CXmlRelease> m_pPending;
    size_t m_nPending = 0;
    wchar_t m_wcDrive = L'\0';
};

} // namespace kvtool
