// The media description file as text: UTF-8 with an XML declaration, root
// Factory, the totals under Media/Info, one FILE per entry.
#pragma once

#include "description/MediaDescription.h"

#include <string>

namespace kvtool {

// Element text with &, <, >, " and ' escaped, in UTF-8. Tab, line feed and
// carriage return are written as character references so that they survive
// line-end handling; other characters that XML 1.0 cannot carry (other
// controls, lone surrogates, U+FFFE, U+FFFF) throw CUsageError.
std::string XmlText(const std::wstring& strText);
std::string DescriptionXml(const CMediaDescription& desc);

} // namespace kvtool
