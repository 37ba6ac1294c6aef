// The parser: decoded text (see Decoder.h) in, tree out.
#pragma once

#include "Tree.h"

#include <windows.h>

#include <string_view>

namespace zrxml {

// Parses one document into an empty tree. On failure the tree is partly
// built and must be thrown away. May throw std::bad_alloc.
HRESULT ParseDocument(std::string_view svText, CTree& tree);

} // namespace zrxml
