// The XML declaration, <?xml version="1.0" encoding="..." standalone="..."?>.
// Its grammar is ASCII only, so it can be read from the raw bytes of any
// ASCII-compatible encoding before the encoding is known.
#pragma once

#include <windows.h>

#include <string>

namespace zrxml {

struct XmlDecl {
    std::string strEncoding; // as written; empty when not given
};

// Reads a declaration at pBegin. S_FALSE when the text does not begin with
// one (pAfter = pBegin), S_OK with pAfter past it, or the failure.
HRESULT ParseXmlDecl(const char* pBegin, const char* pEnd, XmlDecl& decl, const char*& pAfter);

} // namespace zrxml
