// The maker's wide string classes, as the verifier uses them.
#pragma once

#include <windows.h>

#include <cstdarg>

#include "ZRStringExport.h"

// A growable wide string with value semantics. The text is kept in a plain
// heap block so that the exported layout carries no library types across
// the DLL boundary.
class ZRSTRING_API CZRString {
  public:
    CZRString();
    CZRString(const CZRString& strOther);
    CZRString(const wchar_t* pszText);
    virtual ~CZRString();

    CZRString& operator=(const CZRString& strOther);
    CZRString& operator=(const wchar_t* pszText);
    operator const wchar_t*() const;
    CZRString& operator+=(const wchar_t* pszText);

    int GetLength() const;
    BOOL IsEmpty() const;
    void Empty();

    // Windows wide printf conventions on every platform: %s a wide string,
    // %c a wide character, %d/%i int, %u, %x/%X unsigned int, %lld/%llu/%llx
    // and %I64d 64-bit, %p, %%; flags - + space # 0, width and precision
    // (also as *). A null %s argument prints "(null)".
    void Format(const wchar_t* pszFormat, ...);
    void FormatV(const wchar_t* pszFormat, va_list args);

    // Nonzero when pszText occurs at or after iStart; *piPos receives its
    // index. Case-sensitive.
    BOOL Find(const wchar_t* pszText, int* piPos, int iStart = 0) const;
    // Replaces every occurrence of pszOld (non-empty) with pszNew; returns the
    // number of replacements.
    int Replace(const wchar_t* pszOld, const wchar_t* pszNew);
    // 0 when equal ignoring case, negative or positive otherwise.
    int CompareNoCase(const wchar_t* pszText) const;

  protected:
    void Assign(const wchar_t* pszText, int iLength);
    void Reserve(int iCapacity);

    wchar_t* m_pszData; // always terminated; never null
    int m_iLength;
    int m_iCapacity;
};

class ZRSTRING_API CZRPathString : public CZRString {
  public:
    CZRPathString();
    CZRPathString(const CZRPathString& strOther);
    CZRPathString(const wchar_t* pszText);
    ~CZRPathString() override;

    CZRPathString& operator=(const CZRPathString& strOther);
    CZRPathString& operator=(const wchar_t* pszText);

    // Appends one "\" unless the text already ends with one.
    void AddBackslash();
    // Removes one trailing "\" if present.
    void RemoveBackslash();
    // Removes the last component with the "\" before it; on a text that ends
    // with "\" only that final "\" goes.
    void RemoveFileSpec();
};
