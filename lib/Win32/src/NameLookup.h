// Names as Windows finds them: a path component that is not there with its
// exact spelling is looked up without regard to case. Only paths whose
// exact form was not found come here, so an exact path costs nothing more.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kvwin32 {
namespace detail {

// The simple case folding of one code point (itself when it has none).
char32_t FoldChar(char32_t ch);
// Appends the folded form of a host name. Bytes that are not UTF-8 are kept
// as they are: such a name never equals the folded form of a Windows name.
void AppendFoldedName(std::string& strOut, std::string_view svName);

// Rewrites the host path strHost, from the component after cchRoot bytes
// on (the folder a drive is mapped to is taken as it is), to the spelling
// each folder holds, folding case where the exact name is not there. When
// a folder holds several names that fold alike, the exact spelling wins,
// else the smallest in byte order. False, with strHost unchanged, when some
// component has no match or cannot be looked at. A trailing "/" is kept.
bool FindFoldedPath(std::string& strHost, std::size_t cchRoot);

} // namespace detail
} // namespace kvwin32
