#include "Generator.h"

#include <cstddef>
#include <cstdio>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace xmldiff {

namespace {

// Characters as UTF-8, from every range a document may hold: ASCII,
// Latin-1, the BMP, a supplementary plane, line ends in all three forms.
const char* const kTextChars[] = {"a",
                                  "Z",
                                  "7",
                                  " ",
                                  "\t",
                                  "\n",
                                  "\r\n",
                                  "\r",
                                  ">",
                                  "'",
                                  "\"",
                                  "]",
                                  "\xC3\xA9",
                                  "\xC3\xBF",
                                  "\xC2\x85",
                                  "\xC2\xA0",
                                  "\xE2\x82\xAC",
                                  "\xE5\x90\x8D",
                                  "\xEF\xBF\xBD",
                                  "\xF0\x9F\x98\x80",
                                  "\xF4\x8F\xBF\xBD"};
const char* const kNameStart[] = {
    "a", "b", "Z", "_", "x", "\xC3\xA9", "\xCE\xA9", "\xE5\x90\x8D", "\xF0\x90\x80\x80"};
const char* const kNameMore[] = {"a", "Q", "0", "9", "-", ".", "_", "\xC2\xB7", "\xCC\x80", "\xC3\xA9"};
const unsigned kCharRefs[] = {0x9,  0xA,    0xD,    0x20,   0x41,   0x3C,    0x26,    0xE9,
                              0x85, 0x20AC, 0xD7FF, 0xE000, 0xFFFD, 0x10000, 0x10FFFF};
const char* const kDamage[] = {"<",
                               ">",
                               "&",
                               "]]>",
                               "--",
                               "\"",
                               "'",
                               "/",
                               "<a>",
                               "</",
                               "&#0;",
                               "&#xD800;",
                               "&bogus;",
                               "" /* a NUL byte */,
                               "\xFF",
                               "\xC3",
                               "<?xml version=\"1.0\"?>",
                               "<!DOCTYPE x>",
                               "<![CDATA[",
                               "=",
                               "<!--",
                               "?>",
                               "&#x110000;",
                               "\x01"};

// The code points of well-formed UTF-8 (the generator's own text).
std::vector<char32_t> CodePoints(const std::string& str)
{
    std::vector<char32_t> vec;
    for (std::size_t i = 0; i < str.size();) {
        const unsigned char c = static_cast<unsigned char>(str[i]);
        const int iMore = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
        char32_t cp = iMore == 0 ? c : c & (0x3F >> iMore);
        for (int k = 1; k <= iMore; ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(str[i + k]) & 0x3F);
        vec.push_back(cp);
        i += iMore + 1;
    }
    return vec;
}

// Removes every occurrence of a sequence, which must not appear.
void Avoid(std::string& str, const std::string& strBad, const std::string& strInstead)
{
    for (std::size_t n = str.find(strBad); n != std::string::npos; n = str.find(strBad, n))
        str.replace(n, strBad.size(), strInstead);
}

} // namespace

std::string CGenerator::Name()
{
    std::string str = kNameStart[Pick(static_cast<int>(std::size(kNameStart)))];
    for (int n = Pick(6); n > 0; --n)
        str += kNameMore[Pick(static_cast<int>(std::size(kNameMore)))];
    return str;
}

std::string CGenerator::CharData()
{
    std::string str;
    for (int n = 1 + Pick(8); n > 0; --n)
        str += kTextChars[Pick(static_cast<int>(std::size(kTextChars)))];
    Avoid(str, "]]>", "]]&gt;");
    return str;
}

std::string CGenerator::Reference()
{
    static const char* const kNamed[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&apos;"};
    if (Chance(40))
        return kNamed[Pick(5)];
    const unsigned uChar = kCharRefs[Pick(static_cast<int>(std::size(kCharRefs)))];
    char szRef[24];
    if (Chance(50))
        std::snprintf(szRef, sizeof szRef, "&#%s%u;", Chance(20) ? "00" : "", uChar);
    else
        std::snprintf(szRef, sizeof szRef, Chance(50) ? "&#x%X;" : "&#x%x;", uChar);
    return szRef;
}

std::string CGenerator::AttributeValue(char chQuote)
{
    std::string str;
    for (int n = Pick(5); n > 0; --n) {
        if (Chance(30)) {
            str += Reference();
        } else {
            std::string strText = CharData();
            Avoid(strText, std::string(1, chQuote), chQuote == '"' ? "&quot;" : "&apos;");
            str += strText;
        }
    }
    return str;
}

std::string CGenerator::CommentText()
{
    std::string str = CharData();
    if (Chance(30))
        str += "-x-";
    Avoid(str, "--", "-");
    if (!str.empty() && str.back() == '-')
        str += ' ';
    return str;
}

// A comment, a processing instruction or white space.
std::string CGenerator::Misc()
{
    switch (Pick(3)) {
    case 0:
        return "<!--" + CommentText() + "-->";
    case 1: {
        std::string strTarget = Name();
        if (strTarget.size() >= 3 && (strTarget[0] | 0x20) == 'x' && (strTarget[1] | 0x20) == 'm' &&
            (strTarget[2] | 0x20) == 'l')
            strTarget = "p" + strTarget;
        std::string strBody = Chance(30) ? "" : " " + CharData() + (Chance(30) ? "?" : "");
        Avoid(strBody, "?>", "? >");
        return "<?" + strTarget + strBody + "?>";
    }
    default:
        return Chance(50) ? "\n" : " \r\n\t";
    }
}

std::string CGenerator::ElementText(int iDepth)
{
    const bool bPrefixed = Chance(10);
    const std::string strName = (bPrefixed ? "p:" : "") + Name();
    std::string str = "<" + strName;
    if (bPrefixed)
        str += " xmlns:p=\"urn:p\"";
    std::vector<std::string> vecAttributes;
    for (int n = Pick(4); n > 0; --n) {
        const std::string strAttribute = Name() + std::to_string(vecAttributes.size());
        vecAttributes.push_back(strAttribute);
        const char chQuote = Chance(50) ? '"' : '\'';
        str += (Chance(80) ? " " : "\n\t ") + strAttribute + (Chance(80) ? "=" : " = ") + chQuote +
               AttributeValue(chQuote) + chQuote;
    }
    if (Chance(10))
        str += " ";
    if (Chance(15))
        return str + (Chance(50) ? "/>" : " />");
    str += ">";
    for (int n = Pick(7); n > 0; --n) {
        switch (Pick(7)) {
        case 0:
        case 1:
            str += CharData();
            break;
        case 2:
            str += Reference();
            break;
        case 3: {
            std::string strData = CharData() + (Chance(50) ? "<&>]" : "]]");
            Avoid(strData, "]]>", "]>");
            str += "<![CDATA[" + strData + "]]>";
            break;
        }
        case 4:
            str += Misc();
            break;
        default:
            if (iDepth < 6)
                str += ElementText(iDepth + 1);
            break;
        }
    }
    return str + "</" + strName + (Chance(10) ? " \n" : "") + ">";
}

std::string CGenerator::Document()
{
    std::string str;
    for (int n = Pick(3); n > 0; --n)
        str += Misc();
    const std::string strRoot = ElementText(0);
    if (Chance(25)) {
        // The document type is read past; nothing it declares is referenced.
        str += "<!DOCTYPE root";
        if (Chance(30))
            str += " SYSTEM \"none.dtd\"";
        if (Chance(60)) {
            str += " [\n  <!ELEMENT root ANY>\n  <!ATTLIST root a CDATA 'v>w'>\n  <!ENTITY unused \"x<y\">\n";
            if (Chance(50))
                str += "  " + Misc() + "\n";
            str += "]";
        }
        str += ">";
        for (int n = Pick(2); n > 0; --n)
            str += Misc();
    }
    str += strRoot;
    for (int n = Pick(3); n > 0; --n)
        str += Misc();
    return str;
}

std::string CGenerator::Declaration(const char* pszEncoding)
{
    const char chQuote = Chance(50) ? '"' : '\'';
    const std::string q(1, chQuote);
    std::string str = "<?xml version=" + q + "1.0" + q;
    if (pszEncoding)
        str += " encoding" + std::string(Chance(80) ? "=" : " = ") + q + pszEncoding + q;
    if (Chance(20))
        str += " standalone=" + q + (Chance(50) ? "yes" : "no") + q;
    return str + (Chance(20) ? " ?>" : "?>");
}

bool CGenerator::Encode(const std::string& strUtf8, Encoding encoding, std::string& bytes)
{
    bytes.clear();
    switch (encoding) {
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
        if (encoding == Encoding::Utf8Bom)
            bytes = "\xEF\xBB\xBF";
        if (Chance(70))
            bytes += Declaration(Chance(30) ? nullptr : Chance(50) ? "UTF-8" : "utf-8");
        bytes += strUtf8;
        return true;
    case Encoding::Utf16Le:
    case Encoding::Utf16Be: {
        const bool bLe = encoding == Encoding::Utf16Le;
        const std::string strText =
            (Chance(70) ? Declaration(Chance(30) ? nullptr : "UTF-16") : "") + strUtf8;
        auto Put = [&](unsigned uUnit) {
            const char chLow = static_cast<char>(uUnit & 0xFF);
            const char chHigh = static_cast<char>(uUnit >> 8);
            bytes += bLe ? chLow : chHigh;
            bytes += bLe ? chHigh : chLow;
        };
        Put(0xFEFF);
        for (char32_t c : CodePoints(strText)) {
            if (c >= 0x10000) {
                Put(0xD800 + ((c - 0x10000) >> 10));
                Put(0xDC00 + ((c - 0x10000) & 0x3FF));
            } else {
                Put(c);
            }
        }
        return true;
    }
    case Encoding::Latin1: {
        bytes = Declaration(Chance(50) ? "ISO-8859-1" : "iso-8859-1");
        for (char32_t c : CodePoints(strUtf8)) {
            if (c > 0xFF)
                return false;
            bytes += static_cast<char>(c);
        }
        return true;
    }
    }
    return false;
}

std::string CGenerator::Damage(const std::string& bytes)
{
    std::string str = bytes;
    if (str.empty())
        return str;
    const std::size_t nAt = static_cast<std::size_t>(Pick(static_cast<int>(str.size())));
    switch (Pick(6)) {
    case 0:
        str.erase(nAt, 1 + Pick(3));
        break;
    case 1: {
        const int iPick = Pick(static_cast<int>(std::size(kDamage)));
        // The one entry that is a NUL byte cannot live in a C string table.
        str.insert(nAt, iPick == 13 ? std::string(1, '\0') : std::string(kDamage[iPick]));
        break;
    }
    case 2:
        str.insert(nAt, str.substr(nAt, 1 + Pick(20)));
        break;
    case 3:
        str.resize(nAt);
        break;
    case 4:
        if (nAt + 1 < str.size())
            std::swap(str[nAt], str[nAt + 1]);
        break;
    default:
        str[nAt] = static_cast<char>(Pick(256));
        break;
    }
    return str;
}

} // namespace xmldiff
