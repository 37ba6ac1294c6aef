// Random documents for the differential test, reproducible from a seed:
// well-formed trees with every kind of markup, in several encodings, and
// damaged copies of them that may or may not still be well-formed.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace xmldiff {

enum class Encoding { Utf8, Utf8Bom, Utf16Le, Utf16Be, Latin1 };

class CGenerator {
  public:
    explicit CGenerator(std::uint32_t uSeed) : m_rng(uSeed) {}

    // A well-formed document in UTF-8, without an XML declaration.
    std::string Document();
    // The document in an encoding, after a declaration (or none where the
    // encoding needs none) and a byte order mark where it has one; false
    // when the text cannot be written in it (Latin-1).
    bool Encode(const std::string& strUtf8, Encoding encoding, std::string& bytes);
    // One random change: a byte or a few deleted, markup inserted, a piece
    // repeated, an end cut off.
    std::string Damage(const std::string& bytes);

  private:
    int Pick(int iCount) { return std::uniform_int_distribution<int>(0, iCount - 1)(m_rng); }
    bool Chance(int iPercent) { return Pick(100) < iPercent; }

    std::string Name();
    std::string CharData();
    std::string Reference();
    std::string AttributeValue(char chQuote);
    std::string CommentText();
    std::string Misc();
    std::string ElementText(int iDepth);
    std::string Declaration(const char* pszEncoding);

    std::mt19937 m_rng;
};

} // namespace xmldiff
