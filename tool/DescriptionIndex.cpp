#include "DescriptionIndex.h"

#include <ZRString.h>
#include <ZRXml.h>
#include <oleauto.h>

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

// The text of the first child of that name (any case) that has text.
std::wstring ChildText(IZRXmlNode* pNode, const wchar_t* pszName)
{
    int iCount = pNode->GetChildCount();
    for (int i = 0; i < iCount; ++i) {
        CXmlRef<IZRXmlNode> child;
        if (pNode->GetChildAt(i, child.Out()) < 0 || !child.Get())
            return std::wstring();
        CZRString strName = TakeBstr(child->GetName()).c_str();
        if (strName.CompareNoCase(pszName) != 0)
            continue;
        BSTR bstrText = child->GetText();
        if (bstrText)
            return TakeBstr(bstrText);
    }
    return std::wstring();
}

// Leading spaces, a sign, digits; the reader's decimal rule, without clamping.
DWORD DecimalValue(const std::wstring& strText)
{
    size_t i = 0;
    while (i < strText.size() && (strText[i] == L' ' || strText[i] == L'\t' || strText[i] == L'\r' || strText[i] == L'\n'))
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

} // namespace

void CDescriptionIndex::AddEntry(wchar_t wcDrive, const std::wstring& strFullPath, const std::wstring& strTargetPath,
                                 const std::wstring& strName, DWORD dwAttribute)
{
    CZRPathString strSource = strFullPath.c_str();
    strSource.Replace(L"*.*", L"");
    CZRPathString strTarget;
    strTarget.Format(L"%c:%s", wcDrive, strTargetPath.c_str());
    strTarget.AddBackslash();

    CEntry entry;
    entry.bFolder = (dwAttribute & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (entry.bFolder) {
        strSource.RemoveFileSpec();
        strSource.RemoveBackslash();
    } else {
        strTarget += strName.c_str();
    }
    entry.strSource = static_cast<const wchar_t*>(strSource);
    entry.strTarget = static_cast<const wchar_t*>(strTarget);
    m_vecEntries.push_back(entry);
}

bool CDescriptionIndex::Load(const std::wstring& strXmlPath, wchar_t wcDrive)
{
    m_vecEntries.clear();
    m_dwFileCount = 0;
    m_bLoaded = false;
    CXmlRef<IZRXml> xml(GetZRXmlInterface(XML_TYPE_LIBRARY_CORE));
    if (!xml.Get() || xml->LoadFile(strXmlPath.c_str()) < 0)
        return false;
    {
        CXmlRef<IZRXmlNode> info;
        if (xml->GetNode(L"/Factory/Media/Info", info.Out()) >= 0 && info.Get()) {
            CXmlRef<IZRXmlNode> count;
            if (info->GetChild(L"Media_NumberFiles", count.Out()) >= 0 && count.Get())
                m_dwFileCount = static_cast<DWORD>(count->GetIntValue());
        }
    }
    for (int n = 1;; ++n) {
        CXmlRef<IZRXmlNode> node;
        std::wstring strQuery = L"/Factory/FILE[" + std::to_wstring(n) + L"]";
        if (xml->GetNode(strQuery.c_str(), node.Out()) < 0 || !node.Get())
            break;
        AddEntry(wcDrive, ChildText(node.Get(), L"FullPath"), ChildText(node.Get(), L"TargetPath"),
                 ChildText(node.Get(), L"Name"), DecimalValue(ChildText(node.Get(), L"Attribute")));
    }
    m_bLoaded = true;
    return true;
}

std::wstring CDescriptionIndex::TargetFor(const std::wstring& strSource) const
{
    for (const CEntry& entry : m_vecEntries) {
        if (!entry.bFolder) {
            if (strSource == entry.strSource)
                return entry.strTarget;
            continue;
        }
        // The folder walk names a file "<folder>\<sub>\...\<name>".
        const std::wstring strPrefix = entry.strSource + L"\\";
        if (strSource.size() > strPrefix.size() && strSource.compare(0, strPrefix.size(), strPrefix) == 0)
            return entry.strTarget + strSource.substr(strPrefix.size());
    }
    return std::wstring();
}

namespace {

bool LookUpSize(const std::wstring& strPath, unsigned long long& ullSize)
{
    WIN32_FIND_DATAW data;
    HANDLE hFind = FindFirstFileW(strPath.c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return false;
    FindClose(hFind);
    ullSize = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

} // namespace

int CompareFileSizes(const std::wstring& strSource, const std::wstring& strTarget)
{
    unsigned long long ullSource = 0;
    unsigned long long ullTarget = 0;
    if (strTarget.empty() || !LookUpSize(strSource, ullSource) || !LookUpSize(strTarget, ullTarget))
        return -1;
    return ullSource != ullTarget ? 1 : 0;
}

} // namespace kvtool
