// The trees of documents still in use, by the hash of the bytes they were
// parsed from. A description is loaded several times in one verification
// (the totals, then the walk, and often the host's own look at it); while
// one of those loads is still held, the others get its tree without parsing
// the same bytes again. The cache holds no tree itself: a tree goes when
// its last document and node let it go, as without the cache.
#pragma once

#include "ContentHash.h"
#include "Tree.h"

#include <cstddef>
#include <memory>

namespace zrxml {

// The live tree parsed from bytes of that hash and length; null if none.
std::shared_ptr<const CTree> FindParsedTree(const CContentHash& hash, std::size_t cbData);

// Remembers a tree just parsed from bytes of that hash and length.
void RememberParsedTree(const CContentHash& hash, std::size_t cbData,
                        const std::shared_ptr<const CTree>& pTree);

// Counts one parse for ZRXmlParseCount.
void CountParse();

} // namespace zrxml
