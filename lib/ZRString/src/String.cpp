// Storage of CZRString: construction, assignment, appending.
//
// Every change that may have to grow the block builds the new block first
// and frees the old one last, so a source text that points into this
// string's own block (s = (const wchar_t*)s + 3, s += s) is still readable
// while it is copied.
//
// An empty string owns no block: it points at one shared, never-written
// empty text (capacity 0), so that constructing, emptying and destroying
// the many short-lived strings of a run allocates nothing.
#include "ZRString.h"

#include <climits>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

namespace {

// The longest text a string holds: its length and capacity are ints, and the
// block needs one more character for the terminator.
constexpr int kMaxLength = INT_MAX - 1;

// Length of a terminated text; a null text is empty.
int TextLength(const wchar_t* pszText)
{
    if (pszText == nullptr) {
        return 0;
    }
    std::size_t nLength = std::wcslen(pszText);
    if (nLength > static_cast<std::size_t>(kMaxLength)) {
        throw std::bad_alloc();
    }
    return static_cast<int>(nLength);
}

// Room for iCapacity characters and the terminator.
std::unique_ptr<wchar_t[]> NewBlock(int iCapacity)
{
    return std::unique_ptr<wchar_t[]>(new wchar_t[static_cast<std::size_t>(iCapacity) + 1]);
}

void CopyChars(wchar_t* pszTo, const wchar_t* pszFrom, int iCount)
{
    if (iCount > 0) {
        std::memmove(pszTo, pszFrom, static_cast<std::size_t>(iCount) * sizeof(wchar_t));
    }
}

// Doubles the capacity (up to the largest length a string may have) so that
// repeated appending stays linear.
int GrownCapacity(int iCapacity, int iNeeded)
{
    int iGrown = iCapacity < kMaxLength / 2 ? iCapacity * 2 : kMaxLength;
    return iGrown > iNeeded ? iGrown : iNeeded;
}

// Read only, though not const: m_pszData is a wchar_t*. Nothing writes to
// it because every write needs a capacity above 0.
wchar_t s_szEmpty[1] = {L'\0'};

// Frees a block NewBlock made; the shared empty text stays.
void FreeBlock(wchar_t* pszBlock)
{
    if (pszBlock != s_szEmpty) {
        delete[] pszBlock;
    }
}

} // namespace

CZRString::CZRString() : m_pszData(s_szEmpty), m_iLength(0), m_iCapacity(0) {}

CZRString::CZRString(const CZRString& strOther) : CZRString()
{
    Assign(strOther.m_pszData, strOther.m_iLength);
}

CZRString::CZRString(const wchar_t* pszText) : CZRString()
{
    Assign(pszText, TextLength(pszText));
}

CZRString::~CZRString()
{
    FreeBlock(m_pszData);
}

CZRString& CZRString::operator=(const CZRString& strOther)
{
    if (this != &strOther) {
        Assign(strOther.m_pszData, strOther.m_iLength);
    }
    return *this;
}

CZRString& CZRString::operator=(const wchar_t* pszText)
{
    Assign(pszText, TextLength(pszText));
    return *this;
}

CZRString::operator const wchar_t*() const
{
    return m_pszData;
}

CZRString& CZRString::operator+=(const wchar_t* pszText)
{
    int iAdd = TextLength(pszText);
    if (iAdd == 0) {
        return *this;
    }
    if (iAdd > kMaxLength - m_iLength) {
        throw std::bad_alloc();
    }
    int iNewLength = m_iLength + iAdd;
    if (iNewLength > m_iCapacity) {
        int iCapacity = GrownCapacity(m_iCapacity, iNewLength);
        std::unique_ptr<wchar_t[]> pBlock = NewBlock(iCapacity);
        CopyChars(pBlock.get(), m_pszData, m_iLength);
        CopyChars(pBlock.get() + m_iLength, pszText, iAdd);
        FreeBlock(m_pszData);
        m_pszData = pBlock.release();
        m_iCapacity = iCapacity;
    } else {
        CopyChars(m_pszData + m_iLength, pszText, iAdd);
    }
    m_iLength = iNewLength;
    m_pszData[m_iLength] = L'\0';
    return *this;
}

int CZRString::GetLength() const
{
    return m_iLength;
}

BOOL CZRString::IsEmpty() const
{
    return m_iLength == 0 ? TRUE : FALSE;
}

void CZRString::Empty()
{
    m_iLength = 0;
    if (m_iCapacity > 0) {
        m_pszData[0] = L'\0';
    }
}

void CZRString::Assign(const wchar_t* pszText, int iLength)
{
    if (pszText == nullptr || iLength <= 0) {
        Empty();
        return;
    }
    if (iLength > kMaxLength) {
        throw std::bad_alloc();
    }
    if (iLength > m_iCapacity) {
        std::unique_ptr<wchar_t[]> pBlock = NewBlock(iLength);
        CopyChars(pBlock.get(), pszText, iLength);
        FreeBlock(m_pszData);
        m_pszData = pBlock.release();
        m_iCapacity = iLength;
    } else {
        CopyChars(m_pszData, pszText, iLength);
    }
    m_iLength = iLength;
    m_pszData[m_iLength] = L'\0';
}

void CZRString::Reserve(int iCapacity)
{
    if (iCapacity <= m_iCapacity) {
        return;
    }
    if (iCapacity > kMaxLength) {
        throw std::bad_alloc();
    }
    std::unique_ptr<wchar_t[]> pBlock = NewBlock(iCapacity);
    CopyChars(pBlock.get(), m_pszData, m_iLength + 1);
    FreeBlock(m_pszData);
    m_pszData = pBlock.release();
    m_iCapacity = iCapacity;
}
