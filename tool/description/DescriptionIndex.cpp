#include "description/DescriptionIndex.h"

#include <DescriptionRules.h>
#include <ZRString.h>
#include <ZRXml.h>
#include <oleauto.h>

#include <algorithm>
#include <cwchar>

namespace kvtool {

namespace {

// Holds one reference of an XML interface.
template <class T> class CXmlRef {
  public:
    CXmlRef() = default;
    explicit CXmlRef(T* p) : m_p(p) {}
    ~CXmlRef()
    {
        if (m_p)
            m_p->Release();
    }
    CXmlRef(const CXmlRef&) = delete;
    CXmlRef& operator=(const CXmlRef&) = delete;
    T* operator->() const { return m_p; }
    T* Get() const { return m_p; }
    T** Out() { return &m_p; }

  private:
    T* m_p = nullptr;
};

std::wstring TakeBstr(BSTR bstr)
{
    std::wstring str = bstr ? std::wstring(bstr) : std::wstring();
    if (bstr)
        SysFreeString(bstr);
    return str;
}

// The fields of one entry that the index needs, in one pass over its
// children. Each is the text of the first child of that name (any case)
// that has text; a child that cannot be had ends the search, leaving the
// fields not yet found empty.
enum EField { FIELD_FULLPATH, FIELD_TARGETPATH, FIELD_NAME, FIELD_ATTRIBUTE, FIELD_COUNT };

void ReadFields(IZRXmlNode* pNode, std::wstring (&astrField)[FIELD_COUNT])
{
    static const wchar_t* const s_apszNames[FIELD_COUNT] = {kvdesc::kFullPath, kvdesc::kTargetPath,
                                                            kvdesc::kName, kvdesc::kAttribute};
    bool abFound[FIELD_COUNT] = {};
    int iFound = 0;
    const int iCount = pNode->GetChildCount();
    for (int i = 0; i < iCount && iFound < FIELD_COUNT; ++i) {
        CXmlRef<IZRXmlNode> child;
        if (pNode->GetChildAt(i, child.Out()) < 0 || !child.Get())
            return;
        BSTR bstrName = child->GetName();
        const CZRString strName = bstrName ? bstrName : L"";
        if (bstrName)
            SysFreeString(bstrName);
        for (int iField = 0; iField < FIELD_COUNT; ++iField) {
            if (abFound[iField] || strName.CompareNoCase(s_apszNames[iField]) != 0)
                continue;
            if (BSTR bstrText = child->GetText()) {
                astrField[iField] = TakeBstr(bstrText);
                abFound[iField] = true;
                ++iFound;
            }
            break; // the names differ: no other field can match
        }
    }
}

// The fields of each entry of a loaded description, in its order, up to
// the first number that names none.
void ReadEntries(IZRXml* pXml, size_t nEntries,
                 const std::function<void(const std::wstring (&astrField)[FIELD_COUNT])>& fnEntry)
{
    std::wstring astrField[FIELD_COUNT];
    CZRString strQuery;
    for (size_t n = 1; n <= nEntries; ++n) {
        kvdesc::EntryQuery(strQuery, static_cast<int>(n));
        CXmlRef<IZRXmlNode> node;
        if (pXml->GetNode(strQuery, node.Out()) < 0 || !node.Get())
            break;
        for (std::wstring& strField : astrField)
            strField.clear();
        ReadFields(node.Get(), astrField);
        fnEntry(astrField);
    }
}

// Leading spaces, a sign, digits; the reader's decimal rule, without clamping.
DWORD DecimalValue(const std::wstring& strText)
{
    size_t i = 0;
    while (i < strText.size() &&
           (strText[i] == L' ' || strText[i] == L'\t' || strText[i] == L'\r' || strText[i] == L'\n'))
        ++i;
    bool bNegative = false;
    if (i < strText.size() && (strText[i] == L'+' || strText[i] == L'-'))
        bNegative = strText[i++] == L'-';
    unsigned long long ullValue = 0;
    for (; i < strText.size() && strText[i] >= L'0' && strText[i] <= L'9'; ++i)
        if (ullValue < 0x80000000ULL)
            ullValue = ullValue * 10 + static_cast<unsigned>(strText[i] - L'0');
    if (ullValue > 0x7FFFFFFFULL)
        ullValue = bNegative ? 0x80000000ULL : 0x7FFFFFFFULL;
    return static_cast<DWORD>(bNegative ? 0u - static_cast<DWORD>(ullValue) : static_cast<DWORD>(ullValue));
}

// A folder's disc path without its final "\", as a report names it; a
// drive root ("E:\") keeps it.
std::wstring_view FolderOf(std::wstring_view svTarget)
{
    if (svTarget.size() > 3 && svTarget.back() == L'\\')
        svTarget.remove_suffix(1);
    return svTarget;
}

} // namespace

void CDescriptionIndex::AddEntry(wchar_t wcDrive, const std::wstring& strFullPath,
                                 const std::wstring& strTargetPath, const std::wstring& strName,
                                 DWORD dwAttribute)
{
    ReadPending();
    Append(wcDrive, strFullPath, strTargetPath, strName, dwAttribute);
}

void CDescriptionIndex::Append(wchar_t wcDrive, const std::wstring& strFullPath,
                               const std::wstring& strTargetPath, const std::wstring& strName,
                               DWORD dwAttribute)
{
    CZRPathString strSource = strFullPath.c_str();
    kvdesc::EntrySource(strSource, dwAttribute);
    CZRPathString strTarget;
    kvdesc::EntryTarget(strTarget, wcDrive, strTargetPath.c_str(), dwAttribute, strName.c_str());

    CEntry entry;
    entry.bFolder = kvdesc::IsFolderEntry(dwAttribute);
    if (entry.bFolder)
        strSource.RemoveBackslash(); // the index keeps a folder without its final "\"
    // Up to the first terminator, as a copy into a std::wstring would take.
    const wchar_t* pszSource = strSource;
    const wchar_t* pszTarget = strTarget;
    entry.iSource = m_strChars.size();
    entry.cchSource = static_cast<DWORD>(std::wcslen(pszSource));
    entry.cchTarget = static_cast<DWORD>(std::wcslen(pszTarget));
    m_strChars.append(pszSource, entry.cchSource);
    m_strChars.append(pszTarget, entry.cchTarget);
    if (entry.bFolder)
        m_vecFolders.push_back(m_vecEntries.size());
    m_vecEntries.push_back(entry);
    m_abFilesSorted[0] = m_abFilesSorted[1] = false;
}

bool CDescriptionIndex::Load(const std::wstring& strXmlPath, wchar_t wcDrive)
{
    m_vecEntries.clear();
    m_strChars.clear();
    m_vecFolders.clear();
    for (bool bByTarget : {false, true}) {
        m_avecFilesBy[bByTarget].clear();
        m_abFilesSorted[bByTarget] = false;
    }
    m_dwFileCount = 0;
    m_bLoaded = false;
    m_pPending.reset();
    m_nPending = 0;
    m_wcDrive = wcDrive;
    std::unique_ptr<IZRXml, CXmlRelease> pXml(GetZRXmlInterface(XML_TYPE_LIBRARY_CORE));
    if (!pXml || pXml->LoadFile(strXmlPath.c_str()) < 0)
        return false;
    {
        CXmlRef<IZRXmlNode> info;
        if (pXml->GetNode(kvdesc::kInfoNode, info.Out()) >= 0 && info.Get()) {
            CXmlRef<IZRXmlNode> count;
            if (info->GetChild(kvdesc::kFileCount, count.Out()) >= 0 && count.Get())
                m_dwFileCount = static_cast<DWORD>(count->GetIntValue());
        }
    }
    // The entries as the library's walk finds them: up to the first number
    // that names none.
    CZRString strQuery;
    for (int n = 1;; ++n) {
        kvdesc::EntryQuery(strQuery, n);
        CXmlRef<IZRXmlNode> node;
        if (pXml->GetNode(strQuery, node.Out()) < 0 || !node.Get())
            break;
        ++m_nPending;
    }
    m_pPending = std::move(pXml);
    m_bLoaded = true;
    return true;
}

void CDescriptionIndex::ReadPending()
{
    if (!m_pPending)
        return;
    const std::unique_ptr<IZRXml, CXmlRelease> pXml = std::move(m_pPending);
    ReadEntries(pXml.get(), m_nPending, [this](const std::wstring(&astrField)[FIELD_COUNT]) {
        Append(m_wcDrive, astrField[FIELD_FULLPATH], astrField[FIELD_TARGETPATH], astrField[FIELD_NAME],
               DecimalValue(astrField[FIELD_ATTRIBUTE]));
    });
}

bool CDescriptionIndex::FirstPair(std::wstring& strSource, std::wstring& strTarget) const
{
    if (m_pPending) {
        CZRString strQuery;
        kvdesc::EntryQuery(strQuery, 1);
        CXmlRef<IZRXmlNode> node;
        if (m_nPending == 0 || m_pPending->GetNode(strQuery, node.Out()) < 0 || !node.Get())
            return false;
        std::wstring astrField[FIELD_COUNT];
        ReadFields(node.Get(), astrField);
        CDescriptionIndex first;
        first.Append(m_wcDrive, astrField[FIELD_FULLPATH], astrField[FIELD_TARGETPATH], astrField[FIELD_NAME],
                     DecimalValue(astrField[FIELD_ATTRIBUTE]));
        return first.FirstPair(strSource, strTarget);
    }
    if (m_vecEntries.empty())
        return false;
    const CEntry& entry = m_vecEntries.front();
    strSource.assign(SourceOf(entry), entry.cchSource);
    strTarget.assign(TargetOf(entry), entry.cchTarget);
    return true;
}

void CDescriptionIndex::ForEachFolder(
    const std::function<void(std::wstring_view svSource, std::wstring_view svTarget)>& fn) const
{
    if (!m_pPending) {
        for (size_t i : m_vecFolders)
            fn(SideView(m_vecEntries[i], false), FolderOf(SideView(m_vecEntries[i], true)));
        return;
    }
    // Read through without keeping the file entries: a run that reports no
    // problem must not hold every path of a description of a million.
    ReadEntries(m_pPending.get(), m_nPending, [this, &fn](const std::wstring(&astrField)[FIELD_COUNT]) {
        const DWORD dwAttribute = DecimalValue(astrField[FIELD_ATTRIBUTE]);
        if (!kvdesc::IsFolderEntry(dwAttribute))
            return;
        CDescriptionIndex one;
        one.Append(m_wcDrive, astrField[FIELD_FULLPATH], astrField[FIELD_TARGETPATH], astrField[FIELD_NAME],
                   dwAttribute);
        one.ForEachFolder(fn);
    });
}

void CDescriptionIndex::SortFiles(bool bByTarget) const
{
    std::vector<size_t>& vecFiles = m_avecFilesBy[bByTarget];
    if (m_abFilesSorted[bByTarget])
        return;
    vecFiles.clear();
    for (size_t i = 0; i < m_vecEntries.size(); ++i)
        if (!m_vecEntries[i].bFolder)
            vecFiles.push_back(i);
    std::sort(vecFiles.begin(), vecFiles.end(), [this, bByTarget](size_t iA, size_t iB) {
        const int iOrder =
            SideView(m_vecEntries[iA], bByTarget).compare(SideView(m_vecEntries[iB], bByTarget));
        return iOrder < 0 || (iOrder == 0 && iA < iB);
    });
    m_abFilesSorted[bByTarget] = true;
}

size_t CDescriptionIndex::FirstLeadingTo(std::wstring_view svPath, bool bByTarget)
{
    ReadPending();
    // The first entry of the description that leads to the path: the first
    // file entry of it, unless a folder entry before that one holds it.
    SortFiles(bByTarget);
    const std::vector<size_t>& vecFiles = m_avecFilesBy[bByTarget];
    size_t iBest = m_vecEntries.size();
    const auto it = std::lower_bound(vecFiles.begin(), vecFiles.end(), svPath,
                                     [this, bByTarget](size_t i, std::wstring_view sv) {
                                         return SideView(m_vecEntries[i], bByTarget) < sv;
                                     });
    if (it != vecFiles.end() && SideView(m_vecEntries[*it], bByTarget) == svPath)
        iBest = *it;
    for (size_t iFolder : m_vecFolders) {
        if (iFolder >= iBest)
            break;
        // The folder walk names a file "<folder>\<sub>\...\<name>" on both
        // sides; a folder's target holds its final "\" already. The folder
        // itself is the entry's too (the library reports a source folder it
        // cannot list).
        const std::wstring_view svFolder = SideView(m_vecEntries[iFolder], bByTarget);
        const size_t cchPrefix = svFolder.size() + (bByTarget ? 0 : 1);
        if (svPath.size() > cchPrefix && (bByTarget || svPath[svFolder.size()] == L'\\') &&
            svPath.compare(0, svFolder.size(), svFolder) == 0)
            return iFolder;
        if (svPath == (bByTarget ? FolderOf(svFolder) : svFolder))
            return iFolder;
    }
    return iBest;
}

std::wstring CDescriptionIndex::TargetFor(const std::wstring& strSource)
{
    const size_t i = FirstLeadingTo(strSource, false);
    if (i == m_vecEntries.size())
        return std::wstring();
    const CEntry& entry = m_vecEntries[i];
    if (entry.bFolder && strSource.size() == entry.cchSource)
        return std::wstring(FolderOf(SideView(entry, true)));
    std::wstring strTarget(TargetOf(entry), entry.cchTarget);
    if (entry.bFolder)
        strTarget.append(strSource, entry.cchSource + 1, std::wstring::npos);
    return strTarget;
}

std::wstring CDescriptionIndex::SourceFor(const std::wstring& strTarget)
{
    const size_t i = FirstLeadingTo(strTarget, true);
    if (i == m_vecEntries.size())
        return std::wstring();
    const CEntry& entry = m_vecEntries[i];
    std::wstring strSource(SourceOf(entry), entry.cchSource);
    if (entry.bFolder && strTarget.size() > entry.cchTarget)
        strSource.append(L"\\").append(strTarget, entry.cchTarget, std::wstring::npos);
    return strSource;
}

} // namespace kvtool
