// Node paths: "/Factory/Media/Info", "/Factory/FILE[12]". Absolute, element
// names only, each step with an optional 1-based position among the
// children of that name (without one, the first).
#pragma once

#include "Tree.h"

#include <windows.h>

#include <cstdint>

namespace zrxml {

// The element at the path. The first step names the root. XML_E_BADPATH for
// a malformed path, XML_E_NOTFOUND when no element is there.
HRESULT ResolveNodePath(const CTree& tree, LPCWSTR pszPath, std::uint32_t& nElement);

} // namespace zrxml
