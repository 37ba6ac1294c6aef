// From the bytes of a document to the text the parser reads: UTF-8, every
// character known to be allowed. Line ends may still hold CR (the parser
// normalizes what it keeps).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace zrxml {

// The decoded text: a view on the caller's bytes when they already are
// that (UTF-8), else an owned copy.
class CDecodedText {
  public:
    CDecodedText() = default;
    CDecodedText(const CDecodedText&) = delete;
    CDecodedText& operator=(const CDecodedText&) = delete;

    std::string_view View() const { return m_sv; }
    void SetView(std::string_view sv) { m_sv = sv; }
    std::string& Owned() { return m_strOwned; }
    void UseOwned() { m_sv = m_strOwned; }

  private:
    std::string m_strOwned;
    std::string_view m_sv;
};

// Detects the encoding (byte order mark, else the declaration, else UTF-8),
// checks and converts. Fails on an encoding that is not supported, on bytes
// that are not valid in it and on characters XML does not allow.
HRESULT DecodeDocument(const unsigned char* pData, std::size_t cbData, CDecodedText& text);

} // namespace zrxml
