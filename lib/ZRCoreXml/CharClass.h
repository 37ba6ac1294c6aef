// Character classes of XML 1.0 (fifth edition) on code points.
#pragma once

namespace zrxml {

// Char: what may appear in a document at all.
constexpr bool IsXmlChar(char32_t c)
{
    if (c < 0x20)
        return c == 0x09 || c == 0x0A || c == 0x0D;
    if (c <= 0xD7FF)
        return true;
    if (c < 0xE000)
        return false;
    if (c <= 0xFFFD)
        return true;
    return c >= 0x10000 && c <= 0x10FFFF;
}

constexpr bool IsNameStartChar(char32_t c)
{
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    return (c >= 0xC0 && c <= 0xD6) || (c >= 0xD8 && c <= 0xF6) || (c >= 0xF8 && c <= 0x2FF) ||
           (c >= 0x370 && c <= 0x37D) || (c >= 0x37F && c <= 0x1FFF) || (c >= 0x200C && c <= 0x200D) ||
           (c >= 0x2070 && c <= 0x218F) || (c >= 0x2C00 && c <= 0x2FEF) || (c >= 0x3001 && c <= 0xD7FF) ||
           (c >= 0xF900 && c <= 0xFDCF) || (c >= 0xFDF0 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0xEFFFF);
}

constexpr bool IsNameChar(char32_t c)
{
    if (IsNameStartChar(c))
        return true;
    return (c >= '0' && c <= '9') || c == '-' || c == '.' || c == 0xB7 || (c >= 0x300 && c <= 0x36F) ||
           (c >= 0x203F && c <= 0x2040);
}

} // namespace zrxml
