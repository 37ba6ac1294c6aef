// The same document read by libxml2 and by our reader, as one tree model:
// each element's name and its own text (character data and CDATA, with
// references decoded, not its descendants' text), in UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace xmldiff {

struct Element {
    std::string strName;
    std::string strText;
    std::vector<Element> vecChildren;
};

struct Reading {
    bool bWellFormed = false;
    Element root;
    std::string strError;        // why it was rejected, for the report
    bool bErrorInSubset = false; // libxml2 only: while reading the internal DTD subset
};

Reading ReadWithLibxml2(const std::string& bytes);
// Our reader; strRootName is the root's name as libxml2 gave it (the
// interface reaches the root through a path only). Empty when unknown:
// then only well-formedness is read.
Reading ReadWithOurs(const std::string& bytes, const std::string& strRootName);

// "" when both readings agree, else what differs first.
std::string Difference(const Reading& theirs, const Reading& ours);

// The document in a form that can be pasted into a C++ literal.
std::string Printable(const std::string& bytes);

} // namespace xmldiff
