// A seam for tests and benchmarks, not part of the maker's interface (and
// not installed): how often the library has parsed a document, as opposed
// to handing out a tree already parsed from the same bytes.
#pragma once

#include "ZRXmlExport.h"

// Parses begun in this process so far, failed ones included.
extern "C" ZRXML_API long ZRXmlParseCount();
