// CZRPathString: a CZRString with the backslash operations of Windows paths.
#include "ZRString.h"

CZRPathString::CZRPathString() = default;

CZRPathString::CZRPathString(const CZRPathString& strOther) = default;

CZRPathString::CZRPathString(const wchar_t* pszText) : CZRString(pszText) {}

CZRPathString::~CZRPathString() = default;

CZRPathString& CZRPathString::operator=(const CZRPathString& strOther)
{
    CZRString::operator=(strOther);
    return *this;
}

CZRPathString& CZRPathString::operator=(const wchar_t* pszText)
{
    CZRString::operator=(pszText);
    return *this;
}

// An empty text becomes "\": the caller asked for a text that ends with one.
void CZRPathString::AddBackslash()
{
    if (m_iLength == 0 || m_pszData[m_iLength - 1] != L'\\') {
        *this += L"\\";
    }
}

void CZRPathString::RemoveBackslash()
{
    if (m_iLength > 0 && m_pszData[m_iLength - 1] == L'\\') {
        m_pszData[--m_iLength] = L'\0';
    }
}

// "C:\Data\Tools" -> "C:\Data", "C:\Data\Tools\" -> "C:\Data\Tools",
// "C:\" -> "C:". A text without any "\" is one last component with nothing
// before it, so it becomes empty.
void CZRPathString::RemoveFileSpec()
{
    int iCut = m_iLength - 1;
    if (iCut >= 0 && m_pszData[iCut] != L'\\') {
        while (iCut >= 0 && m_pszData[iCut] != L'\\') {
            --iCut;
        }
    }
    if (iCut < 0) {
        iCut = 0;
    }
    m_iLength = iCut;
    if (m_iCapacity > 0) {
        m_pszData[m_iLength] = L'\0';
    }
}
